// The body of one response, gathered read by read and turned into text once,
// as a whole, so that a character of a multi-byte code page never splits
// between two reads.
//
// When the response announces its length and the ANSI code page has one byte
// per character, the bytes are read straight into the text's own buffer and
// widened there in place: one allocation of the text's size, no copy. Other
// bodies gather in a growing byte buffer that is converted at the end.
#pragma once

#include "../component/Owners.h"
#include "../platform/WinInetAPI.h"

#include <optional>
#include <vector>

namespace quorlin {

class PageBody {
public:
    // Looks at the response's announced length, before the first read.
    void Prepare(HINTERNET request);

    // Reads the next piece of the response; false with the thread's last
    // error set when the read fails (or the piece finds no memory). `finished`
    // is true once a read returned no bytes.
    bool ReadPiece(HINTERNET request, bool& finished);

    // Whether the response announced a length that the bytes read fall short
    // of: a connection that ends early ends the body without a failed read.
    bool ShorterThanAnnounced() const { return announced_ && received_ < *announced_; }

    // The bytes as text in the system's ANSI code page; the bytes are freed.
    HRESULT TakeText(BSTR* text);

private:
    bool ReadIntoText(HINTERNET request, bool& finished);
    bool ReadIntoBytes(HINTERNET request, bool& finished);
    // Moves what the text's buffer holds, and `count` bytes more, to the growing buffer.
    bool MoveToBytes(const char* more, size_t count);

    std::optional<unsigned long long> announced_;
    unsigned long long received_ = 0;
    Bstr text_;                // when set: the first received_ bytes of its buffer are the body
    std::vector<char> bytes_;  // otherwise: the body
};

}  // namespace quorlin
