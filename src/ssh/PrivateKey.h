// A private key file made ready for the SSH library: the key decrypted, in
// a format the library reads from memory and derives the public half of, so
// that a private key file alone is enough.
#pragma once

#include <windows.h>

#include <string>

namespace quorlin {

struct PrivateKey {
    std::string privateData;  // an OpenSSH-format key or PKCS#8 PEM, not encrypted
};

// Reads `path`: an OpenSSH-format key, a PEM key (PKCS#1, PKCS#8, EC) or a
// PuTTY key file (versions 2 and 3); Ed25519, ECDSA or RSA; encrypted or
// not. False with the last error set and a failure detail kept that says
// what is wrong: the file missing or unreadable (its system code), no key of
// a known format (13), a wrong or missing passphrase (86), a key type or
// cipher the component cannot use or too costly a key derivation (50).
bool LoadPrivateKey(const std::wstring& path, const std::string& passphrase, PrivateKey& key);

}  // namespace quorlin
