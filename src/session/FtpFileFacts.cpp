#include "FtpFileFacts.h"

#include "../platform/Constants.h"
#include "../text/Error.h"

#include <algorithm>

namespace quorlin {
namespace {

// The text behind "213 " on the reply's last line, or false.
bool ReplyValue(std::string_view reply, std::string_view& value) {
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.remove_suffix(1);
    const size_t lineStart = reply.find_last_of('\n');
    if (lineStart != std::string_view::npos) reply.remove_prefix(lineStart + 1);
    if (reply.size() < 5 || reply.substr(0, 4) != "213 ") {
        SetLastError(kExtendedError);
        return false;
    }
    value = reply.substr(4);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    return true;
}

bool Digits(std::string_view text, size_t from, size_t count, unsigned& number) {
    number = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
        number = number * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

}  // namespace

bool ReadSizeReply(std::string_view reply, unsigned long long& size) {
    std::string_view value;
    if (!ReplyValue(reply, value)) return false;
    unsigned long long bytes = 0;
    // Beyond 19 digits a size would not fit: no file is that large.
    bool read = !value.empty() && value.size() <= 19;
    for (char c : value) {
        if (c < '0' || c > '9') read = false;
        else bytes = bytes * 10 + static_cast<unsigned>(c - '0');
    }
    if (!read) {
        SetLastError(kExtendedError);
        return false;
    }
    size = bytes;
    return true;
}

bool ReadTimeReply(std::string_view reply, FILETIME& modified) {
    std::string_view value;
    if (!ReplyValue(reply, value)) return false;
    unsigned year, month, day, hour, minute, second, fraction = 0;
    SYSTEMTIME parts{};
    bool read = (value.size() == 14 || (value.size() > 15 && value[14] == '.')) && Digits(value, 0, 4, year) &&
                Digits(value, 4, 2, month) && Digits(value, 6, 2, day) && Digits(value, 8, 2, hour) &&
                Digits(value, 10, 2, minute) && Digits(value, 12, 2, second);
    // Milliseconds from the first three digits of a fraction.
    if (read && value.size() > 15) {
        const size_t digits = std::min<size_t>(value.size() - 15, 3);
        read = Digits(value, 15, digits, fraction);
        for (size_t i = digits; i < 3; ++i) fraction *= 10;
    }
    if (read) {
        parts.wYear = static_cast<WORD>(year);
        parts.wMonth = static_cast<WORD>(month);
        parts.wDay = static_cast<WORD>(day);
        parts.wHour = static_cast<WORD>(hour);
        parts.wMinute = static_cast<WORD>(minute);
        parts.wSecond = static_cast<WORD>(second);
        parts.wMilliseconds = static_cast<WORD>(fraction);
        read = SystemTimeToFileTime(&parts, &modified) != FALSE;
    }
    if (!read) SetLastError(kExtendedError);
    return read;
}

bool FtpNameExists(FtpSession& session, const std::string& path, bool& exists) {
    constexpr int kNoSuchName = 550;
    unsigned long long size = 0;
    exists = true;
    if (session.FileSize(path, size)) return true;
    if (GetLastError() != kExtendedError || LastReplyCode() != kNoSuchName) return false;
    // Not a file, or not there: a folder can be entered.
    std::string current;
    if (!session.CurrentDirectory(current)) return false;
    if (session.SetDirectory(path)) return session.SetDirectory(current);
    if (GetLastError() != kExtendedError || LastReplyCode() != kNoSuchName) return false;
    exists = false;
    return true;
}

}  // namespace quorlin
