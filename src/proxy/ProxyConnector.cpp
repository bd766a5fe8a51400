#include "ProxyConnector.h"

#include "../platform/WinInetAPI.h"
#include "../ssh/SshWire.h"
#include "../text/Error.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quorlin {
namespace {

// A proxy's answer to CONNECT is a status line and headers: no honest one
// comes near this.
constexpr size_t kLongestHttpAnswerBytes = 16 * 1024;

bool SendAll(Socket& socket, const std::string& bytes, DWORD milliseconds) {
    return socket.Send(bytes.data(), bytes.size(), milliseconds);
}

// Exactly `size` bytes, each wait within `milliseconds`; a proxy that ends
// the connection first has sent no answer.
bool ReceiveExactly(Socket& socket, unsigned char* data, size_t size, DWORD milliseconds) {
    while (size > 0) {
        size_t received = 0;
        if (!socket.Receive(reinterpret_cast<char*>(data), size, received, milliseconds)) return false;
        if (received == 0) {
            SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
            return false;
        }
        data += received;
        size -= received;
    }
    return true;
}

std::string PortBytes(unsigned short port) {
    return std::string{static_cast<char>(port >> 8), static_cast<char>(port & 0xFF)};
}

const char* Socks5ReplyText(unsigned char code) {
    static const char* const kTexts[] = {"succeeded", "general SOCKS server failure", "connection not allowed by ruleset",
                                         "network unreachable", "host unreachable", "connection refused",
                                         "TTL expired", "command not supported", "address type not supported"};
    return code < sizeof kTexts / sizeof kTexts[0] ? kTexts[code] : "unknown reply";
}

std::string Target(const std::string& host, unsigned short port) {
    const bool bracketed = host.find(':') != std::string::npos;
    return (bracketed ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace

bool ProxyConnector::Fail(DWORD code, const std::string& detail) const {
    if (Logging(log_)) log_->Write(LogMark::kNote, detail);
    KeepFailureDetail(std::wstring(detail.begin(), detail.end()));
    SetLastError(code);
    return false;
}

bool ProxyConnector::Refused(const std::string& host, unsigned short port, const std::string& why) const {
    return Fail(ERROR_INTERNET_CANNOT_CONNECT,
                "The " + route_.Name() + " refused the connection to " + Target(host, port) + ": " + why + ".");
}

bool ProxyConnector::Reach(DWORD milliseconds, Socket& socket) const {
    if (socket.Connect(route_.host, route_.port, milliseconds)) return true;
    const DWORD error = GetLastError();
    return Fail(error, "The " + route_.Name() + " could not be reached.");
}

bool ProxyConnector::Connect(const std::string& host, unsigned short port, DWORD milliseconds, Socket& socket) const {
    if (route_.Direct()) return socket.Connect(host, port, milliseconds);
    if (Logging(log_)) log_->Write(LogMark::kNote, "connecting to " + Target(host, port) + " through the " + route_.Name());
    bool connected = false;
    switch (route_.kind) {
    case ProxyRoute::Kind::kSocks5: connected = Socks5(1, host, port, milliseconds, socket, nullptr); break;
    case ProxyRoute::Kind::kSocks4a: connected = Socks4a(host, port, milliseconds, socket); break;
    default: connected = HttpConnect(host, port, milliseconds, socket); break;
    }
    if (!connected) {
        const DWORD error = GetLastError();
        socket.Close();
        SetLastError(error);
        return false;
    }
    if (Logging(log_)) log_->Write(LogMark::kNote, "the proxy connected to " + Target(host, port));
    return true;
}

bool ProxyConnector::Bind(const std::string& host, unsigned short port, DWORD milliseconds, Socket& socket,
                          sockaddr_storage& bound) const {
    if (route_.kind != ProxyRoute::Kind::kSocks5)
        return Fail(ERROR_NOT_SUPPORTED, "Active mode cannot go through the " + route_.Name() +
                                             ": only a SOCKS5 proxy takes a connection for the client. Set Passive "
                                             "to True.");
    if (!Socks5(2, host, port, milliseconds, socket, &bound)) {
        const DWORD error = GetLastError();
        socket.Close();
        SetLastError(error);
        return false;
    }
    // A proxy that names no address of its own listens on the one we reached.
    sockaddr_storage proxy{};
    const bool unspecified =
        bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in&>(bound).sin_addr.s_addr == 0
                                   : IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<sockaddr_in6&>(bound).sin6_addr);
    if (unspecified && socket.PeerAddress(proxy)) {
        const unsigned short boundPort = bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in&>(bound).sin_port
                                                                     : reinterpret_cast<sockaddr_in6&>(bound).sin6_port;
        bound = proxy;
        if (bound.ss_family == AF_INET) reinterpret_cast<sockaddr_in&>(bound).sin_port = boundPort;
        else reinterpret_cast<sockaddr_in6&>(bound).sin6_port = boundPort;
    }
    if (Logging(log_)) log_->Write(LogMark::kNote, "the proxy listens for the data connection at " + AddressText(bound));
    return true;
}

bool ProxyConnector::AwaitBound(const std::string& host, unsigned short port, Socket& socket,
                                DWORD milliseconds) const {
    return Socks5Reply(host, port, socket, milliseconds, nullptr);
}

bool ProxyConnector::Socks5(unsigned char command, const std::string& host, unsigned short port,
                            DWORD milliseconds, Socket& socket, sockaddr_storage* bound) const {
    if (host.size() > 255) return Fail(ERROR_INVALID_PARAMETER, "The server's name is too long for a SOCKS5 proxy.");
    if (!Reach(milliseconds, socket)) return false;
    // Username and password are offered only when there are some, and sent
    // only when the proxy picks them.
    const bool offer = !route_.user.empty() || !route_.password.empty();
    const std::string greeting = offer ? std::string("\x05\x02\x00\x02", 4) : std::string("\x05\x01\x00", 3);
    unsigned char choice[2];
    if (!SendAll(socket, greeting, milliseconds) || !ReceiveExactly(socket, choice, 2, milliseconds))
        return Fail(GetLastError(), "The " + route_.Name() + " did not answer the SOCKS5 greeting.");
    if (choice[0] != 5) return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "The " + route_.Name() + " answered with something that is no SOCKS5 reply.");
    if (choice[1] == 0xFF)
        return Fail(ERROR_INTERNET_INCORRECT_PASSWORD,
                    "The " + route_.Name() + (offer ? " accepts none of the login methods offered."
                                                    : " asks for a user name and password (ProxyUsername, ProxyPassword)."));
    if (choice[1] == 2 && offer) {
        if (route_.user.size() > 255 || route_.password.size() > 255)
            return Fail(ERROR_INVALID_PARAMETER, "The proxy user name or password is longer than SOCKS5 takes.");
        std::string login = "\x01";
        login += static_cast<char>(route_.user.size());
        login += route_.user;
        login += static_cast<char>(route_.password.size());
        login += route_.password;
        unsigned char verdict[2];
        const bool answered = SendAll(socket, login, milliseconds) && ReceiveExactly(socket, verdict, 2, milliseconds);
        SecureZeroMemory(login.data(), login.size());
        if (!answered) return Fail(GetLastError(), "The " + route_.Name() + " did not answer the login.");
        if (verdict[1] != 0)
            return Fail(ERROR_INTERNET_INCORRECT_PASSWORD, "The " + route_.Name() + " refused the user name and password.");
    } else if (choice[1] != 0) {
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
                    "The " + route_.Name() + " chose a login method that was not offered.");
    }
    std::string request = {5, static_cast<char>(command), 0, 3, static_cast<char>(host.size())};
    request += host + PortBytes(port);
    if (!SendAll(socket, request, milliseconds))
        return Fail(GetLastError(), "The " + route_.Name() + " did not take the request.");
    return Socks5Reply(host, port, socket, milliseconds, bound);
}

bool ProxyConnector::Socks5Reply(const std::string& host, unsigned short port, Socket& socket, DWORD milliseconds,
                                 sockaddr_storage* bound) const {
    unsigned char head[4];
    if (!ReceiveExactly(socket, head, 4, milliseconds))
        return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
    if (head[0] != 5 || head[2] != 0)
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "The " + route_.Name() + " answered with something that is no SOCKS5 reply.");
    if (head[1] != 0) return Refused(host, port, std::to_string(head[1]) + " " + Socks5ReplyText(head[1]));
    unsigned char address[16 + 2];
    size_t size = 0;
    if (head[3] == 1) size = 4;
    else if (head[3] == 4) size = 16;
    else if (head[3] == 3) {
        unsigned char length = 0;
        if (!ReceiveExactly(socket, &length, 1, milliseconds))
            return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
        unsigned char name[255 + 2];
        if (!ReceiveExactly(socket, name, length + 2u, milliseconds))
            return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
        // A name for the bound address is of no use for a data connection.
        if (bound) return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "The " + route_.Name() + " named no address to listen at.");
        return true;
    } else {
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "The " + route_.Name() + " answered with something that is no SOCKS5 reply.");
    }
    if (!ReceiveExactly(socket, address, size + 2, milliseconds))
        return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
    if (bound) {
        *bound = sockaddr_storage{};
        if (size == 4) {
            auto& v4 = reinterpret_cast<sockaddr_in&>(*bound);
            v4.sin_family = AF_INET;
            std::memcpy(&v4.sin_addr, address, 4);
            std::memcpy(&v4.sin_port, address + 4, 2);
        } else {
            auto& v6 = reinterpret_cast<sockaddr_in6&>(*bound);
            v6.sin6_family = AF_INET6;
            std::memcpy(&v6.sin6_addr, address, 16);
            std::memcpy(&v6.sin6_port, address + 16, 2);
        }
    }
    return true;
}

bool ProxyConnector::Socks4a(const std::string& host, unsigned short port, DWORD milliseconds, Socket& socket) const {
    if (!Reach(milliseconds, socket)) return false;
    // Address 0.0.0.1: the name follows, for the proxy to resolve. SOCKS4
    // identifies by a user id alone, which is the proxy user name.
    std::string request = {4, 1};
    request += PortBytes(port) + std::string("\x00\x00\x00\x01", 4) + route_.user + '\0' + host + '\0';
    unsigned char reply[8];
    if (!SendAll(socket, request, milliseconds) || !ReceiveExactly(socket, reply, 8, milliseconds))
        return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
    if (reply[0] != 0 && reply[0] != 4)
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "The " + route_.Name() + " answered with something that is no SOCKS4 reply.");
    if (reply[1] == 0x5A) return true;
    if (reply[1] == 0x5C || reply[1] == 0x5D)
        return Fail(ERROR_INTERNET_INCORRECT_PASSWORD, "The " + route_.Name() + " refused the user id: " + std::to_string(reply[1]) + ".");
    if (reply[1] == 0x5B) return Refused(host, port, "91 request rejected or failed");
    return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "The " + route_.Name() + " answered with something that is no SOCKS4 reply.");
}

bool ProxyConnector::HttpRequest(const std::string& host, unsigned short port, bool withCredentials,
                                 DWORD milliseconds, Socket& socket, int& status, std::string& reason) const {
    if (!Reach(milliseconds, socket)) return false;
    const std::string target = Target(host, port);
    std::string request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
    if (withCredentials) {
        std::string pair = route_.user + ":" + route_.password;
        request += "Proxy-Authorization: Basic " + Base64(pair) + "\r\n";
        SecureZeroMemory(pair.data(), pair.size());
    }
    request += "\r\n";
    const bool sent = SendAll(socket, request, milliseconds);
    SecureZeroMemory(request.data(), request.size());
    if (!sent) return Fail(GetLastError(), "The " + route_.Name() + " did not take the request.");
    // The answer ends at its blank line; what follows is the server's, so
    // bytes are looked at before they are taken, and only the answer's taken.
    std::string answer;
    for (bool ended = false; !ended;) {
        char piece[4096];
        if (!socket.Await(true, false, milliseconds))
            return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
        const int peeked = recv(socket.Handle(), piece, sizeof piece, MSG_PEEK);
        if (peeked <= 0) {
            SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
            return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
        }
        const size_t before = answer.size();
        answer.append(piece, static_cast<size_t>(peeked));
        // An answer that does not start as HTTP's does is none, however it goes on.
        const size_t start = std::min<size_t>(answer.size(), 5);
        if (std::string_view("HTTP/").substr(0, start) != std::string_view(answer).substr(0, start))
            return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
                        "The " + route_.Name() + " answered with something that is no HTTP reply.");
        size_t end = answer.find("\r\n\r\n", before >= 3 ? before - 3 : 0);
        if (end != std::string::npos) end += 4;
        const size_t bare = answer.find("\n\n", before >= 1 ? before - 1 : 0);
        if (bare != std::string::npos && (end == std::string::npos || bare + 2 < end)) end = bare + 2;
        ended = end != std::string::npos;
        if (ended) answer.resize(end);
        if (answer.size() > kLongestHttpAnswerBytes)
            return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR,
                        "The " + route_.Name() + " sent an answer longer than any proxy sends.");
        // Take what belongs to the answer: all of it until its end is seen.
        std::string taken(answer.size() - before, '\0');
        if (!ReceiveExactly(socket, reinterpret_cast<unsigned char*>(taken.data()), taken.size(), milliseconds))
            return Fail(GetLastError(), "The " + route_.Name() + " did not answer the request.");
    }
    // "HTTP/1.1 200 Connection established"
    const size_t lineEnd = answer.find_first_of("\r\n");
    const std::string line = answer.substr(0, lineEnd);
    if (line.compare(0, 5, "HTTP/") != 0 || line.size() < 12 || line[8] != ' ' ||
        !std::all_of(line.begin() + 9, line.begin() + 12, [](char c) { return c >= '0' && c <= '9'; }))
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "The " + route_.Name() + " answered with something that is no HTTP reply.");
    status = std::stoi(line.substr(9, 3));
    reason = line.substr(std::min<size_t>(13, line.size()));
    // The reason is the proxy's text: printable characters only reach the error.
    for (char& c : reason)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) c = '?';
    if (reason.size() > 200) reason.resize(200);
    return true;
}

bool ProxyConnector::HttpConnect(const std::string& host, unsigned short port, DWORD milliseconds,
                                 Socket& socket) const {
    int status = 0;
    std::string reason;
    if (!HttpRequest(host, port, false, milliseconds, socket, status, reason)) return false;
    const bool haveCredentials = !route_.user.empty() || !route_.password.empty();
    if (status == 407 && haveCredentials) {
        // Asked for them: the credentials go on a new connection, as the
        // proxy may end the first one after its answer.
        socket.Close();
        if (!HttpRequest(host, port, true, milliseconds, socket, status, reason)) return false;
        // Some proxies answer wrong credentials with 401 rather than 407.
        if (status == 407 || status == 401)
            return Fail(ERROR_INTERNET_INCORRECT_PASSWORD,
                        "The " + route_.Name() + " refused the user name and password: " + std::to_string(status) +
                            " " + reason + ".");
    }
    if (status == 407)
        return Fail(ERROR_INTERNET_INCORRECT_PASSWORD, "The " + route_.Name() +
                                                           " asks for a user name and password (ProxyUsername, "
                                                           "ProxyPassword): 407 " + reason + ".");
    if (status / 100 != 2) return Refused(host, port, std::to_string(status) + " " + reason);
    return true;
}

}  // namespace quorlin
