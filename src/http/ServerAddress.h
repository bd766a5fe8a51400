// Where a request goes: the server name as the URL gave it, split into the
// host and an explicit port when it ends in one.
#pragma once

#include "../platform/WinInetAPI.h"

#include <string>

namespace quorlin {

struct ServerAddress {
    std::wstring host;
    INTERNET_PORT port;
};

// "host:81" goes to host "host" on port 81, "[::1]:8080" to "[::1]" on 8080.
// Only a final ":" followed by 1 to 5 digits that make 1 to 65535 is a port;
// any other name (a bare IPv6 address among them) is the host as it stands,
// on `defaultPort`.
ServerAddress SplitServerName(const std::wstring& serverName, INTERNET_PORT defaultPort);

}  // namespace quorlin
