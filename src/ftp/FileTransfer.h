// Single-file transfers between the local file system and the FTP server,
// piece by piece through the session's remote file: on the caller's
// thread, or within an active time limit on the object's worker with every
// piece counted as progress.
#pragma once

#include "../text/CodePageText.h"
#include "../work/TimeLimit.h"
#include "../session/FtpSession.h"
#include <oaidl.h>

namespace quorlin {

// Remote paths are in `names`' code page; local paths may hold any character.
// Uploads `localPath` to `remotePath` in `transferType` (1 ASCII, 2 binary).
// Within a limit the pieces are small enough that a transfer that keeps
// moving is never cut.
HRESULT UploadFile(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session, const VARIANT* localPath,
                   const VARIANT* remotePath, DWORD transferType);

// Downloads `remotePath` to `localPath`. Only an `overwrite` of true (all
// bits set) may replace an existing local file. Every download goes into a
// temporary file beside the destination that is moved over it once complete,
// so a failed transfer leaves an existing file as it was; a transfer that
// runs on after its time-out removes its temporary file when it ends, and the
// file goes with the process should that end first.
HRESULT DownloadFile(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session, const VARIANT* remotePath,
                     const VARIANT* localPath, VARIANT_BOOL overwrite, DWORD transferType);

}  // namespace quorlin
