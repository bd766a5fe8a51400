#include "FileTransfer.h"

#include "../component/Error.h"
#include "../component/Text.h"
#include "../platform/Constants.h"
#include "TemporaryFile.h"

#include <string>

namespace quorlin {
namespace {

const PlatformFailure kPutFileFailure = {ftp_error::kPutFile, message::kPutFile, operation::kPutFile};
const PlatformFailure kGetFileFailure = {ftp_error::kGetFile, message::kGetFile, operation::kGetFile};

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
    if (FAILED(hr)) return hr;
    return CallPlatform(source::kFtp, kPutFileFailure,
                        [&] { return FtpPutFileA(connection, local.c_str(), remote.c_str(), transferType, 0); });
}

HRESULT DownloadFile(HINTERNET connection, const VARIANT* remotePath, const VARIANT* localPath,
                     VARIANT_BOOL overwrite, DWORD transferType) {
    std::string remote;
    std::wstring local;
    HRESULT hr = VariantToAnsi(remotePath, source::kFtp, remote);
    if (SUCCEEDED(hr)) hr = VariantToText(localPath, source::kFtp, local);
    if (FAILED(hr)) return hr;
    const std::string localAnsi = ToAnsi(local);

    // Only true (-1) complements to zero; every other value refuses to replace.
    const DWORD failIfExists = static_cast<WORD>(~static_cast<WORD>(overwrite));
    if (failIfExists != 0) {
        return CallPlatform(source::kFtp, kGetFileFailure, [&] {
            return FtpGetFileA(connection, remote.c_str(), localAnsi.c_str(), failIfExists, kLocalFileAttributes,
                               transferType, 0);
        });
    }

    // WinINet deletes the local file when a replacing transfer fails, so the
    // download lands beside it first and replaces it only when complete.
    const std::string folder = ToAnsi(FolderOf(local));
    TemporaryFile download;
    hr = CallPlatform(source::kFtp, kGetFileFailure, [&] { return download.Create(folder); });
    if (SUCCEEDED(hr)) {
        hr = CallPlatform(source::kFtp, kGetFileFailure, [&] {
            return FtpGetFileA(connection, remote.c_str(), download.Path().c_str(), FALSE, kLocalFileAttributes,
                               transferType, 0);
        });
    }
    if (SUCCEEDED(hr))
        hr = CallPlatform(source::kFtp, kGetFileFailure, [&] { return download.MoveOver(localAnsi); });
    return hr;
}

}  // namespace quorlin
