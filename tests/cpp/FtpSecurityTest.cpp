// FTP over TLS through the component's own client: its two settings, the
// server certificates it refuses and why, and what it lists beside the
// platform's client. The members themselves run over TLS in the script suites.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>

namespace {

constexpr HRESULT kInvalidProcedureCall = static_cast<HRESULT>(0x800A0005);
constexpr HRESULT kOpenFailed = static_cast<HRESULT>(0x80040202);

int FtpsPort(const char* name) { return std::stoi(L"0" + EnvText(name)); }

ComPtr<_FTP3> SecureFtp(int port, LONG security = 1, const std::wstring& pinned = L"") {
    ComPtr<_FTP3> ftp = NewObject<_FTP3>(CLSID_FTP);
    TextArgument url(L"127.0.0.1"), user(FtpUser()), password(FtpPassword());
    LONG number = port;
    VARIANT_BOOL passive = VARIANT_TRUE;
    ftp->put_URL(&url);
    ftp->put_Username(&user);
    ftp->put_Password(&password);
    ftp->put_Port(&number);
    ftp->put_Passive(&passive);
    ftp->put_Timeout(10);
    EXPECT_EQ(S_OK, ftp->put_Security(security));
    BSTR text = SysAllocString(pinned.c_str());
    EXPECT_EQ(S_OK, ftp->put_CertificateFingerprint(text));
    SysFreeString(text);
    return ftp;
}

class FtpSecurity : public testing::Test {
protected:
    void SetUp() override {
        if (EnvText("QUORLIN_FTPS_SERVERS").empty()) GTEST_SKIP() << "no FTPS servers";
    }
};

TEST_F(FtpSecurity, SettingsKeepTheirValueAgainstBadOnes) {
    ComPtr<_FTP3> ftp = NewObject<_FTP3>(CLSID_FTP);
    LONG security = -1;
    EXPECT_EQ(S_OK, ftp->get_Security(&security));
    EXPECT_EQ(0, security) << "plain FTP by default";
    EXPECT_EQ(S_OK, ftp->put_Security(2));
    for (LONG bad : {3, -1, 0x7FFFFFFF}) {
        EXPECT_EQ(kInvalidProcedureCall, ftp->put_Security(bad)) << bad;
        EXPECT_EQ(L"Quorlin.FTP", TakeError().source);
    }
    ftp->get_Security(&security);
    EXPECT_EQ(2, security);

    const std::wstring good = L"ab:CD:" + std::wstring(60, L'e');
    BSTR text = SysAllocString(good.c_str());
    EXPECT_EQ(S_OK, ftp->put_CertificateFingerprint(text));
    SysFreeString(text);
    // Odd, not hex, 31 and 33 bytes, a blank.
    for (const std::wstring& bad : {std::wstring(63, L'0'), L"zz" + std::wstring(62, L'0'), std::wstring(62, L'0'),
                                    std::wstring(66, L'0'), L" " + std::wstring(64, L'0')}) {
        text = SysAllocString(bad.c_str());
        EXPECT_EQ(kInvalidProcedureCall, ftp->put_CertificateFingerprint(text)) << bad.c_str();
        TakeError();
        SysFreeString(text);
    }
    BSTR read = nullptr;
    EXPECT_EQ(S_OK, ftp->get_CertificateFingerprint(&read));
    EXPECT_EQ(good, std::wstring(read, SysStringLen(read))) << "kept as given";
    SysFreeString(read);
}

// Each refusal gives the code the HTTP class gives for https, and names the
// certificate's fingerprint so that an administrator can pin it.
TEST_F(FtpSecurity, CertificatesThatFailAreRefusedWithTheirCodeAndFingerprint) {
    const std::wstring selfSigned = EnvText("QUORLIN_FTPS_SELF_SIGNED_SHA256");
    const std::wstring other = L"00:" + selfSigned.substr(3);
    const int good = std::stoi(EnvText("QUORLIN_FTPS_SERVERS").substr(EnvText("QUORLIN_FTPS_SERVERS").find(L':') + 1));
    const struct {
        const char* port;
        std::wstring pinned;
        const wchar_t* code;  // null: opens
        bool namesFingerprint;
    } cases[] = {
        {"QUORLIN_FTPS_EXPIRED_PORT", L"", L"12037", true},
        {"QUORLIN_FTPS_OTHER_NAME_PORT", L"", L"12038", true},
        {"QUORLIN_FTPS_DNS_ADDRESS_PORT", L"", L"12038", true},  // an address is never matched by a DNS name
        {"QUORLIN_FTPS_IP_ADDRESS_PORT", L"", nullptr, false},
        {"QUORLIN_FTPS_SELF_SIGNED_PORT", L"", L"12045", true},
        {"QUORLIN_FTPS_SELF_SIGNED_PORT", selfSigned, nullptr, false},
        {"QUORLIN_FTPS_SELF_SIGNED_PORT", other, L"12045", true},
        {nullptr, selfSigned, L"12045", false},  // a trusted server is refused when another is pinned
        {nullptr, L"", nullptr, false},
    };
    for (const auto& c : cases) {
        ComPtr<_FTP3> ftp = SecureFtp(c.port ? FtpsPort(c.port) : good, 1, c.pinned);
        const HRESULT hr = ftp->OpenConnection();
        if (!c.code) {
            EXPECT_EQ(S_OK, hr) << (c.port ? c.port : "trusted");
            continue;
        }
        EXPECT_EQ(kOpenFailed, hr) << c.port;
        const std::wstring text = TakeError().description;
        EXPECT_NE(std::wstring::npos, text.find(L"OpenConnection error code: " + std::wstring(c.code) + L" ")) << text.c_str();
        const bool selfSignedServer = c.port && std::string(c.port).find("SELF") != std::string::npos;
        if (c.namesFingerprint)
            EXPECT_NE(std::wstring::npos, text.find(selfSignedServer ? selfSigned : L"SHA-256 fingerprint ")) << text.c_str();
    }
}

// A server that requires each data connection to resume the control
// connection's TLS session refuses ours here: the member says so with its reply.
TEST_F(FtpSecurity, AServerThatRequiresSessionReuseGivesItsReply) {
    ComPtr<_FTP3> ftp = SecureFtp(FtpsPort("QUORLIN_FTPS_REUSE_PORT"));
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    BSTR listing = nullptr;
    Directory_Listing_Type type = static_cast<Directory_Listing_Type>(1);
    EXPECT_EQ(static_cast<HRESULT>(0x80040204), ftp->GetDirectoryListing(&type, &listing));
    const std::wstring text = TakeError().description;
    EXPECT_NE(std::wstring::npos, text.find(L"(12003)(0)522 ")) << text.c_str();
}

// One server, listed through the platform's client and through the own one.
TEST_F(FtpSecurity, BothClientsListTheSameDirectoryAlike) {
    const std::wstring folder = L"security-listing-" + std::to_wstring(sizeof(void*) * 8);
    CreateDirectoryW((FtpHomeWindows() + L"\\" + folder).c_str(), nullptr);
    CreateDirectoryW((FtpHomeWindows() + L"\\" + folder + L"\\sub").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(FtpHomeWindows() + L"\\" + folder + L"\\one.txt", "twelve bytes"));
    ASSERT_TRUE(WriteBytes(FtpHomeWindows() + L"\\" + folder + L"\\two words.bin", std::string(70000, 'x')));
    std::wstring texts[2];
    for (LONG security : {0, 1}) {
        ComPtr<_FTP3> ftp = SecureFtp(FtpsPort("QUORLIN_FTPS_PLAIN_AND_TLS_PORT"), security);
        ASSERT_EQ(S_OK, ftp->OpenConnection()) << security;
        TextArgument directory(folder);
        ASSERT_EQ(S_OK, ftp->put_Directory(&directory));
        Directory_Listing_Type everything = static_cast<Directory_Listing_Type>(63);
        BSTR text = nullptr;
        ASSERT_EQ(S_OK, ftp->GetDirectoryListing(&everything, &text));
        texts[security].assign(text, SysStringLen(text));
        SysFreeString(text);
        ComPtr<_FTPFiles> files;
        ASSERT_EQ(S_OK, ftp->Files(&files));
        LONG count = 0;
        files->Count(&count);
        EXPECT_EQ(3, count) << security;
    }
    // The platform's client cuts a name at its first blank; the own one keeps it whole.
    const size_t cut = texts[0].find(L"two\r\n");
    ASSERT_NE(std::wstring::npos, cut) << texts[0].c_str();
    EXPECT_EQ(texts[0].replace(cut, 3, L"two words.bin"), texts[1]);
}


// Over TLS a server that offers MLSD is listed with it: names, sizes and
// types as LIST gives them, and Modified to the second, as FileTime has it.
TEST_F(FtpSecurity, MachineListingsGiveModifiedToTheSecond) {
    std::wstringstream servers(EnvText("QUORLIN_FTPS_SERVERS"));
    for (std::wstring server; servers >> server;) {
        if (server.rfind(L"vsftpd", 0) == 0) continue;  // no MLSD
        const size_t port = server.find(L':') + 1, security = server.rfind(L':') + 1;
        const std::wstring folder = L"mlsd-" + server.substr(0, port - 1) + L"-" + std::to_wstring(sizeof(void*) * 8);
        const std::wstring home = FtpHomeWindows() + L"\\" + folder;
        CreateDirectoryW(home.c_str(), nullptr);
        CreateDirectoryW((home + L"\\sub dir").c_str(), nullptr);
        ASSERT_TRUE(WriteBytes(home + L"\\old file.bin", std::string(70000, 'x')) && WriteBytes(home + L"\\new.txt", "twelve"));
        const SYSTEMTIME old = {2002, 3, 0, 5, 14, 7, 9, 0};
        FILETIME stamp;
        SystemTimeToFileTime(&old, &stamp);
        HANDLE file = CreateFileW((home + L"\\old file.bin").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFileTime(file, &stamp, &stamp, &stamp);
        CloseHandle(file);
        ComPtr<_FTP3> ftp = SecureFtp(std::stoi(server.substr(port)), std::stol(server.substr(security)));
        ASSERT_EQ(S_OK, ftp->OpenConnection()) << server.c_str();
        TextArgument directory(folder);
        ASSERT_EQ(S_OK, ftp->put_Directory(&directory));
        ComPtr<_FTPFiles> files;
        ASSERT_EQ(S_OK, ftp->Files(&files));
        std::set<std::wstring> seen;
        for (LONG position = 1; position <= 3; ++position) {
            VARIANT index = Number(position);
            ComPtr<_FTPFile> entry;
            ASSERT_EQ(S_OK, files->Item(index, &entry)) << server.c_str();
            BSTR name = nullptr;
            enum_FileType type = FTPFile;
            LONG size = -1;
            entry->get_Filename(&name);
            entry->get_FileType(&type);
            entry->get_FileSize(&size);
            const std::wstring text(name);
            SysFreeString(name);
            seen.insert(text + L" " + std::to_wstring(type) + L" " + std::to_wstring(type == FTPFile ? size : 0));
            if (type != FTPFile) continue;
            ComPtr<_FTPFile2> exact;
            ASSERT_EQ(S_OK, entry->QueryInterface(IID_PPV_ARGS(&exact)));
            VARIANT modified;
            VariantInit(&modified);
            ASSERT_EQ(S_OK, exact->get_Modified(&modified));
            DATE told = 0;
            ComPtr<_FTP4> asking;
            ASSERT_EQ(S_OK, ftp.As(&asking));
            ASSERT_EQ(S_OK, asking->FileTime(*&TextArgument(text), &told));
            SYSTEMTIME listed{}, asked{};
            EXPECT_EQ(VT_DATE, V_VT(&modified));
            VariantTimeToSystemTime(V_DATE(&modified), &listed);
            VariantTimeToSystemTime(told, &asked);
            listed.wMilliseconds = asked.wMilliseconds = 0;
            EXPECT_EQ(0, std::memcmp(&listed, &asked, sizeof listed)) << server.c_str() << " " << text.c_str();
            if (text == L"old file.bin") EXPECT_EQ(9, listed.wSecond) << "exact, where LIST shows noon";
        }
        EXPECT_EQ((std::set<std::wstring>{L"new.txt 2 6", L"old file.bin 2 70000", L"sub dir 1 0"}), seen);
    }
}

// Through a proxy every connection goes to the server by its name, and each
// way a proxy fails says which side failed; the certificate is still the
// server's own, whatever the proxy relays.
TEST_F(FtpSecurity, ProxiesRelayOrFailSayingWhichSideFailed) {
    if (EnvText("QUORLIN_PROXY_STAND_IN_PORT").empty()) GTEST_SKIP() << "no proxies";
    const std::wstring base = L"127.0.0.1:", standIn = EnvText("QUORLIN_PROXY_STAND_IN_PORT");
    const std::wstring socks = base + EnvText("QUORLIN_PROXY_SOCKS_PORT"), socksAuth = base + EnvText("QUORLIN_PROXY_SOCKS_AUTH_PORT");
    const std::wstring httpAuth = base + EnvText("QUORLIN_PROXY_HTTP_AUTH_PORT"), user = EnvText("QUORLIN_PROXY_USER");
    auto standInAt = [&](int offset) { return base + std::to_wstring(std::stoi(standIn) + offset); };
    const int tls = std::stoi(EnvText("QUORLIN_FTPS_SERVERS").substr(EnvText("QUORLIN_FTPS_SERVERS").find(L':') + 1));
    const int sftp = std::stoi(EnvText("QUORLIN_SFTP_SUITE_SERVERS").substr(EnvText("QUORLIN_SFTP_SUITE_SERVERS").find(L':') + 1));
    const struct {
        int port;  // the server: TLS, SFTP or another
        std::wstring proxy, user, password;
        const wchar_t* code;  // null: opens
        const wchar_t* text;
    } cases[] = {
        {tls, L"socks5://127.0.0.1:21079", L"", L"", L"12029", L"The SOCKS5 proxy 127.0.0.1:21079 could not be reached."},
        {tls, L"socks5://" + standInAt(0), L"reply-05", L"x", L"12029", L"refused the connection to 127.0.0.1:" },
        {sftp, L"socks5://" + standInAt(0), L"stall", L"x", L"12002", L""},
        {tls, L"socks5://" + standInAt(0), L"garbage", L"x", L"12157", L"no SOCKS5 reply."},
        {tls, L"socks5://" + socksAuth, L"", L"", L"12014", L"asks for a user name and password"},
        {sftp, L"socks5://" + socksAuth, user, L"wrong", L"12014", L"refused the user name and password."},
        {tls, L"socks4a://" + standInAt(0), L"", L"", nullptr, L""},
        {sftp, L"socks4a://" + standInAt(0), L"reject", L"", L"12029", L": 91 request rejected or failed."},
        {tls, L"http://" + standInAt(2), L"", L"", L"12029", L": 403 Forbidden."},
        {tls, httpAuth, L"", L"", L"12014", L"asks for a user name and password (ProxyUsername, ProxyPassword): 407 "},
        {sftp, L"http://" + httpAuth, user, L"wrong", L"12014", L"refused the user name and password: 401 "},
        {sftp, L"http://" + standInAt(3), L"", L"", L"12002", L""},
        {tls, L"http://" + standInAt(4), L"", L"", L"12157", L"no HTTP reply."},
        {tls, L"http://" + standInAt(5), L"", L"", L"12157", L"an answer longer than any proxy sends."},
        {tls, L"ftp=" + socks, L"", L"", L"87", L"is none the component's own clients can use"},
        {tls, L"socks5://" + socksAuth, user + L"\r\nUSER x", L"", L"87", L""},
        {FtpsPort("QUORLIN_FTPS_OTHER_NAME_PORT"), L"socks5://" + socks, L"", L"", L"12038", L""},
    };
    for (const auto& c : cases) {
        ComPtr<_FTP3> ftp = SecureFtp(c.port);
        ComPtr<_FTP6> proxied;
        ASSERT_EQ(S_OK, ftp.As(&proxied));
        ftp->put_Timeout(2);
        if (c.port == sftp) {
            proxied->put_Protocol(1);
            BSTR pins = SysAllocString(EnvText("QUORLIN_SFTP_OPENSSH_FINGERPRINTS").c_str());
            proxied->put_HostKeyFingerprint(pins);
            SysFreeString(pins);
        }
        TextArgument proxy(c.proxy);
        ftp->put_Proxy(&proxy);
        BSTR name = SysAllocString(c.user.c_str()), secret = SysAllocString(c.password.c_str());
        proxied->put_ProxyUsername(name);
        proxied->put_ProxyPassword(secret);
        SysFreeString(name);
        SysFreeString(secret);
        const ULONGLONG started = GetTickCount64();
        const HRESULT hr = ftp->OpenConnection();
        EXPECT_LT(GetTickCount64() - started, 4000u) << c.proxy.c_str();
        const std::wstring text = FAILED(hr) ? TakeError().description : std::wstring();
        if (!c.code) {
            EXPECT_EQ(S_OK, hr) << c.proxy.c_str() << " " << text.c_str();
            ComPtr<_FTPFiles> files;
            EXPECT_EQ(S_OK, ftp->Files(&files)) << c.proxy.c_str();
            continue;
        }
        EXPECT_EQ(kOpenFailed, hr) << c.proxy.c_str();
        EXPECT_NE(std::wstring::npos, text.find(L"OpenConnection error code: " + std::wstring(c.code) + L" "))
            << c.proxy.c_str() << ": " << text.c_str();
        EXPECT_NE(std::wstring::npos, text.find(c.text)) << c.proxy.c_str() << ": " << text.c_str();
    }
    // Active mode: through SOCKS5 the proxy takes the server's data
    // connection; an HTTP proxy cannot, which fails before any PORT is sent.
    for (const std::wstring& proxy : {L"socks5://" + socks, L"http://" + base + EnvText("QUORLIN_PROXY_HTTP_PORT")}) {
        ComPtr<_FTP3> ftp = SecureFtp(tls);
        VARIANT_BOOL active = VARIANT_FALSE;
        ftp->put_Passive(&active);
        TextArgument setting(proxy);
        ftp->put_Proxy(&setting);
        ASSERT_EQ(S_OK, ftp->OpenConnection()) << proxy.c_str();
        ComPtr<_FTPFiles> files;
        const HRESULT hr = ftp->Files(&files);
        if (proxy[0] == L's') {
            EXPECT_EQ(S_OK, hr) << TakeError().description.c_str();
        } else {
            EXPECT_EQ(static_cast<HRESULT>(0x80040204), hr);
            EXPECT_NE(std::wstring::npos, TakeError().description.find(L"error code: 50 ")) << proxy.c_str();
        }
    }
}

}  // namespace
