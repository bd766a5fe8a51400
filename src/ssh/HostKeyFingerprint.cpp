#include "HostKeyFingerprint.h"

#include <cstdint>
#include <cwctype>

namespace quorlin {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::wstring_view kPrefix = L"SHA256:";
constexpr size_t kDigestSize = 32;

int Base64Value(wchar_t c) {
    for (int i = 0; i < 64; ++i)
        if (static_cast<wchar_t>(kAlphabet[i]) == c) return i;
    return -1;
}

// Blanks, tabs and line breaks (a list pasted one pin a line), commas and semicolons.
bool IsSeparator(wchar_t c) { return c == L',' || c == L';' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool ParseOne(std::wstring_view text, std::string& digest) {
    if (text.size() <= kPrefix.size()) return false;
    for (size_t i = 0; i < kPrefix.size(); ++i)
        if (towupper(text[i]) != kPrefix[i]) return false;
    text.remove_prefix(kPrefix.size());
    while (!text.empty() && text.back() == L'=') text.remove_suffix(1);
    std::string bytes;
    uint32_t bits = 0;
    int held = 0;
    for (const wchar_t c : text) {
        const int value = Base64Value(c);
        if (value < 0) return false;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    if (bytes.size() != kDigestSize) return false;
    digest = std::move(bytes);
    return true;
}

}  // namespace

bool ParseHostKeyFingerprints(std::wstring_view text, std::vector<std::string>& digests) {
    std::vector<std::string> parsed;
    size_t start = 0;
    while (start < text.size()) {
        if (IsSeparator(text[start])) {
            ++start;
            continue;
        }
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end])) ++end;
        std::string digest;
        if (!ParseOne(text.substr(start, end - start), digest)) return false;
        parsed.push_back(std::move(digest));
        start = end;
    }
    digests = std::move(parsed);
    return true;
}

std::wstring HostKeyFingerprintText(const std::string& digest) {
    std::wstring text(kPrefix);
    uint32_t bits = 0;
    int held = 0;
    for (const char byte : digest) {
        bits = (bits << 8) | static_cast<unsigned char>(byte);
        held += 8;
        while (held >= 6) {
            held -= 6;
            text.push_back(static_cast<wchar_t>(kAlphabet[(bits >> held) & 0x3F]));
        }
    }
    if (held > 0) text.push_back(static_cast<wchar_t>(kAlphabet[(bits << (6 - held)) & 0x3F]));
    return text;
}

}  // namespace quorlin
