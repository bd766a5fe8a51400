#include "FileTransfer.h"

#include "../component/CodePageText.h"
#include "../component/Error.h"
#include "../component/Owners.h"
#include "../component/Text.h"
#include "../platform/Constants.h"
#include "FtpFailures.h"
#include "TemporaryFile.h"

#include <atomic>
#include <cwchar>
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


// The file in which the platform keeps its own copy of what `remoteFile`
// reads, or "" when it keeps none.
std::wstring CacheFileOf(HINTERNET remoteFile) {
    wchar_t name[MAX_PATH + 1] = {};
    DWORD size = sizeof name;
    if (!InternetQueryOptionW(remoteFile, INTERNET_OPTION_DATAFILE_NAME, name, &size)) return std::wstring();
    return std::wstring(name, wcsnlen(name, MAX_PATH));
}

// Transfers through the platform's remote file handle, piece by piece, each
// piece counted: the transfers within a limit, and those of local files whose
// names the ANSI entry points cannot take.
class PieceTransfer {
public:
    PieceTransfer(HINTERNET connection, std::string remote, std::wstring local, DWORD transferType)
        : connection_(connection), remote_(std::move(remote)), local_(std::move(local)), transferType_(transferType) {}

    bool Upload(const TimedJob& job) {
        FileHandle file(CreateFileW(local_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) return false;
        return Move(job, GENERIC_WRITE, [&](char* piece, DWORD& read) {
            return ReadFile(file.Get(), piece, kTransferPieceBytes, &read, nullptr) != FALSE;
        }, [&](HINTERNET target, const char* piece, DWORD read) {
            DWORD written = 0;
            return InternetWriteFile(target, piece, read, &written) && written == read;
        });
    }

    // Into the existing local file, which it truncates.
    bool Download(const TimedJob& job) {
        FileHandle file(CreateFileW(local_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr));
        if (!file) return false;
        HINTERNET remoteFile = nullptr;
        return Move(job, GENERIC_READ, [&](char* piece, DWORD& read) {
            return InternetReadFile(remoteFile, piece, kTransferPieceBytes, &read) != FALSE;
        }, [&](HINTERNET, const char* piece, DWORD read) {
            DWORD written = 0;
            return WriteFile(file.Get(), piece, read, &written, nullptr) && written == read;
        }, &remoteFile);
    }

    unsigned long long Moved() const { return moved_.load(); }

private:
    template <typename Read, typename Write>
    bool Move(const TimedJob& job, DWORD access, Read&& read, Write&& write, HINTERNET* opened = nullptr) {
        InternetHandle remote;
        remote.Reset(FtpOpenFileA(connection_, remote_.c_str(), access, transferType_ | kRemoteFileFlags, 0));
        DWORD error = GetLastError();
        bool succeeded = static_cast<bool>(remote);
        if (opened) *opened = remote.Get();
        const std::wstring platformCopy =
            remote && access == GENERIC_READ ? CacheFileOf(remote.Get()) : std::wstring();
        std::vector<char> piece(kTransferPieceBytes);
        while (succeeded && !job.Abandoned()) {
            DWORD count = 0;
            if (!read(piece.data(), count)) {
                succeeded = false;
                error = GetLastError();
                break;
            }
            if (count == 0) break;
            if (!write(remote.Get(), piece.data(), count)) {
                succeeded = false;
                error = GetLastError();
                break;
            }
            moved_ += count;
        }
        // Closing the remote file reads the server's final reply, which the
        // platform does not judge: a failure there is the transfer's.
        if (remote && !remote.Close() && succeeded) {
            succeeded = false;
            error = GetLastError();
        }
        if (succeeded && LastReplyIsFailure()) {
            succeeded = false;
            error = kExtendedError;
        }
        // The platform may copy a download into its cache whatever the flags
        // say, and never take the copy back: it goes once the handle is closed.
        if (!platformCopy.empty()) DeleteFileW(platformCopy.c_str());
        SetLastError(error);
        return succeeded && !job.Abandoned();
    }

    HINTERNET connection_;
    std::string remote_;
    std::wstring local_;
    DWORD transferType_;
    std::atomic<unsigned long long> moved_{0};
};

// `target`, when given, is the temporary file the transfer writes: the job
// holds it for as long as it runs.
HRESULT TransferInPieces(TimeLimit& limit, const PlatformFailure& failure, std::shared_ptr<PieceTransfer> transfer,
                         bool upload, std::shared_ptr<TemporaryFile> target = nullptr) {
    auto job = std::make_shared<PlatformCallJob>(
        [transfer, upload, target](const TimedJob& self) {
            return upload ? transfer->Upload(self) : transfer->Download(self);
        },
        failure.operation, [transfer] { return transfer->Moved(); });
    return limit.CallPlatform(source::kFtp, failure, job);
}

}  // namespace

HRESULT UploadFile(TimeLimit& limit, const CodePageText& names, HINTERNET connection, const VARIANT* localPath,
                   const VARIANT* remotePath, DWORD transferType) {
    std::wstring local, remoteText;
    std::string remote;
    HRESULT hr = VariantToText(localPath, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = VariantToText(remotePath, source::kFtp, remoteText);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kPutFile);
    if (SUCCEEDED(hr)) hr = RemoteText(names, remoteText, source::kFtp, ftp_failure::kPutFile, remote);
    if (FAILED(hr)) return hr;
    if ((!limit.Active() && FitsAnsi(local)) || !connection) {
        const std::string localAnsi = ToAnsi(local);
        return CallPlatform(source::kFtp, ftp_failure::kPutFile, [&] {
            return FtpPutFileA(connection, localAnsi.c_str(), remote.c_str(), transferType, 0);
        });
    }
    return TransferInPieces(limit, ftp_failure::kPutFile,
                            std::make_shared<PieceTransfer>(connection, remote, local, transferType), true);
}

HRESULT DownloadFile(TimeLimit& limit, const CodePageText& names, HINTERNET connection, const VARIANT* remotePath,
                     const VARIANT* localPath, VARIANT_BOOL overwrite, DWORD transferType) {
    std::wstring remoteText, local;
    std::string remote;
    HRESULT hr = VariantToText(remotePath, source::kFtp, remoteText);
    if (SUCCEEDED(hr)) hr = VariantToText(localPath, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = RemoteText(names, remoteText, source::kFtp, ftp_failure::kGetFile, remote);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kGetFile);
    if (FAILED(hr)) return hr;
    // A local path outside the ANSI code page is written through the wide
    // file functions, piece by piece.
    const bool ansiPath = FitsAnsi(local);

    // Only true (-1) complements to zero; every other value refuses to replace.
    const DWORD failIfExists = static_cast<WORD>(~static_cast<WORD>(overwrite));
    // Without a connection the platform refuses the handle before it touches
    // any local file: no temporary file is needed to keep one safe.
    if ((failIfExists != 0 && !limit.Active() && ansiPath) || !connection) {
        const std::string localAnsi = ToAnsi(local);
        return CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] {
            return FtpGetFileA(connection, remote.c_str(), localAnsi.c_str(), failIfExists, kLocalFileAttributes,
                               transferType, 0);
        });
    }
    // A file the download may not replace fails as the platform fails it,
    // before the server is asked.
    if (failIfExists != 0 && GetFileAttributesW(local.c_str()) != INVALID_FILE_ATTRIBUTES)
        return RaisePlatformError(ftp_error::kGetFile, source::kFtp, message::kGetFile, ERROR_FILE_EXISTS,
                                  operation::kGetFile);

    // WinINet deletes the local file when a replacing transfer fails, so the
    // download lands beside it first and replaces it only when complete.
    auto download = std::make_shared<TemporaryFile>();
    hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] { return download->Create(FolderOf(local)); });
    if (FAILED(hr)) return hr;
    if (limit.Active() || !ansiPath) {
        // The job holds the temporary file: one that runs on after a time-out
        // removes it when it ends, and never touches the destination.
        hr = TransferInPieces(limit, ftp_failure::kGetFile,
                              std::make_shared<PieceTransfer>(connection, remote, download->Path(), transferType),
                              false, download);
    } else {
        const std::string temporaryAnsi = ToAnsi(download->Path());
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] {
            return FtpGetFileA(connection, remote.c_str(), temporaryAnsi.c_str(), FALSE, kLocalFileAttributes,
                               transferType, 0);
        });
    }
    if (SUCCEEDED(hr)) {
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile,
                          [&] { return download->MoveOver(local, failIfExists == 0); });
    }
    return hr;
}

}  // namespace quorlin
