// Gives remote files a modification time over an FTP session, by whichever
// command the server takes: MFMT, or MDTM with a time before the path. The
// way found is kept for the session's later calls, and so is a server that
// has none.
#pragma once

#include "FtpSession.h"

#include <string>

namespace quorlin {

class FileTimeSetter {
public:
    enum class Start {
        kModifyCommand,  // the server offers MFMT
        kTimeArgument,   // it lists its features without MFMT
        kUnknown,        // it does not tell: MFMT is tried first
    };

    void Begin(Start start);
    // As FtpSession::SetFileTime, through `session`'s commands; its FileTime
    // checks a time that MDTM claims to have set before MDTM is trusted.
    bool Set(FtpSession& session, const std::string& path, const FILETIME& modified);

private:
    enum class Way { kModifyCommand, kTimeArgumentUnproven, kTimeArgument, kNone };

    bool SetByTimeArgument(FtpSession& session, const std::string& line, const std::string& path,
                           const FILETIME& modified);
    static bool Failed(DWORD error);
    bool NotSupported(bool remembered);

    Way way_ = Way::kModifyCommand;
};

}  // namespace quorlin
