// Single-file transfers between the local file system and the FTP server,
// each one WinINet file-to-file call on the given connection handle, or in
// pieces through the platform's remote file handle: within an active time
// limit (on the worker, its data watched) and for local names outside the
// ANSI code page.
#pragma once

#include "../component/CodePageText.h"
#include "../component/TimeLimit.h"
#include "../platform/WinInetAPI.h"
#include <oaidl.h>

namespace quorlin {

// Remote paths are in `names`' code page; local paths may hold any character.
// Uploads `localPath` to `remotePath` in `transferType` (1 ASCII, 2 binary).
// Within a limit, or from a local path outside the ANSI code page, the file
// is written piece by piece through the platform's file handle, so that a
// transfer that keeps moving is never cut.
HRESULT UploadFile(TimeLimit& limit, const CodePageText& names, HINTERNET connection, const VARIANT* localPath,
                   const VARIANT* remotePath, DWORD transferType);

// Downloads `remotePath` to `localPath`. Only an `overwrite` of true (all
// bits set) may replace an existing local file; it downloads into a temporary
// file beside the destination and moves that over it once complete, so a
// failed transfer leaves the existing file as it was. Within a limit, or to a
// local path outside the ANSI code page, every download goes piece by piece
// through a temporary file, which a transfer that runs on after its time-out
// removes when it ends.
HRESULT DownloadFile(TimeLimit& limit, const CodePageText& names, HINTERNET connection, const VARIANT* remotePath,
                     const VARIANT* localPath, VARIANT_BOOL overwrite, DWORD transferType);

}  // namespace quorlin
