#include "KexOffer.h"

#include <cstdint>
#include <vector>

namespace quorlin {
namespace {

constexpr size_t kLongestGreeting = 64 * 1024;  // the banner, lines before it and the first message
constexpr unsigned char kKexInit = 20;
constexpr size_t kCookieBytes = 16;

uint32_t Number(std::string_view bytes, size_t at) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           static_cast<unsigned char>(bytes[at + 3]);
}

// A list's names, without the pseudo-methods that only announce extensions.
std::vector<std::string_view> Names(std::string_view list) {
    std::vector<std::string_view> names;
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(',', start);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view name = list.substr(start, end - start);
        if (!name.empty() && name.rfind("ext-info-", 0) != 0 && name.rfind("kex-strict-", 0) != 0)
            names.push_back(name);
        start = end + 1;
    }
    return names;
}

std::wstring Joined(std::string_view list) {
    std::wstring text;
    for (std::string_view name : Names(list)) {
        if (!text.empty()) text += L',';
        text.append(name.begin(), name.end());
    }
    return text.empty() ? L"nothing" : text;
}

bool Shares(std::string_view ours, std::string_view theirs) {
    for (std::string_view mine : Names(ours))
        for (std::string_view other : Names(theirs))
            if (mine == other) return true;
    return false;
}

// A cipher that authenticates its own data: no MAC is agreed beside it.
bool CarriesItsOwnMac(std::string_view ours, std::string_view theirs) {
    for (std::string_view mine : Names(ours))
        for (std::string_view other : Names(theirs))
            if (mine == other) return mine.find("gcm") != std::string_view::npos || mine.find("poly1305") != std::string_view::npos;
    return false;
}

}  // namespace

void KexOffer::Feed(const char* data, size_t size) {
    if (done_) return;
    received_.append(data, std::min(size, kLongestGreeting - received_.size()));
    Parse();
    if (received_.size() >= kLongestGreeting) done_ = true;
    if (done_) std::string().swap(received_);
}

void KexOffer::Parse() {
    // The banner is the first line that starts with "SSH-"; lines before it may be anything.
    size_t at = 0;
    for (;;) {
        const size_t end = received_.find('\n', at);
        if (end == std::string::npos) return;
        const bool banner = received_.compare(at, 4, "SSH-") == 0;
        at = end + 1;
        if (banner) break;
    }
    const std::string_view packet = std::string_view(received_).substr(at);
    if (packet.size() < 5) return;
    const uint32_t length = Number(packet, 0);
    if (length > kLongestGreeting || packet.size() < 4 + static_cast<size_t>(length)) {
        done_ = length > kLongestGreeting;
        return;
    }
    done_ = true;
    const unsigned char padding = static_cast<unsigned char>(packet[4]);
    if (length < 1u + padding + 1u + kCookieBytes) return;
    std::string_view payload = packet.substr(5, length - 1 - padding);
    if (static_cast<unsigned char>(payload[0]) != kKexInit) return;
    payload.remove_prefix(1 + kCookieBytes);
    std::string lists[10];
    for (std::string& list : lists) {
        if (payload.size() < 4 || payload.size() - 4 < Number(payload, 0)) return;
        list.assign(payload.substr(4, Number(payload, 0)));
        payload.remove_prefix(4 + list.size());
    }
    // kex, host key, cipher both ways, MAC both ways.
    for (int i = 0; i < 6; ++i) lists_[i] = std::move(lists[i]);
    read_ = true;
}

bool KexOffer::OffersHostKey(std::string_view algorithm) const {
    for (const std::string_view name : Names(lists_[1]))
        if (name == algorithm) return true;
    return false;
}

std::wstring KexOffer::Mismatch(std::string_view keyExchanges, std::string_view hostKeys, std::string_view ciphers,
                                std::string_view macs) const {
    if (!read_) return std::wstring();
    struct Kind {
        const wchar_t* name;
        std::string_view ours;
        const std::string& theirs;
    } const kinds[] = {
        {L"key exchange", keyExchanges, lists_[0]}, {L"host key", hostKeys, lists_[1]},
        {L"cipher", ciphers, lists_[2]},            {L"cipher", ciphers, lists_[3]},
        {L"MAC", macs, lists_[4]},                  {L"MAC", macs, lists_[5]},
    };
    for (int i = 0; i < 6; ++i) {
        const Kind& kind = kinds[i];
        if (i >= 4 && CarriesItsOwnMac(ciphers, lists_[i - 2])) continue;
        if (Shares(kind.ours, kind.theirs)) continue;
        return std::wstring(L"The server and this client have no ") + kind.name + L" algorithm in common: the server offers " +
               Joined(kind.theirs) + L"; this client offers " + Joined(kind.ours) + L".";
    }
    return std::wstring();
}

}  // namespace quorlin
