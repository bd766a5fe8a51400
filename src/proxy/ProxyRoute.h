// Where the component's own clients connect: straight to the server, or
// through a SOCKS5, SOCKS4a or HTTP CONNECT proxy, which resolves the
// server's name itself (sites without outside DNS reach servers by name).
#pragma once

#include <string>
#include <string_view>

namespace quorlin {

struct ProxyRoute {
    enum class Kind { kDirect, kSocks5, kSocks4a, kHttp };
    Kind kind = Kind::kDirect;
    std::string host;
    unsigned short port = 0;
    std::string user;      // empty: none to give
    std::string password;

    bool Direct() const { return kind == Kind::kDirect; }
    // "SOCKS5 proxy 10.0.0.1:1080", as the log and the error texts name it.
    std::string Name() const;
};

// Reads a Proxy setting: "socks5://host[:port]" (port 1080), "socks4a://..."
// (1080), "http://host[:port]" (8080), or a bare "host[:port]", which is an
// HTTP proxy as the platform reads a bare name. A host in brackets is an IPv6
// address. False for anything else: another scheme, a path, a list of
// proxies per protocol, an empty host, a port out of range.
bool ParseProxyRoute(std::wstring_view text, ProxyRoute& route);

}  // namespace quorlin
