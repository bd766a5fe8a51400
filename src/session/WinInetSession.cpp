#include "WinInetSession.h"

#include "../text/Error.h"
#include "../platform/Owners.h"
#include "../platform/Constants.h"
#include "../ftpclient/ServerFeatures.h"
#include "FtpFileFacts.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace quorlin {
namespace {

// The file in which the platform keeps its own copy of what `remoteFile`
// reads, or "" when it keeps none.
std::wstring CacheFileOf(HINTERNET remoteFile) {
    wchar_t name[MAX_PATH + 1] = {};
    DWORD size = sizeof name;
    if (!InternetQueryOptionW(remoteFile, INTERNET_OPTION_DATAFILE_NAME, name, &size)) return std::wstring();
    return std::wstring(name, wcsnlen(name, MAX_PATH));
}

class WinInetFile : public RemoteFile {
public:
    WinInetFile(InternetHandle handle, bool forWriting, std::shared_ptr<SessionLog> log)
        : handle_(std::move(handle)), log_(std::move(log)), started_(GetTickCount64()) {
        if (!forWriting) platformCopy_ = CacheFileOf(handle_.Get());
    }
    ~WinInetFile() override {
        handle_.Close();
        ForgetPlatformCopy();
    }
    bool Read(char* data, DWORD size, DWORD& read) override {
        const bool succeeded = InternetReadFile(handle_.Get(), data, size, &read) != FALSE;
        if (succeeded) bytes_ += read;
        return succeeded;
    }
    bool Write(const char* data, DWORD size) override {
        DWORD written = 0;
        const bool succeeded = InternetWriteFile(handle_.Get(), data, size, &written) && written == size;
        if (succeeded) bytes_ += size;
        return succeeded;
    }
    // Closing reads the server's final reply, which the platform does not
    // judge: the caller looks at it.
    bool Close() override {
        const bool closed = handle_.Close();
        const DWORD error = GetLastError();
        ForgetPlatformCopy();
        if (Logging(log_)) {
            log_->Format(LogMark::kNote, "transfer closed: %llu bytes in %.3f s", bytes_,
                         (GetTickCount64() - started_) / 1000.0);
            log_->WriteLines(LogMark::kReceived, LastServerReplyText());
        }
        SetLastError(error);
        return closed;
    }

private:
    // The platform may copy a download into its cache whatever the flags
    // say, and never take the copy back: it goes once the handle is closed.
    void ForgetPlatformCopy() {
        if (!platformCopy_.empty()) DeleteFileW(platformCopy_.c_str());
        platformCopy_.clear();
    }

    InternetHandle handle_;
    std::wstring platformCopy_;
    std::shared_ptr<SessionLog> log_;
    unsigned long long bytes_ = 0;
    ULONGLONG started_;
};

class WinInetListing : public RemoteListing {
public:
    explicit WinInetListing(InternetHandle find) : find_(std::move(find)) {}
    bool Next(ListedEntry& entry) override {
        if (!InternetFindNextFileA(find_.Get(), &entry.record)) return false;
        entry.name = RecordName(entry.record);
        return true;
    }
    bool Close() override { return find_.Close(); }

private:
    InternetHandle find_;
};

}  // namespace

// The server's working directory, asked again with more room for as long as
// the platform says the buffer is too small or the text fills it.
bool WinInetSession::CurrentDirectory(std::string& directory) {
    ForgetServerReply();
    for (DWORD size = kDirectoryBufferChars;;) {
        std::vector<char> buffer(size + 1, '\0');
        DWORD length = size;
        if (FtpGetCurrentDirectoryA(connection_, buffer.data(), &length)) {
            const size_t used = strnlen(buffer.data(), size);
            if (used + 1 < size || size >= kLongestDirectoryChars) {
                directory.assign(buffer.data(), used);
                return true;
            }
        } else if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size >= kLongestDirectoryChars) {
            return false;
        }
        size = std::min<DWORD>(std::max<DWORD>(size * 2, length + 1), kLongestDirectoryChars);
    }
}

bool WinInetSession::SetDirectory(const std::string& path) {
    ForgetServerReply();
    return Judged(FtpSetCurrentDirectoryA(connection_, path.c_str()) != FALSE, "FtpSetCurrentDirectory", path);
}

bool WinInetSession::CreateFolder(const std::string& path) {
    ForgetServerReply();
    return Judged(FtpCreateDirectoryA(connection_, path.c_str()) != FALSE, "FtpCreateDirectory", path);
}

bool WinInetSession::RemoveFolder(const std::string& path) {
    ForgetServerReply();
    return Judged(FtpRemoveDirectoryA(connection_, path.c_str()) != FALSE, "FtpRemoveDirectory", path);
}

bool WinInetSession::Rename(const std::string& from, const std::string& to) {
    ForgetServerReply();
    return Judged(FtpRenameFileA(connection_, from.c_str(), to.c_str()) != FALSE, "FtpRenameFile", from + " -> " + to);
}

bool WinInetSession::Delete(const std::string& path) {
    ForgetServerReply();
    return Judged(FtpDeleteFileA(connection_, path.c_str()) != FALSE, "FtpDeleteFile", path);
}

bool WinInetSession::Command(const char* line) {
    ForgetServerReply();
    return Judged(FtpCommandA(connection_, FALSE, static_cast<DWORD>(kTransferAscii), line, 0, nullptr) != FALSE,
                  "FtpCommand", line);
}

void WinInetSession::LogCall(bool succeeded, std::string_view call, std::string_view argument) const {
    if (!Logging(log_)) return;
    const DWORD error = GetLastError();
    log_->Write(LogMark::kNote, std::string(call) + " " + std::string(argument));
    log_->WriteLines(LogMark::kReceived, LastServerReplyText());
    if (!succeeded) log_->Format(LogMark::kNote, "%.*s failed with error %lu", static_cast<int>(call.size()), call.data(), error);
    SetLastError(error);
}

bool WinInetSession::Judged(bool succeeded, std::string_view call, std::string_view argument) {
    LogCall(succeeded, call, argument);
    DWORD error = GetLastError();
    if (!succeeded && error == kExtendedError && LastReplyCode() / 100 == 1) lost_ = true;
    // A failure without a code: the platform could not read the reply at all
    // (the rest of an endless line still on the way puts it out of step).
    if (!succeeded && error == ERROR_SUCCESS) {
        lost_ = true;
        error = ERROR_HTTP_INVALID_SERVER_RESPONSE;
        KeepFailureDetail(L"The server's reply could not be read; the connection was closed.");
    }
    SetLastError(error);
    return succeeded;
}

bool WinInetSession::BinaryCommand(const std::string& line) {
    return Command("TYPE I") && Command(line.c_str());
}

bool WinInetSession::FileSize(const std::string& path, unsigned long long& size) {
    return BinaryCommand("SIZE " + path) && ReadSizeReply(LastServerReplyText(), size);
}

bool WinInetSession::FileTime(const std::string& path, FILETIME& modified) {
    return Command(("MDTM " + path).c_str()) && ReadTimeReply(LastServerReplyText(), modified);
}

bool WinInetSession::Exists(const std::string& path, bool& exists) { return FtpNameExists(*this, path, exists); }

std::unique_ptr<RemoteFile> WinInetSession::Open(const std::string& path, bool forWriting, DWORD transferType,
                                                 unsigned long long offset) {
    // The platform sends its TYPE and PASV between this and the transfer's
    // command; the servers keep the position through them.
    if (offset > 0 && !BinaryCommand("REST " + std::to_string(offset))) return nullptr;
    ForgetServerReply();
    // Owned at once: a transfer handle left open would block the connection.
    InternetHandle handle;
    handle.Reset(FtpOpenFileA(connection_, path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                              transferType | kRemoteFileFlags, 0));
    LogCall(static_cast<bool>(handle), forWriting ? "FtpOpenFile (write)" : "FtpOpenFile (read)", path);
    if (!handle) return nullptr;
    const DWORD error = GetLastError();
    auto file = std::make_unique<WinInetFile>(std::move(handle), forWriting, log_);
    SetLastError(error);
    return file;
}

std::unique_ptr<RemoteListing> WinInetSession::List(ListedEntry& first) {
    ForgetServerReply();
    // No search text: the platform lists the current directory (an empty
    // text would be matched against every name and match none).
    InternetHandle find;
    find.Reset(FtpFindFirstFileA(connection_, nullptr, &first.record, 0, 0));
    LogCall(static_cast<bool>(find) || GetLastError() == kNoMoreEntries, "FtpFindFirstFile", "");
    if (!find) return nullptr;
    const DWORD error = GetLastError();
    first.name = RecordName(first.record);
    auto listing = std::make_unique<WinInetListing>(std::move(find));
    SetLastError(error);
    return listing;
}

void WinInetSession::ReadFeatures() {
    featuresRead_ = true;
    ServerFeatures features;
    if (Command("FEAT")) {
        // The reply's lines as the platform kept them; its last line is the final one.
        const std::string text = LastServerReplyText();
        FtpReply reply;
        reply.code = LastReplyCode();
        for (size_t start = 0, end; start < text.size(); start = end + 1) {
            end = std::min(text.find('\n', start), text.size());
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            reply.lines.push_back(std::move(line));
        }
        if (!reply.lines.empty()) reply.lines.pop_back();
        features.Read(reply);
    }
    timeSetter_.Begin(features.ModifyTime() ? FileTimeSetter::Start::kModifyCommand
                      : features.Listed()   ? FileTimeSetter::Start::kTimeArgument
                                            : FileTimeSetter::Start::kUnknown);
}

bool WinInetSession::SetFileTime(const std::string& path, const FILETIME& modified) {
    if (!featuresRead_) ReadFeatures();
    return timeSetter_.Set(*this, path, modified);
}

}  // namespace quorlin
