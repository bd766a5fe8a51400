// The FTP operations over SFTP (version 3) on an SSH-2 connection of the SSH
// library: one session and one SFTP channel. SFTP has no working directory:
// the session keeps one, starting where the server puts the login. Every
// wait is bounded by the object's time limit, or by the own FTP client's
// defaults without one.
#pragma once

#include "../session/FtpSession.h"
#include "../transport/Socket.h"
#include "HostKeyFingerprint.h"
#include "KexOffer.h"
#include "../proxy/ProxyConnector.h"
#include "../log/SessionLog.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _LIBSSH2_SESSION LIBSSH2_SESSION;
typedef struct _LIBSSH2_SFTP LIBSSH2_SFTP;
typedef struct _LIBSSH2_SFTP_HANDLE LIBSSH2_SFTP_HANDLE;
typedef struct _LIBSSH2_SFTP_ATTRIBUTES LIBSSH2_SFTP_ATTRIBUTES;

namespace quorlin {

struct SftpSettings {
    std::string host;
    unsigned short port = 22;
    std::string user;      // UTF-8
    std::string password;  // UTF-8
    std::vector<HostKeyPin> hostKeys;   // the host keys trusted
    std::wstring privateKeyFile;        // empty: no key
    std::string passphrase;             // UTF-8
    LONG waitSeconds = 0;               // 0: the own FTP client's defaults
    std::shared_ptr<SessionLog> log;    // or null
    ProxyRoute proxy;                   // the connection's way to the server
};

class SftpSession : public FtpSession, public std::enable_shared_from_this<SftpSession> {
public:
    explicit SftpSession(SftpSettings settings);
    ~SftpSession() override;
    SftpSession(const SftpSession&) = delete;
    SftpSession& operator=(const SftpSession&) = delete;

    // Connects, checks the host key before any credential goes out, logs in
    // and opens the SFTP channel.
    bool Open();

    bool Connected() const override { return sftp_ != nullptr; }
    bool Lost() const override { return lost_.load(); }
    void LimitWaits(LONG seconds) override { waitSeconds_ = seconds; }
    void Abandon() override;
    bool CurrentDirectory(std::string& directory) override;
    bool SetDirectory(const std::string& path) override;
    bool CreateFolder(const std::string& path) override;
    bool RemoveFolder(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool Delete(const std::string& path) override;
    // SFTP has no commands of FTP's: announcing UTF-8 names succeeds (they
    // are UTF-8 already); anything else is refused as unknown.
    bool Command(const char* line) override;
    std::unique_ptr<RemoteFile> Open(const std::string& path, bool forWriting, DWORD transferType,
                                     unsigned long long offset) override;
    // From the server's stat of the name (a link: of what it points to).
    bool FileSize(const std::string& path, unsigned long long& size) override;
    bool FileTime(const std::string& path, FILETIME& modified) override;
    bool SetFileTime(const std::string& path, const FILETIME& modified) override;
    bool Exists(const std::string& path, bool& exists) override;
    std::unique_ptr<RemoteListing> List(ListedEntry& first) override;
    bool Close() override;

    // Runs a call of the library until it no longer asks to wait, each wait
    // on the socket bounded (within an opening, the opening as a whole);
    // LIBSSH2_ERROR_TIMEOUT when the time ran out or the caller stopped waiting.
    int Await(const std::function<int()>& call);
    // The same for a call that returns a handle or null.
    template <class Handle>
    Handle* AwaitHandle(const std::function<Handle*()>& call, int& error) {
        Handle* made = nullptr;
        error = Await([&] {
            made = call();
            return made ? 0 : LastErrno();
        });
        return made;
    }
    // Gives the connection up without a word to the server: from now on the
    // library's sends fail and its receives find nothing, so that whatever
    // it still holds (a remote file, the channel, the session) is freed at
    // once when closed, and never waits on a server that is gone or stalled.
    void Release() {
        released_ = true;
        lost_ = true;
    }
    // Sets the last error (and the server's reply or a failure detail) for
    // a failed call's `error`; false.
    bool Fail(int error);
    LIBSSH2_SFTP* Channel() const { return sftp_; }
    // The library's text for its last failure.
    std::wstring LastLibraryMessage() const;
    // `path` from the working directory when it is relative.
    std::string Absolute(const std::string& path) const;
    // Writes an SFTP request and its outcome (`result` below 0: failed) to the log.
    void LogRequest(const char* request, const std::string& path, int result) const;
    void LogNote(const std::string& text) const;
    bool Logging() const { return quorlin::Logging(settings_.log); }

private:
    // The library's socket calls, through the session (it may be released).
    static ssize_t SendThrough(SOCKET socket, const void* data, size_t size, int flags, void** abstract);
    static ssize_t ReceiveThrough(SOCKET socket, void* data, size_t size, int flags, void** abstract);
    static void Disconnected(LIBSSH2_SESSION*, int reason, const char* message, int messageLength, const char*, int,
                             void** abstract);
    // Writes what the library sent as far as the socket takes it now; false
    // when the connection failed.
    bool SendOutbox();
    int LastErrno() const;
    // Connects again until the server shows a pinned host key, or refuses
    // naming every key it showed.
    bool ReachPinnedHostKey();
    // The host key algorithms to ask for: those of `only`, or every one,
    // the types the pins name first.
    std::string HostKeyPreference(const std::string& only) const;
    // A host key type not seen yet (shown or asked for) that the server
    // offers and a pin may be of; empty: none.
    std::string NextHostKeyType(const std::vector<std::string>& seen) const;
    void Disconnect();
    bool Handshake();
    // The banner and the algorithms the handshake agreed on.
    void LogHandshake() const;
    bool ShownHostKey(std::string& type, std::string& digest);
    bool Authenticate();
    // Logs in with the private key; `methods` then holds what the server
    // still asks for (empty: logged in).
    bool AuthenticateWithKey(std::string& methods);
    bool StatusFailure(unsigned long status);
    bool Stat(const std::string& path, LIBSSH2_SFTP_ATTRIBUTES& attributes);

public:
    // The password, the answer to every keyboard-interactive prompt.
    const std::string& Password() const { return settings_.password; }

private:

    SftpSettings settings_;
    ProxyConnector connector_;
    std::atomic<LONG> waitSeconds_;
    std::atomic<bool> lost_{false};
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> released_{false};
    ULONGLONG openingDeadline_ = 0;  // while opening: when the opening as a whole must end
    KexOffer offer_;                 // the server's, for a failed negotiation's text
    std::string hostKeyAlgorithms_;  // asked for in this connection
    std::wstring goodbye_;           // the server's reason, when it ended the session
    Socket socket_;
    std::vector<char> inbox_;        // read from the socket, not yet taken by the library
    size_t inboxStart_ = 0, inboxEnd_ = 0;
    std::string outbox_;             // sent by the library, not yet written to the socket
    bool sendFailed_ = false;
    LIBSSH2_SESSION* session_ = nullptr;
    LIBSSH2_SFTP* sftp_ = nullptr;
    std::string directory_;
};

}  // namespace quorlin
