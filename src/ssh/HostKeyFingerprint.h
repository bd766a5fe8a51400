// SSH host key fingerprints as OpenSSH prints them: "SHA256:" followed by
// the unpadded base64 of the key's SHA-256 digest.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlin {

// The digests of one or more fingerprints (a server in the middle of a key
// rotation has two), separated by commas, semicolons or blanks; base64
// padding and surrounding blanks are allowed. An empty text gives none.
// False, `digests` untouched, for anything else.
bool ParseHostKeyFingerprints(std::wstring_view text, std::vector<std::string>& digests);

// "SHA256:..." for a 32-byte digest.
std::wstring HostKeyFingerprintText(const std::string& digest);

}  // namespace quorlin
