// What a batch exchange asks of the FTP object for the server's side: each
// call within the object's time limit, failing as the object's own members
// fail, and letting go of a connection that a time-out or the server ended.
#pragma once

#include "../platform/ListedEntry.h"
#include "../session/FtpSession.h"
#include "../text/CodePageText.h"
#include "../text/Error.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorlin {

class RemoteAccess {
public:
    virtual ~RemoteAccess() = default;
    // The code page of remote names on the open session.
    virtual CodePageText Names() const = 0;
    // Runs `ask` on the open session; raises `failure` when it fails. `ask`
    // may run on after a time-out: it owns what it uses.
    virtual HRESULT Ask(const PlatformFailure& failure, std::function<bool(FtpSession&)> ask) = 0;
    // The records of the current remote directory.
    virtual HRESULT ListEntries(std::vector<ListedEntry>& entries) = 0;
    // Whole files in binary type; a download replaces `local` only when
    // whole, and when `wholeSize` is given only at that length.
    virtual HRESULT Upload(const std::wstring& local, const std::wstring& remote) = 0;
    virtual HRESULT Download(const std::wstring& remote, const std::wstring& local, bool overwrite,
                             std::optional<unsigned long long> wholeSize) = 0;
};

}  // namespace quorlin
