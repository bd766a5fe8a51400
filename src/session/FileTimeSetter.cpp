#include "FileTimeSetter.h"

#include "../ftpclient/TimeValue.h"
#include "../platform/Constants.h"
#include "../text/Error.h"
#include "FtpFileFacts.h"

#include <string_view>

namespace quorlin {
namespace {

// Replies of a server that does not know a command, or not this use of it.
bool Refused(int code) { return code == 202 || code == 500 || code == 501 || code == 502 || code == 504; }

bool SameSecond(const FILETIME& one, const FILETIME& other) {
    constexpr unsigned long long kTicksPerSecond = 10000000;
    auto seconds = [](const FILETIME& time) {
        return ((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / kTicksPerSecond;
    };
    return seconds(one) == seconds(other);
}

}  // namespace

void FileTimeSetter::Begin(Start start) {
    way_ = start == Start::kTimeArgument ? Way::kTimeArgumentUnproven : Way::kModifyCommand;
}

bool FileTimeSetter::Set(FtpSession& session, const std::string& path, const FILETIME& modified) {
    std::string stamp;
    if (path.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos || !WriteTimeValue(modified, stamp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (way_ == Way::kModifyCommand) {
        const bool accepted = session.Command(("MFMT " + stamp + " " + path).c_str());
        const DWORD error = GetLastError();
        const int code = LastReplyCode();
        if (accepted && code != 202) return true;
        if (!Refused(code) || (!accepted && error != kExtendedError)) return Failed(error);
        // Not known: some servers set the time through MDTM instead.
        way_ = Way::kTimeArgumentUnproven;
    }
    if (way_ == Way::kNone) return NotSupported(true);
    return SetByTimeArgument(session, "MDTM " + stamp + " " + path, path, modified);
}

bool FileTimeSetter::SetByTimeArgument(FtpSession& session, const std::string& line, const std::string& path,
                                       const FILETIME& modified) {
    const bool accepted = session.Command(line.c_str());
    // Reading the reply resets the thread's last error: it is taken first.
    const DWORD error = GetLastError();
    const int code = LastReplyCode();
    if (!accepted && error != kExtendedError) return Failed(error);
    if (Refused(code)) return NotSupported(true);
    // A server reads "MDTM <time> <path>" as a time to set only where no
    // file has that whole text as its name; where one has, or where it
    // never sets times, it answers for that file: with its time, or that
    // there is none (550). The file's own time tells what happened.
    FILETIME answered{};
    const bool timeReply = accepted && ReadTimeReply(LastServerReplyText(), answered);
    if (way_ == Way::kTimeArgument && !timeReply) return accepted || Failed(error);
    const std::string reply = LastServerReplyText();
    FILETIME now{};
    if (!session.FileTime(path, now)) {
        if (GetLastError() != kExtendedError || accepted) return false;
        // No such file to set: the first refusal is the answer.
        KeepServerReply(reply);
        SetLastError(kExtendedError);
        return false;
    }
    if (accepted && SameSecond(now, modified)) {
        way_ = Way::kTimeArgument;
        return true;
    }
    // A claim of success that set nothing says the server has no way; a
    // refusal, or another file's time, may concern this name alone.
    return NotSupported(accepted && !timeReply);
}

bool FileTimeSetter::Failed(DWORD error) {
    SetLastError(error);
    return false;
}

bool FileTimeSetter::NotSupported(bool remembered) {
    if (remembered) way_ = Way::kNone;
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

}  // namespace quorlin
