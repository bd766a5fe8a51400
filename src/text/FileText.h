// A remote file's content as text, and text as a file's content: UTF-8
// unless a code page is given.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace quorlin {

// The bytes of `text`: UTF-8 without a byte-order mark, or `codePage` (0 the
// ANSI code page). False with 1113 when a character has no exact form there:
// nothing is substituted.
bool EncodeFileText(std::wstring_view text, std::optional<UINT> codePage, std::string& bytes);

// The text of `bytes`: UTF-8, where a UTF-8 or UTF-16 byte-order mark is
// honoured and removed, or `codePage` (a UTF-8 one still drops its mark).
// False with 1113 for bytes that do not decode, and with 8 for more
// characters than one automation string holds.
bool DecodeFileText(std::string_view bytes, std::optional<UINT> codePage, std::wstring& text);

}  // namespace quorlin
