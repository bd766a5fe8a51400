#include "SftpSession.h"

#include "../platform/Constants.h"
#include "../session/ListedTime.h"
#include "../session/RecordedListing.h"
#include "../text/Error.h"
#include "../text/Text.h"
#include "HostKeyFingerprint.h"
#include "PrivateKey.h"
#include "SshLibrary.h"
#include "SshWire.h"

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace quorlin {
namespace {

// Only what OpenSSH still offers by default, strongest first: no SHA-1
// signatures or MACs, no CBC ciphers, no small Diffie-Hellman groups. The
// library puts the pseudo-methods before the key exchanges itself: they ask
// for extension negotiation and the strict key exchange that closes the
// prefix-truncation attack. ChaCha20-Poly1305 comes first: the library
// encrypts it a packet at a time, but AES-GCM and AES-CTR a block at a
// time, which makes them the slower here even with AES instructions.
constexpr const char* kKeyExchanges =
    "curve25519-sha256,curve25519-sha256@libssh.org,ecdh-sha2-nistp256,ecdh-sha2-nistp384,ecdh-sha2-nistp521,"
    "diffie-hellman-group-exchange-sha256,diffie-hellman-group16-sha512,diffie-hellman-group18-sha512,"
    "diffie-hellman-group14-sha256";
constexpr const char* kHostKeyTypes[] = {"ssh-ed25519", "ecdsa-sha2-nistp256", "ecdsa-sha2-nistp384",
                                         "ecdsa-sha2-nistp521", "ssh-rsa"};
constexpr const char* kCiphers = "chacha20-poly1305@openssh.com,aes256-gcm@openssh.com,aes128-gcm@openssh.com,"
                                 "aes256-ctr,aes192-ctr,aes128-ctr";
constexpr const char* kMacs =
    "hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,hmac-sha2-256,hmac-sha2-512";

// The host key algorithms that show a key of a type: RSA keys with SHA-2 signatures only.
std::string AlgorithmsOf(const std::string& type) { return type == "ssh-rsa" ? "rsa-sha2-512,rsa-sha2-256" : type; }

constexpr long kFolderMode = 0755;
constexpr long kFileMode = 0644;
// The longest path taken from the server (a working directory).
constexpr size_t kPathBytes = 4096;
// A listed name is read into room of the first size, grown up to the second;
// a server that sends a longer name fails the listing.
constexpr size_t kFirstNameBytes = 1024;
constexpr size_t kLongestNameBytes = 64 * 1024;
// A read asked of a server that answered a read short: no more than the
// library asks in one request, so that no other request is on its way.
constexpr DWORD kCarefulReadBytes = 7500;
// How much of the connection is read at once, ahead of the library, and
// how much of what it sends is gathered before it is sent.
constexpr size_t kInboxBytes = 256 * 1024;
constexpr size_t kOutboxBytes = 256 * 1024;
constexpr size_t kLargestPacketBytes = 64 * 1024;  // the library sends no larger packet
// How long the goodbye may take: the session ends whatever the server does.
constexpr DWORD kGoodbyeMilliseconds = 2000;

// The library's last error text, or empty.
std::wstring LibraryMessage(LIBSSH2_SESSION* session) {
    char* message = nullptr;
    int length = 0;
    if (session) libssh2_session_last_error(session, &message, &length, 0);
    return message && length > 0 ? std::wstring(message, message + length) : std::wstring();
}

const char* StatusText(unsigned long status) {
    static const char* const kTexts[] = {"Success", "End of file", "No such file", "Permission denied", "Failure",
                                         "Bad message", "No connection", "Connection lost", "Operation unsupported"};
    return status < sizeof kTexts / sizeof kTexts[0] ? kTexts[status] : "Failure";
}

FILETIME UnixToFileTime(long long seconds) {
    const unsigned long long ticks = static_cast<unsigned long long>(seconds + 11644473600LL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

bool IsFolder(const LIBSSH2_SFTP_ATTRIBUTES& attributes) {
    return (attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) && LIBSSH2_SFTP_S_ISDIR(attributes.permissions);
}

class SftpRemoteFile : public RemoteFile {
public:
    // `size`: the file's size when it was opened, if the server said.
    SftpRemoteFile(std::shared_ptr<SftpSession> session, LIBSSH2_SFTP_HANDLE* handle, bool ascii,
                   std::optional<unsigned long long> size, unsigned long long offset, std::string path,
                   bool forWriting)
        : session_(std::move(session)), handle_(handle), ascii_(ascii), size_(size), received_(offset),
          path_(std::move(path)), writing_(forWriting), start_(offset), opened_(GetTickCount64()) {}
    ~SftpRemoteFile() override {
        if (handle_) Close();
    }

    // ASCII type reads the file's LF as CR LF, as an FTP server on Unix sends it.
    bool Read(char* data, DWORD size, DWORD& read) override {
        read = 0;
        DWORD want = Asked(ascii_ ? std::max<DWORD>(size / 2, 1) : size);
        if (careful_) want = std::min(want, kCarefulReadBytes);
        char* target = ascii_ ? Buffer(want) : data;
        int error = 0;
        ssize_t got = 0;
        error = session_->Await([&] {
            got = libssh2_sftp_read(handle_, target, want);
            return got < 0 ? static_cast<int>(got) : 0;
        });
        // A server may answer a read with less than was asked: the library
        // then finds the next answer out of place and fails. The read goes
        // on from where the data ended, a request at a time.
        if (error == LIBSSH2_ERROR_SFTP_PROTOCOL && !careful_ &&
            libssh2_sftp_last_error(session_->Channel()) == LIBSSH2_FX_OK &&
            session_->LastLibraryMessage() == L"Read Packet At Unexpected Offset") {
            careful_ = true;
            libssh2_sftp_seek64(handle_, received_);
            return Read(data, size, read);
        }
        if (error != 0) return Failed(error);
        received_ += static_cast<unsigned long long>(got);
        if (!ascii_) {
            read = static_cast<DWORD>(got);
            return true;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (target[i] == '\n' && !lastWasCarriageReturn_) data[read++] = '\r';
            data[read++] = target[i];
            lastWasCarriageReturn_ = target[i] == '\r';
        }
        return true;
    }

    // ASCII type stores CR LF as LF, as an FTP server on Unix stores it.
    bool Write(const char* data, DWORD size) override {
        if (!ascii_) return Send(data, size);
        std::string converted;
        converted.reserve(size + 1);
        for (DWORD i = 0; i < size; ++i) {
            if (heldCarriageReturn_) {
                heldCarriageReturn_ = false;
                if (data[i] != '\n') converted.push_back('\r');
            }
            if (data[i] == '\r') heldCarriageReturn_ = true;
            else converted.push_back(data[i]);
        }
        return Send(converted.data(), converted.size());
    }

    // Complete only when the server confirms the handle's close.
    bool Close() override {
        if (!handle_) return false;
        const bool complete = failed_ == 0 && (!heldCarriageReturn_ || Send("\r", 1));
        heldCarriageReturn_ = false;
        LIBSSH2_SFTP_HANDLE* handle = handle_;
        handle_ = nullptr;
        // A lost connection has nobody to confirm anything: the handle is freed without a word.
        if (session_->Lost()) {
            session_->Release();
            libssh2_sftp_close_handle(handle);
            SetLastError(lastError_ != ERROR_SUCCESS ? lastError_ : ERROR_INTERNET_CONNECTION_ABORTED);
            return false;
        }
        const int closed = session_->Await([&] { return libssh2_sftp_close_handle(handle); });
        LogTransfer(closed);
        if (!complete) {
            SetLastError(lastError_);
            return false;
        }
        return closed == 0 ? true : Failed(closed);
    }

private:
    // One line for the whole transfer: the range it read or wrote.
    void LogTransfer(int closed) const {
        if (!session_->Logging()) return;
        const unsigned long long end = writing_ ? start_ + written_ : received_;
        char range[160];
        std::snprintf(range, sizeof range, "%s bytes %llu to %llu (%llu bytes) in %.3f s, then close",
                      writing_ ? "write" : "read", start_, end, end - start_, (GetTickCount64() - opened_) / 1000.0);
        session_->LogRequest(range, path_, failed_ != 0 ? failed_ : closed);
    }

    // The library requests as far ahead as it is asked to read, reply by
    // reply: asked for no more than is left (and one byte, for the end),
    // a small file costs a few requests, not a megabyte's. A file that grew
    // since it was opened is read on in whole pieces; its end is always the
    // server's end-of-file, never this size.
    DWORD Asked(DWORD want) const {
        if (!size_ || received_ > *size_) return want;
        return static_cast<DWORD>(std::min<unsigned long long>(want, *size_ - received_ + 1));
    }

    bool Send(const char* data, size_t size) {
        while (size > 0) {
            ssize_t sent = 0;
            const int error = session_->Await([&] {
                sent = libssh2_sftp_write(handle_, data, size);
                return sent < 0 ? static_cast<int>(sent) : 0;
            });
            if (error != 0) return Failed(error);
            data += sent;
            size -= static_cast<size_t>(sent);
            written_ += static_cast<unsigned long long>(sent);
        }
        return true;
    }
    bool Failed(int error) {
        failed_ = error;
        session_->Fail(error);
        lastError_ = GetLastError();
        return false;
    }
    char* Buffer(DWORD size) {
        if (raw_.size() < size) raw_.resize(size);
        return raw_.data();
    }

    std::shared_ptr<SftpSession> session_;
    LIBSSH2_SFTP_HANDLE* handle_;
    bool ascii_;
    bool careful_ = false;  // the server answered a read short: one request at a time
    bool lastWasCarriageReturn_ = false;
    bool heldCarriageReturn_ = false;
    int failed_ = 0;
    DWORD lastError_ = ERROR_SUCCESS;
    std::string raw_;
    std::optional<unsigned long long> size_;
    unsigned long long received_;  // the position read up to
    std::string path_;
    bool writing_;
    unsigned long long start_;        // where the transfer began
    unsigned long long written_ = 0;
    ULONGLONG opened_;
};

void AnswerPrompts(const char*, int, const char*, int, int prompts, const LIBSSH2_USERAUTH_KBDINT_PROMPT*,
                   LIBSSH2_USERAUTH_KBDINT_RESPONSE* responses, void** abstract) {
    const SftpSession* session = static_cast<const SftpSession*>(*abstract);
    for (int i = 0; i < prompts; ++i) {
        const std::string& password = session->Password();
        // The library frees each answer with the C runtime's free.
        char* answer = static_cast<char*>(std::malloc(password.size() + 1));
        if (!answer) return;
        std::memcpy(answer, password.c_str(), password.size() + 1);
        responses[i].text = answer;
        responses[i].length = static_cast<unsigned int>(password.size());
    }
}

}  // namespace

SftpSession::SftpSession(SftpSettings settings)
    : settings_(std::move(settings)), connector_(settings_.proxy, settings_.log), waitSeconds_(settings_.waitSeconds) {}

// Whatever is still open goes with the session, without a word to the
// server: a session that ended well has nothing left by now.
SftpSession::~SftpSession() {
    Release();
    if (sftp_) libssh2_sftp_shutdown(sftp_);
    if (session_) libssh2_session_free(session_);
}

void SftpSession::Abandon() {
    abandoned_ = true;
    Release();
}

ssize_t SftpSession::SendThrough(SOCKET, const void* data, size_t size, int, void** abstract) {
    SftpSession* self = static_cast<SftpSession*>(*abstract);
    if (self->released_ || self->sendFailed_) return -EBADF;
    // The library sends a packet at a time; a write to the socket costs far
    // more here than a copy, so its packets are gathered and sent together
    // before anything waits (Await).
    if (self->outbox_.size() >= kOutboxBytes && !self->SendOutbox()) return -EIO;
    if (self->outbox_.size() >= kOutboxBytes) return -EAGAIN;
    // Made once at its full size, so that sessions coming and going reuse one size of block.
    if (self->outbox_.capacity() < kOutboxBytes + kLargestPacketBytes)
        self->outbox_.reserve(kOutboxBytes + kLargestPacketBytes);
    self->outbox_.append(static_cast<const char*>(data), size);
    return static_cast<ssize_t>(size);
}

bool SftpSession::SendOutbox() {
    if (released_) outbox_.clear();
    size_t sent = 0;
    while (sent < outbox_.size()) {
        const int count = send(socket_.Handle(), outbox_.data() + sent,
                               static_cast<int>(std::min<size_t>(outbox_.size() - sent, INT_MAX)), 0);
        if (count > 0) {
            sent += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && WSAGetLastError() == WSAEWOULDBLOCK) break;
        sendFailed_ = true;
        outbox_.clear();
        return false;
    }
    outbox_.erase(0, sent);
    return true;
}

ssize_t SftpSession::ReceiveThrough(SOCKET socket, void* data, size_t size, int flags, void** abstract) {
    SftpSession* self = static_cast<SftpSession*>(*abstract);
    // Nothing more comes: a released session never reads the end of a
    // connection, which would keep the library from freeing what it holds.
    if (self->released_) return -EAGAIN;
    // The library asks for a packet at a time; a read of the socket costs far
    // more here than a copy, so the connection is read in large pieces.
    std::vector<char>& inbox = self->inbox_;
    if (self->inboxStart_ == self->inboxEnd_) {
        if (inbox.empty()) inbox.resize(kInboxBytes);
        const int received = recv(socket, inbox.data(), static_cast<int>(inbox.size()), flags);
        if (received == 0) return 0;
        if (received < 0) return WSAGetLastError() == WSAEWOULDBLOCK ? -EAGAIN : -EIO;
        self->inboxStart_ = 0;
        self->inboxEnd_ = static_cast<size_t>(received);
    }
    const size_t given = std::min(size, self->inboxEnd_ - self->inboxStart_);
    std::memcpy(data, inbox.data() + self->inboxStart_, given);
    self->inboxStart_ += given;
    if (!self->offer_.Read()) self->offer_.Feed(static_cast<const char*>(data), given);
    return static_cast<ssize_t>(given);
}

void SftpSession::Disconnected(LIBSSH2_SESSION*, int reason, const char* message, int messageLength, const char*, int,
                               void** abstract) {
    SftpSession* self = static_cast<SftpSession*>(*abstract);
    std::wstring text = L"The server ended the session (reason " + std::to_wstring(reason);
    if (message && messageLength > 0) {
        const std::string said(message, static_cast<size_t>(std::min(messageLength, 1024)));
        text += L": " + FromCodePage(CP_UTF8, said);
    }
    self->goodbye_ = text + L").";
}

int SftpSession::LastErrno() const { return session_ ? libssh2_session_last_errno(session_) : LIBSSH2_ERROR_SOCKET_NONE; }

std::wstring SftpSession::LastLibraryMessage() const { return LibraryMessage(session_); }

int SftpSession::Await(const std::function<int()>& call) {
    const LONG seconds = waitSeconds_.load();
    const DWORD wait = seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : kDefaultWaitMilliseconds;
    ULONGLONG deadline = GetTickCount64() + wait;
    if (openingDeadline_ != 0) deadline = std::min(deadline, openingDeadline_);
    int result = LIBSSH2_ERROR_EAGAIN;
    for (;;) {
        // A caller that stopped waiting gets nothing more sent on its behalf.
        if (abandoned_) return LIBSSH2_ERROR_TIMEOUT;
        if (result == LIBSSH2_ERROR_EAGAIN) result = call();
        // What the call sent is on its way before anything waits or returns.
        if (!SendOutbox()) return LIBSSH2_ERROR_SOCKET_SEND;
        if (result != LIBSSH2_ERROR_EAGAIN && outbox_.empty()) return result;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return LIBSSH2_ERROR_TIMEOUT;
        const bool waitingForLibrary = result == LIBSSH2_ERROR_EAGAIN;
        const int directions = waitingForLibrary ? libssh2_session_block_directions(session_) : 0;
        const bool writing = (directions & LIBSSH2_SESSION_BLOCK_OUTBOUND) != 0 || !outbox_.empty();
        const bool reading =
            waitingForLibrary && ((directions & LIBSSH2_SESSION_BLOCK_INBOUND) != 0 || !writing);
        // Bytes read ahead are there to be read, as if still in the socket.
        if (reading && inboxStart_ != inboxEnd_) continue;
        if (!socket_.Await(reading, writing, static_cast<DWORD>(deadline - now))) {
            if (GetLastError() == ERROR_INTERNET_TIMEOUT) return LIBSSH2_ERROR_TIMEOUT;
            return LIBSSH2_ERROR_SOCKET_RECV;
        }
    }
}

bool SftpSession::StatusFailure(unsigned long status) {
    KeepServerReply(std::to_string(status) + " " + StatusText(status));
    SetLastError(kExtendedError);
    return false;
}

bool SftpSession::Fail(int error) {
    DWORD code = ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    switch (error) {
    case LIBSSH2_ERROR_SFTP_PROTOCOL: {
        const unsigned long status = sftp_ ? libssh2_sftp_last_error(sftp_) : LIBSSH2_FX_OK;
        if (status != LIBSSH2_FX_OK) return StatusFailure(status);
        // A status of success with a failure is a reply that breaks the protocol.
        KeepFailureDetail(L"The server broke the SFTP protocol: " + LastLibraryMessage() + L".");
        lost_ = true;
        SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
        return false;
    }
    case LIBSSH2_ERROR_TIMEOUT:
        code = ERROR_INTERNET_TIMEOUT;
        break;
    case LIBSSH2_ERROR_BUFFER_TOO_SMALL:
        KeepFailureDetail(L"The server sent a name longer than " + std::to_wstring(kLongestNameBytes) + L" bytes.");
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    case LIBSSH2_ERROR_SOCKET_DISCONNECT:
    case LIBSSH2_ERROR_SOCKET_RECV:
    case LIBSSH2_ERROR_SOCKET_SEND:
    case LIBSSH2_ERROR_SOCKET_NONE:
    case LIBSSH2_ERROR_CHANNEL_CLOSED:
    case LIBSSH2_ERROR_CHANNEL_EOF_SENT:
    case LIBSSH2_ERROR_CHANNEL_FAILURE:
        code = ERROR_INTERNET_CONNECTION_ABORTED;
        KeepFailureDetail(!goodbye_.empty() ? goodbye_ : L"The SSH connection ended: " + LastLibraryMessage() + L".");
        break;
    case LIBSSH2_ERROR_AUTHENTICATION_FAILED:
    case LIBSSH2_ERROR_PUBLICKEY_UNVERIFIED:
        SetLastError(ERROR_INTERNET_LOGIN_FAILURE);
        return false;
    case LIBSSH2_ERROR_ALLOC:
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    default: {
        // A broken handshake or protocol: the library's own word on it.
        const std::wstring message = LastLibraryMessage();
        if (!message.empty()) KeepFailureDetail(L"The SSH connection failed: " + message + L".");
        break;
    }
    }
    lost_ = true;
    SetLastError(code);
    return false;
}

void SftpSession::LogNote(const std::string& text) const {
    if (Logging()) settings_.log->Write(LogMark::kNote, text);
}

void SftpSession::LogRequest(const char* request, const std::string& path, int result) const {
    if (!Logging()) return;
    const DWORD error = GetLastError();
    std::string line = std::string(request) + " " + path + ": ";
    if (result >= 0) {
        line += "ok";
    } else if (result == LIBSSH2_ERROR_SFTP_PROTOCOL && sftp_) {
        const unsigned long status = libssh2_sftp_last_error(sftp_);
        line += "status " + std::to_string(status) + " (" + StatusText(status) + ")";
    } else {
        line += "error " + std::to_string(result);
    }
    settings_.log->Write(LogMark::kNote, line);
    SetLastError(error);
}

void SftpSession::LogHandshake() const {
    if (!Logging()) return;
    const char* banner = libssh2_session_banner_get(session_);
    LogNote(std::string("server banner: ") + (banner ? banner : "?"));
    const struct {
        int method;
        const char* name;
    } methods[] = {{LIBSSH2_METHOD_KEX, "key exchange"},         {LIBSSH2_METHOD_HOSTKEY, "host key algorithm"},
                   {LIBSSH2_METHOD_CRYPT_CS, "cipher (to server)"}, {LIBSSH2_METHOD_CRYPT_SC, "cipher (from server)"},
                   {LIBSSH2_METHOD_MAC_CS, "MAC (to server)"},     {LIBSSH2_METHOD_MAC_SC, "MAC (from server)"}};
    for (const auto& method : methods) {
        const char* agreed = libssh2_session_methods(session_, method.method);
        LogNote(std::string(method.name) + ": " + (agreed ? agreed : "?"));
    }
}

std::string SftpSession::Absolute(const std::string& path) const {
    if (!path.empty() && path.front() == '/') return path;
    if (path.empty() || path == ".") return directory_;
    return directory_ == "/" ? "/" + path : directory_ + "/" + path;
}

bool SftpSession::Open() {
    ForgetServerReply();
    if (!EnsureSshLibrary()) {
        SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
        return false;
    }
    const LONG seconds = waitSeconds_.load();
    const DWORD connectWait = seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : kDefaultConnectMilliseconds;
    if (!connector_.Connect(settings_.host, settings_.port, connectWait, socket_)) return false;
    sockaddr_storage peer{};
    if (Logging() && socket_.PeerAddress(peer))
        LogNote("connected to " + settings_.host +
                (connector_.Direct() ? " at " + AddressText(peer) : " through the " + settings_.proxy.Name()) +
                " (SFTP over SSH)");
    // Within a limit the opening as a whole takes no longer than it allows:
    // work that ran on past it would log in for nobody.
    if (seconds > 0) openingDeadline_ = GetTickCount64() + connectWait;
    const bool opened = ReachPinnedHostKey() && Authenticate() && [this] {
        int error = 0;
        sftp_ = AwaitHandle<LIBSSH2_SFTP>([this] { return libssh2_sftp_init(session_); }, error);
        LogRequest("SFTP channel", "opened", sftp_ ? 0 : error);
        if (!sftp_) return Fail(error);
        // SFTP has no working directory: the one the server logs in to is kept.
        char resolved[kPathBytes];
        const int length = Await([&] { return libssh2_sftp_realpath(sftp_, ".", resolved, sizeof resolved - 1); });
        if (length < 0) return Fail(length);
        directory_.assign(resolved, static_cast<size_t>(length));
        LogRequest("realpath", ". -> " + directory_, length);
        return true;
    }();
    openingDeadline_ = 0;
    return opened;
}

std::string SftpSession::HostKeyPreference(const std::string& only) const {
    if (!only.empty()) return AlgorithmsOf(only);
    // The types the pins name first, in their order, then the others in ours.
    std::vector<std::string> types;
    for (const HostKeyPin& pin : settings_.hostKeys)
        if (!pin.keyType.empty() && std::find(types.begin(), types.end(), pin.keyType) == types.end())
            types.push_back(pin.keyType);
    for (const char* type : kHostKeyTypes)
        if (std::find(types.begin(), types.end(), type) == types.end()) types.push_back(type);
    std::string algorithms;
    for (const std::string& type : types) {
        if (!algorithms.empty()) algorithms += ',';
        algorithms += AlgorithmsOf(type);
    }
    return algorithms;
}

std::string SftpSession::NextHostKeyType(const std::vector<std::string>& seen) const {
    bool everyPinTyped = true;
    for (const HostKeyPin& pin : settings_.hostKeys) everyPinTyped = everyPinTyped && !pin.keyType.empty();
    for (const char* type : kHostKeyTypes) {
        if (std::find(seen.begin(), seen.end(), type) != seen.end()) continue;
        const bool isOffered = std::string_view(type) == "ssh-rsa"
                                   ? offer_.OffersHostKey("rsa-sha2-512") || offer_.OffersHostKey("rsa-sha2-256")
                                   : offer_.OffersHostKey(type);
        bool pinnable = !everyPinTyped;
        for (const HostKeyPin& pin : settings_.hostKeys) pinnable = pinnable || pin.keyType == type;
        if (isOffered && pinnable) return type;
    }
    return std::string();
}

bool SftpSession::ReachPinnedHostKey() {
    // A server shows one host key per connection, of the type the client
    // asks for first: a pin of another of its keys is tried on a new
    // connection, before any credential goes out. Each type is asked for
    // once, whatever a server shows.
    std::vector<std::string> typesSeen;
    std::wstring shown;
    std::string only;
    for (;;) {
        if (!typesSeen.empty()) {
            Disconnect();
            const LONG seconds = waitSeconds_.load();
            DWORD wait = seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : kDefaultConnectMilliseconds;
            if (openingDeadline_ != 0) {
                const ULONGLONG now = GetTickCount64();
                if (now >= openingDeadline_) return Fail(LIBSSH2_ERROR_TIMEOUT);
                wait = std::min<DWORD>(wait, static_cast<DWORD>(openingDeadline_ - now));
            }
            if (!connector_.Connect(settings_.host, settings_.port, wait, socket_)) return false;
        }
        hostKeyAlgorithms_ = HostKeyPreference(only);
        if (!Handshake()) return false;
        std::string type, digest;
        if (!ShownHostKey(type, digest)) return false;
        bool pinned = false;
        for (const HostKeyPin& pin : settings_.hostKeys) pinned = pinned || pin.digest == digest;
        if (Logging()) {
            const std::wstring fingerprint = HostKeyFingerprintText(digest);
            LogNote("host key " + type + " " + std::string(fingerprint.begin(), fingerprint.end()) +
                    (pinned ? ": accepted, it is pinned" : ": not pinned"));
        }
        if (pinned) return true;
        if (!shown.empty()) shown += L", ";
        shown += std::wstring(type.begin(), type.end()) + L" " + HostKeyFingerprintText(digest);
        typesSeen.push_back(type);
        if (!only.empty()) typesSeen.push_back(only);
        if (settings_.hostKeys.empty() || (only = NextHostKeyType(typesSeen)).empty()) break;
    }
    // An administrator who has checked the key out of band can pin what it showed.
    const size_t first = shown.find(L", ");
    KeepFailureDetail(L"The server's host key is " + shown.substr(0, first) + L"." +
                      (first == std::wstring::npos ? L"" : L" Its other host keys: " + shown.substr(first + 2) + L"."));
    lost_ = true;
    SetLastError(ERROR_INTERNET_INVALID_CA);
    return false;
}

void SftpSession::Disconnect() {
    if (session_) libssh2_session_free(session_);
    session_ = nullptr;
    socket_.Close();
    inboxStart_ = inboxEnd_ = 0;
    outbox_.clear();
    sendFailed_ = false;
    offer_ = KexOffer();
    goodbye_.clear();
}

bool SftpSession::Handshake() {
    session_ = libssh2_session_init_ex(nullptr, nullptr, nullptr, this);
    if (!session_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    libssh2_session_set_blocking(session_, 0);
    libssh2_session_flag(session_, LIBSSH2_FLAG_SIGPIPE, 0);
    libssh2_session_callback_set2(session_, LIBSSH2_CALLBACK_SEND, reinterpret_cast<libssh2_cb_generic*>(&SendThrough));
    libssh2_session_callback_set2(session_, LIBSSH2_CALLBACK_RECV,
                                  reinterpret_cast<libssh2_cb_generic*>(&ReceiveThrough));
    libssh2_session_callback_set2(session_, LIBSSH2_CALLBACK_DISCONNECT,
                                  reinterpret_cast<libssh2_cb_generic*>(&Disconnected));
    const struct {
        int method;
        const char* list;
    } preferences[] = {
        {LIBSSH2_METHOD_KEX, kKeyExchanges},  {LIBSSH2_METHOD_HOSTKEY, hostKeyAlgorithms_.c_str()},
        {LIBSSH2_METHOD_CRYPT_CS, kCiphers},  {LIBSSH2_METHOD_CRYPT_SC, kCiphers},
        {LIBSSH2_METHOD_MAC_CS, kMacs},       {LIBSSH2_METHOD_MAC_SC, kMacs},
    };
    for (const auto& preference : preferences) {
        if (libssh2_session_method_pref(session_, preference.method, preference.list) != 0) {
            SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
            return false;
        }
    }
    const int handshake = Await([this] { return libssh2_session_handshake(session_, socket_.Handle()); });
    if (handshake == 0) {
        LogHandshake();
        return true;
    }
    LogRequest("SSH handshake", "failed", handshake);
    if (handshake == LIBSSH2_ERROR_KEX_FAILURE || handshake == LIBSSH2_ERROR_METHOD_NOT_SUPPORTED) {
        const std::wstring mismatch = offer_.Mismatch(kKeyExchanges, hostKeyAlgorithms_, kCiphers, kMacs);
        KeepFailureDetail(!mismatch.empty() ? mismatch
                                            : L"The key exchange failed: " + LastLibraryMessage() + L".");
        lost_ = true;
        SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
        return false;
    }
    return Fail(handshake);
}

bool SftpSession::ShownHostKey(std::string& type, std::string& digest) {
    size_t length = 0;
    int kind = 0;
    const char* key = libssh2_session_hostkey(session_, &length, &kind);
    const char* hash = libssh2_hostkey_hash(session_, LIBSSH2_HOSTKEY_HASH_SHA256);
    if (!key || !hash) return Fail(LIBSSH2_ERROR_HOSTKEY_INIT);
    digest.assign(hash, 32);
    // The key's own name, as its blob starts with it.
    std::string_view name;
    WireReader(std::string_view(key, length)).Text(name);
    type.clear();
    for (const char c : name.substr(0, 64)) type.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return true;
}

bool SftpSession::Authenticate() {
    const std::string& user = settings_.user;
    const char* methods = nullptr;
    int error = 0;
    methods = AwaitHandle<char>(
        [&] { return libssh2_userauth_list(session_, user.c_str(), static_cast<unsigned int>(user.size())); },
        error);
    if (!methods) {
        const bool none = libssh2_userauth_authenticated(session_) != 0;
        LogNote(none ? "login: the server asked for no credentials" : "login: the server sent no methods");
        return none ? true : Fail(error);
    }
    std::string offered(methods);
    LogNote("login methods the server offers: " + offered + "; user " + user);
    if (!settings_.privateKeyFile.empty()) {
        if (!AuthenticateWithKey(offered)) return false;
        if (offered.empty()) return true;
    }
    const int byPassword =
        offered.find("password") != std::string::npos
            ? Await([&] {
                  return libssh2_userauth_password_ex(session_, user.c_str(), static_cast<unsigned int>(user.size()),
                                                      settings_.password.c_str(),
                                                      static_cast<unsigned int>(settings_.password.size()), nullptr);
              })
        : offered.find("keyboard-interactive") != std::string::npos
            ? Await([&] {
                  return libssh2_userauth_keyboard_interactive_ex(
                      session_, user.c_str(), static_cast<unsigned int>(user.size()), AnswerPrompts);
              })
            : LIBSSH2_ERROR_AUTHENTICATION_FAILED;
    LogNote(std::string(offered.find("password") != std::string::npos               ? "login by password: "
                        : offered.find("keyboard-interactive") != std::string::npos ? "login by keyboard-interactive: "
                                                                                    : "no login method left: ") +
            (byPassword == 0 ? "accepted" : "refused (error " + std::to_string(byPassword) + ")"));
    if (byPassword == 0) return true;
    return Fail(byPassword);
}

bool SftpSession::AuthenticateWithKey(std::string& methods) {
    PrivateKey key;
    if (!LoadPrivateKey(settings_.privateKeyFile, settings_.passphrase, key)) return false;
    if (methods.find("publickey") == std::string::npos) {
        LogNote("login by public key: the server does not offer it");
        return Fail(LIBSSH2_ERROR_AUTHENTICATION_FAILED);
    }
    const std::string& user = settings_.user;
    const int result = Await([&] {
        return libssh2_userauth_publickey_frommemory(session_, user.c_str(), user.size(), nullptr, 0,
                                                     key.privateData.c_str(), key.privateData.size(), "");
    });
    Wipe(key.privateData);
    LogNote(result == 0 ? "login by public key: accepted"
                        : "login by public key: not enough or refused (error " + std::to_string(result) + ")");
    if (result == 0) {
        methods.clear();
        return true;
    }
    // Accepted, with a password still to come: the methods the server
    // still takes no longer hold the key's.
    if (result == LIBSSH2_ERROR_PUBLICKEY_UNVERIFIED || result == LIBSSH2_ERROR_AUTHENTICATION_FAILED) {
        int error = 0;
        const char* left = AwaitHandle<char>(
            [&] { return libssh2_userauth_list(session_, user.c_str(), static_cast<unsigned int>(user.size())); },
            error);
        if (left && !std::strstr(left, "publickey")) {
            methods = left;
            return true;
        }
    }
    return Fail(result);
}

bool SftpSession::CurrentDirectory(std::string& directory) {
    directory = directory_;
    return true;
}

bool SftpSession::SetDirectory(const std::string& path) {
    const std::string target = Absolute(path);
    char resolved[kPathBytes];
    const int length = Await([&] {
        return libssh2_sftp_symlink_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size()), resolved,
                                       sizeof resolved - 1, LIBSSH2_SFTP_REALPATH);
    });
    LogRequest("realpath", target, length);
    if (length < 0) return Fail(length);
    const std::string folder(resolved, static_cast<size_t>(length));
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    const int stat = Await([&] {
        return libssh2_sftp_stat_ex(sftp_, folder.c_str(), static_cast<unsigned int>(folder.size()),
                                    LIBSSH2_SFTP_STAT, &attributes);
    });
    LogRequest("stat", folder, stat);
    if (stat != 0) return Fail(stat);
    if (!IsFolder(attributes)) return StatusFailure(LIBSSH2_FX_NO_SUCH_FILE);
    directory_ = folder;
    return true;
}

bool SftpSession::CreateFolder(const std::string& path) {
    const std::string target = Absolute(path);
    const int result = Await([&] {
        return libssh2_sftp_mkdir_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size()), kFolderMode);
    });
    LogRequest("mkdir", target, result);
    return result == 0 ? true : Fail(result);
}

bool SftpSession::RemoveFolder(const std::string& path) {
    const std::string target = Absolute(path);
    const int result =
        Await([&] { return libssh2_sftp_rmdir_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size())); });
    LogRequest("rmdir", target, result);
    return result == 0 ? true : Fail(result);
}

bool SftpSession::Delete(const std::string& path) {
    const std::string target = Absolute(path);
    const int result =
        Await([&] { return libssh2_sftp_unlink_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size())); });
    LogRequest("remove", target, result);
    return result == 0 ? true : Fail(result);
}

bool SftpSession::Rename(const std::string& from, const std::string& to) {
    const std::string source = Absolute(from), target = Absolute(to);
    // An existing target is replaced, as FTP servers on Unix do: the
    // extension that does so where the server has it, the plain rename else.
    int result = Await([&] {
        return libssh2_sftp_posix_rename_ex(sftp_, source.c_str(), source.size(), target.c_str(), target.size());
    });
    LogRequest("posix-rename", source + " -> " + target, result);
    if (result == LIBSSH2_ERROR_SFTP_PROTOCOL && libssh2_sftp_last_error(sftp_) == LIBSSH2_FX_OP_UNSUPPORTED) {
        result = Await([&] {
            return libssh2_sftp_rename_ex(sftp_, source.c_str(), static_cast<unsigned int>(source.size()),
                                          target.c_str(), static_cast<unsigned int>(target.size()),
                                          LIBSSH2_SFTP_RENAME_OVERWRITE | LIBSSH2_SFTP_RENAME_ATOMIC |
                                              LIBSSH2_SFTP_RENAME_NATIVE);
        });
        LogRequest("rename", source + " -> " + target, result);
    }
    return result == 0 ? true : Fail(result);
}

bool SftpSession::Command(const char* line) {
    if (std::strcmp(line, kUtf8OnCommand) == 0) return true;
    KeepServerReply("8 Operation unsupported");
    SetLastError(kExtendedError);
    return false;
}

std::unique_ptr<RemoteFile> SftpSession::Open(const std::string& path, bool forWriting, DWORD transferType,
                                              unsigned long long offset) {
    const std::string target = Absolute(path);
    // Writing from an offset keeps what stands before it.
    const unsigned long flags = !forWriting ? LIBSSH2_FXF_READ
                                : offset > 0 ? LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT
                                             : LIBSSH2_FXF_WRITE | LIBSSH2_FXF_CREAT | LIBSSH2_FXF_TRUNC;
    int error = 0;
    LIBSSH2_SFTP_HANDLE* handle = AwaitHandle<LIBSSH2_SFTP_HANDLE>(
        [&] {
            return libssh2_sftp_open_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size()), flags,
                                        kFileMode, LIBSSH2_SFTP_OPENFILE);
        },
        error);
    LogRequest(!forWriting ? "open (read)" : offset > 0 ? "open (write, keep)" : "open (write, truncate)", target,
               handle ? 0 : error);
    if (!handle) {
        Fail(error);
        return nullptr;
    }
    // Each request carries its own offset: the handle's position is the library's.
    if (offset > 0) libssh2_sftp_seek64(handle, offset);
    std::optional<unsigned long long> size;
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    if (!forWriting && Await([&] { return libssh2_sftp_fstat_ex(handle, &attributes, 0); }) == 0 &&
        (attributes.flags & LIBSSH2_SFTP_ATTR_SIZE))
        size = attributes.filesize;
    return std::make_unique<SftpRemoteFile>(shared_from_this(), handle,
                                            transferType == static_cast<DWORD>(kTransferAscii), size, offset,
                                            target, forWriting);
}

bool SftpSession::Stat(const std::string& path, LIBSSH2_SFTP_ATTRIBUTES& attributes) {
    const std::string target = Absolute(path);
    const int result = Await([&] {
        return libssh2_sftp_stat_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size()),
                                    LIBSSH2_SFTP_STAT, &attributes);
    });
    LogRequest("stat", target, result);
    return result == 0 ? true : Fail(result);
}

bool SftpSession::FileSize(const std::string& path, unsigned long long& size) {
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    if (!Stat(path, attributes)) return false;
    // A folder has no size to tell, as FTP servers refuse SIZE for one.
    if (IsFolder(attributes) || !(attributes.flags & LIBSSH2_SFTP_ATTR_SIZE)) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    size = attributes.filesize;
    return true;
}

bool SftpSession::FileTime(const std::string& path, FILETIME& modified) {
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    if (!Stat(path, attributes)) return false;
    if (!(attributes.flags & LIBSSH2_SFTP_ATTR_ACMODTIME)) return StatusFailure(LIBSSH2_FX_OP_UNSUPPORTED);
    modified = UnixToFileTime(static_cast<long long>(attributes.mtime));
    return true;
}

bool SftpSession::Exists(const std::string& path, bool& exists) {
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    exists = Stat(path, attributes);
    if (exists) return true;
    const unsigned long status = GetLastError() == kExtendedError ? libssh2_sftp_last_error(sftp_) : 0;
    return status == LIBSSH2_FX_NO_SUCH_FILE || status == LIBSSH2_FX_NO_SUCH_PATH;
}

std::unique_ptr<RemoteListing> SftpSession::List(ListedEntry& first) {
    int error = 0;
    LIBSSH2_SFTP_HANDLE* folder = AwaitHandle<LIBSSH2_SFTP_HANDLE>(
        [&] {
            return libssh2_sftp_open_ex(sftp_, directory_.c_str(), static_cast<unsigned int>(directory_.size()), 0, 0,
                                        LIBSSH2_SFTP_OPENDIR);
        },
        error);
    LogRequest("opendir", directory_, folder ? 0 : error);
    if (!folder) {
        Fail(error);
        return nullptr;
    }
    std::vector<ListedEntry> entries;
    std::vector<char> name(kFirstNameBytes);
    bool read = true, tooMany = false;
    for (;;) {
        LIBSSH2_SFTP_ATTRIBUTES attributes{};
        int length = Await([&] {
            return libssh2_sftp_readdir_ex(folder, name.data(), name.size() - 1, nullptr, 0, &attributes);
        });
        // A name longer than the room: the same entry is read again into more.
        if (length == LIBSSH2_ERROR_BUFFER_TOO_SMALL && name.size() < kLongestNameBytes) {
            name.resize(std::min(name.size() * 2, kLongestNameBytes));
            continue;
        }
        if (length < 0) {
            error = length;
            read = false;
            break;
        }
        if (length == 0) break;
        // Names are exact: any byte, at any length.
        ListedEntry entry;
        entry.name.assign(name.data(), static_cast<size_t>(length));
        if (entry.name == "." || entry.name == "..") continue;
        if (entries.size() == kMostListedEntries) {
            tooMany = true;
            read = false;
            break;
        }
        // A link is listed as what it points to.
        if ((attributes.flags & LIBSSH2_SFTP_ATTR_PERMISSIONS) && LIBSSH2_SFTP_S_ISLNK(attributes.permissions)) {
            const std::string target = Absolute(entry.name);
            LIBSSH2_SFTP_ATTRIBUTES pointed{};
            if (Await([&] {
                    return libssh2_sftp_stat_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size()),
                                                LIBSSH2_SFTP_STAT, &pointed);
                }) == 0)
                attributes = pointed;
        }
        WIN32_FIND_DATAA& record = entry.record;
        // The record holds what fits; the entry's name is the whole one.
        std::memcpy(record.cFileName, entry.name.data(), std::min(entry.name.size(), sizeof record.cFileName - 1));
        if (IsFolder(attributes)) {
            record.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        } else if (attributes.flags & LIBSSH2_SFTP_ATTR_SIZE) {
            record.nFileSizeHigh = static_cast<DWORD>(attributes.filesize >> 32);
            record.nFileSizeLow = static_cast<DWORD>(attributes.filesize & 0xFFFFFFFFu);
        } else {
            MarkSizeUnknown(record);
        }
        if (attributes.flags & LIBSSH2_SFTP_ATTR_ACMODTIME) {
            entry.exactModified = UnixToFileTime(static_cast<long long>(attributes.mtime));
            record.ftLastWriteTime = ListedTime(entry.exactModified);
            record.ftLastAccessTime = record.ftLastWriteTime;
            record.ftCreationTime = record.ftLastWriteTime;
        }
        entries.push_back(std::move(entry));
    }
    const int closed = Await([&] { return libssh2_sftp_close_handle(folder); });
    if (Logging()) {
        char names[96];
        std::snprintf(names, sizeof names, "readdir (%zu names), then close", entries.size());
        LogRequest(names, directory_, read ? closed : error);
    }
    if (closed == LIBSSH2_ERROR_TIMEOUT) {
        // Given up: the handle is freed without the server's word.
        Release();
        libssh2_sftp_close_handle(folder);
    }
    if (tooMany) {
        KeepFailureDetail(kTooManyEntries);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!read || closed != 0) {
        Fail(read ? closed : error);
        return nullptr;
    }
    return RecordedListing::Start(std::move(entries), first);
}

bool SftpSession::Close() {
    LimitWaits(std::min<LONG>(waitSeconds_.load() > 0 ? waitSeconds_.load() : 2, kGoodbyeMilliseconds / 1000));
    // A goodbye the server does not take in time is given up: the session
    // is then freed without it.
    LogNote("closing the SFTP channel and the SSH connection");
    if (sftp_) {
        if (Await([this] { return libssh2_sftp_shutdown(sftp_); }) != 0) {
            Release();
            libssh2_sftp_shutdown(sftp_);
        }
        sftp_ = nullptr;
    }
    if (session_) {
        Await([this] { return libssh2_session_disconnect_ex(session_, SSH_DISCONNECT_BY_APPLICATION, "bye", ""); });
        Release();
        libssh2_session_free(session_);
        session_ = nullptr;
    }
    socket_.Close();
    return true;
}

bool SftpSession::SetFileTime(const std::string& path, const FILETIME& modified) {
    const unsigned long long ticks =
        (static_cast<unsigned long long>(modified.dwHighDateTime) << 32) | modified.dwLowDateTime;
    constexpr unsigned long long kTicksPerSecond = 10000000, kUnixEpochSeconds = 11644473600;
    // The protocol's times are 32-bit seconds since 1970.
    const unsigned long long seconds = ticks / kTicksPerSecond;
    if (seconds < kUnixEpochSeconds || seconds - kUnixEpochSeconds > 0xFFFFFFFFu) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LIBSSH2_SFTP_ATTRIBUTES attributes{};
    attributes.flags = LIBSSH2_SFTP_ATTR_ACMODTIME;
    attributes.atime = static_cast<unsigned long>(seconds - kUnixEpochSeconds);
    attributes.mtime = attributes.atime;
    const std::string target = Absolute(path);
    const int result = Await([&] {
        return libssh2_sftp_stat_ex(sftp_, target.c_str(), static_cast<unsigned int>(target.size()),
                                    LIBSSH2_SFTP_SETSTAT, &attributes);
    });
    LogRequest("setstat (times)", target, result);
    if (result == 0) return true;
    Fail(result);
    // A server that cannot set times says so with its status.
    if (GetLastError() == kExtendedError && libssh2_sftp_last_error(sftp_) == LIBSSH2_FX_OP_UNSUPPORTED)
        SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

}  // namespace quorlin
