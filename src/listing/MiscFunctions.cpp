#include "MiscFunctions.h"

#include "../platform/Constants.h"

namespace quorlin {
namespace {

// Writes the decimal digits of `value`, with "0" put in front up to `width`,
// so that they end just before `end`; returns where they start. The
// library's number formatting is many times slower, and a listing entry
// needs eighteen of these.
wchar_t* WritePadded(unsigned long value, int width, wchar_t* end) {
    wchar_t* first = end;
    do {
        *--first = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (end - first < width) *--first = L'0';
    return first;
}

}  // namespace

std::wstring PadWithZeros(long value, int width) {
    wchar_t digits[24];
    wchar_t* const end = digits + 24;
    const unsigned long magnitude =
        value < 0 ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    wchar_t* first = WritePadded(magnitude, 0, end);
    if (value < 0) *--first = L'-';
    std::wstring text(first, end);
    if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<size_t>(width) - text.size(), L'0');
    return text;
}

TimeText FileTimeToText(const FILETIME& stamp) {
    TimeText result;
    FILETIME local;
    SYSTEMTIME parts;
    // A five-digit year would not fit the date column.
    if (!FileTimeToLocalFileTime(&stamp, &local) || !FileTimeToSystemTime(&local, &parts) ||
        parts.wYear > kLastListedYear) {
        const std::wstring_view unknown = kUnknownTimeText;
        result.length = unknown.copy(result.characters, kTimeTextChars);
        return result;
    }
    // "MM/DD/YYYY hh:mm:ss  ", each field as PadWithZeros(field, 2) makes it.
    wchar_t* text = result.characters;
    WritePadded(parts.wMonth, 2, text + 2);
    text[2] = L'/';
    WritePadded(parts.wDay, 2, text + 5);
    text[5] = L'/';
    WritePadded(parts.wYear, 2, text + 10);
    text[10] = L' ';
    WritePadded(parts.wHour, 2, text + 13);
    text[13] = L':';
    WritePadded(parts.wMinute, 2, text + 16);
    text[16] = L':';
    WritePadded(parts.wSecond, 2, text + 19);
    text[19] = L' ';
    text[20] = L' ';
    result.length = kTimeTextChars;
    return result;
}

bool FileTimeToLocalDate(const FILETIME& stamp, DATE& date) {
    SYSTEMTIME utc, local;
    if (!FileTimeToSystemTime(&stamp, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
    local.wMilliseconds = 0;
    return SystemTimeToVariantTime(&local, &date) != FALSE;
}

}  // namespace quorlin
