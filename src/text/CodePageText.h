// Texts in a chosen code page: the names an FTP server stores and sends.
// Code page 0 is the system's ANSI code page, converted exactly as the
// platform's ANSI entry points convert (best fit included).
#pragma once

#include "Error.h"

#include <oaidl.h>
#include <windows.h>
#include <string>
#include <string_view>

namespace quorlin {

class CodePageText {
public:
    explicit CodePageText(UINT codePage = 0) : codePage_(codePage) {}
    UINT CodePage() const { return codePage_; }
    // 0, or a code page the system has.
    static bool Allowed(LONG codePage);

    // The text's bytes; false when a character has no exact form in the code
    // page (code page 0 included), or its bytes would not pass the ANSI entry
    // points unchanged: nothing is ever substituted or sent changed. Each
    // unpaired U+DC80 to U+DCFF stands for the byte 0x80 to 0xFF itself.
    bool Encode(std::wstring_view text, std::string& bytes) const;
    // A server's reply, read as the code page reads it.
    std::wstring Decode(std::string_view bytes) const;
    // A name the server sent, so that Encode gives back exactly its bytes:
    // decoded where the code page reads it and writes it back unchanged,
    // otherwise each byte from 0x80 up shown as U+DC80 to U+DCFF.
    std::wstring DecodeName(std::string_view bytes) const;
    // Whether `name` holds a byte that DecodeName could not read.
    static bool HoldsRawBytes(std::wstring_view name);

private:
    UINT codePage_;
};

// A remote path or name from a client's value, in `names`' bytes: the
// conversion's errors, a text that holds U+0000 (which the platform would cut
// short), a carriage return or a line feed (which would end the command line
// early), in the text or in its bytes, and one with a character the code page
// lacks each raise before any call. The last raises `failure` with the
// platform's text for a character without a mapping.
HRESULT RemoteTextFromVariant(const CodePageText& names, const VARIANT* value, const wchar_t* source,
                              const PlatformFailure& failure, std::string& bytes);
// The same for a text already converted: its checks and its bytes.
HRESULT RemoteText(const CodePageText& names, std::wstring_view text, const wchar_t* source,
                   const PlatformFailure& failure, std::string& bytes);

// The code page in which this thread reads the server's replies into error
// texts, for as long as the scope lives (0, the ANSI code page, outside any).
class ReplyTextScope {
public:
    explicit ReplyTextScope(UINT codePage);
    ReplyTextScope(const ReplyTextScope&) = delete;
    ReplyTextScope& operator=(const ReplyTextScope&) = delete;
    ~ReplyTextScope();
    static UINT Current();

private:
    UINT previous_;
};

}  // namespace quorlin
