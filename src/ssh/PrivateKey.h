// A private key file made ready for the SSH library: the key as the library
// can read it, and the public half it needs beside it, which the component
// derives itself so that a private key file alone is enough.
#pragma once

#include <windows.h>

#include <string>

namespace quorlin {

struct PrivateKey {
    std::string privateData;  // the key, decrypted, as the library reads it from memory
    std::string passphrase;   // for privateData: none
    std::string publicLine;   // "type base64", as in a .pub file
};

// Reads `path`: an OpenSSH-format key (RSA or ECDSA, encrypted or not) or a
// PEM key (PKCS#1, PKCS#8, EC; encrypted or not). False with the last error
// set and a failure detail kept that says what is wrong: the file missing or
// unreadable (its system code), no key of a known format (13), a wrong or
// missing passphrase (86), a key type the component cannot use (50).
bool LoadPrivateKey(const std::wstring& path, const std::string& passphrase, PrivateKey& key);

}  // namespace quorlin
