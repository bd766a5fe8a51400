#include "CodePageText.h"

#include "Text.h"

namespace quorlin {
namespace {

thread_local UINT replyCodePage = 0;

// A raw byte shown as a lone low surrogate; such a character is no text of
// any code page, so it never stands for itself.
constexpr wchar_t kFirstRawByte = 0xDC80, kLastRawByte = 0xDCFF;
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
// Only an unpaired one: the low half of a pair is part of a character.
bool IsRawByte(std::wstring_view text, size_t at) {
    return text[at] >= kFirstRawByte && text[at] <= kLastRawByte && (at == 0 || !IsHighSurrogate(text[at - 1]));
}

}  // namespace

bool CodePageText::Allowed(LONG codePage) {
    return codePage == 0 || (codePage > CP_THREAD_ACP && IsValidCodePage(static_cast<UINT>(codePage)));
}

// A character the code page lacks comes back as something else (a default
// character, a best fit, a replacement for a lone surrogate): the round trip
// finds every such case, whatever flags the code page accepts.
bool CodePageText::Encode(std::wstring_view text, std::string& bytes) const {
    std::string encoded;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !IsRawByte(text, i)) continue;
        const std::wstring_view run = text.substr(start, i - start);
        const std::string part = ToCodePage(codePage_, run);
        if (FromCodePage(codePage_, part) != run) return false;
        encoded += part;
        if (i < text.size()) encoded += static_cast<char>(text[i] - kFirstRawByte + 0x80);
        start = i + 1;
    }
    // The ANSI entry points carry the bytes through the ANSI code page: bytes
    // that do not survive that (invalid in a multi-byte code page) would
    // reach the server changed.
    if (ToCodePage(CP_ACP, FromCodePage(CP_ACP, encoded)) != encoded) return false;
    bytes = std::move(encoded);
    return true;
}

std::wstring CodePageText::DecodeName(std::string_view bytes) const {
    std::wstring text = Decode(bytes);
    if (ToCodePage(codePage_, text) == bytes) return text;
    text.clear();
    for (const char byte : bytes) {
        const unsigned char value = static_cast<unsigned char>(byte);
        text += value < 0x80 ? static_cast<wchar_t>(value) : static_cast<wchar_t>(kFirstRawByte + value - 0x80);
    }
    return text;
}

bool CodePageText::HoldsRawBytes(std::wstring_view name) {
    for (size_t i = 0; i < name.size(); ++i)
        if (IsRawByte(name, i)) return true;
    return false;
}

// Code page 0 is CP_ACP itself.
std::wstring CodePageText::Decode(std::string_view bytes) const { return FromCodePage(codePage_, bytes); }

HRESULT RemoteTextFromVariant(const CodePageText& names, const VARIANT* value, const wchar_t* source,
                              const PlatformFailure& failure, std::string& bytes) {
    std::wstring text;
    const HRESULT hr = VariantToText(value, source, text);
    return FAILED(hr) ? hr : RemoteText(names, text, source, failure, bytes);
}

HRESULT RemoteText(const CodePageText& names, std::wstring_view text, const wchar_t* source,
                   const PlatformFailure& failure, std::string& bytes) {
    const HRESULT hr = CheckCommandText(text, source, failure);
    if (FAILED(hr)) return hr;
    if (!names.Encode(text, bytes))
        return RaisePlatformError(failure.code, source, failure.message, ERROR_NO_UNICODE_TRANSLATION,
                                  failure.operation);
    // A code page may write a character as a line end's byte (EBCDIC's
    // U+0085 and U+008E are LF): checked again as the server will read it.
    if (bytes.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return RaisePlatformError(failure.code, source, failure.message, ERROR_INVALID_PARAMETER, failure.operation);
    return S_OK;
}

ReplyTextScope::ReplyTextScope(UINT codePage) : previous_(replyCodePage) { replyCodePage = codePage; }
ReplyTextScope::~ReplyTextScope() { replyCodePage = previous_; }
UINT ReplyTextScope::Current() { return replyCodePage; }

}  // namespace quorlin
