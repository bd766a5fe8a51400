// One data connection of the component's own FTP client, opened around the
// command that uses it: passive (the client connects) or active (the server
// connects to the client), and protected by TLS when the session is.
#pragma once

#include "../proxy/ProxyConnector.h"
#include "../tls/TlsStream.h"
#include "../transport/Socket.h"
#include "ControlChannel.h"

#include <functional>
#include <memory>
#include <string>

namespace quorlin {

struct DataSettings {
    bool passive = true;
    bool protect = false;                          // TLS on the data connection
    std::shared_ptr<TlsCredentials> credentials;   // the control connection's
    std::wstring targetName;                       // the control connection's
    std::string serverCertificate;                 // fingerprint the data connection's must match
    sockaddr_storage controlLocal{};               // the control connection's own address
    sockaddr_storage controlPeer{};                // and the server's
    std::shared_ptr<SessionLog> log;               // the session's, or null
    // Through a proxy, data connections go through it too, to the server by
    // its name; the control connection's peer is then the proxy.
    std::shared_ptr<const ProxyConnector> proxy;   // null: straight
    std::string serverHost;
    unsigned short serverPort = 0;
};

class DataChannel {
public:
    // Sends a command line and reads its reply, judging nothing.
    using Exchange = std::function<bool(const std::string& line, FtpReply& reply)>;

    explicit DataChannel(const DataSettings& settings) : settings_(settings) {}

    // Before the command: asks for a passive port and connects to it, or
    // listens and tells the server where.
    bool Prepare(const Exchange& exchange, DWORD milliseconds);
    // After the command's preliminary reply: takes the server's connection
    // (active) and makes the TLS handshake (protected).
    bool Establish(DWORD milliseconds);
    Stream& Data() { return tls_ ? static_cast<Stream&>(*tls_) : static_cast<Stream&>(socket_); }
    // Ends the data: a protected connection says close_notify first.
    void Finish(DWORD milliseconds);
    // Drops the connection at once, without close_notify: its data failed.
    void Abort();
    // Counts bytes that went through, for the log's line when the data ends.
    void Count(size_t bytes) { bytes_ += bytes; }

private:
    bool PreparePassive(const Exchange& exchange, DWORD milliseconds);
    bool PrepareActive(const Exchange& exchange, DWORD milliseconds);
    bool Routed() const { return settings_.proxy && !settings_.proxy->Direct(); }
    void LogEnd(const char* how);

    DataSettings settings_;
    Socket listener_;
    Socket socket_;
    std::unique_ptr<TlsStream> tls_;
    unsigned long long bytes_ = 0;
    ULONGLONG opened_ = 0;  // when the connection was made, for the log
};

}  // namespace quorlin
