// Winsock before <windows.h>: the own client's headers below declare sockets.
#include <winsock2.h>

#include "FtpObject.h"

#include "../text/Error.h"
#include "../text/FileText.h"
#include "../listing/MiscFunctions.h"
#include "../text/Text.h"
#include "../platform/Constants.h"
#include "../proxy/ProxyRoute.h"
#include "../session/OwnFtpSession.h"
#include "../session/WinInetSession.h"
#include "../ssh/HostKeyFingerprint.h"
#include "../ssh/SftpSession.h"
#include "../tls/CertificateCheck.h"
#include "DirectoryListing.h"
#include "DirectoryTree.h"
#include "FileTransfer.h"
#include "FtpFailures.h"
#include "PageObjects.h"
#include "RemoteCommand.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace quorlin {

// What a member raises when memory runs out: its own platform-failure row,
// with the platform's code for it.
const PlatformFailure* FtpObject::OutOfMemoryRow(std::wstring_view member) noexcept {
    using namespace ftp_failure;
    static const struct {
        std::wstring_view member;
        const PlatformFailure* row;
    } kRows[] = {
        {L"OpenConnection", &kOpenConnection},   {L"CloseConnection", &kCloseConnection},
        {L"get_Directory", &kRetrieveDirectory}, {L"put_Directory", &kSetDirectory},
        {L"Files", &kListing},                   {L"GetDirectoryListing", &kListing},
        {L"CreateDirectory", &kCreateDirectory}, {L"RemoveDirectory", &kRemoveDirectory},
        {L"RenameFile", &kRenameFile},           {L"DeleteFile", &kDeleteFile},
        {L"PutFile", &kPutFile},                 {L"GetFile", &kGetFile},
        {L"FileSize", &kFileSize},               {L"FileTime", &kFileTime},
        {L"FileExists", &kFileExists},           {L"PutText", &kPutText},
        {L"GetText", &kGetText},                 {L"ResumeGetFile", &kResumeGetFile},
        {L"ResumePutFile", &kResumePutFile},     {L"PutFiles", &kPutFiles},
        {L"GetFiles", &kGetFiles},               {L"Synchronize", &kSynchronize},
    };
    for (const auto& row : kRows)
        if (row.member == member) return row.row;
    return nullptr;
}

namespace {

HRESULT TextOut(const std::wstring& text, BSTR* result) {
    if (!result) return E_POINTER;
    *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

std::wstring TextIn(BSTR text) { return std::wstring(text ? text : L"", text ? SysStringLen(text) : 0); }

// Made once, so that letting go of a session never needs memory.
std::shared_ptr<FtpSession> NoSession() {
    static const std::shared_ptr<FtpSession> none = std::make_shared<WinInetSession>(nullptr);
    return none;
}

}  // namespace

FtpObject::FtpObject() : DispatchObject(source::kFtp) {
    port_ = kDefaultFtpPort;
    proxy_.reset();
    connectionFlags_ = 0;
    transferType_ = kTransferAscii;
    connectionOpen_ = false;
    session_ = NoSession();
    log_ = std::make_shared<SessionLog>();
}

FtpObject::~FtpObject() {
    // Closing on release reports to nobody, and keeps an error object the
    // caller still has pending.
    RunQuietly([&] { return CloseConnection(); });
}

namespace {

// "put_Directory" reads "Directory (set)" in the log, "get_Directory" "Directory (get)".
std::wstring LoggedMemberName(std::wstring_view member) {
    if (member.substr(0, 4) == L"put_") return std::wstring(member.substr(4)) + L" (set)";
    if (member.substr(0, 4) == L"get_") return std::wstring(member.substr(4)) + L" (get)";
    return std::wstring(member);
}

}  // namespace

LARGE_INTEGER FtpObject::MemberBegins(std::wstring_view member) const {
    log_->Write(LogMark::kMember, LoggedMemberName(member) + L" begins");
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    return start;
}

void FtpObject::MemberEnded(std::wstring_view member, LARGE_INTEGER start, HRESULT hr) const {
    LARGE_INTEGER end, frequency;
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    wchar_t taken[64];
    swprintf(taken, 64, L" in %.3f s", static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart);
    std::wstring line = LoggedMemberName(member) + (SUCCEEDED(hr) ? L" ended" : L" failed") + taken;
    if (FAILED(hr)) {
        wchar_t code[32];
        swprintf(code, 32, L": 0x%08lX ", static_cast<unsigned long>(hr));
        line += code + RaisedDescription();
    }
    log_->Write(LogMark::kMember, line);
}

HRESULT FtpObject::get_LogFile(BSTR* result) { return TextOut(log_->Path(), result); }

HRESULT FtpObject::put_LogFile(BSTR str_path) {
    const std::wstring path = TextIn(str_path);
    HRESULT hr = CheckPlatformText(path, source::kFtp, ftp_failure::kLogFile);
    if (FAILED(hr)) return hr;
    if (!log_->Open(path))
        return RaisePlatformError(ftp_failure::kLogFile.code, source::kFtp, ftp_failure::kLogFile.message,
                                  GetLastError(), ftp_failure::kLogFile.operation);
    return S_OK;
}

HRESULT FtpObject::get_ProxyUsername(BSTR* result) { return TextOut(proxyUsername_, result); }
HRESULT FtpObject::put_ProxyUsername(BSTR str_username) {
    proxyUsername_ = TextIn(str_username);
    return S_OK;
}
HRESULT FtpObject::get_ProxyPassword(BSTR* result) { return TextOut(proxyPassword_, result); }
HRESULT FtpObject::put_ProxyPassword(BSTR str_password) {
    proxyPassword_ = TextIn(str_password);
    return S_OK;
}

HRESULT FtpObject::OwnClientsRoute(ProxyRoute& route) const {
    route = ProxyRoute();
    if (!proxy_) return S_OK;
    // The login reaches the proxy in a request line or a SOCKS field.
    for (const std::wstring* setting : {&proxyUsername_, &proxyPassword_}) {
        const HRESULT hr = CheckCommandText(*setting, source::kFtp, ftp_failure::kOpenConnection);
        if (FAILED(hr)) return hr;
    }
    if (!ParseProxyRoute(*proxy_, route)) {
        KeepFailureDetail(L"The proxy \"" + *proxy_ + L"\" is none the component's own clients can use: "
                          L"socks5://host[:port], socks4a://host[:port], http://host[:port] or host[:port].");
        return RaisePlatformError(ftp_failure::kOpenConnection.code, source::kFtp, ftp_failure::kOpenConnection.message,
                                  ERROR_INVALID_PARAMETER, ftp_failure::kOpenConnection.operation);
    }
    route.user = ToCodePage(CP_UTF8, proxyUsername_);
    route.password = ToCodePage(CP_UTF8, proxyPassword_);
    return S_OK;
}

HRESULT FtpObject::StoreText(const VARIANT* value, std::wstring& field) {
    std::wstring text;
    HRESULT hr = VariantToText(value, source::kFtp, text);
    if (FAILED(hr)) return hr;
    field = std::move(text);
    return S_OK;
}

HRESULT FtpObject::OnStartPage(IScriptingContext** FTPScriptingContext, VARIANT* result) {
    if (result) VariantInit(result);
    if (!FTPScriptingContext || !*FTPScriptingContext)
        return RaiseError(runtime_error::kObjectNotSet, source::kFtp, message::kObjectNotSet);
    IDispatch* context = *FTPScriptingContext;
    ComPtr<IDispatch> response;
    HRESULT hr = ReadPageObject(context, L"Response", source::kFtp, response);
    if (FAILED(hr)) return hr;
    pageResponse_ = response;
    ComPtr<IDispatch> server;
    hr = ReadPageObject(context, L"Server", source::kFtp, server);
    if (FAILED(hr)) return hr;
    pageServer_ = server;
    return S_OK;
}

HRESULT FtpObject::get_Version(VARIANT* result) { return TextToVariant(kFtpVersion, result); }

HRESULT FtpObject::put_URL(VARIANT* str_URL) { return StoreText(str_URL, url_); }
HRESULT FtpObject::get_URL(VARIANT* result) { return TextToVariant(url_, result); }
HRESULT FtpObject::put_Username(VARIANT* str_username) { return StoreText(str_username, username_); }
HRESULT FtpObject::get_Username(VARIANT* result) { return TextToVariant(username_, result); }
HRESULT FtpObject::put_Password(VARIANT* str_password) { return StoreText(str_password, password_); }
HRESULT FtpObject::get_Password(VARIANT* result) { return TextToVariant(password_, result); }

HRESULT FtpObject::put_Port(LONG* lng_port) {
    if (!lng_port) return E_POINTER;
    if (*lng_port <= 0) return RaiseError(ftp_error::kInvalidPort, source::kFtp, message::kInvalidPort);
    port_ = *lng_port;
    portSet_ = true;
    return S_OK;
}

HRESULT FtpObject::get_Port(LONG* result) {
    if (!result) return E_POINTER;
    *result = EffectivePort();
    return S_OK;
}

LONG FtpObject::EffectivePort() const {
    if (portSet_) return port_;
    return protocol_ == kProtocolSftp ? kDefaultSshPort : kDefaultFtpPort;
}

CodePageText FtpObject::Names() const {
    if (sessionProtocol_ == kProtocolSftp && names_.CodePage() == 0) return CodePageText(CP_UTF8);
    return names_;
}

HRESULT FtpObject::put_Proxy(VARIANT* str_proxy) {
    std::wstring text;
    HRESULT hr = VariantToText(str_proxy, source::kFtp, text);
    if (FAILED(hr)) return hr;
    if (TrimBlanks(text).empty()) proxy_.reset();
    else proxy_ = std::move(text);
    return S_OK;
}

HRESULT FtpObject::get_Proxy(VARIANT* result) { return TextToVariant(proxy_.value_or(std::wstring()), result); }

HRESULT FtpObject::put_Passive(VARIANT_BOOL* bool_passive) {
    if (!bool_passive) return E_POINTER;
    connectionFlags_ = *bool_passive ? kPassiveFlag : 0;
    return S_OK;
}

HRESULT FtpObject::get_Passive(VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = connectionFlags_ == kPassiveFlag ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT FtpObject::put_TransferType(Ftp_Transfer_Type* FTT_Transfer_Type) {
    if (!FTT_Transfer_Type) return E_POINTER;
    LONG type = *FTT_Transfer_Type;
    if (type == kTransferAscii || type == kTransferBinary) transferType_ = type;
    return S_OK;
}

HRESULT FtpObject::OpenConnection() {
    if (connectionOpen_) return S_OK;
    if (TrimBlanks(url_).empty()) return RaiseError(ftp_error::kNeededSetting, source::kFtp, message::kUrlNotSet);
    if (TrimBlanks(username_).empty())
        return RaiseError(ftp_error::kNeededSetting, source::kFtp, message::kUsernameNotSet);
    // The host and the login reach the server in command lines; the proxy only the platform.
    for (const std::wstring* setting : {&url_, &username_, &password_}) {
        HRESULT hr = CheckCommandText(*setting, source::kFtp, ftp_failure::kOpenConnection);
        if (FAILED(hr)) return hr;
    }
    if (proxy_) {
        HRESULT hr = CheckPlatformText(*proxy_, source::kFtp, ftp_failure::kOpenConnection);
        if (FAILED(hr)) return hr;
    }

    if (EffectivePort() > kHighestPort) return RaiseError(runtime_error::kOverflow, source::kFtp, message::kOverflow);
    // Over SSH and over TLS the own clients connect by themselves; the platform's session is not needed.
    if (protocol_ == kProtocolSftp) return OpenSftpSession();
    if (security_ != kSecurityNone) return OpenOwnSession();
    std::string proxy = proxy_ ? ToAnsi(*proxy_) : std::string();
    // An internet handle left by an earlier failed opening is closed here.
    internet_.Reset(InternetOpenA(kFtpAgent, kOpenTypePreconfig, proxy_ ? proxy.c_str() : nullptr, nullptr, 0));

    const INTERNET_PORT port = static_cast<INTERNET_PORT>(EffectivePort());

    const std::string server = ToAnsi(url_), user = ToAnsi(username_), password = ToAnsi(password_);
    // The call owns the handle it makes until this member takes it: one that
    // comes after a time-out is closed with the call.
    auto made = std::make_shared<InternetHandle>();
    const HINTERNET internet = internet_.Get();
    const DWORD flags = connectionFlags_;
    if (log_->Enabled())
        log_->Format(LogMark::kNote, "connecting to %s port %u over FTP through the platform's client (%s%s), as %s",
                     server.c_str(), port, flags == kPassiveFlag ? "passive" : "active",
                     proxy_ ? ", through the proxy set" : "", user.c_str());
    HRESULT hr = timeLimit_.CallPlatform(source::kFtp, ftp_failure::kOpenConnection, [=] {
        made->Reset(InternetConnectA(internet, server.c_str(), port, user.c_str(), password.c_str(), kServiceFtp,
                                     flags, 0));
        return static_cast<bool>(*made);
    });
    if (FAILED(hr)) return AfterCall(hr);
    connection_.Reset(made->Release());
    if (log_->Enabled()) {
        log_->Write(LogMark::kNote, "connected and logged in; the server's last reply:");
        log_->WriteLines(LogMark::kReceived, LastServerReplyText());
    }
    session_ = std::make_shared<WinInetSession>(connection_.Get(), log_);
    connectionOpen_ = true;
    sessionProtocol_ = kProtocolFtp;
    return AnnounceUtf8();
}

HRESULT FtpObject::OpenOwnSession() {
    OwnSessionSettings settings;
    HRESULT hr = OwnClientsRoute(settings.proxy);
    if (FAILED(hr)) return hr;
    settings.host = ToAnsi(url_);
    settings.hostName = url_;
    settings.port = static_cast<unsigned short>(EffectivePort());
    settings.user = ToAnsi(username_);
    settings.password = ToAnsi(password_);
    settings.security = security_;
    settings.passive = connectionFlags_ == kPassiveFlag;
    settings.pinned = pinned_;
    settings.waitSeconds = timeLimit_.Seconds();
    settings.log = log_;
    auto session = std::make_shared<OwnFtpSession>(std::move(settings));
    hr = timeLimit_.CallPlatform(source::kFtp, ftp_failure::kOpenConnection, [session] { return session->Open(); });
    if (FAILED(hr)) return AfterCall(hr);
    session_ = session;
    connectionOpen_ = true;
    sessionProtocol_ = kProtocolFtp;
    return AnnounceUtf8();
}

HRESULT FtpObject::OpenSftpSession() {
    // The key's file and passphrase reach the platform and the key reader whole, or not at all.
    for (const std::wstring* setting : {&privateKeyFile_, &privateKeyPassphrase_}) {
        const HRESULT hr = CheckPlatformText(*setting, source::kFtp, ftp_failure::kOpenConnection);
        if (FAILED(hr)) return hr;
    }
    SftpSettings settings;
    const HRESULT routed = OwnClientsRoute(settings.proxy);
    if (FAILED(routed)) return routed;
    settings.host = ToAnsi(url_);
    settings.port = static_cast<unsigned short>(EffectivePort());
    // The login is sent as UTF-8, as SSH has it.
    settings.user = ToCodePage(CP_UTF8, username_);
    settings.password = ToCodePage(CP_UTF8, password_);
    settings.hostKeys = hostKeys_;
    settings.privateKeyFile = privateKeyFile_;
    settings.passphrase = ToCodePage(CP_UTF8, privateKeyPassphrase_);
    settings.waitSeconds = timeLimit_.Seconds();
    settings.log = log_;
    auto session = std::make_shared<SftpSession>(std::move(settings));
    HRESULT hr = timeLimit_.CallPlatform(source::kFtp, ftp_failure::kOpenConnection, [session] { return session->Open(); });
    if (FAILED(hr)) {
        // An opening that runs on after its time ran out stops before it logs in.
        session->Abandon();
        return AfterCall(hr);
    }
    session_ = session;
    connectionOpen_ = true;
    sessionProtocol_ = kProtocolSftp;
    return S_OK;
}

HRESULT FtpObject::AnnounceUtf8() {
    if (names_.CodePage() != CP_UTF8 || !connectionOpen_ || sessionProtocol_ == kProtocolSftp) return S_OK;
    const std::shared_ptr<FtpSession> session = session_;
    const HRESULT hr = timeLimit_.CallPlatform(source::kFtp, ftp_failure::kOpenConnection,
                                               [session] { return session->Command(kUtf8OnCommand); });
    if (SUCCEEDED(hr)) return S_OK;
    // A server that does not answer in time leaves no connection to use.
    if (timeLimit_.TakeExpired() || session_->Lost()) {
        DropConnection();
        return hr;
    }
    SetErrorInfo(0, nullptr);
    return S_OK;
}

HRESULT FtpObject::CloseConnection() {
    if (!connectionOpen_) return S_OK;
    if (!connection_) {
        // The own client's session: it says goodbye and ends TLS, and lets
        // go of its connection whatever the server does.
        const std::shared_ptr<FtpSession> session = session_;
        const HRESULT hr = timeLimit_.CallPlatform(source::kFtp, ftp_failure::kCloseConnection,
                                                   [session] { return session->Close(); });
        if (FAILED(hr)) AfterCall(hr);
        session_ = NoSession();
        connectionOpen_ = false;
        return hr;
    }
    for (InternetHandle* handle : {&connection_, &internet_}) {
        HRESULT hr;
        if (timeLimit_.Active()) {
            // A close may wait on the server too (the platform says goodbye).
            const HINTERNET closing = handle->Release();
            hr = timeLimit_.CallPlatform(source::kFtp, ftp_failure::kCloseConnection,
                                         [closing] { return !closing || InternetCloseHandle(closing); });
        } else {
            hr = CallPlatform(source::kFtp, ftp_failure::kCloseConnection, [&] { return handle->Close(); });
        }
        if (FAILED(hr)) return AfterCall(hr);
    }
    session_ = NoSession();
    connectionOpen_ = false;
    return S_OK;
}

HRESULT FtpObject::AfterCall(HRESULT hr) {
    if (FAILED(hr) && (timeLimit_.TakeExpired() || session_->Lost())) DropConnection();
    return hr;
}

void FtpObject::DropConnection() {
    // The call that ran out of time may still use the handles: it closes
    // them when it ends, and sends nothing more.
    session_->Abandon();
    timeLimit_.LetGo({connection_.Release(), internet_.Release()});
    session_ = NoSession();
    connectionOpen_ = false;
}

HRESULT FtpObject::get_Directory(VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    if (!connectionOpen_) return RaiseError(ftp_error::kNoConnection, source::kFtp, message::kNoConnection);
    const ReplyTextScope replies(Names().CodePage());
    // The text belongs to the call, which may run on after a time-out.
    auto directory = std::make_shared<std::string>();
    const std::shared_ptr<FtpSession> session = session_;
    HRESULT hr = timeLimit_.CallPlatform(source::kFtp, ftp_failure::kRetrieveDirectory,
                                         [=] { return session->CurrentDirectory(*directory); });
    if (FAILED(hr)) return AfterCall(hr);
    return TextToVariant(Names().DecodeName(*directory), result);
}

HRESULT FtpObject::put_Directory(VARIANT* str_directory) {
    if (!connectionOpen_) return RaiseError(ftp_error::kNoConnection, source::kFtp, message::kNoConnection);
    std::string directory;
    const HRESULT hr = RemoteTextFromVariant(Names(), str_directory, source::kFtp, ftp_failure::kSetDirectory, directory);
    if (FAILED(hr)) return hr;
    const ReplyTextScope replies(Names().CodePage());
    const std::shared_ptr<FtpSession> session = session_;
    return AfterCall(timeLimit_.CallPlatform(source::kFtp, ftp_failure::kSetDirectory,
                                             [=] { return session->SetDirectory(directory); }));
}

HRESULT FtpObject::Files(_FTPFiles** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    ComPtr<FileCollection> collection;
    const ReplyTextScope replies(Names().CodePage());
    HRESULT hr = ListDirectory(timeLimit_, Names(), session_, collection);
    if (FAILED(hr)) return AfterCall(hr);
    *result = collection.Detach();
    return S_OK;
}

HRESULT FtpObject::GetDirectoryListing(Directory_Listing_Type* lng_listing_type, BSTR* result) {
    if (!lng_listing_type || !result) return E_POINTER;
    *result = nullptr;
    ComPtr<FileCollection> collection;
    const ReplyTextScope replies(Names().CodePage());
    HRESULT hr = ListDirectory(timeLimit_, Names(), session_, collection);
    if (FAILED(hr)) return AfterCall(hr);
    return collection->Text(*lng_listing_type, result);
}

HRESULT FtpObject::Command(RemoteCommand command, const VARIANT* path, const VARIANT* secondPath) {
    const ReplyTextScope replies(Names().CodePage());
    return AfterCall(RunRemoteCommand(command, timeLimit_, Names(), session_, path, secondPath));
}

HRESULT FtpObject::CreateDirectory(VARIANT* str_directory_name) {
    return Command(RemoteCommand::CreateDirectory, str_directory_name);
}

HRESULT FtpObject::RemoveDirectory(VARIANT* str_directory_name) {
    return Command(RemoteCommand::RemoveDirectory, str_directory_name);
}

HRESULT FtpObject::RenameFile(VARIANT* str_old_filename, VARIANT* str_new_filename) {
    return Command(RemoteCommand::RenameFile, str_old_filename, str_new_filename);
}

HRESULT FtpObject::DeleteFile(VARIANT* str_remote_path) { return Command(RemoteCommand::DeleteFile, str_remote_path); }

HRESULT FtpObject::PutFile(VARIANT* str_local_path, VARIANT* str_remote_path) {
    const ReplyTextScope replies(Names().CodePage());
    return AfterCall(UploadFile(timeLimit_, Names(), session_, str_local_path, str_remote_path,
                                static_cast<DWORD>(transferType_)));
}

HRESULT FtpObject::GetFile(VARIANT* str_remote_path, VARIANT* str_local_path, VARIANT_BOOL* bool_overwrite) {
    if (!bool_overwrite) return E_POINTER;
    const ReplyTextScope replies(Names().CodePage());
    return AfterCall(DownloadFile(timeLimit_, Names(), session_, str_remote_path, str_local_path,
                                  *bool_overwrite, static_cast<DWORD>(transferType_)));
}

HRESULT FtpObject::GetDirectory(VARIANT* str_remote_path, VARIANT* str_local_path, VARIANT_BOOL* bool_overwrite,
                                VARIANT_BOOL* bool_traverse_sub_directories) {
    if (!str_remote_path || !str_local_path || !bool_overwrite || !bool_traverse_sub_directories) return E_POINTER;
    return DownloadTree(*this, treeWalk_, str_remote_path, str_local_path, bool_overwrite,
                        bool_traverse_sub_directories);
}

HRESULT FtpObject::PutDirectory(VARIANT* str_local_path, VARIANT* str_remote_path,
                                VARIANT_BOOL* bool_traverse_sub_directories) {
    if (!str_local_path || !str_remote_path || !bool_traverse_sub_directories) return E_POINTER;
    return UploadTree(*this, treeWalk_, str_local_path, str_remote_path, bool_traverse_sub_directories);
}

HRESULT FtpObject::get_Timeout(LONG* result) {
    if (!result) return E_POINTER;
    *result = timeLimit_.Seconds();
    return S_OK;
}

HRESULT FtpObject::put_Timeout(LONG lng_timeout) {
    const HRESULT hr = timeLimit_.Set(lng_timeout, source::kFtp);
    if (SUCCEEDED(hr)) session_->LimitWaits(timeLimit_.Seconds());
    return hr;
}

HRESULT FtpObject::get_CodePage(LONG* result) {
    if (!result) return E_POINTER;
    *result = static_cast<LONG>(names_.CodePage());
    return S_OK;
}

HRESULT FtpObject::put_CodePage(LONG lng_code_page) {
    if (!CodePageText::Allowed(lng_code_page))
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);
    const bool announce = names_.CodePage() != CP_UTF8;
    names_ = CodePageText(static_cast<UINT>(lng_code_page));
    return announce ? AnnounceUtf8() : S_OK;
}

HRESULT FtpObject::get_Security(LONG* result) {
    if (!result) return E_POINTER;
    *result = security_;
    return S_OK;
}

HRESULT FtpObject::put_Security(LONG lng_security) {
    if (lng_security < kSecurityNone || lng_security > kSecurityImplicit)
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);
    security_ = lng_security;
    return S_OK;
}

HRESULT FtpObject::get_CertificateFingerprint(BSTR* result) { return TextOut(fingerprintText_, result); }

HRESULT FtpObject::put_CertificateFingerprint(BSTR str_fingerprint) {
    const std::wstring text = TextIn(str_fingerprint);
    std::string pinned;
    if (!text.empty() && !ParseFingerprint(text, pinned))
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);
    fingerprintText_ = text;
    pinned_ = std::move(pinned);
    return S_OK;
}

HRESULT FtpObject::get_Protocol(LONG* result) {
    if (!result) return E_POINTER;
    *result = protocol_;
    return S_OK;
}

HRESULT FtpObject::put_Protocol(LONG lng_protocol) {
    if (lng_protocol != kProtocolFtp && lng_protocol != kProtocolSftp)
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);
    protocol_ = lng_protocol;
    return S_OK;
}

HRESULT FtpObject::get_HostKeyFingerprint(BSTR* result) { return TextOut(hostKeyText_, result); }

HRESULT FtpObject::put_HostKeyFingerprint(BSTR str_fingerprint) {
    const std::wstring text = TextIn(str_fingerprint);
    std::vector<HostKeyPin> keys;
    const PinProblem problem = ParseHostKeyFingerprints(text, keys);
    if (problem == PinProblem::kMd5)
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp,
                          std::wstring(message::kInvalidProcedureCall) + L": an MD5 fingerprint cannot be pinned; "
                          L"give the key's SHA-256 fingerprint (\"SHA256:...\", as ssh-keygen -l prints it).");
    if (problem != PinProblem::kNone)
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);
    hostKeyText_ = text;
    hostKeys_ = std::move(keys);
    return S_OK;
}

HRESULT FtpObject::get_PrivateKeyFile(BSTR* result) { return TextOut(privateKeyFile_, result); }
HRESULT FtpObject::put_PrivateKeyFile(BSTR str_path) {
    privateKeyFile_ = TextIn(str_path);
    return S_OK;
}

HRESULT FtpObject::get_PrivateKeyPassphrase(BSTR* result) { return TextOut(privateKeyPassphrase_, result); }
HRESULT FtpObject::put_PrivateKeyPassphrase(BSTR str_passphrase) {
    privateKeyPassphrase_ = TextIn(str_passphrase);
    return S_OK;
}

HRESULT FtpObject::Ask(const PlatformFailure& failure, std::function<bool(FtpSession&)> ask) {
    const ReplyTextScope replies(Names().CodePage());
    const std::shared_ptr<FtpSession> session = session_;
    return AfterCall(timeLimit_.CallPlatform(source::kFtp, failure, [session, ask] { return ask(*session); }));
}

HRESULT FtpObject::FileSize(VARIANT str_remote_path, double* result) {
    if (!result) return E_POINTER;
    *result = 0;
    std::string remote;
    HRESULT hr = RemoteTextFromVariant(Names(), &str_remote_path, source::kFtp, ftp_failure::kFileSize, remote);
    // The answer belongs to the call, which may run on after a time-out.
    auto size = std::make_shared<unsigned long long>(0);
    if (SUCCEEDED(hr))
        hr = Ask(ftp_failure::kFileSize, [=](FtpSession& session) { return session.FileSize(remote, *size); });
    if (SUCCEEDED(hr)) *result = static_cast<double>(*size);
    return hr;
}

HRESULT FtpObject::FileTime(VARIANT str_remote_path, DATE* result) {
    if (!result) return E_POINTER;
    *result = 0;
    std::string remote;
    HRESULT hr = RemoteTextFromVariant(Names(), &str_remote_path, source::kFtp, ftp_failure::kFileTime, remote);
    auto modified = std::make_shared<FILETIME>();
    if (SUCCEEDED(hr))
        hr = Ask(ftp_failure::kFileTime, [=](FtpSession& session) { return session.FileTime(remote, *modified); });
    if (FAILED(hr)) return hr;
    if (!FileTimeToLocalDate(*modified, *result))
        return RaisePlatformError(ftp_error::kFileTime, source::kFtp, message::kFileTime, ERROR_INVALID_DATA,
                                  operation::kFileTime);
    return S_OK;
}

HRESULT FtpObject::FileExists(VARIANT str_remote_path, VARIANT_BOOL* result) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    std::string remote;
    HRESULT hr = RemoteTextFromVariant(Names(), &str_remote_path, source::kFtp, ftp_failure::kFileExists, remote);
    auto exists = std::make_shared<bool>(false);
    if (SUCCEEDED(hr))
        hr = Ask(ftp_failure::kFileExists, [=](FtpSession& session) { return session.Exists(remote, *exists); });
    if (SUCCEEDED(hr)) *result = *exists ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

HRESULT FtpObject::TextCodePage(const VARIANT& value, std::optional<UINT>& codePage) const {
    codePage.reset();
    std::optional<LONG> number;
    const HRESULT hr = OptionalNumber(&value, source::kFtp, number);
    if (FAILED(hr) || !number) return hr;
    if (!CodePageText::Allowed(*number))
        return RaiseError(runtime_error::kInvalidProcedureCall, source::kFtp, message::kInvalidProcedureCall);
    codePage = static_cast<UINT>(*number);
    return S_OK;
}

HRESULT FtpObject::PutText(VARIANT str_text, VARIANT str_remote_path, VARIANT lng_code_page) {
    const PlatformFailure& failure = ftp_failure::kPutText;
    std::wstring text;
    std::string remote, bytes;
    std::optional<UINT> codePage;
    HRESULT hr = VariantToText(&str_text, source::kFtp, text);
    if (SUCCEEDED(hr)) hr = RemoteTextFromVariant(Names(), &str_remote_path, source::kFtp, failure, remote);
    if (SUCCEEDED(hr)) hr = TextCodePage(lng_code_page, codePage);
    if (SUCCEEDED(hr)) hr = CallPlatform(source::kFtp, failure, [&] { return EncodeFileText(text, codePage, bytes); });
    if (FAILED(hr)) return hr;
    const ReplyTextScope replies(Names().CodePage());
    return AfterCall(UploadBytes(timeLimit_, session_, std::move(bytes), remote));
}

HRESULT FtpObject::GetText(VARIANT str_remote_path, VARIANT lng_code_page, BSTR* result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    const PlatformFailure& failure = ftp_failure::kGetText;
    std::string remote, bytes;
    std::optional<UINT> codePage;
    HRESULT hr = RemoteTextFromVariant(Names(), &str_remote_path, source::kFtp, failure, remote);
    if (SUCCEEDED(hr)) hr = TextCodePage(lng_code_page, codePage);
    if (FAILED(hr)) return hr;
    {
        const ReplyTextScope replies(Names().CodePage());
        hr = AfterCall(DownloadBytes(timeLimit_, session_, remote, bytes));
    }
    std::wstring text;
    if (SUCCEEDED(hr)) hr = CallPlatform(source::kFtp, failure, [&] { return DecodeFileText(bytes, codePage, text); });
    if (FAILED(hr)) return hr;
    return TextOut(text, result);
}

HRESULT FtpObject::ResumeGetFile(VARIANT str_remote_path, VARIANT str_local_path) {
    const PlatformFailure& failure = ftp_failure::kResumeGetFile;
    std::wstring local;
    std::string remote;
    HRESULT hr = RemoteTextFromVariant(Names(), &str_remote_path, source::kFtp, failure, remote);
    if (SUCCEEDED(hr)) hr = VariantToText(&str_local_path, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, failure);
    if (FAILED(hr)) return hr;
    const ReplyTextScope replies(Names().CodePage());
    return AfterCall(ResumeDownload(timeLimit_, session_, remote, local));
}

HRESULT FtpObject::ResumePutFile(VARIANT str_local_path, VARIANT str_remote_path) {
    const PlatformFailure& failure = ftp_failure::kResumePutFile;
    std::wstring local;
    std::string remote;
    HRESULT hr = VariantToText(&str_local_path, source::kFtp, local);
    if (SUCCEEDED(hr)) hr = CheckPlatformText(local, source::kFtp, failure);
    if (SUCCEEDED(hr)) hr = RemoteTextFromVariant(Names(), &str_remote_path, source::kFtp, failure, remote);
    if (FAILED(hr)) return hr;
    const ReplyTextScope replies(Names().CodePage());
    return AfterCall(ResumeUpload(timeLimit_, session_, local, remote));
}

HRESULT FtpObject::ListEntries(std::vector<ListedEntry>& entries) {
    return AfterCall(ListDirectoryEntries(timeLimit_, session_, entries));
}

HRESULT FtpObject::Upload(const std::wstring& local, const std::wstring& remote) {
    Variant localPath, remotePath;
    HRESULT hr = TextToVariant(local, localPath.Put());
    if (SUCCEEDED(hr)) hr = TextToVariant(remote, remotePath.Put());
    if (FAILED(hr)) return hr;
    return AfterCall(UploadFile(timeLimit_, Names(), session_, localPath.Get(), remotePath.Get(),
                                static_cast<DWORD>(kTransferBinary)));
}

HRESULT FtpObject::Download(const std::wstring& remote, const std::wstring& local, bool overwrite,
                            std::optional<unsigned long long> wholeSize) {
    Variant remotePath, localPath;
    HRESULT hr = TextToVariant(remote, remotePath.Put());
    if (SUCCEEDED(hr)) hr = TextToVariant(local, localPath.Put());
    if (FAILED(hr)) return hr;
    return AfterCall(DownloadFile(timeLimit_, Names(), session_, remotePath.Get(), localPath.Get(),
                                  overwrite ? VARIANT_TRUE : VARIANT_FALSE, static_cast<DWORD>(kTransferBinary),
                                  wholeSize));
}

HRESULT FtpObject::Exchange(const ExchangeArguments& arguments, LONG* result) {
    if (!result) return E_POINTER;
    *result = 0;
    const ReplyTextScope replies(Names().CodePage());
    const HRESULT hr = RunExchange(*this, arguments, transferredFiles_);
    *result = static_cast<LONG>(transferredFiles_.size());
    return hr;
}

HRESULT FtpObject::PutFiles(VARIANT str_local_mask, VARIANT str_remote_folder, VARIANT lng_options, LONG* result) {
    return Exchange({ExchangeMember::kPutFiles, &str_local_mask, &str_remote_folder, 0, &lng_options, nullptr}, result);
}

HRESULT FtpObject::GetFiles(VARIANT str_remote_mask, VARIANT str_local_folder, VARIANT lng_options, LONG* result) {
    return Exchange({ExchangeMember::kGetFiles, &str_local_folder, &str_remote_mask, 0, &lng_options, nullptr}, result);
}

HRESULT FtpObject::Synchronize(VARIANT str_local_folder, VARIANT str_remote_folder, LONG lng_direction,
                               VARIANT lng_options, VARIANT str_mask, LONG* result) {
    return Exchange({ExchangeMember::kSynchronize, &str_local_folder, &str_remote_folder, lng_direction, &lng_options,
                     &str_mask},
                    result);
}

HRESULT FtpObject::get_TransferredFiles(VARIANT* result) { return TextsToArray(transferredFiles_, result); }

}  // namespace quorlin
