// How reading a private key file fails: the last error set, and a failure
// detail kept that says what is wrong. Each returns false.
#pragma once

#include <windows.h>

#include <string_view>

namespace quorlin {

bool KeyFileFailure(DWORD code, const wchar_t* detail);
// No key of a known format (13).
bool UnknownKeyFormat();
// A wrong or missing passphrase (86).
bool WrongKeyPassphrase();
// More key derivation work than the component does (50).
bool KeyTooCostly();
// A key type the component cannot log in with, named (50).
bool UnsupportedKeyType(std::string_view type);

// Whether the component logs in with keys of this SSH type name.
bool IsSupportedKeyType(std::string_view type);

// A key file may ask for any amount of work to derive its key: beyond these
// (far beyond what key tools write: ssh-keygen 16 rounds, OpenSSL 2,048
// iterations, PuTTYgen 8 MiB and a few dozen passes) the key is refused
// before any of it is done.
constexpr unsigned kMostBcryptRounds = 1000;
constexpr unsigned long long kMostPbkdf2Iterations = 2000000;
constexpr unsigned long kMostArgon2KiB = 256 * 1024;
constexpr unsigned long long kMostArgon2Work = 16ULL * kMostArgon2KiB;  // KiB times passes

}  // namespace quorlin
