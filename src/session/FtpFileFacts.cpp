#include "FtpFileFacts.h"

#include "../ftpclient/TimeValue.h"
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
    if (ReadTimeValue(value, modified)) return true;
    SetLastError(kExtendedError);
    return false;
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
