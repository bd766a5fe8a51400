#include "ListedTime.h"

namespace quorlin {
namespace {

// What servers list with its minutes rather than its year: about six months back.
constexpr unsigned long long kRecentTicks = 180ULL * 24 * 60 * 60 * 10000000;

unsigned long long Ticks(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

FILETIME ListedTime(const FILETIME& modified) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    SYSTEMTIME parts{};
    if (!FileTimeToSystemTime(&modified, &parts)) return FILETIME{};
    parts.wSecond = 0;
    parts.wMilliseconds = 0;
    if (Ticks(modified) <= Ticks(now) && Ticks(now) - Ticks(modified) <= kRecentTicks) {
        SYSTEMTIME local{};
        GetLocalTime(&local);
        parts.wYear = local.wYear;
    } else {
        parts.wHour = 12;
        parts.wMinute = 0;
    }
    FILETIME listed{};
    if (!SystemTimeToFileTime(&parts, &listed)) return FILETIME{};
    return listed;
}

}  // namespace quorlin
