#include "SshLibrary.h"

#include <winsock2.h>

#include <libssh2.h>
#include <mbedtls/threading.h>

#include <mutex>

namespace quorlin {
namespace {

// A slim lock needs no making or freeing, and all zero bytes are one: the
// SSH library copies RSA keys into zeroed memory without making their mutex.
void MutexInit(mbedtls_threading_mutex_t* mutex) { InitializeSRWLock(&mutex->lock); }
void MutexFree(mbedtls_threading_mutex_t*) {}
int MutexLock(mbedtls_threading_mutex_t* mutex) {
    AcquireSRWLockExclusive(&mutex->lock);
    return 0;
}
int MutexUnlock(mbedtls_threading_mutex_t* mutex) {
    ReleaseSRWLockExclusive(&mutex->lock);
    return 0;
}

}  // namespace

bool EnsureSshLibrary() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        mbedtls_threading_set_alt(MutexInit, MutexFree, MutexLock, MutexUnlock);
        // Left running for the process: ending it would pull the random
        // generator from under sessions that still run on other threads.
        started = libssh2_init(0) == 0;
    });
    return started;
}

}  // namespace quorlin
