#include "FileTransfer.h"

#include "../component/Error.h"
#include "../component/Owners.h"
#include "../component/Text.h"
#include "../platform/Constants.h"
#include "FtpFailures.h"
#include "TemporaryFile.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace quorlin {
namespace {

// The folder part of a local path, kept with its separator so that a file
// name can be appended: "dir\" for "dir\name", "C:" for "C:name", "" for a
// bare name (the current directory).
std::wstring FolderOf(const std::wstring& path) {
    size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos) return path.substr(0, separator + 1);
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    return std::wstring();
}


// The upload of the limited kind: the local file read and written through
// the platform's remote file handle piece by piece, each piece counted.
bool UploadPieces(HINTERNET connection, const std::string& local, const std::string& remote, DWORD transferType,
                  std::atomic<unsigned long long>& moved, const TimedJob& job) {
    HANDLE file = CreateFileA(local.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    InternetHandle target;
    target.Reset(FtpOpenFileA(connection, remote.c_str(), GENERIC_WRITE, transferType, 0));
    DWORD error = GetLastError();
    bool succeeded = static_cast<bool>(target);
    std::vector<char> piece(kUploadPieceBytes);
    while (succeeded && !job.Abandoned()) {
        DWORD read = 0;
        if (!ReadFile(file, piece.data(), kUploadPieceBytes, &read, nullptr)) {
            succeeded = false;
            error = GetLastError();
            break;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!InternetWriteFile(target.Get(), piece.data(), read, &written) || written != read) {
            succeeded = false;
            error = GetLastError();
            break;
        }
        moved += written;
    }
    CloseHandle(file);
    // Closing the remote file reads the server's final reply, which the
    // platform does not judge: a failure there is the upload's.
    if (target && !target.Close() && succeeded) {
        succeeded = false;
        error = GetLastError();
    }
    if (succeeded && LastReplyIsFailure()) {
        succeeded = false;
        error = kExtendedError;
    }
    SetLastError(error);
    return succeeded && !job.Abandoned();
}

}  // namespace

HRESULT UploadFile(TimeLimit& limit, HINTERNET connection, const VARIANT* localPath, const VARIANT* remotePath,
                   DWORD transferType) {
    std::string local, remote;
    HRESULT hr = VariantToAnsi(localPath, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = VariantToAnsi(remotePath, source::kFtp, remote);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kPutFile);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(remote, source::kFtp, ftp_failure::kPutFile);
    if (FAILED(hr)) return hr;
    if (!limit.Active() || !connection) {
        return CallPlatform(source::kFtp, ftp_failure::kPutFile,
                            [&] { return FtpPutFileA(connection, local.c_str(), remote.c_str(), transferType, 0); });
    }
    auto moved = std::make_shared<std::atomic<unsigned long long>>(0);
    auto job = std::make_shared<PlatformCallJob>(
        [=](const TimedJob& self) { return UploadPieces(connection, local, remote, transferType, *moved, self); },
        operation::kPutFile, [moved] { return moved->load(); });
    return limit.CallPlatform(source::kFtp, ftp_failure::kPutFile, job);
}

HRESULT DownloadFile(TimeLimit& limit, HINTERNET connection, const VARIANT* remotePath, const VARIANT* localPath,
                     VARIANT_BOOL overwrite, DWORD transferType) {
    std::string remote;
    std::wstring local;
    HRESULT hr = VariantToAnsi(remotePath, source::kFtp, remote);
    if (SUCCEEDED(hr)) hr = VariantToText(localPath, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(remote, source::kFtp, ftp_failure::kGetFile);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kGetFile);
    if (FAILED(hr)) return hr;
    const std::string localAnsi = ToAnsi(local);

    // Only true (-1) complements to zero; every other value refuses to replace.
    const DWORD failIfExists = static_cast<WORD>(~static_cast<WORD>(overwrite));
    // Without a connection the platform refuses the handle before it touches
    // any local file: no temporary file is needed to keep one safe.
    if ((failIfExists != 0 && !limit.Active()) || !connection) {
        return CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] {
            return FtpGetFileA(connection, remote.c_str(), localAnsi.c_str(), failIfExists, kLocalFileAttributes,
                               transferType, 0);
        });
    }
    // A file the download may not replace fails as the platform fails it,
    // before the server is asked.
    if (failIfExists != 0 && GetFileAttributesA(localAnsi.c_str()) != INVALID_FILE_ATTRIBUTES)
        return RaisePlatformError(ftp_error::kGetFile, source::kFtp, message::kGetFile, ERROR_FILE_EXISTS,
                                  operation::kGetFile);

    // WinINet deletes the local file when a replacing transfer fails, so the
    // download lands beside it first and replaces it only when complete.
    const std::string folder = ToAnsi(FolderOf(local));
    auto download = std::make_shared<TemporaryFile>();
    hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] { return download->Create(folder); });
    if (FAILED(hr)) return hr;
    // The job holds the temporary file: one that runs on after a time-out
    // removes it when it ends, and never touches the destination.
    const auto fetch = [=] {
        return FtpGetFileA(connection, remote.c_str(), download->Path().c_str(), FALSE, kLocalFileAttributes,
                           transferType, 0);
    };
    if (limit.Active()) {
        auto job = std::make_shared<PlatformCallJob>([fetch](const TimedJob&) { return fetch(); }, operation::kGetFile,
                                                     [download] { return download->Size(); });
        hr = limit.CallPlatform(source::kFtp, ftp_failure::kGetFile, job);
    } else {
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, fetch);
    }
    if (SUCCEEDED(hr)) {
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile,
                          [&] { return download->MoveOver(localAnsi, failIfExists == 0); });
    }
    return hr;
}

}  // namespace quorlin
