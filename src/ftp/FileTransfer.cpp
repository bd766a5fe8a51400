#include "FileTransfer.h"

#include "../component/Error.h"
#include "../component/Text.h"
#include "../platform/Constants.h"
#include "FtpFailures.h"
#include "TemporaryFile.h"

#include <string>

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

}  // namespace

HRESULT UploadFile(HINTERNET connection, const VARIANT* localPath, const VARIANT* remotePath, DWORD transferType) {
    std::string local, remote;
    HRESULT hr = VariantToAnsi(localPath, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = VariantToAnsi(remotePath, source::kFtp, remote);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kPutFile);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(remote, source::kFtp, ftp_failure::kPutFile);
    if (FAILED(hr)) return hr;
    return CallPlatform(source::kFtp, ftp_failure::kPutFile,
                        [&] { return FtpPutFileA(connection, local.c_str(), remote.c_str(), transferType, 0); });
}

HRESULT DownloadFile(HINTERNET connection, const VARIANT* remotePath, const VARIANT* localPath,
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
    if (failIfExists != 0 || !connection) {
        return CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] {
            return FtpGetFileA(connection, remote.c_str(), localAnsi.c_str(), failIfExists, kLocalFileAttributes,
                               transferType, 0);
        });
    }

    // WinINet deletes the local file when a replacing transfer fails, so the
    // download lands beside it first and replaces it only when complete.
    const std::string folder = ToAnsi(FolderOf(local));
    TemporaryFile download;
    hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] { return download.Create(folder); });
    if (SUCCEEDED(hr)) {
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] {
            return FtpGetFileA(connection, remote.c_str(), download.Path().c_str(), FALSE, kLocalFileAttributes,
                               transferType, 0);
        });
    }
    if (SUCCEEDED(hr))
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] { return download.MoveOver(localAnsi); });
    return hr;
}

}  // namespace quorlin
