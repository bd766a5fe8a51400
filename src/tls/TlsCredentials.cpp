#include "TlsCredentials.h"

#include "../platform/WinInetAPI.h"

#include <schannel.h>

namespace quorlin {

TlsCredentials::~TlsCredentials() {
    if (acquired_) FreeCredentialsHandle(&handle_);
}

bool TlsCredentials::Acquire() {
    if (acquired_) return true;
    SCHANNEL_CRED settings{};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    settings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    // The server's certificate is checked by the caller after the handshake,
    // and no client certificate is ever offered.
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry{};
    const SECURITY_STATUS status =
        AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                  &settings, nullptr, nullptr, &handle_, &expiry);
    if (status != SEC_E_OK) {
        handle_ = {};
        SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
        return false;
    }
    acquired_ = true;
    return true;
}

}  // namespace quorlin
