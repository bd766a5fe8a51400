#include "Socket.h"

#include "../platform/WinInetAPI.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace quorlin {

namespace {

// Winsock stays started for the life of the process; the first use starts it.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

// The code for a failure on an established connection.
DWORD ConnectionErrorCode(int error) {
    return error == WSAETIMEDOUT ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_CONNECTION_ABORTED;
}

enum class WaitResult { Ready, TimedOut, Failed };

// Waits until `socket` can be read (or accepted on), or written, for at most
// `milliseconds` in all.
WaitResult WaitFor(SOCKET socket, bool forWriting, DWORD milliseconds, int& error) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG left = now < deadline ? deadline - now : 0;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket, &ready);
        fd_set failed;
        FD_ZERO(&failed);
        FD_SET(socket, &failed);
        timeval limit{};
        limit.tv_sec = static_cast<long>(left / 1000);
        limit.tv_usec = static_cast<long>((left % 1000) * 1000);
        const int count = select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &limit);
        if (count == SOCKET_ERROR) {
            error = WSAGetLastError();
            return WaitResult::Failed;
        }
        if (count > 0) {
            if (FD_ISSET(socket, &failed)) {
                // Only a connect in progress reports here: its error is in SO_ERROR.
                int socketError = 0;
                int length = sizeof(socketError);
                if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError), &length) != 0)
                    socketError = WSAGetLastError();
                error = socketError != 0 ? socketError : WSAECONNREFUSED;
                return WaitResult::Failed;
            }
            return WaitResult::Ready;
        }
        if (left == 0) return WaitResult::TimedOut;
    }
}

DWORD CannotConnectCode(int) { return ERROR_INTERNET_CANNOT_CONNECT; }

// How long a sender waits for room before it tries again.
constexpr ULONGLONG kSendSliceMilliseconds = 200;

// Waits for `socket` until `deadline`; false with the last error set: the
// time-out's code, or what `codeOf` makes of the socket's error.
bool AwaitReady(SOCKET socket, bool forWriting, ULONGLONG deadline, DWORD (*codeOf)(int)) {
    const ULONGLONG now = GetTickCount64();
    int error = 0;
    const WaitResult waited =
        now >= deadline ? WaitResult::TimedOut : WaitFor(socket, forWriting, static_cast<DWORD>(deadline - now), error);
    if (waited == WaitResult::Ready) return true;
    SetLastError(waited == WaitResult::TimedOut ? ERROR_INTERNET_TIMEOUT : codeOf(error));
    return false;
}

// A non-blocking, non-inheritable stream socket, or INVALID_SOCKET.
SOCKET NewSocket(int family) {
    SOCKET created = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (created == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
        // Systems before Windows 7 SP1 do not know the flag.
        created = WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
        if (created != INVALID_SOCKET)
            SetHandleInformation(reinterpret_cast<HANDLE>(created), HANDLE_FLAG_INHERIT, 0);
    }
    if (created == INVALID_SOCKET) return INVALID_SOCKET;
    u_long nonBlocking = 1;
    if (ioctlsocket(created, FIONBIO, &nonBlocking) != 0) {
        closesocket(created);
        return INVALID_SOCKET;
    }
    return created;
}

void SetNoDelay(SOCKET socket) {
    const BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
}

int AddressLength(const sockaddr* address) {
    return address->sa_family == AF_INET6 ? static_cast<int>(sizeof(sockaddr_in6))
                                          : static_cast<int>(sizeof(sockaddr_in));
}

// One connection attempt; on failure the last error is set and the result
// is INVALID_SOCKET.
SOCKET ConnectTo(const sockaddr* address, int length, DWORD milliseconds) {
    SOCKET connecting = NewSocket(address->sa_family);
    if (connecting == INVALID_SOCKET) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return INVALID_SOCKET;
    }
    if (connect(connecting, address, length) != 0) {
        int error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            const WaitResult waited = WaitFor(connecting, true, milliseconds, error);
            if (waited == WaitResult::Ready) error = 0;
            if (waited == WaitResult::TimedOut) {
                closesocket(connecting);
                SetLastError(ERROR_INTERNET_TIMEOUT);
                return INVALID_SOCKET;
            }
        }
        if (error != 0) {
            closesocket(connecting);
            SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
            return INVALID_SOCKET;
        }
    }
    SetNoDelay(connecting);
    return connecting;
}

}  // namespace

Socket::~Socket() { Close(); }

Socket::Socket(Socket&& other) noexcept
    : socket_(std::exchange(other.socket_, INVALID_SOCKET)), sent_(std::exchange(other.sent_, nullptr)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        socket_ = std::exchange(other.socket_, INVALID_SOCKET);
        sent_ = std::exchange(other.sent_, nullptr);
    }
    return *this;
}

bool Socket::Connect(const std::string& host, unsigned short port, DWORD milliseconds) {
    Close();
    if (!StartWinsock()) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    const std::string service = std::to_string(port);
    addrinfo* addresses = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses) != 0 || !addresses) {
        SetLastError(ERROR_INTERNET_NAME_NOT_RESOLVED);
        return false;
    }
    DWORD failure = ERROR_INTERNET_CANNOT_CONNECT;
    for (const addrinfo* address = addresses; address; address = address->ai_next) {
        if (address->ai_family != AF_INET && address->ai_family != AF_INET6) continue;
        const SOCKET connected = ConnectTo(address->ai_addr, static_cast<int>(address->ai_addrlen), milliseconds);
        if (connected != INVALID_SOCKET) {
            freeaddrinfo(addresses);
            socket_ = connected;
            return true;
        }
        failure = GetLastError();
    }
    freeaddrinfo(addresses);
    SetLastError(failure);
    return false;
}

bool Socket::Connect(const sockaddr_storage& address, DWORD milliseconds) {
    Close();
    if (!StartWinsock()) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    const sockaddr* target = reinterpret_cast<const sockaddr*>(&address);
    if (target->sa_family != AF_INET && target->sa_family != AF_INET6) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    const SOCKET connected = ConnectTo(target, AddressLength(target), milliseconds);
    if (connected == INVALID_SOCKET) return false;
    socket_ = connected;
    return true;
}

bool Socket::Listen(const sockaddr_storage& address) {
    Close();
    if (!StartWinsock()) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    sockaddr_storage local = address;
    sockaddr* bound = reinterpret_cast<sockaddr*>(&local);
    if (bound->sa_family == AF_INET) {
        reinterpret_cast<sockaddr_in*>(&local)->sin_port = 0;
    } else if (bound->sa_family == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&local)->sin6_port = 0;
    } else {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    const SOCKET listening = NewSocket(bound->sa_family);
    if (listening == INVALID_SOCKET || bind(listening, bound, AddressLength(bound)) != 0 || listen(listening, 1) != 0) {
        if (listening != INVALID_SOCKET) closesocket(listening);
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    socket_ = listening;
    return true;
}

bool Socket::Accept(Socket& accepted, DWORD milliseconds) {
    accepted.Close();
    if (socket_ == INVALID_SOCKET) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        const SOCKET taken = accept(socket_, nullptr, nullptr);
        if (taken != INVALID_SOCKET) {
            SetHandleInformation(reinterpret_cast<HANDLE>(taken), HANDLE_FLAG_INHERIT, 0);
            u_long nonBlocking = 1;
            ioctlsocket(taken, FIONBIO, &nonBlocking);
            SetNoDelay(taken);
            accepted.socket_ = taken;
            return true;
        }
        const int error = WSAGetLastError();
        // A peer that gave up before being taken is no reason to stop waiting.
        if (error != WSAEWOULDBLOCK && error != WSAECONNRESET) {
            SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
            return false;
        }
        if (!AwaitReady(socket_, false, deadline, CannotConnectCode)) return false;
    }
}

bool Socket::Send(const char* data, size_t size, DWORD milliseconds) {
    if (socket_ == INVALID_SOCKET) {
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    // Some systems signal room to write only once a third of a large send
    // buffer is free, which a slow reader may take longer than the limit to
    // free while it goes on reading: the wait is made in slices with a send
    // tried after each, and the limit counts from the last bytes taken.
    ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (size > 0) {
        const int piece = size > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
        const int sent = send(socket_, data, piece, 0);
        if (sent != SOCKET_ERROR) {
            data += sent;
            size -= static_cast<size_t>(sent);
            if (sent_) *sent_ += static_cast<unsigned long long>(sent);
            deadline = GetTickCount64() + milliseconds;
            continue;
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            SetLastError(ConnectionErrorCode(error));
            return false;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            SetLastError(ERROR_INTERNET_TIMEOUT);
            return false;
        }
        if (!AwaitReady(socket_, true, std::min(deadline, now + kSendSliceMilliseconds), ConnectionErrorCode) &&
            GetLastError() != ERROR_INTERNET_TIMEOUT)
            return false;
    }
    return true;
}

bool Socket::Receive(char* data, size_t size, size_t& received, DWORD milliseconds) {
    received = 0;
    if (socket_ == INVALID_SOCKET) {
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    if (size == 0) return true;
    const int piece = size > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        const int got = recv(socket_, data, piece, 0);
        if (got != SOCKET_ERROR) {
            received = static_cast<size_t>(got);
            return true;
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            SetLastError(ConnectionErrorCode(error));
            return false;
        }
        if (!AwaitReady(socket_, false, deadline, ConnectionErrorCode)) return false;
    }
}

bool Socket::Await(bool forReading, bool forWriting, DWORD milliseconds) {
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    if (forReading || !forWriting) FD_SET(socket_, &readable);
    if (forWriting) FD_SET(socket_, &writable);
    timeval limit{};
    limit.tv_sec = static_cast<long>(milliseconds / 1000);
    limit.tv_usec = static_cast<long>((milliseconds % 1000) * 1000);
    const int count = select(0, &readable, &writable, nullptr, &limit);
    if (count == SOCKET_ERROR) {
        SetLastError(ConnectionErrorCode(WSAGetLastError()));
        return false;
    }
    if (count == 0) {
        SetLastError(ERROR_INTERNET_TIMEOUT);
        return false;
    }
    return true;
}

bool Socket::LocalAddress(sockaddr_storage& address) const {
    address = {};
    int length = sizeof(address);
    return socket_ != INVALID_SOCKET && getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

bool Socket::PeerAddress(sockaddr_storage& address) const {
    address = {};
    int length = sizeof(address);
    return socket_ != INVALID_SOCKET && getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

void Socket::EndSending() {
    if (socket_ != INVALID_SOCKET) shutdown(socket_, SD_SEND);
}

void Socket::Close() {
    if (socket_ != INVALID_SOCKET) {
        closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
}

std::string AddressText(const sockaddr_storage& address) {
    char host[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, host, sizeof host);
        return std::string("[") + host + "]:" + std::to_string(ntohs(v6.sin6_port));
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &v4.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(v4.sin_port));
}

}  // namespace quorlin
