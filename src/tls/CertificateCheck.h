// The component's own check of a TLS server's certificate: the system's TLS
// here validates nothing during the handshake.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <string>
#include <string_view>

namespace quorlin {

// A SHA-256 certificate fingerprint given as text: 64 hex digits, case and
// colons ignored. False for anything else.
bool ParseFingerprint(std::wstring_view text, std::string& bytes);

// "AB:CD:...", the 32 bytes of a fingerprint as the error texts name it.
std::wstring FingerprintText(const std::string& bytes);

// The SHA-256 fingerprint of `certificate`'s encoded form.
bool CertificateFingerprint(PCCERT_CONTEXT certificate, std::string& bytes);

// With `pinned` empty: the chain (built with the certificates the server
// sent) must reach a root this account trusts, be whole and in date, and the
// leaf must be for `host` (a host written as an IP address only by an IP
// address entry, never by a DNS name); revocation is checked where the information can be
// reached, an unreachable revocation server being no failure. With `pinned`
// set (32 bytes): the leaf must have exactly that fingerprint, nothing else
// is asked. On failure false with the last error 12045 (untrusted root or
// partial chain, or a fingerprint that differs), 12038 (wrong name), 12037
// (out of date), 12157 (anything else, revoked among it).
bool CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& host, const std::string& pinned);

}  // namespace quorlin
