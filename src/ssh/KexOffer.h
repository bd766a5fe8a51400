// What the server offers in its first key exchange message, read off the
// wire as the bytes arrive (the message is not encrypted): so that a failed
// negotiation can say which kind of algorithm had nothing in common, and
// what each side offered.
#pragma once

#include <string>
#include <string_view>

namespace quorlin {

class KexOffer {
public:
    // Bytes as they came from the server, from the first on; once the
    // message was read (or its room used up), the rest is ignored.
    void Feed(const char* data, size_t size);
    bool Read() const { return read_; }
    // Whether the server's message, once read, offers this host key algorithm.
    bool OffersHostKey(std::string_view algorithm) const;
    // The first kind of algorithm (key exchange, host key, cipher, MAC) that
    // the server and `ours` have nothing in common, with both lists; empty
    // when the message was not read or every kind has one in common.
    // `ours` are comma-separated lists, as offered.
    std::wstring Mismatch(std::string_view keyExchanges, std::string_view hostKeys, std::string_view ciphers,
                          std::string_view macs) const;

private:
    void Parse();

    std::string received_;
    bool read_ = false;
    bool done_ = false;
    // kex, host key, cipher client to server, cipher server to client, MAC both ways
    std::string lists_[6];
};

}  // namespace quorlin
