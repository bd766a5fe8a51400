// One client credential handle of the system's TLS, TLS 1.2 only, with the
// system's own certificate checks off (the component checks the server's
// certificate itself). A session shares one among its control and data
// connections, so that the system can resume the control connection's TLS
// session on each data connection.
#pragma once

#define SECURITY_WIN32
#include <windows.h>
#include <sspi.h>

namespace quorlin {

class TlsCredentials {
public:
    TlsCredentials() = default;
    ~TlsCredentials();
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;

    // False with the last error 12157 when the system has none to give.
    bool Acquire();
    CredHandle* Get() { return acquired_ ? &handle_ : nullptr; }

private:
    CredHandle handle_{};
    bool acquired_ = false;
};

}  // namespace quorlin
