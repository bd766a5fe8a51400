// The FTP connection object: its settings, the page hook, the opening and
// closing of its session (on the platform's FTP client, or on the
// component's own for TLS), and the operations on that session.
#pragma once

#include "../text/CodePageText.h"
#include "../com/DispatchObject.h"
#include "../com/Interfaces.h"
#include "../platform/Constants.h"
#include "../work/TimeLimit.h"
#include "DirectoryTree.h"
#include "../session/FtpSession.h"
#include "../ssh/HostKeyFingerprint.h"
#include "../exchange/ExchangeCall.h"
#include "RemoteCommand.h"
#include "../log/SessionLog.h"
#include "../proxy/ProxyRoute.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorlin {

class FtpObject : public DispatchObject<_FTP6, _FTP5, _FTP4, _FTP3, _FTP2, _FTP>, private RemoteAccess {
public:
    FtpObject();
    ~FtpObject() override;

    static const PlatformFailure* OutOfMemoryRow(std::wstring_view member) noexcept;

    HRESULT STDMETHODCALLTYPE OnStartPage(IScriptingContext** FTPScriptingContext, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Version(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE put_URL(VARIANT* str_URL) override;
    HRESULT STDMETHODCALLTYPE get_URL(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE put_Username(VARIANT* str_username) override;
    HRESULT STDMETHODCALLTYPE get_Username(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE put_Password(VARIANT* str_password) override;
    HRESULT STDMETHODCALLTYPE get_Password(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE put_Port(LONG* lng_port) override;
    HRESULT STDMETHODCALLTYPE get_Port(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Proxy(VARIANT* str_proxy) override;
    HRESULT STDMETHODCALLTYPE get_Proxy(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE put_Passive(VARIANT_BOOL* bool_passive) override;
    HRESULT STDMETHODCALLTYPE get_Passive(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_TransferType(Ftp_Transfer_Type* FTT_Transfer_Type) override;
    HRESULT STDMETHODCALLTYPE OpenConnection() override;
    HRESULT STDMETHODCALLTYPE CloseConnection() override;
    HRESULT STDMETHODCALLTYPE get_Directory(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE put_Directory(VARIANT* str_directory) override;
    HRESULT STDMETHODCALLTYPE Files(_FTPFiles** result) override;
    HRESULT STDMETHODCALLTYPE GetDirectoryListing(Directory_Listing_Type* lng_listing_type, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CreateDirectory(VARIANT* str_directory_name) override;
    HRESULT STDMETHODCALLTYPE RemoveDirectory(VARIANT* str_directory_name) override;
    HRESULT STDMETHODCALLTYPE RenameFile(VARIANT* str_old_filename, VARIANT* str_new_filename) override;
    HRESULT STDMETHODCALLTYPE PutFile(VARIANT* str_local_path, VARIANT* str_remote_path) override;
    HRESULT STDMETHODCALLTYPE GetDirectory(VARIANT* str_remote_path, VARIANT* str_local_path,
                                           VARIANT_BOOL* bool_overwrite,
                                           VARIANT_BOOL* bool_traverse_sub_directories) override;
    HRESULT STDMETHODCALLTYPE PutDirectory(VARIANT* str_local_path, VARIANT* str_remote_path,
                                           VARIANT_BOOL* bool_traverse_sub_directories) override;
    HRESULT STDMETHODCALLTYPE GetFile(VARIANT* str_remote_path, VARIANT* str_local_path,
                                      VARIANT_BOOL* bool_overwrite) override;
    HRESULT STDMETHODCALLTYPE DeleteFile(VARIANT* str_remote_path) override;
    HRESULT STDMETHODCALLTYPE get_Timeout(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Timeout(LONG lng_timeout) override;
    HRESULT STDMETHODCALLTYPE get_CodePage(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_CodePage(LONG lng_code_page) override;
    HRESULT STDMETHODCALLTYPE get_Security(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Security(LONG lng_security) override;
    HRESULT STDMETHODCALLTYPE get_CertificateFingerprint(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_CertificateFingerprint(BSTR str_fingerprint) override;
    HRESULT STDMETHODCALLTYPE get_Protocol(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Protocol(LONG lng_protocol) override;
    HRESULT STDMETHODCALLTYPE get_HostKeyFingerprint(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_HostKeyFingerprint(BSTR str_fingerprint) override;
    HRESULT STDMETHODCALLTYPE get_PrivateKeyFile(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_PrivateKeyFile(BSTR str_path) override;
    HRESULT STDMETHODCALLTYPE get_PrivateKeyPassphrase(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_PrivateKeyPassphrase(BSTR str_passphrase) override;
    HRESULT STDMETHODCALLTYPE FileSize(VARIANT str_remote_path, double* result) override;
    HRESULT STDMETHODCALLTYPE FileTime(VARIANT str_remote_path, DATE* result) override;
    HRESULT STDMETHODCALLTYPE FileExists(VARIANT str_remote_path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE PutText(VARIANT str_text, VARIANT str_remote_path, VARIANT lng_code_page) override;
    HRESULT STDMETHODCALLTYPE GetText(VARIANT str_remote_path, VARIANT lng_code_page, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ResumeGetFile(VARIANT str_remote_path, VARIANT str_local_path) override;
    HRESULT STDMETHODCALLTYPE ResumePutFile(VARIANT str_local_path, VARIANT str_remote_path) override;
    HRESULT STDMETHODCALLTYPE PutFiles(VARIANT str_local_mask, VARIANT str_remote_folder, VARIANT lng_options,
                                       LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetFiles(VARIANT str_remote_mask, VARIANT str_local_folder, VARIANT lng_options,
                                       LONG* result) override;
    HRESULT STDMETHODCALLTYPE Synchronize(VARIANT str_local_folder, VARIANT str_remote_folder, LONG lng_direction,
                                          VARIANT lng_options, VARIANT str_mask, LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_TransferredFiles(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_LogFile(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_LogFile(BSTR str_path) override;
    HRESULT STDMETHODCALLTYPE get_ProxyUsername(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_ProxyUsername(BSTR str_username) override;
    HRESULT STDMETHODCALLTYPE get_ProxyPassword(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_ProxyPassword(BSTR str_password) override;

    // With a log, the members that reach the server note their start, and
    // their end with the time taken and the error raised.
    template <class Body>
    HRESULT RunMember(std::wstring_view member, Body& body) const {
        if (!log_->Enabled() || !OutOfMemoryRow(member)) return body();
        const LARGE_INTEGER start = MemberBegins(member);
        const HRESULT hr = body();
        MemberEnded(member, start, hr);
        return hr;
    }

private:
    LARGE_INTEGER MemberBegins(std::wstring_view member) const;
    void MemberEnded(std::wstring_view member, LARGE_INTEGER start, HRESULT hr) const;
    HRESULT StoreText(const VARIANT* value, std::wstring& field);
    // After a member failed: a call that ran out of time leaves the
    // connection closed, its handles let go of on a thread of their own.
    HRESULT AfterCall(HRESULT hr);
    void DropConnection();
    // Asks the server to take and send names as UTF-8 when the names' code
    // page is UTF-8. A refusal changes nothing: many servers always do.
    HRESULT AnnounceUtf8();
    // Opens the session through the component's own client, over TLS.
    HRESULT OpenOwnSession();
    // Opens an SFTP session over SSH.
    HRESULT OpenSftpSession();
    // The own clients' way to the server, from Proxy and its login.
    HRESULT OwnClientsRoute(ProxyRoute& route) const;
    // The port to connect to: the one the script set, or the protocol's own.
    LONG EffectivePort() const;
    // The code page of remote names on the open session: over SFTP, where
    // names are UTF-8, code page 0 means UTF-8.
    CodePageText Names() const override;
    HRESULT Command(RemoteCommand command, const VARIANT* path, const VARIANT* secondPath = nullptr);
    // Runs `ask` on the session within the time limit; `failure` is raised
    // when it fails.
    HRESULT Ask(const PlatformFailure& failure, std::function<bool(FtpSession&)> ask) override;
    // What the batch members do on the server, as the single-file members do it.
    HRESULT ListEntries(std::vector<ListedEntry>& entries) override;
    HRESULT Upload(const std::wstring& local, const std::wstring& remote) override;
    HRESULT Download(const std::wstring& remote, const std::wstring& local, bool overwrite,
                     std::optional<unsigned long long> wholeSize) override;
    HRESULT Exchange(const ExchangeArguments& arguments, LONG* result);
    // The optional code page of a text member: none when the argument is
    // missing or empty.
    HRESULT TextCodePage(const VARIANT& value, std::optional<UINT>& codePage) const;

    ComPtr<IDispatch> pageResponse_;
    ComPtr<IDispatch> pageServer_;
    std::wstring url_;
    std::wstring username_;
    std::wstring password_;
    LONG port_ = 0;
    bool portSet_ = false;  // the script chose the port
    std::optional<std::wstring> proxy_;
    std::wstring proxyUsername_;
    std::wstring proxyPassword_;
    DWORD connectionFlags_ = 0;
    LONG transferType_ = 0;
    bool connectionOpen_ = false;
    InternetHandle internet_;
    InternetHandle connection_;
    // The open connection's operations; a stand-in that fails them as the
    // platform does while none is open.
    std::shared_ptr<FtpSession> session_;
    LONG security_ = 0;
    std::wstring fingerprintText_;
    std::string pinned_;  // the fingerprint's bytes
    LONG protocol_ = kProtocolFtp;
    LONG sessionProtocol_ = kProtocolFtp;  // the open session's
    std::wstring hostKeyText_;
    std::vector<HostKeyPin> hostKeys_;  // the pinned host keys
    std::wstring privateKeyFile_;
    std::wstring privateKeyPassphrase_;
    TreeWalk treeWalk_;
    std::vector<std::wstring> transferredFiles_;  // what the last batch sent
    TimeLimit timeLimit_;
    CodePageText names_;  // the code page of remote names
    // Shared with the sessions, which may write to it from a worker thread.
    std::shared_ptr<SessionLog> log_;
};

}  // namespace quorlin
