// A TLS client stream over a connected socket, on the system's TLS (SSPI).
// Failures set the thread's last error: 12157 for any TLS failure, 12030 for
// data that ends without the server's close_notify, and the socket's own
// codes (12002 time-out, 12030 reset) for the waits beneath.
#pragma once

#include "../transport/Socket.h"
#include "TlsCredentials.h"
#include "../log/SessionLog.h"

#include <memory>
#include <string>
#include <vector>

#define SECURITY_WIN32
#include <sspi.h>
#include <wincrypt.h>

namespace quorlin {

class TlsStream : public Stream {
public:
    // `targetName` is the server's host name, the same for every connection
    // of one session.
    TlsStream(Socket socket, std::shared_ptr<TlsCredentials> credentials, std::wstring targetName);
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // The client's handshake, each wait at most `milliseconds`.
    bool Handshake(DWORD milliseconds);
    bool Send(const char* data, size_t size, DWORD milliseconds) override;
    void CountSent(std::atomic<unsigned long long>* sent) override { socket_.CountSent(sent); }
    // `received` 0 at the server's close_notify (a close alert record, or the
    // system's "context expired"); a connection that ends without it fails
    // with 12030.
    bool Receive(char* data, size_t size, size_t& received, DWORD milliseconds) override;
    // Sends close_notify and ends the sending side; false only when sending failed.
    bool Close(DWORD milliseconds);

    // The server's leaf certificate with the certificates it sent beside it
    // (its store), or null before a handshake. The caller frees it.
    PCCERT_CONTEXT ServerCertificate() const;
    // Writes the agreed version and cipher suite to `log`.
    void LogProtocol(SessionLog& log) const;
    Socket& Connection() { return socket_; }

private:
    enum class Decrypted { Data, NeedMore, Ended, Failed };

    // Runs the handshake from the bytes already received (or read now) until
    // the context is complete.
    bool ContinueHandshake(DWORD milliseconds);
    // Whether the bytes received so far can begin a TLS record.
    bool StartsLikeRecord() const;
    bool SendToken(SecBuffer& token, DWORD milliseconds);
    // Appends what the socket has to the undecrypted bytes; `closed` when
    // the peer ended the connection.
    bool ReadMore(DWORD milliseconds, bool& closed);
    // Decrypts the next whole record already received, if there is one.
    Decrypted DecryptNext(DWORD milliseconds);

    Socket socket_;
    std::shared_ptr<TlsCredentials> credentials_;
    std::wstring targetName_;
    CtxtHandle context_{};
    bool haveContext_ = false;
    bool established_ = false;
    bool ended_ = false;
    bool closed_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::vector<char> incoming_;     // [incomingStart_, incomingEnd_) received, not yet decrypted
    size_t incomingStart_ = 0;
    size_t incomingEnd_ = 0;
    const char* plain_ = nullptr;    // decrypted, not yet handed out (inside incoming_)
    size_t plainSize_ = 0;
    std::vector<char> outgoing_;     // encrypted records on their way out
};

}  // namespace quorlin
