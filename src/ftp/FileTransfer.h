// Single-file transfers between the local file system and the FTP server,
// piece by piece through the session's remote file: on the caller's
// thread, or within an active time limit on the object's worker with every
// piece counted as progress.
#pragma once

#include "../text/CodePageText.h"
#include "../work/TimeLimit.h"
#include "../session/FtpSession.h"
#include <oaidl.h>

#include <memory>
#include <optional>
#include <string>

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
// With `wholeSize`, a download of any other length replaces nothing and fails.
HRESULT DownloadFile(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session, const VARIANT* remotePath,
                     const VARIANT* localPath, VARIANT_BOOL overwrite, DWORD transferType,
                     std::optional<unsigned long long> wholeSize = std::nullopt);

// Remote paths below are bytes checked already; transfers are in binary type.

// Fetches the part of `remote` that `local` lacks and appends it: the whole
// file when `local` is missing, nothing when it is as long. A local file
// longer than the remote one fails and stays as it is.
HRESULT ResumeDownload(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, const std::string& remote,
                       const std::wstring& local);
// The same the other way: a server that will not write from an offset (and
// cannot append) takes the whole file.
HRESULT ResumeUpload(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, const std::wstring& local,
                     const std::string& remote);
// Stores `bytes` as the remote file's whole content.
HRESULT UploadBytes(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, std::string bytes,
                    const std::string& remote);
// The remote file's whole content; one larger than an automation string can
// hold fails with code 8.
HRESULT DownloadBytes(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, const std::string& remote,
                      std::string& bytes);

}  // namespace quorlin
