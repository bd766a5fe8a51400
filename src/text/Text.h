// Conversions between automation values, wide texts and the ANSI texts that
// WinINet's ANSI entry points take.
#pragma once

#include <oaidl.h>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

namespace quorlin {

// The runtime's standard variant-to-text conversion: Empty is the empty text,
// numbers their decimal text, booleans True/False. Null raises "Invalid use
// of Null"; anything else that does not convert raises "Type mismatch". The
// raise uses `source`; on failure `text` is left alone.
HRESULT VariantToText(const VARIANT* value, const wchar_t* source, std::wstring& text);

// A copy of `text` in a new variant.
HRESULT TextToVariant(const std::wstring& text, VARIANT* result);
// Whether an optional argument was left out (missing, or Empty), looking
// through a variant passed by reference.
bool ArgumentMissing(const VARIANT* value);
// An optional number: none when left out; a value with no number in it
// raises "Type mismatch" with `source`.
HRESULT OptionalNumber(const VARIANT* value, const wchar_t* source, std::optional<LONG>& number);
// An array of texts from 0, as scripts walk it (For Each, UBound, VBArray).
HRESULT TextsToArray(const std::vector<std::wstring>& texts, VARIANT* result);

// Between texts and the bytes of `codePage`, with the system's conversion
// (best fit and default characters included).
std::string ToCodePage(UINT codePage, std::wstring_view text);
std::wstring FromCodePage(UINT codePage, std::string_view bytes);

std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const char* text);
// The first `length` bytes of `text`, NULs included.
std::wstring FromAnsi(const char* text, size_t length);

// Whether two texts are equal without regard to letter case.
bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view other);

// `text` without leading and trailing blanks (U+0020 only).
std::wstring TrimBlanks(const std::wstring& text);

}  // namespace quorlin
