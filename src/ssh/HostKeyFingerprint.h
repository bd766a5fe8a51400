// SSH host key pins, in the forms administrators copy from other tools:
// "SHA256:" and the base64 of the key's SHA-256 digest (as ssh-keygen -l
// prints it), optionally preceded by the key type and its bits
// ("ssh-ed25519 255 SHA256:..."), or that base64 alone after a type.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlin {

struct HostKeyPin {
    std::string keyType;  // the key's type ("ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa"); empty: not named
    std::string digest;   // SHA-256, 32 bytes
};

enum class PinProblem { kNone, kUnreadable, kMd5 };

// The pins of one or more fingerprints (a server in the middle of a key
// rotation has two, a server with several key types one each), separated by
// commas, semicolons or blanks; base64 padding and surrounding blanks are
// allowed. An empty text gives none. Anything else leaves `pins` untouched
// and says why it was refused (an MD5 fingerprint, "aa:bb:...", names itself).
PinProblem ParseHostKeyFingerprints(std::wstring_view text, std::vector<HostKeyPin>& pins);

// The type of key a host key algorithm signs with: "ssh-rsa" for RSA's
// SHA-2 signatures; empty for an algorithm the component does not know.
std::string HostKeyTypeOf(std::string_view algorithm);

// "SHA256:..." for a 32-byte digest.
std::wstring HostKeyFingerprintText(const std::string& digest);

}  // namespace quorlin
