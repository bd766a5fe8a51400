// Inputs that once reached the platform cut short or came back changed: texts
// holding U+0000, by-reference arguments the member never assigned, lookup
// numbers beyond any position, interface identifiers in IDispatch.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const std::wstring kNul(1, L'\0');

// What would end a command line early: each is refused in any text that reaches a server's command line.
const std::wstring kLineEnds[] = {kNul, L"\r\n", L"\n", L"\r"};

// A text with an embedded NUL (or `cut`), as a variant the caller owns.
class NulText {
public:
    explicit NulText(const std::wstring& before, const std::wstring& after = L"rest", const std::wstring& cut = kNul) {
        const std::wstring text = before + cut + after;
        VariantInit(&argument_);
        V_VT(&argument_) = VT_BSTR;
        V_BSTR(&argument_) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    NulText(const NulText&) = delete;
    ~NulText() { VariantClear(&argument_); }
    VARIANT* operator&() { return &argument_; }

private:
    VARIANT argument_;
};

void ExpectInvalidParameter(HRESULT code, HRESULT got, const std::wstring& message, const std::wstring& operation) {
    ExpectRaised(code, got, message, operation + L" error code: 87 ");
}

class NulTexts : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<FtpServer> servers = FtpServers();
        if (servers.empty()) GTEST_SKIP() << "no FTP server";
        server_ = servers[0];
        HRESULT opened = E_FAIL;
        ftp_ = ConnectedFtp(server_, true, FtpPassword(), opened);
        ASSERT_EQ(S_OK, opened);
        home_ = FtpHomeWindows() + L"\\nul-texts";
        ::CreateDirectoryW(home_.c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(home_ + L"\\a", "a"));
        TextArgument folder(L"nul-texts");
        ASSERT_EQ(S_OK, ftp_->put_Directory(&folder));
    }

    FtpServer server_;
    ComPtr<_FTP> ftp_;
    std::wstring home_;
};

// The part after a line end is written as the second command it would be.
TEST_F(NulTexts, EveryCommandRaisesItsOwnErrorAndTouchesNothing) {
    for (const std::wstring& cut : kLineEnds) {
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040209), ftp_->DeleteFileW(&NulText(L"x", L"DELE a", cut)),
                               L"Error deleting file from the remote server.", L"DeleteFile");
        EXPECT_TRUE(FileExists(home_ + L"\\a")) << "\"a\" was not deleted";
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040205), ftp_->CreateDirectoryW(&NulText(L"x", L"MKD made", cut)),
                               L"Error creating directory.", L"CreateDirectory");
        EXPECT_FALSE(FileExists(home_ + L"\\made"));
        ExpectInvalidParameter(static_cast<HRESULT>(0x8004020C), ftp_->RemoveDirectoryW(&NulText(L"x", L"rest", cut)),
                               L"Error removing directory.", L"RemoveDirectory");
        TextArgument a(L"a");
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040206), ftp_->RenameFile(&a, &NulText(L"b", L"rest", cut)),
                               L"Error renaming file/directory.", L"RenameFile");
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040206), ftp_->RenameFile(&NulText(L"x", L"DELE a", cut), &a),
                               L"Error renaming file/directory.", L"RenameFile");
        EXPECT_TRUE(FileExists(home_ + L"\\a"));
        EXPECT_FALSE(FileExists(home_ + L"\\b"));
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040203), ftp_->put_Directory(&NulText(L"/", L"MKD made", cut)),
                               L"Error setting directory.", L"Directory");
        EXPECT_FALSE(FileExists(home_ + L"\\made"));
    }
    // A code page may write a character as a line end: EBCDIC's U+008E is LF.
    ComPtr<_FTP4> ftp4;
    ASSERT_EQ(S_OK, ftp_.As(&ftp4));
    for (LONG codePage : {37, 500}) {
        ASSERT_EQ(S_OK, ftp4->put_CodePage(codePage));
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040209), ftp_->DeleteFileW(&NulText(L"x", L"DELE a", L"\x8E")),
                               L"Error deleting file from the remote server.", L"DeleteFile");
        VARIANT_BOOL exists = VARIANT_FALSE;
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040211), ftp4->FileExists(*&NulText(L"x", L"DELE a", L"\x8E"), &exists),
                               L"Error reading remote file information.", L"FileExists");
        EXPECT_TRUE(FileExists(home_ + L"\\a")) << codePage;
    }
}

TEST_F(NulTexts, TransfersAndTreesNeitherReadNorWriteATruncatedPath) {
    const std::wstring local = Scratch() + L"\\nul-local";
    ASSERT_TRUE(WriteBytes(local, "local"));
    TextArgument remote(L"a");
    ExpectInvalidParameter(static_cast<HRESULT>(0x80040207), ftp_->PutFile(&NulText(local, L".x"), &remote),
                           L"Error putting file to remote server.", L"PutFile");
    EXPECT_EQ("a", ReadBytes(home_ + L"\\a").value_or(""));
    TextArgument localPath(local);
    ExpectInvalidParameter(static_cast<HRESULT>(0x80040207), ftp_->PutFile(&localPath, &NulText(L"a")),
                           L"Error putting file to remote server.", L"PutFile");
    EXPECT_EQ("a", ReadBytes(home_ + L"\\a").value_or(""));
    for (VARIANT_BOOL overwrite : {VARIANT_TRUE, VARIANT_FALSE}) {
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040208), ftp_->GetFile(&remote, &NulText(local), &overwrite),
                               L"Error getting file from the remote server.", L"GetFile");
        EXPECT_EQ("local", ReadBytes(local).value_or("")) << "the truncated path was not replaced";
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040208), ftp_->GetFile(&NulText(L"a"), &localPath, &overwrite),
                               L"Error getting file from the remote server.", L"GetFile");
    }
    VARIANT_BOOL yes = VARIANT_TRUE;
    TextArgument here(L".");
    const std::wstring folder = Scratch() + L"\\nul-tree";
    ExpectInvalidParameter(static_cast<HRESULT>(0x80040208), ftp_->GetDirectory(&here, &NulText(folder), &yes, &yes),
                           L"Error getting file from the remote server.", L"GetFile");
    EXPECT_FALSE(FileExists(folder)) << "no folder of the truncated name";
    EXPECT_EQ(static_cast<HRESULT>(0x8004020E), ftp_->PutDirectory(&NulText(Scratch()), &here, &yes));
    RaisedError error = TakeError();
    EXPECT_NE(std::wstring::npos, error.description.find(L"PutDirectory error code: 87 "));
}

TEST(NulSettings, StoredAsGivenButNeverHandedOverCutShort) {
    const std::vector<FtpServer> servers = FtpServers();
    if (servers.empty()) GTEST_SKIP() << "no FTP server";
    // The host and the login refuse line ends as well: they reach the server's command lines.
    for (int setting = 0; setting < 16; ++setting) {
        const std::wstring& cut = kLineEnds[setting / 4];
        if (setting % 4 == 3 && cut != kNul) continue;
        ComPtr<_FTP> ftp = NewObject<_FTP>(CLSID_FTP);
        TextArgument url(L"127.0.0.1"), user(FtpUser()), password(FtpPassword()), proxy(L"127.0.0.1:1");
        ftp->put_URL(setting % 4 == 0 ? &NulText(L"127.0.0.1", L"other-host", cut) : &url);
        ftp->put_Username(setting % 4 == 1 ? &NulText(FtpUser(), L"DELE a", cut) : &user);
        ftp->put_Password(setting % 4 == 2 ? &NulText(FtpPassword(), L"DELE a", cut) : &password);
        if (setting == 3) ftp->put_Proxy(&NulText(L"127.0.0.1:1"));
        LONG port = servers[0].port;
        ftp->put_Port(&port);
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040202), ftp->OpenConnection(), L"Error opening FTP connection.",
                               L"OpenConnection");
        EXPECT_EQ(0, TcpConnections(servers[0].port, MIB_TCP_STATE_ESTAB, true)) << "nothing reached the server";
    }
    // The key's file and passphrase go to the platform and the key reader, whole or not at all.
    for (auto put : {&_FTP4::put_PrivateKeyFile, &_FTP4::put_PrivateKeyPassphrase}) {
        ComPtr<_FTP4> sftp = NewObject<_FTP4>(CLSID_FTP);
        TextArgument url(L"127.0.0.1"), user(FtpUser());
        sftp->put_URL(&url);
        sftp->put_Username(&user);
        sftp->put_Protocol(1);
        (sftp.Get()->*put)(V_BSTR(&NulText(L"key", L"junk")));
        ExpectInvalidParameter(static_cast<HRESULT>(0x80040202), sftp->OpenConnection(), L"Error opening FTP connection.",
                               L"OpenConnection");
    }
    ComPtr<_FTP> ftp = NewObject<_FTP>(CLSID_FTP);
    ftp->put_URL(&NulText(L"127.0.0.1", L"other-host"));
    VARIANT stored;
    VariantInit(&stored);
    ASSERT_EQ(S_OK, ftp->get_URL(&stored));
    EXPECT_EQ(L"127.0.0.1" + kNul + L"other-host", std::wstring(V_BSTR(&stored), SysStringLen(V_BSTR(&stored))))
        << "stored as given";
    VariantClear(&stored);

    ComPtr<_HTTP> http = NewObject<_HTTP>(CLSID_HTTP);
    const std::wstring url = L"127.0.0.1:" + EnvText("QUORLIN_HTTP_PORT") + kNul + L"other-host/";
    BSTR address = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    ASSERT_EQ(S_OK, http->put_URL(&address));
    SysFreeString(address);
    BSTR body = nullptr;
    EXPECT_EQ(static_cast<HRESULT>(0x800403E8), http->GetString(&body));
    EXPECT_EQ(nullptr, body);
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.HTTP", error.source);
    EXPECT_EQ(0u, error.description.rfind(L"Error opening connection to remote server.OpenConnection error code: 87 ", 0));
}

// A late-bound call whose by-reference argument is the caller's variant.
HRESULT CallWithReference(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> leading,
                          VARIANT& variable) {
    VARIANT reference;
    VariantInit(&reference);
    V_VT(&reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&reference) = &variable;
    leading.push_back(reference);
    LateCall call;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return E_FAIL;
    std::vector<VARIANT> reversed(leading.rbegin(), leading.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.data(), (flags & DISPATCH_PROPERTYPUT) ? &putId : nullptr,
                         static_cast<UINT>(reversed.size()), (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
    UINT argumentError = 0;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      (flags & DISPATCH_PROPERTYPUT) ? nullptr : &call.result, &call.exception,
                                      &argumentError);
    for (size_t i = 0; i + 1 < leading.size(); ++i) VariantClear(&leading[i]);
    return hr;
}

TEST(ByReference, ArgumentsTheMemberLeftAloneKeepTheirTypeAndValue) {
    ComPtr<IDispatch> ftp = CreateByProgId(L"quorlin.FTP");
    ASSERT_TRUE(ftp);
    // A failing GetFile (never connected) with an integer overwrite flag.
    VARIANT overwrite;
    VariantInit(&overwrite);
    V_VT(&overwrite) = VT_I2;
    V_I2(&overwrite) = 1;
    EXPECT_EQ(DISP_E_EXCEPTION, CallWithReference(ftp.Get(), L"GetFile", DISPATCH_METHOD,
                                                  {Text(L"remote"), Text(L"local")}, overwrite));
    EXPECT_EQ(VT_I2, V_VT(&overwrite));
    EXPECT_EQ(1, V_I2(&overwrite));
    // An integer handed to an enumeration, and a text handed to a number.
    VARIANT type;
    VariantInit(&type);
    V_VT(&type) = VT_I2;
    V_I2(&type) = 2;
    EXPECT_EQ(S_OK, CallWithReference(ftp.Get(), L"TransferType", DISPATCH_PROPERTYPUT, {}, type));
    EXPECT_EQ(VT_I2, V_VT(&type));
    VARIANT port = Text(L"2121");
    EXPECT_EQ(S_OK, CallWithReference(ftp.Get(), L"Port", DISPATCH_PROPERTYPUT, {}, port));
    EXPECT_EQ(VT_BSTR, V_VT(&port));
    EXPECT_EQ(L"2121", ReadText(port));
    VariantClear(&port);

    // What the member does change still goes back: the URL writer's trimming.
    ComPtr<IDispatch> http = CreateByProgId(L"quorlin.HTTP");
    VARIANT url = Text(L"  http://host.invalid/page  ");
    EXPECT_EQ(S_OK, CallWithReference(http.Get(), L"URL", DISPATCH_PROPERTYPUT, {}, url));
    EXPECT_EQ(VT_BSTR, V_VT(&url));
    EXPECT_EQ(L"host.invalid/page", ReadText(url));
    VariantClear(&url);
}

TEST(HostileLookups, NumbersBeyondAnyPositionAreOutOfRange) {
    ComPtr<_FTPFiles> files = NewObject<_FTPFiles>(CLSID_FTPFiles);
    ASSERT_TRUE(files);
    for (double number : {1e10, -1e10, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        VARIANT index;
        VariantInit(&index);
        V_VT(&index) = VT_R8;
        V_R8(&index) = number;
        ComPtr<_FTPFile> entry;
        EXPECT_EQ(static_cast<HRESULT>(0x800A0009), files->Item(index, &entry)) << number;
        EXPECT_EQ(L"Quorlin.FTPFiles", TakeError().source);
    }
}

TEST(HostileLookups, IDispatchRefusesAnInterfaceIdentifier) {
    ComPtr<IDispatch> ftp = CreateByProgId(L"quorlin.FTP");
    ASSERT_TRUE(ftp);
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"Version")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, ftp->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id));
    ASSERT_EQ(S_OK, ftp->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, ftp->Invoke(id, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, &result,
                                                   nullptr, nullptr));
    EXPECT_EQ(S_OK, ftp->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));
    VariantClear(&result);
}

TEST(HostileLookups, AReplacingDownloadWithoutAConnectionFailsOnTheHandle) {
    ComPtr<_FTP> ftp = NewObject<_FTP>(CLSID_FTP);
    TextArgument remote(L"remote"), local(Scratch() + L"\\no-such-folder\\file");
    VARIANT_BOOL overwrite = VARIANT_TRUE;
    ExpectRaised(static_cast<HRESULT>(0x80040208), ftp->GetFile(&remote, &local, &overwrite),
                 L"Error getting file from the remote server.", L"GetFile error code: 6 ");
}

}  // namespace
