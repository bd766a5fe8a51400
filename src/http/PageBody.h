// The body of one response: its bytes gathered read by read in one growing
// buffer, and turned into text once, as a whole, so that a character of a
// multi-byte code page never splits between two reads.
#pragma once

#include "../platform/WinInetAPI.h"
#include <oaidl.h>

#include <vector>

namespace quorlin {

class PageBody {
public:
    // Reads the next piece of the response; false with the thread's last
    // error set when the read fails. `finished` is true once a read returned
    // no bytes.
    bool ReadPiece(HINTERNET request, bool& finished);

    // Whether the response announced a length that the bytes read fall short
    // of: a connection that ends early ends the body without a failed read.
    bool ShorterThanAnnounced(HINTERNET request) const;

    // The bytes as text in the system's ANSI code page; the bytes are freed.
    HRESULT TakeText(BSTR* text);

private:
    std::vector<char> bytes_;
};

}  // namespace quorlin
