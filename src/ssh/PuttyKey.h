// PuTTY's private key files (.ppk), versions 2 and 3, plain or encrypted:
// the MAC over the whole key is checked before anything of it is used.
#pragma once

#include <string>
#include <string_view>

namespace quorlin {

bool IsPuttyKeyFile(std::string_view file);

// The key in `file` as an OpenSSH-format key file without encryption. False
// with the key file error set (KeyFileError.h).
bool ReadPuttyKey(std::string_view file, const std::string& passphrase, std::string& unencrypted);

}  // namespace quorlin
