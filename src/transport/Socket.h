// A TCP connection on Winsock whose every wait is bounded. Failures set the
// thread's last error to the platform's internet codes: 12007 a name that
// does not resolve, 12029 a connection refused or not made, 12030 a
// connection reset, 12002 a wait that ran out of time.
#pragma once

// Winsock's headers go before <windows.h>, which Stream.h brings.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "Stream.h"

#include <string>

namespace quorlin {

class Socket : public Stream {
public:
    Socket() = default;
    ~Socket() override;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;

    // Resolves `host` (IPv4 or IPv6) and connects to the first of its
    // addresses that answers, each attempt at most `milliseconds`.
    bool Connect(const std::string& host, unsigned short port, DWORD milliseconds);
    // Connects to one address (a passive data connection).
    bool Connect(const sockaddr_storage& address, DWORD milliseconds);
    // Listens on `address`'s host with a port the system picks (an active
    // data connection); LocalAddress then tells the port.
    bool Listen(const sockaddr_storage& address);
    // Takes one connection on a listening socket within `milliseconds`.
    bool Accept(Socket& accepted, DWORD milliseconds);

    bool Send(const char* data, size_t size, DWORD milliseconds) override;
    bool Receive(char* data, size_t size, size_t& received, DWORD milliseconds) override;
    void CountSent(std::atomic<unsigned long long>* sent) override { sent_ = sent; }

    // Waits until the socket can be read or written, as asked (reading when
    // neither is), for at most `milliseconds`; 12002 when the time ran out.
    bool Await(bool forReading, bool forWriting, DWORD milliseconds);
    // For a library that moves the bytes itself.
    SOCKET Handle() const { return socket_; }

    bool LocalAddress(sockaddr_storage& address) const;
    bool PeerAddress(sockaddr_storage& address) const;
    // Ends the sending side: the peer reads the end of the data.
    void EndSending();
    void Close();
    bool IsOpen() const { return socket_ != INVALID_SOCKET; }

private:
    explicit Socket(SOCKET socket) : socket_(socket) {}
    SOCKET socket_ = INVALID_SOCKET;
    std::atomic<unsigned long long>* sent_ = nullptr;
};

// "127.0.0.1:21", "[::1]:21": an address as the log shows it.
std::string AddressText(const sockaddr_storage& address);

}  // namespace quorlin
