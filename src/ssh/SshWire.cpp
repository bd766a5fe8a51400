#include "SshWire.h"

#include <openssl/crypto.h>

namespace quorlin {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

bool WireReader::Number(uint32_t& value) {
    if (data_.size() < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(data_[i]);
    data_.remove_prefix(4);
    return true;
}

bool WireReader::Text(std::string_view& value) {
    uint32_t length = 0;
    if (!Number(length) || data_.size() < length) return false;
    value = data_.substr(0, length);
    data_.remove_prefix(length);
    return true;
}

bool WireReader::Unsigned(std::string_view& value) {
    if (!Text(value)) return false;
    while (!value.empty() && value.front() == '\0') value.remove_prefix(1);
    return true;
}

bool WireReader::Bytes(size_t count, std::string_view& value) {
    if (data_.size() < count) return false;
    value = data_.substr(0, count);
    data_.remove_prefix(count);
    return true;
}

void PutNumber(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutText(std::string& out, std::string_view text) {
    PutNumber(out, static_cast<uint32_t>(text.size()));
    out.append(text);
}

void PutUnsigned(std::string& out, std::string_view magnitude) {
    while (!magnitude.empty() && magnitude.front() == '\0') magnitude.remove_prefix(1);
    const bool topBit = !magnitude.empty() && (static_cast<unsigned char>(magnitude.front()) & 0x80);
    PutNumber(out, static_cast<uint32_t>(magnitude.size() + (topBit ? 1 : 0)));
    if (topBit) out.push_back('\0');
    out.append(magnitude);
}

std::string Base64(std::string_view data) {
    std::string text;
    uint32_t bits = 0;
    int held = 0;
    for (const char byte : data) {
        bits = (bits << 8) | static_cast<unsigned char>(byte);
        held += 8;
        while (held >= 6) {
            held -= 6;
            text.push_back(kAlphabet[(bits >> held) & 0x3F]);
        }
    }
    if (held > 0) text.push_back(kAlphabet[(bits << (6 - held)) & 0x3F]);
    while (text.size() % 4 != 0) text.push_back('=');
    return text;
}

bool Unbase64(std::string_view text, std::string& data) {
    data.clear();
    uint32_t bits = 0;
    int held = 0;
    bool padded = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        if (c == '=') {
            padded = true;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padded) return false;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            data.push_back(static_cast<char>((bits >> held) & 0xFF));
        }
    }
    return true;
}

void Wipe(std::string& secret) {
    if (!secret.empty()) OPENSSL_cleanse(secret.data(), secret.size());
    secret.clear();
}

}  // namespace quorlin
