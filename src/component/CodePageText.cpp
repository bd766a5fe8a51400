#include "CodePageText.h"

#include "Text.h"

namespace quorlin {
namespace {

thread_local UINT replyCodePage = 0;

}  // namespace

bool CodePageText::Allowed(LONG codePage) {
    return codePage == 0 || (codePage > CP_THREAD_ACP && IsValidCodePage(static_cast<UINT>(codePage)));
}

// A character the code page lacks comes back as something else (a default
// character, a best fit, a replacement for a lone surrogate): the round trip
// finds every such case, whatever flags the code page accepts.
bool CodePageText::Encode(std::wstring_view text, std::string& bytes) const {
    if (codePage_ == CP_ACP) {
        bytes = ToCodePage(CP_ACP, text);
        return true;
    }
    std::string encoded = ToCodePage(codePage_, text);
    if (FromCodePage(codePage_, encoded) != text) return false;
    // The ANSI entry points carry the bytes through the ANSI code page: bytes
    // that do not survive that (invalid in a multi-byte code page) would
    // reach the server changed.
    if (codePage_ != GetACP() && ToCodePage(CP_ACP, FromCodePage(CP_ACP, encoded)) != encoded) return false;
    bytes = std::move(encoded);
    return true;
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
    const HRESULT hr = CheckPlatformText(text, source, failure);
    if (FAILED(hr)) return hr;
    if (!names.Encode(text, bytes))
        return RaisePlatformError(failure.code, source, failure.message, ERROR_NO_UNICODE_TRANSLATION,
                                  failure.operation);
    return S_OK;
}

bool FitsAnsi(std::wstring_view text) { return FromCodePage(CP_ACP, ToCodePage(CP_ACP, text)) == text; }

ReplyTextScope::ReplyTextScope(UINT codePage) : previous_(replyCodePage) { replyCodePage = codePage; }
ReplyTextScope::~ReplyTextScope() { replyCodePage = previous_; }
UINT ReplyTextScope::Current() { return replyCodePage; }

}  // namespace quorlin
