// The time an FTP LIST line shows of a file whose exact time is known, so
// that listings that know it (MLSD, SFTP) fill their records as LIST does.
#pragma once

#include "../platform/WinInetAPI.h"

namespace quorlin {

// `modified` in UTC as a server in UTC lists it and the platform reads it:
// a time of the last six months to the minute, in the local year; an older
// one, or one in the future, as noon of its day. Zero for a time the system
// cannot convert.
FILETIME ListedTime(const FILETIME& modified);

}  // namespace quorlin
