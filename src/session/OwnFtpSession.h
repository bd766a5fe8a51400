// The FTP session on the component's own FTP client, for sessions over TLS
// (explicit with AUTH TLS, or implicit from the first byte): the control
// channel, a data channel per transfer or listing, both protected, and the
// listing read with the platform's own rules. Every wait is bounded by the
// object's time limit, or by the platform's own defaults without one.
#pragma once

#include "../ftpclient/ControlChannel.h"
#include "../ftpclient/DataChannel.h"
#include "../ftpclient/ServerFeatures.h"
#include "../proxy/ProxyRoute.h"
#include "../tls/TlsCredentials.h"
#include "FileTimeSetter.h"
#include "FtpSession.h"

#include <atomic>
#include <memory>
#include <string>

namespace quorlin {

struct OwnSessionSettings {
    std::string host;
    std::wstring hostName;    // the same, for the certificate and the TLS target
    unsigned short port = 21;
    std::string user;
    std::string password;
    LONG security = 1;        // 1 explicit, 2 implicit
    bool passive = true;
    std::string pinned;       // a certificate fingerprint to accept alone, or empty
    LONG waitSeconds = 0;     // 0: the platform's defaults
    std::shared_ptr<SessionLog> log;  // or null
    ProxyRoute proxy;                 // every connection's way to the server
};

class OwnFtpSession : public FtpSession, public std::enable_shared_from_this<OwnFtpSession> {
public:
    explicit OwnFtpSession(OwnSessionSettings settings);
    ~OwnFtpSession() override;

    // Connects, secures the connection, checks the server's certificate and
    // logs in; then asks for protected data connections, and for the
    // server's features.
    bool Open();

    bool Connected() const override { return control_.Attached(); }
    bool Lost() const override { return lost_.load(); }
    void LimitWaits(LONG seconds) override { waitSeconds_ = seconds; }
    bool CurrentDirectory(std::string& directory) override;
    bool SetDirectory(const std::string& path) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool Delete(const std::string& path) override;
    bool Command(const char* line) override;
    // From an offset: REST right before the transfer's command; a write the
    // server refuses behind a REST appends instead (APPE).
    std::unique_ptr<RemoteFile> Open(const std::string& path, bool forWriting, DWORD transferType,
                                     unsigned long long offset) override;
    bool FileSize(const std::string& path, unsigned long long& size) override;
    bool FileTime(const std::string& path, FILETIME& modified) override;
    // MFMT where the server offers it, else MDTM with the time.
    bool SetFileTime(const std::string& path, const FILETIME& modified) override;
    bool Exists(const std::string& path, bool& exists) override;
    // MLSD where the server offers it, else LIST.
    std::unique_ptr<RemoteListing> List(ListedEntry& first) override;
    bool Close() override;

    // The longest one wait may take now.
    DWORD Wait() const;
    // Ends a transfer's data connection and reads its final reply, which may
    // take `drainMilliseconds` longer than any other wait (an upload's last
    // bytes on their way to a slow server).
    bool FinishTransfer(DataChannel& data, unsigned long long drainMilliseconds);
    // Drops a transfer whose data failed with `error` without waiting on it,
    // and takes the server's word on it if that comes at once.
    void AbandonTransfer(DataChannel& data, DWORD error);

private:
    bool Secure(Socket socket);
    bool Login();
    // Asks FEAT once; a refusal leaves no features.
    bool ReadFeatures();
    // The text a listing command's data connection brings, whole.
    bool ReadListing(const std::string& command, std::string& text);
    // Reads one reply within `milliseconds` and keeps it as the server's
    // last; a reply that does not come or is none leaves the session lost.
    bool ReadReply(FtpReply& reply, DWORD milliseconds);
    // Reads replies up to the final one; a preliminary one before it makes
    // the final one out of turn.
    bool ReadFinalReply(FtpReply& reply, DWORD milliseconds);
    // Sends `line` and reads its final reply, judging nothing.
    bool Ask(const std::string& line, FtpReply& reply);
    bool SendLine(const std::string& line);
    // The same; a failed reply (400 or more, or out of turn) fails with the extended error.
    bool Exchange(const std::string& line, FtpReply& reply);
    bool Exchange(const std::string& line) {
        FtpReply reply;
        return Exchange(line, reply);
    }
    // Asks for `transferType` unless the server has it already.
    bool UseType(DWORD transferType);
    // Opens a data connection for `command`, up to its preliminary reply,
    // restarting at `offset` when that is not 0.
    std::unique_ptr<DataChannel> StartTransfer(const std::string& command, DWORD transferType,
                                               unsigned long long offset = 0);
    // After a data connection failed with `error`: the server's own word on
    // it when it comes at once (a refused unprotected or unresumed data
    // connection), else `error`.
    void ReadReasonOfFailure(DWORD error);

    OwnSessionSettings settings_;
    std::atomic<LONG> waitSeconds_;
    std::atomic<bool> lost_{false};
    ControlChannel control_;
    std::shared_ptr<TlsCredentials> credentials_;
    DataSettings data_;
    char currentType_ = 0;  // the transfer type the server has, 0 before the first
    ServerFeatures features_;
    FileTimeSetter timeSetter_;
};

}  // namespace quorlin
