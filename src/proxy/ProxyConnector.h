// Connections of the own clients, straight or through a proxy: SOCKS5 (with
// a user name and password where the proxy asks for them), SOCKS4a or HTTP
// CONNECT (Basic authentication once the proxy asks), the server named by
// its host name for the proxy to resolve. Every wait is bounded, and so is
// every reply a proxy may send. Failures set the thread's last error and a
// failure detail that says which side failed: 12029 (or the socket's own
// code) for a proxy that cannot be reached and for its refusal, 12014 for
// credentials it wants or refuses, 12157 for an answer that is none.
#pragma once

#include "../transport/Socket.h"
#include "../log/SessionLog.h"
#include "ProxyRoute.h"

#include <memory>
#include <string>

namespace quorlin {

class ProxyConnector {
public:
    ProxyConnector() = default;
    ProxyConnector(ProxyRoute route, std::shared_ptr<SessionLog> log) : route_(std::move(route)), log_(std::move(log)) {}

    bool Direct() const { return route_.Direct(); }
    // Connects `socket` to `host`:`port`, within `milliseconds` for each wait.
    bool Connect(const std::string& host, unsigned short port, DWORD milliseconds, Socket& socket) const;
    // Active mode through SOCKS5: asks the proxy to take one connection from
    // `host` for us; `bound` is where the server is to connect. Through any
    // other proxy it fails with 50 before anything is sent to the server.
    bool Bind(const std::string& host, unsigned short port, DWORD milliseconds, Socket& socket,
              sockaddr_storage& bound) const;
    // After a Bind: waits for the proxy's word that the server connected.
    bool AwaitBound(const std::string& host, unsigned short port, Socket& socket, DWORD milliseconds) const;

private:
    bool Reach(DWORD milliseconds, Socket& socket) const;
    bool Socks5(unsigned char command, const std::string& host, unsigned short port, DWORD milliseconds,
                Socket& socket, sockaddr_storage* bound) const;
    bool Socks5Reply(const std::string& host, unsigned short port, Socket& socket, DWORD milliseconds,
                     sockaddr_storage* bound) const;
    bool Socks4a(const std::string& host, unsigned short port, DWORD milliseconds, Socket& socket) const;
    bool HttpConnect(const std::string& host, unsigned short port, DWORD milliseconds, Socket& socket) const;
    // One CONNECT; `status` and `reason` from the proxy's answer.
    bool HttpRequest(const std::string& host, unsigned short port, bool withCredentials, DWORD milliseconds,
                     Socket& socket, int& status, std::string& reason) const;
    bool Refused(const std::string& host, unsigned short port, const std::string& why) const;
    bool Fail(DWORD code, const std::string& detail) const;

    ProxyRoute route_;
    std::shared_ptr<SessionLog> log_;
};

}  // namespace quorlin
