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
#include <cstring>
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
// only ANSI local paths; this moves larger pieces between wide paths, files
// or memory.
class PieceTransfer {
public:
    using ReadLocal = std::function<bool(char* piece, DWORD size, DWORD& read)>;
    using WriteLocal = std::function<bool(const char* piece, DWORD size)>;

    // `pieceBytes` are moved per platform call, at most kTransferPieceBytes;
    // the remote file is read or written from `offset` on.
    PieceTransfer(std::shared_ptr<FtpSession> session, std::string remote, DWORD transferType, DWORD pieceBytes,
                  unsigned long long offset = 0)
        : session_(std::move(session)), remote_(std::move(remote)), transferType_(transferType),
          pieceBytes_(pieceBytes), offset_(offset) {}

    // `read` gives the local bytes from the offset on. A server that refuses
    // to write from an offset takes the whole file instead, when `rewind`
    // can start the local bytes over.
    bool Upload(const TimedJob& job, const ReadLocal& read, const std::function<bool()>& rewind = nullptr) {
        std::unique_ptr<RemoteFile> remote = session_->Open(remote_, true, transferType_, offset_);
        if (!remote && offset_ > 0 && rewind && GetLastError() == kExtendedError && !session_->Lost()) {
            if (!rewind()) return false;
            remote = session_->Open(remote_, true, transferType_, 0);
        }
        return Move(job, std::move(remote), true, [&](RemoteFile&, char* piece, DWORD& count) {
            return read(piece, pieceBytes_, count);
        }, [&](RemoteFile& file, const char* piece, DWORD count) { return file.Write(piece, count); });
    }

    bool Download(const TimedJob& job, const WriteLocal& write) {
        return Move(job, session_->Open(remote_, false, transferType_, offset_), false,
                    [&](RemoteFile& file, char* piece, DWORD& count) { return file.Read(piece, pieceBytes_, count); },
                    [&](RemoteFile&, const char* piece, DWORD count) { return write(piece, count); });
    }

    // Pieces moved, and the bytes a remote file took while it held pieces back.
    unsigned long long Moved() const { return moved_.load() + sent_.load(); }
    unsigned long long GraceMilliseconds() const { return graceMilliseconds_.load(); }

private:
    template <typename Read, typename Write>
    bool Move(const TimedJob& job, std::unique_ptr<RemoteFile> remote, bool upload, Read&& read, Write&& write) {
        DWORD error = GetLastError();
        bool succeeded = remote != nullptr;
        if (remote) remote->CountSent(&sent_);
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
    unsigned long long offset_;
    std::atomic<unsigned long long> moved_{0};
    std::atomic<unsigned long long> sent_{0};
    std::atomic<unsigned long long> graceMilliseconds_{0};
};

// Reads a local file piece by piece.
PieceTransfer::ReadLocal ReadFrom(const std::shared_ptr<FileHandle>& file) {
    return [file](char* piece, DWORD size, DWORD& read) {
        return ReadFile(file->Get(), piece, size, &read, nullptr) != FALSE;
    };
}

PieceTransfer::WriteLocal WriteTo(HANDLE file) {
    return [file](const char* piece, DWORD size) {
        DWORD written = 0;
        return WriteFile(file, piece, size, &written, nullptr) && written == size;
    };
}

// The local file is shared for deleting and renaming too: a transfer that
// runs on after its time-out keeps no caller from its own file.
std::shared_ptr<FileHandle> OpenLocal(const std::wstring& path, bool writing) {
    auto file = std::make_shared<FileHandle>();
    file->Reset(CreateFileW(path.c_str(), writing ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, writing ? OPEN_ALWAYS : OPEN_EXISTING, 0,
                            nullptr));
    return file;
}

bool LocalSize(const FileHandle& file, unsigned long long& size) {
    LARGE_INTEGER bytes{};
    if (!GetFileSizeEx(file.Get(), &bytes)) return false;
    size = static_cast<unsigned long long>(bytes.QuadPart);
    return true;
}

bool SeekLocal(const FileHandle& file, unsigned long long position) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) != FALSE;
}

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

// The remote file's size, or 0 with `exists` false when the server has no
// such name. A name that is there without a size (a folder) fails with what
// the server said to SIZE.
bool RemoteSizeIfAny(FtpSession& session, const std::string& remote, unsigned long long& size, bool& exists) {
    exists = true;
    if (session.FileSize(remote, size)) return true;
    const DWORD error = GetLastError();
    const std::string reply = LastServerReplyText();
    if (!session.Exists(remote, exists)) return false;
    if (!exists) {
        size = 0;
        return true;
    }
    KeepServerReply(reply);
    SetLastError(error);
    return false;
}

HRESULT RaiseLonger(const PlatformFailure& failure) {
    return RaisePlatformError(failure.code, source::kFtp, failure.message, ERROR_HANDLE_EOF, failure.operation);
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
    return TransferInPieces(limit, ftp_failure::kPutFile, transfer, [transfer, local](const TimedJob& job) {
        const std::shared_ptr<FileHandle> file = OpenLocal(local, false);
        return *file && transfer->Upload(job, ReadFrom(file));
    });
}

HRESULT DownloadFile(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session, const VARIANT* remotePath,
                     const VARIANT* localPath, VARIANT_BOOL overwrite, DWORD transferType,
                     std::optional<unsigned long long> wholeSize) {
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
        return transfer->Download(job, WriteTo(download->Handle()));
    });
    LARGE_INTEGER arrived{};
    if (SUCCEEDED(hr) && wholeSize && GetFileSizeEx(download->Handle(), &arrived) &&
        static_cast<unsigned long long>(arrived.QuadPart) != *wholeSize) {
        // A server that calls a short transfer whole.
        KeepFailureDetail(L"The copy holds " + std::to_wstring(arrived.QuadPart) + L" bytes, the source " +
                          std::to_wstring(*wholeSize) + L"; nothing was replaced.");
        return RaisePlatformError(ftp_error::kGetFile, source::kFtp, message::kGetFile, ERROR_INVALID_DATA,
                                  operation::kGetFile);
    }
    if (SUCCEEDED(hr)) {
        hr = CallPlatform(source::kFtp, ftp_failure::kGetFile,
                          [&] { return download->MoveOver(local, failIfExists == 0); });
    }
    return hr;
}

HRESULT ResumeDownload(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, const std::string& remote,
                       const std::wstring& local) {
    const PlatformFailure& failure = ftp_failure::kResumeGetFile;
    auto remoteSize = std::make_shared<unsigned long long>(0);
    HRESULT hr = limit.CallPlatform(source::kFtp, failure, [=] { return session->FileSize(remote, *remoteSize); });
    if (FAILED(hr)) return hr;
    const std::shared_ptr<FileHandle> file = OpenLocal(local, true);
    unsigned long long have = 0;
    hr = CallPlatform(source::kFtp, failure, [&] { return *file && LocalSize(*file, have) && SeekLocal(*file, have); });
    if (FAILED(hr)) return hr;
    if (have > *remoteSize) return RaiseLonger(failure);
    if (have == *remoteSize) return S_OK;
    // Appended where the local file ends: a cut transfer leaves a longer
    // file that the next call resumes.
    auto transfer = std::make_shared<PieceTransfer>(session, remote, static_cast<DWORD>(kTransferBinary),
                                                    PieceBytes(limit), have);
    return TransferInPieces(limit, failure, transfer, [transfer, file](const TimedJob& job) {
        return transfer->Download(job, WriteTo(file->Get()));
    });
}

HRESULT ResumeUpload(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, const std::wstring& local,
                     const std::string& remote) {
    const PlatformFailure& failure = ftp_failure::kResumePutFile;
    const std::shared_ptr<FileHandle> file = OpenLocal(local, false);
    unsigned long long have = 0;
    HRESULT hr = CallPlatform(source::kFtp, failure, [&] { return *file && LocalSize(*file, have); });
    if (FAILED(hr)) return hr;
    auto remoteSize = std::make_shared<unsigned long long>(0);
    auto exists = std::make_shared<bool>(false);
    hr = limit.CallPlatform(source::kFtp, failure,
                            [=] { return RemoteSizeIfAny(*session, remote, *remoteSize, *exists); });
    if (FAILED(hr)) return hr;
    if (*remoteSize > have) return RaiseLonger(failure);
    if (*remoteSize == have && *exists) return S_OK;
    hr = CallPlatform(source::kFtp, failure, [&] { return SeekLocal(*file, *remoteSize); });
    if (FAILED(hr)) return hr;
    auto transfer = std::make_shared<PieceTransfer>(session, remote, static_cast<DWORD>(kTransferBinary),
                                                    PieceBytes(limit), *remoteSize);
    return TransferInPieces(limit, failure, transfer, [transfer, file](const TimedJob& job) {
        return transfer->Upload(job, ReadFrom(file), [file] { return SeekLocal(*file, 0); });
    });
}

HRESULT UploadBytes(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, std::string bytes,
                    const std::string& remote) {
    auto content = std::make_shared<std::string>(std::move(bytes));
    auto transfer = std::make_shared<PieceTransfer>(session, remote, static_cast<DWORD>(kTransferBinary),
                                                    PieceBytes(limit));
    return TransferInPieces(limit, ftp_failure::kPutText, transfer, [transfer, content](const TimedJob& job) {
        size_t position = 0;
        return transfer->Upload(job, [&](char* piece, DWORD size, DWORD& read) {
            read = static_cast<DWORD>(std::min<size_t>(size, content->size() - position));
            std::memcpy(piece, content->data() + position, read);
            position += read;
            return true;
        });
    });
}

HRESULT DownloadBytes(TimeLimit& limit, const std::shared_ptr<FtpSession>& session, const std::string& remote,
                      std::string& bytes) {
    auto content = std::make_shared<std::string>();
    auto transfer = std::make_shared<PieceTransfer>(session, remote, static_cast<DWORD>(kTransferBinary),
                                                    PieceBytes(limit));
    const HRESULT hr = TransferInPieces(
        limit, ftp_failure::kGetText, transfer, [session, remote, transfer, content](const TimedJob& job) {
            // A file no text can hold is refused before it moves, where the
            // server tells its size; and as it arrives, where it does not.
            constexpr unsigned long long kMostBytes = kLongestText * sizeof(wchar_t);
            unsigned long long size = 0;
            if (session->FileSize(remote, size)) {
                if (size > kMostBytes) {
                    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                    return false;
                }
                // What the server claims is no promise: room for a part of
                // it, the rest as it arrives.
                content->reserve(static_cast<size_t>(std::min<unsigned long long>(size, kTextReserveBytes)));
            }
            return transfer->Download(job, [&](const char* piece, DWORD size) {
                if (content->size() + size > kMostBytes) {
                    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                    return false;
                }
                content->append(piece, size);
                return true;
            });
        });
    if (SUCCEEDED(hr)) bytes = std::move(*content);
    return hr;
}

}  // namespace quorlin
