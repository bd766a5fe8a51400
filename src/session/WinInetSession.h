// The FTP session on the platform's own FTP client: each operation is the
// platform call the members always made, on a connection handle that the FTP
// object owns and closes.
#pragma once

#include "FileTimeSetter.h"
#include "FtpSession.h"
#include "../log/SessionLog.h"

#include <memory>
#include <string_view>

namespace quorlin {

class WinInetSession : public FtpSession {
public:
    // A null handle stands for no connection: every operation then fails as
    // the platform fails it.
    // The platform keeps the wire to itself: the log gets each call and the
    // server's reply as the platform kept it.
    explicit WinInetSession(HINTERNET connection, std::shared_ptr<SessionLog> log = nullptr)
        : connection_(connection), log_(std::move(log)) {}

    bool Connected() const override { return connection_ != nullptr; }
    bool Lost() const override { return lost_; }
    void LimitWaits(LONG) override {}
    bool CurrentDirectory(std::string& directory) override;
    bool SetDirectory(const std::string& path) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool Delete(const std::string& path) override;
    bool Command(const char* line) override;
    // From an offset, the platform's transfer follows a REST of its own.
    std::unique_ptr<RemoteFile> Open(const std::string& path, bool forWriting, DWORD transferType,
                                     unsigned long long offset) override;
    bool FileSize(const std::string& path, unsigned long long& size) override;
    bool FileTime(const std::string& path, FILETIME& modified) override;
    // As the own client sets it; the features are asked on the first call.
    bool SetFileTime(const std::string& path, const FILETIME& modified) override;
    bool Exists(const std::string& path, bool& exists) override;
    std::unique_ptr<RemoteListing> List(ListedEntry& first) override;
    // The FTP object closes the handles itself.
    bool Close() override { return true; }

private:
    // Sends `line` in binary type: SIZE counts bytes only there.
    bool BinaryCommand(const std::string& line);
    // A call's outcome. The platform takes a preliminary reply (1xx) for the
    // answer and leaves the real one unread, where the next command would
    // read it as its own; and a reply it cannot read leaves it out of step:
    // in both cases the session is lost.
    bool Judged(bool succeeded, std::string_view call, std::string_view argument);
    // Writes a call and its outcome to the log.
    void LogCall(bool succeeded, std::string_view call, std::string_view argument) const;

    // How the server sets times, from its reply to FEAT as far as the
    // platform lets it be read.
    void ReadFeatures();

    HINTERNET connection_;
    std::shared_ptr<SessionLog> log_;
    bool lost_ = false;
    bool featuresRead_ = false;
    FileTimeSetter timeSetter_;
};

}  // namespace quorlin
