#include "ProxyRoute.h"

#include <cwctype>

namespace quorlin {

std::string ProxyRoute::Name() const {
    const char* kind = this->kind == Kind::kSocks5 ? "SOCKS5" : this->kind == Kind::kSocks4a ? "SOCKS4a" : "HTTP";
    const bool bracketed = host.find(':') != std::string::npos;
    return std::string(kind) + " proxy " + (bracketed ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool ParseProxyRoute(std::wstring_view text, ProxyRoute& route) {
    while (!text.empty() && std::iswspace(text.front())) text.remove_prefix(1);
    while (!text.empty() && std::iswspace(text.back())) text.remove_suffix(1);
    ProxyRoute parsed;
    parsed.kind = ProxyRoute::Kind::kHttp;
    parsed.port = 8080;
    const size_t scheme = text.find(L"://");
    if (scheme != std::wstring_view::npos) {
        std::wstring name(text.substr(0, scheme));
        for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
        if (name == L"socks5" || name == L"socks5h") {
            parsed.kind = ProxyRoute::Kind::kSocks5;
            parsed.port = 1080;
        } else if (name == L"socks4a") {
            parsed.kind = ProxyRoute::Kind::kSocks4a;
            parsed.port = 1080;
        } else if (name != L"http") {
            return false;
        }
        text.remove_prefix(scheme + 3);
    }
    if (!text.empty() && text.back() == L'/') text.remove_suffix(1);
    std::wstring_view host = text, port;
    bool hasPort = false;
    if (!text.empty() && text.front() == L'[') {
        const size_t close = text.find(L']');
        if (close == std::wstring_view::npos) return false;
        host = text.substr(1, close - 1);
        const std::wstring_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != L':') return false;
        hasPort = !rest.empty();
        if (hasPort) port = rest.substr(1);
    } else if (const size_t colon = text.find(L':'); colon != std::wstring_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        hasPort = true;
    }
    if (host.empty() || host.size() > 255) return false;
    // A name or an address: no blank, no path, no list, nothing outside ASCII.
    const bool bracketed = text.front() == L'[';
    for (const wchar_t c : host)
        if (c <= L' ' || c >= 0x7F || c == L'/' || c == L'=' || c == L';' || c == L'@' || c == L'[' || c == L']' ||
            (c == L':' && !bracketed))
            return false;
    if (hasPort) {
        if (port.empty() || port.size() > 5) return false;
        unsigned long number = 0;
        for (const wchar_t c : port) {
            if (c < L'0' || c > L'9') return false;
            number = number * 10 + (c - L'0');
        }
        if (number == 0 || number > 65535) return false;
        parsed.port = static_cast<unsigned short>(number);
    }
    parsed.host.assign(host.begin(), host.end());
    route = parsed;
    return true;
}

}  // namespace quorlin
