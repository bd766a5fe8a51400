#include "FileTransfer.h"

#include "../text/CodePageText.h"
#include "../text/Error.h"
#include "../platform/Owners.h"
#include "../text/Text.h"
#include "../platform/Constants.h"
#include "FtpFailures.h"
#include "TemporaryFile.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
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

// Transfers through the session's remote file, piece by piece, each piece
// counted. The platform's own file-to-file calls move 8 KiB a call and take
// only ANSI local paths; this moves larger pieces between wide paths.
class PieceTransfer {
public:
    // `pieceBytes` are moved per platform call, at most kTransferPieceBytes.
    PieceTransfer(std::shared_ptr<FtpSession> session, std::string remote, DWORD transferType, DWORD pieceBytes)
        : session_(std::move(session)), remote_(std::move(remote)), transferType_(transferType), pieceBytes_(pieceBytes) {}

    // The local file is shared for deleting and renaming too: a transfer
    // that runs on after its time-out keeps no caller from its own file.
    bool Upload(const TimedJob& job, const std::wstring& local) {
        FileHandle file(CreateFileW(local.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        if (!file) return false;
        return Move(job, true, [&](RemoteFile&, char* piece, DWORD& read) {
            return ReadFile(file.Get(), piece, pieceBytes_, &read, nullptr) != FALSE;
        }, [&](RemoteFile& remote, const char* piece, DWORD read) { return remote.Write(piece, read); });
    }

    // Into the open, empty local file `target`.
    bool Download(const TimedJob& job, HANDLE target) {
        return Move(job, false, [&](RemoteFile& remote, char* piece, DWORD& read) {
            return remote.Read(piece, pieceBytes_, read);
        }, [&](RemoteFile&, const char* piece, DWORD read) {
            DWORD written = 0;
            return WriteFile(target, piece, read, &written, nullptr) && written == read;
        });
    }

    unsigned long long Moved() const { return moved_.load(); }
    unsigned long long GraceMilliseconds() const { return graceMilliseconds_.load(); }

private:
    template <typename Read, typename Write>
    bool Move(const TimedJob& job, bool upload, Read&& read, Write&& write) {
        std::unique_ptr<RemoteFile> remote = session_->Open(remote_, upload, transferType_);
        DWORD error = GetLastError();
        bool succeeded = remote != nullptr;
        // Not cleared first: a small file's transfer would pay for the whole piece.
        const std::unique_ptr<char[]> piece(new char[pieceBytes_]);
        while (succeeded && !job.Abandoned()) {
            DWORD count = 0;
            if (!read(*remote, piece.get(), count)) {
                succeeded = false;
                error = GetLastError();
                break;
            }
            if (count == 0) break;
            if (!write(*remote, piece.get(), count)) {
                succeeded = false;
                error = GetLastError();
                break;
            }
            moved_ += count;
        }
        // Closing the remote file reads the server's final reply: a failure
        // there is the transfer's. An upload whose every piece went out may
        // still be draining to a slow server then; one that stalled may not.
        if (upload && succeeded) graceMilliseconds_ = UploadDrainMilliseconds(moved_);
        if (remote && !remote->Close() && succeeded) {
            succeeded = false;
            error = GetLastError();
        }
        if (succeeded && LastReplyIsFailure()) {
            succeeded = false;
            error = kExtendedError;
        }
        remote.reset();
        SetLastError(error);
        return succeeded && !job.Abandoned();
    }

    std::shared_ptr<FtpSession> session_;
    std::string remote_;
    DWORD transferType_;
    DWORD pieceBytes_;
    std::atomic<unsigned long long> moved_{0};
    std::atomic<unsigned long long> graceMilliseconds_{0};
};

// The bytes moved per platform call. Within a limit, a piece that moves at
// the slowest rate still counted as moving takes three quarters of it at
// most: only a finished piece counts as progress.
DWORD PieceBytes(const TimeLimit& limit) {
    if (!limit.Active()) return kTransferPieceBytes;
    const unsigned long long bytes = static_cast<unsigned long long>(limit.Seconds()) * kSlowestTransferBytesPerSecond * 3 / 4;
    return static_cast<DWORD>(std::min<unsigned long long>(bytes, kTransferPieceBytes));
}

// `move` runs the transfer on the job; everything it captures (the
// temporary file a download writes among it) is held for as long as the job runs.
HRESULT TransferInPieces(TimeLimit& limit, const PlatformFailure& failure, const std::shared_ptr<PieceTransfer>& transfer,
                         std::function<bool(const TimedJob&)> move) {
    auto job = std::make_shared<PlatformCallJob>(std::move(move), failure.operation,
                                                 [transfer] { return transfer->Moved(); },
                                                 [transfer] { return transfer->GraceMilliseconds(); });
    return limit.CallPlatform(source::kFtp, failure, job);
}

}  // namespace

HRESULT UploadFile(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session, const VARIANT* localPath,
                   const VARIANT* remotePath, DWORD transferType) {
    std::wstring local, remoteText;
    std::string remote;
    HRESULT hr = VariantToText(localPath, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = VariantToText(remotePath, source::kFtp, remoteText);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kPutFile);
    if (SUCCEEDED(hr)) hr = RemoteText(names, remoteText, source::kFtp, ftp_failure::kPutFile, remote);
    if (FAILED(hr)) return hr;
    // Without a connection the platform refuses the handle, with its own error.
    if (!session->Connected()) return CallPlatform(source::kFtp, ftp_failure::kPutFile, [&] {
        return FtpPutFileA(nullptr, ToAnsi(local).c_str(), remote.c_str(), transferType, 0);
    });
    auto transfer = std::make_shared<PieceTransfer>(session, remote, transferType, PieceBytes(limit));
    return TransferInPieces(limit, ftp_failure::kPutFile, transfer,
                            [transfer, local](const TimedJob& job) { return transfer->Upload(job, local); });
}

HRESULT DownloadFile(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session, const VARIANT* remotePath,
                     const VARIANT* localPath, VARIANT_BOOL overwrite, DWORD transferType) {
    std::wstring remoteText, local;
    std::string remote;
    HRESULT hr = VariantToText(remotePath, source::kFtp, remoteText);
    if (SUCCEEDED(hr)) hr = VariantToText(localPath, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = RemoteText(names, remoteText, source::kFtp, ftp_failure::kGetFile, remote);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, ftp_failure::kGetFile);
    if (FAILED(hr)) return hr;

    // Only true (-1) complements to zero; every other value refuses to replace.
    const DWORD failIfExists = static_cast<WORD>(~static_cast<WORD>(overwrite));
    // Without a connection the platform refuses the handle before it touches
    // any local file: no temporary file is needed to keep one safe.
    if (!session->Connected()) return CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] {
        return FtpGetFileA(nullptr, remote.c_str(), ToAnsi(local).c_str(), failIfExists, kLocalFileAttributes,
                           transferType, 0);
    });
    // A file the download may not replace fails as the platform fails it,
    // before the server is asked.
    if (failIfExists != 0 && GetFileAttributesW(local.c_str()) != INVALID_FILE_ATTRIBUTES)
        return RaisePlatformError(ftp_error::kGetFile, source::kFtp, message::kGetFile, ERROR_FILE_EXISTS,
                                  operation::kGetFile);

    // The download lands beside the destination and replaces it only when
    // complete, so a failed transfer leaves an existing file as it was.
    auto download = std::make_shared<TemporaryFile>();
    hr = CallPlatform(source::kFtp, ftp_failure::kGetFile, [&] { return download->Create(FolderOf(local)); });
    if (FAILED(hr)) return hr;
    // The job holds the temporary file: one that runs on after a time-out
    // removes it when it ends, and never touches the destination; the file
    // goes with the process should that end first.
    auto transfer = std::make_shared<PieceTransfer>(session, remote, transferType, PieceBytes(limit));
    hr = TransferInPieces(limit, ftp_failure::kGetFile, transfer, [transfer, download](const TimedJob& job) {
        return transfer->Download(job, download->Handle());
    });
    if (SUCCEEDED(hr)) {
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile,
                          [&] { return download->MoveOver(local, failIfExists == 0); });
    }
    return hr;
}

}  // namespace quorlin
