#include "OwnFtpSession.h"

#include "../text/Error.h"
#include "../ftpclient/ListingParser.h"
#include "../ftpclient/MachineListingParser.h"
#include "../platform/Constants.h"
#include "../tls/CertificateCheck.h"
#include "../tls/TlsFacts.h"
#include "FtpFileFacts.h"
#include "RecordedListing.h"

#include <algorithm>
#include <vector>

namespace quorlin {
namespace {

// How long the server's reason for a failed data connection is awaited: it
// is sent at once, if at all.
constexpr DWORD kReasonMilliseconds = 1000;
// The most data one TLS record carries: uploads are sent in whole records,
// whatever the size of the pieces handed in, as a server may read a record
// at a time.
constexpr size_t kRecordDataBytes = 16 * 1024;

class OwnRemoteFile : public RemoteFile {
public:
    OwnRemoteFile(std::shared_ptr<OwnFtpSession> session, std::unique_ptr<DataChannel> data)
        : session_(std::move(session)), data_(std::move(data)) {}
    ~OwnRemoteFile() override {
        if (data_) Close();
    }
    bool Read(char* data, DWORD size, DWORD& read) override {
        size_t received = 0;
        const bool succeeded = data_->Data().Receive(data, size, received, session_->Wait());
        read = static_cast<DWORD>(received);
        data_->Count(received);
        return Outcome(succeeded);
    }
    bool Write(const char* data, DWORD size) override {
        while (size > 0) {
            const size_t taken = std::min<size_t>(size, kRecordDataBytes - pending_.size());
            pending_.append(data, taken);
            data += taken;
            size -= static_cast<DWORD>(taken);
            if (pending_.size() == kRecordDataBytes && !Flush()) return false;
        }
        return true;
    }
    bool Close() override {
        bool finished = false;
        if (failure_ == ERROR_SUCCESS) Flush();
        data_->Data().CountSent(nullptr);
        if (failure_ != ERROR_SUCCESS) session_->AbandonTransfer(*data_, failure_);
        else finished = session_->FinishTransfer(*data_, UploadDrainMilliseconds(sent_));
        data_.reset();
        return finished;
    }

private:
    bool Outcome(bool succeeded) {
        if (!succeeded) failure_ = GetLastError();
        return succeeded;
    }
    void CountSent(std::atomic<unsigned long long>* sent) override { data_->Data().CountSent(sent); }
    bool Flush() {
        if (pending_.empty()) return true;
        if (!Outcome(data_->Data().Send(pending_.data(), pending_.size(), session_->Wait()))) return false;
        sent_ += pending_.size();
        data_->Count(pending_.size());
        pending_.clear();
        return true;
    }

    std::shared_ptr<OwnFtpSession> session_;
    std::unique_ptr<DataChannel> data_;
    std::string pending_;  // taken, not yet sent: less than a whole record
    unsigned long long sent_ = 0;
    DWORD failure_ = ERROR_SUCCESS;  // the data's failure; the transfer is then abandoned
};

}  // namespace

OwnFtpSession::OwnFtpSession(OwnSessionSettings settings)
    : settings_(std::move(settings)), waitSeconds_(settings_.waitSeconds) {}

OwnFtpSession::~OwnFtpSession() = default;

DWORD OwnFtpSession::Wait() const {
    const LONG seconds = waitSeconds_.load();
    return seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : kDefaultWaitMilliseconds;
}

bool OwnFtpSession::Open() {
    // A new session starts with no reply and no failure detail of an earlier one.
    ForgetServerReply();
    const LONG seconds = waitSeconds_.load();
    Socket socket;
    auto proxy = std::make_shared<const ProxyConnector>(settings_.proxy, settings_.log);
    if (!proxy->Connect(settings_.host, settings_.port,
                        seconds > 0 ? static_cast<DWORD>(seconds) * 1000 : kDefaultConnectMilliseconds, socket))
        return false;
    data_.proxy = proxy;
    data_.serverHost = settings_.host;
    data_.serverPort = settings_.port;
    if (!socket.LocalAddress(data_.controlLocal) || !socket.PeerAddress(data_.controlPeer)) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return false;
    }
    control_.Log(settings_.log);
    data_.log = settings_.log;
    if (Logging(settings_.log))
        settings_.log->Write(LogMark::kNote, "connected to " + settings_.host +
                                                 (settings_.proxy.Direct() ? " at " + AddressText(data_.controlPeer)
                                                                           : " through the " + settings_.proxy.Name()) +
                                                 (settings_.security == kSecurityImplicit ? " (FTP over implicit TLS, "
                                                                                          : " (FTP over explicit TLS, ") +
                                                 (settings_.passive ? "passive)" : "active)"));
    FtpReply reply;
    if (settings_.security == kSecurityImplicit) {
        if (!Secure(std::move(socket))) return false;
    } else {
        control_.Attach(std::make_unique<Socket>(std::move(socket)));
    }
    // A server may ask the client to wait (120) before it greets.
    if (!ReadFinalReply(reply, Wait())) return false;
    reply.outOfTurn = false;
    if (reply.Failed()) {
        SetLastError(kExtendedError);
        return false;
    }
    if (settings_.security != kSecurityImplicit) {
        if (!Exchange("AUTH TLS", reply)) return false;
        // Replies that came in clear text behind the go-ahead are someone's
        // attempt to answer for the protected session.
        if (reply.code != 234 || control_.HasUnread()) {
            KeepFailureDetail(reply.code != 234 ? L"The server did not agree to TLS."
                                                : L"The server sent clear-text replies behind its go-ahead for TLS, "
                                                  L"as someone answering for the protected session would.");
            lost_ = true;
            SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
            return false;
        }
        std::unique_ptr<Stream> plain = control_.Detach();
        if (!Secure(std::move(static_cast<Socket&>(*plain)))) return false;
    }
    return Login() && Exchange("PBSZ 0", reply) && Exchange("PROT P", reply) && ReadFeatures();
}

bool OwnFtpSession::ReadFeatures() {
    FtpReply reply;
    if (!Ask("FEAT", reply)) return false;
    features_.Read(reply);
    timeSetter_.Begin(features_.ModifyTime() ? FileTimeSetter::Start::kModifyCommand
                      : features_.Listed()   ? FileTimeSetter::Start::kTimeArgument
                                             : FileTimeSetter::Start::kUnknown);
    return true;
}

bool OwnFtpSession::Secure(Socket socket) {
    credentials_ = std::make_shared<TlsCredentials>();
    if (!credentials_->Acquire()) return false;
    auto tls = std::make_unique<TlsStream>(std::move(socket), credentials_, settings_.hostName);
    if (!tls->Handshake(Wait())) return false;
    PCCERT_CONTEXT certificate = tls->ServerCertificate();
    if (!certificate) {
        SetLastError(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
        return false;
    }
    std::string fingerprint;
    const bool known = CertificateFingerprint(certificate, fingerprint);
    const bool trusted = known && CheckServerCertificate(certificate, settings_.hostName, settings_.pinned);
    const DWORD error = known ? GetLastError() : static_cast<DWORD>(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
    if (Logging(settings_.log)) {
        tls->LogProtocol(*settings_.log);
        LogCertificate(*settings_.log, certificate);
        settings_.log->Format(LogMark::kNote, trusted ? "certificate accepted by %s"
                                                      : "certificate refused by %s (error %lu)",
                              settings_.pinned.empty() ? "the system's check" : "the pinned fingerprint", error);
    }
    CertFreeCertificateContext(certificate);
    if (!trusted) {
        // An administrator who trusts this server can pin what it showed.
        if (known) KeepFailureDetail(kFingerprintPrefix + FingerprintText(fingerprint) + L".");
        SetLastError(error);
        return false;
    }
    data_.protect = true;
    data_.credentials = credentials_;
    data_.targetName = settings_.hostName;
    data_.serverCertificate = fingerprint;
    control_.Attach(std::move(tls));
    return true;
}

bool OwnFtpSession::Login() {
    FtpReply reply;
    bool accepted = Ask("USER " + settings_.user, reply) && !reply.Failed();
    if (accepted && reply.code == 331) accepted = Ask("PASS " + settings_.password, reply) && !reply.Failed();
    if (accepted && reply.code / 100 == 2) return true;
    // A login that cannot go on (refused, or asking for an account) fails as the platform's does.
    if (!Lost()) SetLastError(ERROR_INTERNET_LOGIN_FAILURE);
    return false;
}

bool OwnFtpSession::ReadReply(FtpReply& reply, DWORD milliseconds) {
    if (!control_.Attached()) {
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    if (!control_.Receive(reply, milliseconds)) {
        const DWORD error = GetLastError();
        if (error == kExtendedError) KeepServerReply(reply.text);
        lost_ = true;
        SetLastError(error);
        return false;
    }
    KeepServerReply(reply.text);
    // 421: the server is ending the session.
    if (reply.code == 421) lost_ = true;
    return true;
}

bool OwnFtpSession::ReadFinalReply(FtpReply& reply, DWORD milliseconds) {
    if (!ReadReply(reply, milliseconds)) return false;
    if (!reply.Preliminary()) return true;
    const std::string preliminary = reply.text;
    do {
        if (!ReadReply(reply, milliseconds)) return false;
    } while (reply.Preliminary());
    // The error text shows both replies.
    KeepServerReply(preliminary + "\r\n" + reply.text);
    reply.outOfTurn = true;
    return true;
}

bool OwnFtpSession::SendLine(const std::string& line) {
    if (!control_.Attached()) {
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    if (!control_.Send(line, Wait())) {
        if (GetLastError() != ERROR_INVALID_PARAMETER) lost_ = true;
        return false;
    }
    return true;
}

bool OwnFtpSession::Ask(const std::string& line, FtpReply& reply) {
    return SendLine(line) && ReadFinalReply(reply, Wait());
}

bool OwnFtpSession::Exchange(const std::string& line, FtpReply& reply) {
    if (!Ask(line, reply)) return false;
    if (!reply.Failed()) return true;
    SetLastError(kExtendedError);
    return false;
}

bool OwnFtpSession::CurrentDirectory(std::string& directory) {
    FtpReply reply;
    if (!Exchange("PWD", reply)) return false;
    if (reply.code != 257) {
        SetLastError(kExtendedError);
        return false;
    }
    // The path stands between the reply's first two quotes.
    const size_t open = reply.text.find('"');
    const size_t close = open == std::string::npos ? open : reply.text.find('"', open + 1);
    directory = close == std::string::npos ? std::string() : reply.text.substr(open + 1, close - open - 1);
    return true;
}

bool OwnFtpSession::SetDirectory(const std::string& path) { return Exchange("CWD " + path); }
bool OwnFtpSession::CreateFolder(const std::string& path) { return Exchange("MKD " + path); }
bool OwnFtpSession::RemoveFolder(const std::string& path) { return Exchange("RMD " + path); }
bool OwnFtpSession::Delete(const std::string& path) { return Exchange("DELE " + path); }
bool OwnFtpSession::Command(const char* line) { return Exchange(line); }

bool OwnFtpSession::Rename(const std::string& from, const std::string& to) {
    return Exchange("RNFR " + from) && Exchange("RNTO " + to);
}

bool OwnFtpSession::UseType(DWORD transferType) {
    // The type stays until changed: a batch of transfers asks once.
    const char type = transferType == static_cast<DWORD>(kTransferAscii) ? 'A' : 'I';
    if (type == currentType_) return true;
    currentType_ = 0;
    if (!Exchange(std::string("TYPE ") + type)) return false;
    currentType_ = type;
    return true;
}

std::unique_ptr<DataChannel> OwnFtpSession::StartTransfer(const std::string& command, DWORD transferType,
                                                          unsigned long long offset) {
    if (!UseType(transferType)) return nullptr;
    data_.passive = settings_.passive;
    auto data = std::make_unique<DataChannel>(data_);
    if (!data->Prepare([this](const std::string& line, FtpReply& reply) { return Ask(line, reply); }, Wait()))
        return nullptr;
    // REST stands right before the command it is for.
    FtpReply reply;
    if (offset > 0) {
        if (!Exchange("REST " + std::to_string(offset), reply)) return nullptr;
        if (reply.code != 350) {
            SetLastError(kExtendedError);
            return nullptr;
        }
    }
    // The transfer's command is the one whose first reply is preliminary.
    if (!SendLine(command) || !ReadReply(reply, Wait())) return nullptr;
    if (!reply.Preliminary()) {
        // Refused; or done without data, which leaves nothing to read either.
        SetLastError(kExtendedError);
        return nullptr;
    }
    if (!data->Establish(Wait())) {
        AbandonTransfer(*data, GetLastError());
        return nullptr;
    }
    return data;
}

void OwnFtpSession::ReadReasonOfFailure(DWORD error) {
    FtpReply reply;
    const bool read = control_.Attached() && control_.Receive(reply, kReasonMilliseconds);
    if (read) KeepServerReply(reply.text);
    // Without the transfer's last reply the channel is out of step.
    else lost_ = true;
    SetLastError(read && reply.Failed() ? kExtendedError : error);
}

bool OwnFtpSession::FinishTransfer(DataChannel& data, unsigned long long drainMilliseconds) {
    data.Finish(Wait());
    const DWORD wait = static_cast<DWORD>(std::min<unsigned long long>(Wait() + drainMilliseconds, MAXDWORD - 1));
    FtpReply reply;
    if (!ReadFinalReply(reply, wait)) return false;
    if (!reply.Failed()) return true;
    SetLastError(kExtendedError);
    return false;
}

void OwnFtpSession::AbandonTransfer(DataChannel& data, DWORD error) {
    data.Abort();
    ReadReasonOfFailure(error);
}

std::unique_ptr<RemoteFile> OwnFtpSession::Open(const std::string& path, bool forWriting, DWORD transferType,
                                                unsigned long long offset) {
    std::unique_ptr<DataChannel> data = StartTransfer((forWriting ? "STOR " : "RETR ") + path, transferType, offset);
    // The caller knows the remote file to be `offset` bytes long: appending
    // writes behind them too.
    if (!data && forWriting && offset > 0 && GetLastError() == kExtendedError && !lost_)
        data = StartTransfer("APPE " + path, transferType);
    if (!data) return nullptr;
    return std::make_unique<OwnRemoteFile>(shared_from_this(), std::move(data));
}

bool OwnFtpSession::FileSize(const std::string& path, unsigned long long& size) {
    FtpReply reply;
    return UseType(static_cast<DWORD>(kTransferBinary)) && Exchange("SIZE " + path, reply) &&
           ReadSizeReply(reply.text, size);
}

bool OwnFtpSession::FileTime(const std::string& path, FILETIME& modified) {
    FtpReply reply;
    return Exchange("MDTM " + path, reply) && ReadTimeReply(reply.text, modified);
}

bool OwnFtpSession::Exists(const std::string& path, bool& exists) { return FtpNameExists(*this, path, exists); }

bool OwnFtpSession::ReadListing(const std::string& command, std::string& text) {
    std::unique_ptr<DataChannel> data = StartTransfer(command, static_cast<DWORD>(kTransferAscii));
    if (!data) return false;
    std::vector<char> piece(kListingPieceBytes);
    for (;;) {
        size_t received = 0;
        if (!data->Data().Receive(piece.data(), piece.size(), received, Wait())) {
            AbandonTransfer(*data, GetLastError());
            return false;
        }
        if (received == 0) break;
        data->Count(received);
        // A listing without end would take the host's memory with it.
        if (text.size() + received > kLongestListingBytes) {
            AbandonTransfer(*data, ERROR_NOT_ENOUGH_MEMORY);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        text.append(piece.data(), received);
    }
    // A final reply that reports a failure is the caller's to judge, with
    // whatever records did arrive, as with the platform's client.
    return FinishTransfer(*data, 0) || GetLastError() == kExtendedError;
}

std::unique_ptr<RemoteListing> OwnFtpSession::List(ListedEntry& first) {
    std::string text;
    std::vector<ListedEntry> entries;
    bool read = false;
    if (features_.MachineListing()) {
        if (!ReadListing("MLSD", text)) return nullptr;
        read = ParseMachineListingText(text, entries);
    } else {
        if (!ReadListing("LIST", text)) return nullptr;
        SYSTEMTIME now;
        GetLocalTime(&now);
        read = ParseListingText(text, now, entries);
    }
    if (!read) {
        KeepFailureDetail(kTooManyEntries);
        return nullptr;
    }
    return RecordedListing::Start(std::move(entries), first);
}

bool OwnFtpSession::Close() {
    if (control_.Attached()) {
        FtpReply reply;
        if (control_.Send("QUIT", Wait())) control_.Receive(reply, std::min<DWORD>(Wait(), kReasonMilliseconds * 5));
        std::unique_ptr<Stream> stream = control_.Detach();
        if (auto* tls = dynamic_cast<TlsStream*>(stream.get())) tls->Close(Wait());
    }
    return true;
}

bool OwnFtpSession::SetFileTime(const std::string& path, const FILETIME& modified) {
    return timeSetter_.Set(*this, path, modified);
}

}  // namespace quorlin
