// The SSH wire encoding that key files use (32-bit lengths before strings
// and numbers) and the base64 they are stored in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorlin {

class WireReader {
public:
    explicit WireReader(std::string_view data) : data_(data) {}
    bool Number(uint32_t& value);
    bool Text(std::string_view& value);
    // An mpint without its leading zero bytes.
    bool Unsigned(std::string_view& value);
    bool Bytes(size_t count, std::string_view& value);
    std::string_view Rest() const { return data_; }

private:
    std::string_view data_;
};

void PutNumber(std::string& out, uint32_t value);
void PutText(std::string& out, std::string_view text);
// An unsigned big-endian number as an mpint: a zero byte first where the top bit is set.
void PutUnsigned(std::string& out, std::string_view magnitude);

std::string Base64(std::string_view data);
// Blanks and line breaks between the characters are skipped; padding is optional.
bool Unbase64(std::string_view text, std::string& data);

// Overwrites a secret before its memory is given back.
void Wipe(std::string& secret);

// Wipes a secret when the scope ends, however it ends.
class WipeOnExit {
public:
    explicit WipeOnExit(std::string& secret) : secret_(secret) {}
    ~WipeOnExit() { Wipe(secret_); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    std::string& secret_;
};

}  // namespace quorlin
