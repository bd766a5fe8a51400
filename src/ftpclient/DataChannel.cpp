#include "DataChannel.h"

#include "../platform/Constants.h"
#include "../text/Error.h"
#include "../tls/CertificateCheck.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quorlin {
namespace {

unsigned short PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

void SetPort(sockaddr_storage& address, unsigned short port) {
    if (address.ss_family == AF_INET6) reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
    else reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
}

// The numbers of a reply's text, in order ("227 ... (127,0,0,1,117,49)").
std::vector<unsigned long> NumbersIn(const std::string& text, size_t from) {
    std::vector<unsigned long> numbers;
    for (size_t i = from; i < text.size();) {
        if (text[i] < '0' || text[i] > '9') {
            ++i;
            continue;
        }
        unsigned long value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = std::min(value * 10 + (text[i] - '0'), 100000ul);
        numbers.push_back(value);
    }
    return numbers;
}

// A passive reply the client cannot use fails as the server's reply.
bool Unusable() {
    SetLastError(kExtendedError);
    return false;
}

}  // namespace

bool DataChannel::Prepare(const Exchange& exchange, DWORD milliseconds) {
    return settings_.passive ? PreparePassive(exchange, milliseconds) : PrepareActive(exchange, milliseconds);
}

bool DataChannel::PreparePassive(const Exchange& exchange, DWORD milliseconds) {
    FtpReply reply;
    // Through a proxy the server's address family is the proxy's to know: PASV, which every server on IPv4 takes.
    const bool extended = !Routed() && settings_.controlPeer.ss_family == AF_INET6;
    if (!exchange(extended ? "EPSV" : "PASV", reply)) return false;
    unsigned long port = 0;
    if (reply.code == 229) {
        const size_t open = reply.text.find('(');
        const std::vector<unsigned long> numbers = NumbersIn(reply.text, open == std::string::npos ? 4 : open);
        if (numbers.empty()) return Unusable();
        port = numbers.front();
    } else if (reply.code == 227) {
        // Only the port is taken: the data connection goes to the server the
        // control connection reached, never to an address a server names.
        const std::vector<unsigned long> numbers = NumbersIn(reply.text, 4);
        if (numbers.size() < 6 || numbers[4] > 255 || numbers[5] > 255) return Unusable();
        port = numbers[4] * 256 + numbers[5];
    } else {
        SetLastError(kExtendedError);
        return false;
    }
    if (port == 0 || port > 65535) return Unusable();
    if (Routed()) {
        if (!settings_.proxy->Connect(settings_.serverHost, static_cast<unsigned short>(port), milliseconds, socket_))
            return false;
        opened_ = GetTickCount64();
        if (Logging(settings_.log))
            settings_.log->Write(LogMark::kNote, "data connection to port " + std::to_string(port) + " (passive, through the proxy)");
        return true;
    }
    sockaddr_storage address = settings_.controlPeer;
    SetPort(address, static_cast<unsigned short>(port));
    if (!socket_.Connect(address, milliseconds)) return false;
    opened_ = GetTickCount64();
    if (Logging(settings_.log))
        settings_.log->Write(LogMark::kNote, "data connection to " + AddressText(address) + " (passive)");
    return true;
}

bool DataChannel::PrepareActive(const Exchange& exchange, DWORD milliseconds) {
    sockaddr_storage address = settings_.controlLocal;
    SetPort(address, 0);
    if (Routed()) {
        // The proxy takes the server's connection for us, where it says.
        if (!settings_.proxy->Bind(settings_.serverHost, settings_.serverPort, milliseconds, socket_, address))
            return false;
    } else if (!listener_.Listen(address) || !listener_.LocalAddress(address)) {
        return false;
    }
    const unsigned short port = PortOf(address);
    char line[128];
    if (address.ss_family == AF_INET6) {
        char host[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6&>(address).sin6_addr, host, sizeof host);
        std::snprintf(line, sizeof line, "EPRT |2|%s|%u|", host, port);
    } else {
        const unsigned char* host = reinterpret_cast<const unsigned char*>(&reinterpret_cast<sockaddr_in&>(address).sin_addr);
        std::snprintf(line, sizeof line, "PORT %u,%u,%u,%u,%u,%u", host[0], host[1], host[2], host[3], port >> 8,
                      port & 0xFF);
    }
    FtpReply reply;
    if (!exchange(line, reply)) return false;
    if (reply.code / 100 == 2) return true;
    SetLastError(kExtendedError);
    return false;
}

bool DataChannel::Establish(DWORD milliseconds) {
    if (!settings_.passive && Routed()) {
        if (!settings_.proxy->AwaitBound(settings_.serverHost, settings_.serverPort, socket_, milliseconds)) return false;
        opened_ = GetTickCount64();
        if (Logging(settings_.log)) settings_.log->Write(LogMark::kNote, "data connection from the server (active, through the proxy)");
    } else if (!settings_.passive) {
        const bool accepted = listener_.Accept(socket_, milliseconds);
        listener_.Close();
        if (!accepted) return false;
        opened_ = GetTickCount64();
        sockaddr_storage peer{};
        if (Logging(settings_.log) && socket_.PeerAddress(peer))
            settings_.log->Write(LogMark::kNote, "data connection from " + AddressText(peer) + " (active)");
    }
    if (!settings_.protect) return true;
    tls_ = std::make_unique<TlsStream>(std::move(socket_), settings_.credentials, settings_.targetName);
    if (!tls_->Handshake(milliseconds)) return false;
    // The data connection must reach the server whose certificate the
    // control connection checked.
    PCCERT_CONTEXT certificate = tls_->ServerCertificate();
    std::string fingerprint;
    const bool same = certificate && CertificateFingerprint(certificate, fingerprint) &&
                      (settings_.serverCertificate.empty() || fingerprint == settings_.serverCertificate);
    if (certificate) CertFreeCertificateContext(certificate);
    if (!same) {
        // Both certificates named, so that the mismatch can be looked into.
        KeepFailureDetail(kDataFingerprintPrefix + (fingerprint.empty() ? L"?" : FingerprintText(fingerprint)) +
                          kControlFingerprintPrefix + FingerprintText(settings_.serverCertificate) + L".");
        SetLastError(ERROR_INTERNET_INVALID_CA);
        return false;
    }
    return true;
}

void DataChannel::LogEnd(const char* how) {
    if (!Logging(settings_.log) || opened_ == 0) return;
    settings_.log->Format(LogMark::kNote, "data connection %s: %llu bytes in %.3f s", how, bytes_,
                          (GetTickCount64() - opened_) / 1000.0);
    opened_ = 0;
}

void DataChannel::Abort() {
    LogEnd("dropped");
    if (tls_) tls_->Connection().Close();
    tls_.reset();
    socket_.Close();
    listener_.Close();
}

void DataChannel::Finish(DWORD milliseconds) {
    LogEnd("closed");
    if (tls_) {
        tls_->Close(milliseconds);
        tls_.reset();
    } else {
        socket_.EndSending();
        socket_.Close();
    }
    listener_.Close();
}

}  // namespace quorlin
