#include "ServerAddress.h"

namespace quorlin {

ServerAddress SplitServerName(const std::wstring& serverName, INTERNET_PORT defaultPort) {
    const ServerAddress whole = {serverName, defaultPort};
    const size_t colon = serverName.rfind(L':');
    if (colon == std::wstring::npos) return whole;
    const std::wstring host = serverName.substr(0, colon), digits = serverName.substr(colon + 1);
    if (host.empty() || digits.empty() || digits.size() > 5) return whole;
    // A colon inside the host is an IPv6 address, which needs brackets to carry a port.
    if (host.find(L':') != std::wstring::npos && (host.front() != L'[' || host.back() != L']')) return whole;
    unsigned long port = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return whole;
        port = port * 10 + static_cast<unsigned long>(c - L'0');
    }
    if (port < 1 || port > 65535) return whole;
    return {host, static_cast<INTERNET_PORT>(port)};
}

}  // namespace quorlin
