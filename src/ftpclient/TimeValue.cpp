#include "TimeValue.h"

#include <algorithm>
#include <cstdio>

namespace quorlin {
namespace {

bool Digits(std::string_view text, size_t from, size_t count, unsigned& number) {
    number = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
        number = number * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

}  // namespace

bool ReadTimeValue(std::string_view value, FILETIME& time) {
    unsigned year, month, day, hour, minute, second, fraction = 0;
    if (!(value.size() == 14 || (value.size() > 15 && value[14] == '.')) || !Digits(value, 0, 4, year) ||
        !Digits(value, 4, 2, month) || !Digits(value, 6, 2, day) || !Digits(value, 8, 2, hour) ||
        !Digits(value, 10, 2, minute) || !Digits(value, 12, 2, second))
        return false;
    if (value.size() > 15) {
        // Every digit of the fraction is checked, the first three are kept.
        unsigned ignored = 0;
        for (size_t at = 15; at < value.size(); ++at)
            if (!Digits(value, at, 1, ignored)) return false;
        const size_t digits = std::min<size_t>(value.size() - 15, 3);
        Digits(value, 15, digits, fraction);
        for (size_t i = digits; i < 3; ++i) fraction *= 10;
    }
    SYSTEMTIME parts{};
    parts.wYear = static_cast<WORD>(year);
    parts.wMonth = static_cast<WORD>(month);
    parts.wDay = static_cast<WORD>(day);
    parts.wHour = static_cast<WORD>(hour);
    parts.wMinute = static_cast<WORD>(minute);
    parts.wSecond = static_cast<WORD>(second);
    parts.wMilliseconds = static_cast<WORD>(fraction);
    return SystemTimeToFileTime(&parts, &time) != FALSE;
}

bool WriteTimeValue(const FILETIME& time, std::string& value) {
    SYSTEMTIME parts{};
    if (!FileTimeToSystemTime(&time, &parts) || parts.wYear > 9999) return false;
    char text[16];
    std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u", static_cast<unsigned>(parts.wYear),
                  static_cast<unsigned>(parts.wMonth), static_cast<unsigned>(parts.wDay),
                  static_cast<unsigned>(parts.wHour), static_cast<unsigned>(parts.wMinute),
                  static_cast<unsigned>(parts.wSecond));
    value.assign(text, 14);
    return true;
}

}  // namespace quorlin
