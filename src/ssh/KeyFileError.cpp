#include "KeyFileError.h"

#include "../text/Error.h"

#include <string>

namespace quorlin {

bool KeyFileFailure(DWORD code, const wchar_t* detail) {
    KeepFailureDetail(detail);
    SetLastError(code);
    return false;
}

bool UnknownKeyFormat() { return KeyFileFailure(ERROR_INVALID_DATA, L"The private key file holds no key of a known format."); }

bool WrongKeyPassphrase() {
    return KeyFileFailure(ERROR_INVALID_PASSWORD, L"The private key's passphrase is wrong or missing.");
}

bool KeyTooCostly() {
    return KeyFileFailure(ERROR_NOT_SUPPORTED,
                          L"The private key file asks for more key derivation work than the component does (at most "
                          L"1,000 bcrypt rounds, 2,000,000 PBKDF2 iterations, or Argon2 with 256 MiB and 16 passes "
                          L"of it).");
}

bool UnsupportedKeyType(std::string_view type) {
    std::wstring name;
    for (const char c : type.substr(0, 64)) name.push_back(c >= 0x20 && c < 0x7F ? static_cast<wchar_t>(c) : L'?');
    const std::wstring detail =
        L"The private key's type " + name + L" is not supported: use an Ed25519, ECDSA or RSA key.";
    return KeyFileFailure(ERROR_NOT_SUPPORTED, detail.c_str());
}

bool IsSupportedKeyType(std::string_view type) {
    return type == "ssh-ed25519" || type == "ssh-rsa" || type == "ecdsa-sha2-nistp256" ||
           type == "ecdsa-sha2-nistp384" || type == "ecdsa-sha2-nistp521";
}

}  // namespace quorlin
