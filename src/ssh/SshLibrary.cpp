#include "SshLibrary.h"

#include <winsock2.h>

#include <libssh2.h>
#include <openssl/crypto.h>

#include <mutex>

namespace quorlin {

bool EnsureSshLibrary() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        // The crypto library would have the C runtime of the process call
        // its cleanup at exit, into this DLL even after it was unloaded: it
        // is cleaned up when the DLL is unloaded instead.
        // Left running until then: ending it earlier would pull the crypto
        // library from under sessions that still run on other threads.
        started = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1 && libssh2_init(0) == 0;
    });
    return started;
}

void ForgetSshThreadState() noexcept { OPENSSL_thread_stop(); }

void EndSshLibrary() noexcept { OPENSSL_cleanup(); }

}  // namespace quorlin
