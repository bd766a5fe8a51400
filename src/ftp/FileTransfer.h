// Single-file transfers between the local file system and the FTP server,
// each one WinINet file-to-file call on the given connection handle.
#pragma once

#include "../platform/WinInetAPI.h"
#include <oaidl.h>

namespace quorlin {

// Uploads `localPath` to `remotePath` in `transferType` (1 ASCII, 2 binary).
HRESULT UploadFile(HINTERNET connection, const VARIANT* localPath, const VARIANT* remotePath, DWORD transferType);

// Downloads `remotePath` to `localPath`. Only an `overwrite` of true (all
// bits set) may replace an existing local file; it downloads into a temporary
// file beside the destination and moves that over it once complete, so a
// failed transfer leaves the existing file as it was.
HRESULT DownloadFile(HINTERNET connection, const VARIANT* remotePath, const VARIANT* localPath,
                     VARIANT_BOOL overwrite, DWORD transferType);

}  // namespace quorlin
