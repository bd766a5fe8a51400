#include "TlsStream.h"
#include "TlsFacts.h"

#include "../platform/Constants.h"
#include "../platform/WinInetAPI.h"
#include "../text/Error.h"

#include <schannel.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorlin {

namespace {

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;

// Socket reads go into a buffer this large, so that a big download costs
// few calls; it always has room for one whole record besides.
constexpr size_t kReadChunk = 128 * 1024;
constexpr size_t kLargestRecord = 5 + 16384 + 2048;
// Records encrypted before one socket send.
constexpr size_t kRecordsPerSend = 4;

constexpr unsigned char kAlertRecord = 21;
// Every TLS record starts with a type from change_cipher_spec to
// application_data and the major version 3.
constexpr unsigned char kFirstRecordType = 20;
constexpr unsigned char kLastRecordType = 23;
constexpr unsigned char kRecordMajorVersion = 3;
constexpr size_t kRecordHeaderSize = 5;

bool Fail() {
    SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
    return false;
}

// The same, with what went wrong for the error text (the platform has no
// text of its own for this code).
bool Fail(const std::wstring& detail) {
    KeepFailureDetail(detail);
    return Fail();
}

std::wstring StatusText(SECURITY_STATUS status) {
    wchar_t hex[16];
    swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(status));
    return hex;
}

}  // namespace

TlsStream::TlsStream(Socket socket, std::shared_ptr<TlsCredentials> credentials, std::wstring targetName)
    : socket_(std::move(socket)), credentials_(std::move(credentials)), targetName_(std::move(targetName)) {}

TlsStream::~TlsStream() {
    if (haveContext_) DeleteSecurityContext(&context_);
}

bool TlsStream::SendToken(SecBuffer& token, DWORD milliseconds) {
    bool sent = true;
    if (token.pvBuffer) {
        if (token.cbBuffer > 0) sent = socket_.Send(static_cast<const char*>(token.pvBuffer), token.cbBuffer, milliseconds);
        FreeContextBuffer(token.pvBuffer);
        token.pvBuffer = nullptr;
        token.cbBuffer = 0;
    }
    return sent;
}

bool TlsStream::ReadMore(DWORD milliseconds, bool& closed) {
    closed = false;
    if (incoming_.size() < kReadChunk + kLargestRecord) incoming_.resize(kReadChunk + kLargestRecord);
    // Nothing decrypted is waiting here any more: move the partial record to the front.
    if (incomingStart_ > 0) {
        const size_t waiting = incomingEnd_ - incomingStart_;
        if (waiting > 0) std::memmove(incoming_.data(), incoming_.data() + incomingStart_, waiting);
        incomingStart_ = 0;
        incomingEnd_ = waiting;
    }
    if (incomingEnd_ == incoming_.size()) incoming_.resize(incoming_.size() * 2);
    size_t received = 0;
    if (!socket_.Receive(incoming_.data() + incomingEnd_, incoming_.size() - incomingEnd_, received, milliseconds))
        return false;
    if (received == 0) closed = true;
    incomingEnd_ += received;
    return true;
}

bool TlsStream::StartsLikeRecord() const {
    const size_t waiting = incomingEnd_ - incomingStart_;
    const unsigned char* start = reinterpret_cast<const unsigned char*>(incoming_.data() + incomingStart_);
    if (waiting >= 1 && (start[0] < kFirstRecordType || start[0] > kLastRecordType)) return false;
    return waiting < 2 || start[1] == kRecordMajorVersion;
}

bool TlsStream::Handshake(DWORD milliseconds) {
    if (haveContext_ || !credentials_ || !credentials_->Get() || !socket_.IsOpen()) return Fail();
    SecBuffer outToken{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc output{SECBUFFER_VERSION, 1, &outToken};
    ULONG attributes = 0;
    const SECURITY_STATUS status =
        InitializeSecurityContextW(credentials_->Get(), nullptr, targetName_.empty() ? nullptr : targetName_.data(),
                                   kContextRequest, 0, 0, nullptr, 0, &context_, &output, &attributes, nullptr);
    if (status != SEC_I_CONTINUE_NEEDED) {
        if (outToken.pvBuffer) FreeContextBuffer(outToken.pvBuffer);
        if (status == SEC_E_OK) DeleteSecurityContext(&context_);
        return Fail();
    }
    haveContext_ = true;
    if (!SendToken(outToken, milliseconds)) return false;
    return ContinueHandshake(milliseconds);
}

bool TlsStream::ContinueHandshake(DWORD milliseconds) {
    bool mustRead = incomingStart_ == incomingEnd_;
    bool credentialsAsked = false;
    for (;;) {
        if (mustRead) {
            bool closed = false;
            if (!ReadMore(milliseconds, closed)) return false;
            if (closed) return Fail(L"The server closed the connection during the TLS handshake.");
        }
        // A peer that answers in clear text (a plain server, a refusal after
        // AUTH TLS) would otherwise be waited on until the time limit.
        if (!StartsLikeRecord()) return Fail(L"The server answered the TLS handshake with something that is not TLS.");
        SecBuffer inBuffers[2] = {
            {static_cast<unsigned long>(incomingEnd_ - incomingStart_), SECBUFFER_TOKEN,
             incoming_.data() + incomingStart_},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc input{SECBUFFER_VERSION, 2, inBuffers};
        SecBuffer outToken{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc output{SECBUFFER_VERSION, 1, &outToken};
        ULONG attributes = 0;
        const SECURITY_STATUS status = InitializeSecurityContextW(
            credentials_->Get(), &context_, targetName_.empty() ? nullptr : targetName_.data(), kContextRequest, 0, 0,
            &input, 0, nullptr, &output, &attributes, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (outToken.pvBuffer) FreeContextBuffer(outToken.pvBuffer);
            mustRead = true;
            continue;
        }
        if (FAILED(status)) {
            // With extended errors the token, if any, is an alert for the server.
            SendToken(outToken, milliseconds);
            return Fail(L"The TLS handshake failed (" + StatusText(status) + L").");
        }
        if (!SendToken(outToken, milliseconds)) return false;
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            // The server asks for a client certificate: go on without one.
            if (credentialsAsked) return Fail();
            credentialsAsked = true;
            mustRead = false;
            continue;
        }
        if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer > 0)
            incomingStart_ = incomingEnd_ - inBuffers[1].cbBuffer;
        else
            incomingStart_ = incomingEnd_;
        if (status == SEC_E_OK) break;
        if (status != SEC_I_CONTINUE_NEEDED) return Fail();
        mustRead = incomingStart_ == incomingEnd_;
    }
    if (QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
        sizes_.cbMaximumMessage == 0)
        return Fail();
    outgoing_.resize(kRecordsPerSend * (sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer));
    established_ = true;
    return true;
}

bool TlsStream::Send(const char* data, size_t size, DWORD milliseconds) {
    if (!established_ || closed_) return Fail();
    while (size > 0) {
        size_t used = 0;
        for (size_t record = 0; record < kRecordsPerSend && size > 0; ++record) {
            const size_t piece = std::min<size_t>(size, sizes_.cbMaximumMessage);
            char* start = outgoing_.data() + used;
            std::memcpy(start + sizes_.cbHeader, data, piece);
            SecBuffer buffers[4] = {
                {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, start},
                {static_cast<unsigned long>(piece), SECBUFFER_DATA, start + sizes_.cbHeader},
                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, start + sizes_.cbHeader + piece},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
            if (EncryptMessage(&context_, 0, &message, 0) != SEC_E_OK) return Fail();
            // Header, data and trailer lie back to back: the record is their sum.
            used += buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
            data += piece;
            size -= piece;
        }
        if (!socket_.Send(outgoing_.data(), used, milliseconds)) return false;
    }
    return true;
}

TlsStream::Decrypted TlsStream::DecryptNext(DWORD milliseconds) {
    const size_t waiting = incomingEnd_ - incomingStart_;
    if (waiting < kRecordHeaderSize) return Decrypted::NeedMore;
    const unsigned char* header = reinterpret_cast<const unsigned char*>(incoming_.data() + incomingStart_);
    const size_t recordSize = kRecordHeaderSize + ((static_cast<size_t>(header[3]) << 8) | header[4]);
    if (waiting < recordSize) return Decrypted::NeedMore;
    const unsigned char recordType = header[0];

    SecBuffer buffers[4] = {
        {static_cast<unsigned long>(waiting), SECBUFFER_DATA, incoming_.data() + incomingStart_},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context_, &message, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return Decrypted::NeedMore;
    if (status == SEC_I_CONTEXT_EXPIRED) {
        ended_ = true;
        return Decrypted::Ended;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) {
        Fail(L"The server sent data that is no valid TLS record on the protected connection (" + StatusText(status) +
             L").");
        return Decrypted::Failed;
    }
    const SecBuffer* plain = nullptr;
    const SecBuffer* extra = nullptr;
    for (const SecBuffer& buffer : buffers) {
        if (buffer.BufferType == SECBUFFER_DATA && !plain) plain = &buffer;
        if (buffer.BufferType == SECBUFFER_EXTRA && !extra) extra = &buffer;
    }
    if (extra && extra->cbBuffer > 0 && extra->cbBuffer <= waiting)
        incomingStart_ = incomingEnd_ - extra->cbBuffer;
    else
        incomingStart_ = incomingEnd_;

    if (status == SEC_I_RENEGOTIATE) {
        // The server starts a new handshake; the bytes after this record are its first message.
        if (plain && plain->cbBuffer > 0) {
            SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
            return Decrypted::Failed;
        }
        established_ = false;
        if (!ContinueHandshake(milliseconds)) {
            KeepFailureDetail(kRenegotiationRefused);
            SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
            return Decrypted::Failed;
        }
        return Decrypted::Data;
    }
    if (plain && plain->cbBuffer > 0) {
        plain_ = static_cast<const char*>(plain->pvBuffer);
        plainSize_ = plain->cbBuffer;
        return Decrypted::Data;
    }
    // Some systems hand the server's close_notify over as an empty success:
    // an alert record then means the end of the data.
    if (recordType == kAlertRecord) {
        ended_ = true;
        return Decrypted::Ended;
    }
    return Decrypted::Data;
}

bool TlsStream::Receive(char* data, size_t size, size_t& received, DWORD milliseconds) {
    received = 0;
    if (!established_) return Fail();
    for (;;) {
        while (received < size) {
            if (plainSize_ > 0) {
                const size_t piece = std::min(size - received, plainSize_);
                std::memcpy(data + received, plain_, piece);
                plain_ += piece;
                plainSize_ -= piece;
                received += piece;
                continue;
            }
            if (ended_) break;
            const Decrypted result = DecryptNext(milliseconds);
            if (result == Decrypted::Failed) {
                // Hand out what came before the bad record; the next call fails again on it.
                return received > 0;
            }
            if (result != Decrypted::Data) break;
        }
        if (received > 0 || ended_ || size == 0) return true;
        bool closed = false;
        if (!ReadMore(milliseconds, closed)) return false;
        if (closed) {
            // Protected data ends only with the server's close_notify: a
            // connection that ends (or is reset) without it was cut.
            SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
            return false;
        }
    }
}

bool TlsStream::Close(DWORD milliseconds) {
    if (closed_) return true;
    closed_ = true;
    bool sent = true;
    if (established_) {
        DWORD shutdownType = SCHANNEL_SHUTDOWN;
        SecBuffer control{sizeof(shutdownType), SECBUFFER_TOKEN, &shutdownType};
        SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
        if (ApplyControlToken(&context_, &controlDesc) == SEC_E_OK) {
            SecBuffer outToken{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc output{SECBUFFER_VERSION, 1, &outToken};
            ULONG attributes = 0;
            const SECURITY_STATUS status = InitializeSecurityContextW(
                credentials_->Get(), &context_, targetName_.empty() ? nullptr : targetName_.data(), kContextRequest,
                0, 0, nullptr, 0, nullptr, &output, &attributes, nullptr);
            if (!FAILED(status)) {
                sent = SendToken(outToken, milliseconds);
            } else if (outToken.pvBuffer) {
                FreeContextBuffer(outToken.pvBuffer);
            }
        }
        // Where the system cannot make close_notify, the end of the TCP data has to do.
    }
    socket_.EndSending();
    return sent;
}

PCCERT_CONTEXT TlsStream::ServerCertificate() const {
    if (!haveContext_) return nullptr;
    CtxtHandle context = context_;
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK) return nullptr;
    return certificate;
}

void TlsStream::LogProtocol(SessionLog& log) const {
    if (!haveContext_) return;
    CtxtHandle context = context_;
    LogTlsProtocol(log, context);
}

}  // namespace quorlin
