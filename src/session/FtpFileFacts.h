// What an FTP server says of one remote name, read the same way by both FTP
// sessions: the replies to SIZE and MDTM, and whether a name is there.
#pragma once

#include "FtpSession.h"

#include <string>
#include <string_view>

namespace quorlin {

// "213 <bytes>": the size. False with the extended error otherwise.
bool ReadSizeReply(std::string_view reply, unsigned long long& size);
// "213 YYYYMMDDHHMMSS[.fraction]", a time in UTC. False with the extended
// error otherwise.
bool ReadTimeReply(std::string_view reply, FILETIME& modified);
// A file answers SIZE; a folder can be entered (the working directory is
// then set back). A 550 to both says there is no such name; any other
// failure is the answer's.
bool FtpNameExists(FtpSession& session, const std::string& path, bool& exists);

}  // namespace quorlin
