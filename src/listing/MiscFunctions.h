// The display text of listing time stamps.
#pragma once

#include "../platform/Constants.h"
#include "../platform/FileDateTime.h"

#include <oaidl.h>
#include <string>
#include <string_view>

namespace quorlin {

// The decimal text of `value` with "0" put in front until it is `width`
// characters long; a longer text is never shortened.
std::wstring PadWithZeros(long value, int width);

// A time text, held without allocation.
struct TimeText {
    wchar_t characters[kTimeTextChars];
    size_t length;
    std::wstring_view View() const { return std::wstring_view(characters, length); }
};

// A UTC file time as local "MM/DD/YYYY hh:mm:ss" and two blanks (21
// characters), converted with the offset in force at the moment of the call.
// A stamp that cannot be converted, or whose local year is after 9999, gives
// "unknown" and 13 blanks.
TimeText FileTimeToText(const FILETIME& stamp);

// A UTC file time as an automation date in local time, converted with the
// offset in force at that date (seconds kept, milliseconds dropped). False
// for a stamp that has no such date.
bool FileTimeToLocalDate(const FILETIME& stamp, DATE& date);

}  // namespace quorlin
