#include "HostKeyFingerprint.h"

#include "SshWire.h"

#include <cwctype>

namespace quorlin {
namespace {

constexpr std::wstring_view kPrefix = L"SHA256:";
constexpr size_t kDigestSize = 32;
constexpr size_t kMd5Size = 16;

// Blanks, tabs and line breaks (a list pasted one pin a line), commas and semicolons.
bool IsSeparator(wchar_t c) { return c == L',' || c == L';' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (towupper(text[i]) != towupper(prefix[i])) return false;
    return true;
}

// Base64 of a SHA-256 digest, padded or not.
bool ParseDigest(std::wstring_view text, std::string& digest) {
    std::string ascii, bytes;
    for (const wchar_t c : text) {
        if (c >= 0x80) return false;
        ascii.push_back(static_cast<char>(c));
    }
    if (!Unbase64(ascii, bytes) || bytes.size() != kDigestSize) return false;
    digest = std::move(bytes);
    return true;
}

// "MD5:aa:bb:..." or "aa:bb:..." (sixteen hex pairs), as older tools print fingerprints.
bool IsMd5(std::wstring_view text) {
    if (StartsWith(text, L"MD5:")) return true;
    if (text.size() != kMd5Size * 3 - 1) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i % 3 == 2 ? text[i] != L':' : !iswxdigit(text[i])) return false;
    return true;
}

bool IsBits(std::wstring_view text) {
    if (text.empty() || text.size() > 5) return false;
    for (const wchar_t c : text)
        if (c < L'0' || c > L'9') return false;
    return true;
}

}  // namespace

std::string HostKeyTypeOf(std::string_view algorithm) {
    if (algorithm == "ssh-rsa" || algorithm == "rsa-sha2-256" || algorithm == "rsa-sha2-512") return "ssh-rsa";
    if (algorithm == "ssh-ed25519" || algorithm == "ecdsa-sha2-nistp256" || algorithm == "ecdsa-sha2-nistp384" ||
        algorithm == "ecdsa-sha2-nistp521")
        return std::string(algorithm);
    return std::string();
}

PinProblem ParseHostKeyFingerprints(std::wstring_view text, std::vector<HostKeyPin>& pins) {
    std::vector<HostKeyPin> parsed;
    std::string keyType;  // named by the token before, for the fingerprint after it
    bool bitsSeen = false;
    size_t start = 0;
    while (start < text.size()) {
        if (IsSeparator(text[start])) {
            ++start;
            continue;
        }
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        const std::wstring_view token = text.substr(start, end - start);
        start = end;
        std::string digest;
        if (IsMd5(token)) return PinProblem::kMd5;
        if (StartsWith(token, kPrefix) ? ParseDigest(token.substr(kPrefix.size()), digest)
                                       : !keyType.empty() && ParseDigest(token, digest)) {
            parsed.push_back(HostKeyPin{keyType, std::move(digest)});
            keyType.clear();
            continue;
        }
        if (!keyType.empty() && !bitsSeen && IsBits(token)) {
            bitsSeen = true;
            continue;
        }
        std::string name;
        for (const wchar_t c : token) name.push_back(c < 0x80 ? static_cast<char>(towlower(c)) : '?');
        if (!keyType.empty() || (keyType = HostKeyTypeOf(name)).empty()) return PinProblem::kUnreadable;
        bitsSeen = false;
    }
    if (!keyType.empty()) return PinProblem::kUnreadable;
    pins = std::move(parsed);
    return PinProblem::kNone;
}

std::wstring HostKeyFingerprintText(const std::string& digest) {
    std::string encoded = Base64(digest);
    while (!encoded.empty() && encoded.back() == '=') encoded.pop_back();
    return std::wstring(kPrefix) + std::wstring(encoded.begin(), encoded.end());
}

}  // namespace quorlin
