#include "CodePageText.h"

#include "Text.h"

namespace quorlin {
namespace {

thread_local UINT replyCodePage = 0;

std::string Narrow(UINT codePage, std::wstring_view text) {
    if (text.empty()) return std::string();
    const int count = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(codePage, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), count, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring Widen(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return std::wstring();
    const int count = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), count, text.data(), length);
    return text;
}

}  // namespace

bool CodePageText::Allowed(LONG codePage) {
    return codePage == 0 || (codePage > CP_THREAD_ACP && IsValidCodePage(static_cast<UINT>(codePage)));
}

// A character the code page lacks comes back as something else (a default
// character, a best fit, a replacement for a lone surrogate): the round trip
// finds every such case, whatever flags the code page accepts.
bool CodePageText::Encode(std::wstring_view text, std::string& bytes) const {
    if (codePage_ == 0) {
        bytes = ToAnsi(std::wstring(text));
        return true;
    }
    std::string encoded = Narrow(codePage_, text);
    if (Widen(codePage_, encoded) != text) return false;
    // The ANSI entry points carry the bytes through the ANSI code page: bytes
    // that do not survive that (invalid in a multi-byte code page) would
    // reach the server changed.
    if (codePage_ != GetACP() && Narrow(CP_ACP, Widen(CP_ACP, encoded)) != encoded) return false;
    bytes = std::move(encoded);
    return true;
}

std::wstring CodePageText::Decode(std::string_view bytes) const {
    if (codePage_ == 0) return FromAnsi(bytes.data(), bytes.size());
    return Widen(codePage_, bytes);
}

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

bool FitsAnsi(std::wstring_view text) { return Widen(CP_ACP, Narrow(CP_ACP, text)) == text; }

ReplyTextScope::ReplyTextScope(UINT codePage) : previous_(replyCodePage) { replyCodePage = codePage; }
ReplyTextScope::~ReplyTextScope() { replyCodePage = previous_; }
UINT ReplyTextScope::Current() { return replyCodePage; }

}  // namespace quorlin
