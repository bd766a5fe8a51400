// The body of one response, gathered read by read and turned into text once,
// as a whole, so that a character of a multi-byte code page never splits
// between two reads.
//
// When the response announces its length and the ANSI code page has one byte
// per character, the bytes are read straight into the text's own buffer and
// widened there in place. A long body's text is taken only once an eighth of
// it has arrived (the bytes before gather in a buffer and move over), never
// from the announced length alone. Other bodies gather in a growing byte
// buffer that is converted at the end. A body that could never become one
// text fails as soon as that is known.
#pragma once

#include "../platform/Owners.h"
#include "../platform/WinInetAPI.h"

#include <optional>
#include <vector>

namespace quorlin {

class PageBody {
public:
    // Looks at the response's announced length and coding, before the first
    // read. False with the last error set when the announced body could never
    // become one text.
    bool Prepare(HINTERNET request);

    // Reads the next piece of the response; false with the thread's last
    // error set when the read fails, or when the body grows beyond what one
    // text can hold (nothing more is read then). `finished` is true once a
    // read returned no bytes.
    bool ReadPiece(HINTERNET request, bool& finished);

    // Whether the response announced a length that the bytes read fall short
    // of: a connection that ends early ends the body without a failed read.
    // A chunked body is complete when its coding ends, whatever length the
    // response also claimed.
    bool ShorterThanAnnounced() const { return announced_ && received_ < *announced_; }
    unsigned long long Received() const { return received_; }

    // The bytes as text in the system's ANSI code page; the bytes are freed.
    // False with the last error set when the text finds no memory.
    bool TakeText(BSTR* text);

private:
    bool ReadIntoText(HINTERNET request, bool& finished);
    bool ReadIntoBytes(HINTERNET request, bool& finished);
    // Takes the text at the announced length and moves the bytes gathered so far into it.
    void MoveToText();
    // Moves what the text's buffer holds, and `count` bytes more, to the growing buffer.
    bool MoveToBytes(const char* more, size_t count);

    std::optional<unsigned long long> announced_;
    unsigned long long received_ = 0;
    bool inText_ = false;      // the body is to move into a text of the announced length
    Bstr text_;                // when set: the first received_ bytes of its buffer are the body
    std::vector<char> bytes_;  // otherwise: the body
};

}  // namespace quorlin
