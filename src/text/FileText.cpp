#include "FileText.h"

#include "../platform/Constants.h"

#include <climits>

namespace quorlin {
namespace {

bool Fail(DWORD error) {
    SetLastError(error);
    return false;
}

bool StartsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

bool DecodeUtf16(std::string_view bytes, bool bigEndian, std::wstring& text) {
    if (bytes.size() % 2 != 0) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (bytes.size() / 2 > kLongestText) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    std::wstring decoded(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < decoded.size(); ++i) {
        const unsigned char first = static_cast<unsigned char>(bytes[2 * i]);
        const unsigned char second = static_cast<unsigned char>(bytes[2 * i + 1]);
        decoded[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    text = std::move(decoded);
    return true;
}

}  // namespace

bool EncodeFileText(std::wstring_view text, std::optional<UINT> codePage, std::string& bytes) {
    const UINT page = codePage.value_or(CP_UTF8);
    if (text.empty()) {
        bytes.clear();
        return true;
    }
    if (text.size() > INT_MAX / 4) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    const int length = static_cast<int>(text.size());
    // UTF-8 refuses a lone surrogate itself; other code pages are checked by
    // reading the bytes back, which works for every one of them.
    const DWORD flags = page == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
    const int size = WideCharToMultiByte(page, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    std::string encoded(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(page, flags, text.data(), length, encoded.data(), size, nullptr, nullptr);
    if (page != CP_UTF8) {
        std::wstring back(text.size(), L'\0');
        const int read = MultiByteToWideChar(page, 0, encoded.data(), size, back.data(), length);
        if (read != length || std::wstring_view(back) != text) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    }
    bytes = std::move(encoded);
    return true;
}

bool DecodeFileText(std::string_view bytes, std::optional<UINT> codePage, std::wstring& text) {
    const UINT page = codePage.value_or(CP_UTF8);
    if (page == CP_UTF8 && StartsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
    else if (!codePage && StartsWith(bytes, "\xFF\xFE")) return DecodeUtf16(bytes.substr(2), false, text);
    else if (!codePage && StartsWith(bytes, "\xFE\xFF")) return DecodeUtf16(bytes.substr(2), true, text);
    if (bytes.empty()) {
        text.clear();
        return true;
    }
    if (bytes.size() > INT_MAX) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    const int length = static_cast<int>(bytes.size());
    // Some code pages take no flags: they decode every byte anyway.
    DWORD flags = MB_ERR_INVALID_CHARS;
    int size = MultiByteToWideChar(page, flags, bytes.data(), length, nullptr, 0);
    if (size <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        size = MultiByteToWideChar(page, flags, bytes.data(), length, nullptr, 0);
    }
    if (size <= 0) return false;
    if (static_cast<size_t>(size) > kLongestText) return Fail(ERROR_NOT_ENOUGH_MEMORY);
    std::wstring decoded(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(page, flags, bytes.data(), length, decoded.data(), size);
    text = std::move(decoded);
    return true;
}

}  // namespace quorlin
