// Private keys in OpenSSH's own format ("BEGIN OPENSSH PRIVATE KEY"), read
// and decrypted here so that a wrong passphrase, a damaged file and a key
// that asks for too much work are told apart, and written again without
// encryption for the SSH library, which derives the public half itself.
#pragma once

#include <string>
#include <string_view>

namespace quorlin {

bool IsOpenSshKeyFile(std::string_view file);

// The key in `file`, decrypted with `passphrase` where it is encrypted, as
// an OpenSSH-format key file without encryption. False with the key file
// error set (KeyFileError.h).
bool ReadOpenSshKey(std::string_view file, const std::string& passphrase, std::string& unencrypted);

// An OpenSSH-format key file without encryption: `publicBlob` the public
// key in the wire encoding, `privateRecord` its type's name and private
// fields in the order that format keeps them.
std::string OpenSshKeyFile(std::string_view publicBlob, std::string_view privateRecord);

}  // namespace quorlin
