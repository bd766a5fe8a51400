// What the session log tells of a TLS connection: the protocol version and
// cipher suite the handshake agreed on, and the server's certificate.
#pragma once

#include "../log/SessionLog.h"

#define SECURITY_WIN32
#include <windows.h>
#include <sspi.h>
#include <wincrypt.h>

namespace quorlin {

// "TLS 1.3, TLS_AES_256_GCM_SHA384", as far as the system tells it.
void LogTlsProtocol(SessionLog& log, CtxtHandle& context);
// Subject, issuer, validity and SHA-256 fingerprint.
void LogCertificate(SessionLog& log, PCCERT_CONTEXT certificate);

}  // namespace quorlin
