// Time limits against servers that stop answering (QUORLIN_STALL_PORT, see
// tests/support/stall_server.py): every member ends within the limit plus two
// seconds with its own error and the time-out's text, the object works on,
// and what runs on after a time-out ends once the server has gone.
// Winsock before <windows.h>, which the support header brings.
#include <winsock2.h>

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

namespace {

const std::wstring kTimedOut = L"error code: 12002 ";
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

int StallPort(int offset) { return std::stoi(EnvText("QUORLIN_STALL_PORT")) + offset; }

// Points `http` at `address` (host:port/path).
void SetUrl(_HTTP2* http, const std::wstring& address) {
    BSTR url = SysAllocString(address.c_str());
    http->put_URL(&url);
    SysFreeString(url);
}
std::wstring StallPage(const std::wstring& path) { return L"127.0.0.1:" + std::to_wstring(StallPort(3)) + path; }

// Ends every stalled connection, as a server that went away would.
void DropStalledConnections() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET control = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(StallPort(4)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, connect(control, reinterpret_cast<sockaddr*>(&address), sizeof address));
    send(control, "drop\n", 5, 0);
    char answer[16] = {};
    recv(control, answer, sizeof answer - 1, 0);
    closesocket(control);
    EXPECT_EQ(std::string("dropped\n"), answer);
}

// The host's threads and open descriptors of this process.
int CountEntries(const wchar_t* folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((std::wstring(folder) + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    do {
        if (entry.cFileName[0] != L'.') ++count;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return count;
}
int Threads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}
int Descriptors() { return CountEntries(L"Z:\\proc\\self\\fd"); }

// Waits up to `seconds` for `done`.
template <class Condition>
bool Eventually(Condition done, int seconds = 10) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (done()) return true;
        Sleep(100);
    }
    return done();
}

class Timeouts : public ::testing::Test {
protected:
    void SetUp() override {
        if (EnvText("QUORLIN_STALL_PORT").empty()) GTEST_SKIP() << "no stall server";
    }
    void TearDown() override {
        if (!EnvText("QUORLIN_STALL_PORT").empty()) DropStalledConnections();
    }

    // An FTP object with `seconds` as its limit, set through the new interface.
    ComPtr<_FTP2> NewFtp(int port, const wchar_t* user = L"any", bool passive = true, LONG seconds = 2) {
        ComPtr<_FTP2> ftp = NewObject<_FTP2>(CLSID_FTP);
        TextArgument url(L"127.0.0.1"), name(user), password(L"any");
        LONG number = port;
        VARIANT_BOOL mode = passive ? VARIANT_TRUE : VARIANT_FALSE;
        ftp->put_URL(&url);
        ftp->put_Username(&name);
        ftp->put_Password(&password);
        ftp->put_Port(&number);
        ftp->put_Passive(&mode);
        EXPECT_EQ(S_OK, ftp->put_Timeout(seconds));
        return ftp;
    }

    // Runs `member`, which must end within the limit plus two seconds with
    // `code`, `message` and the time-out's text.
    template <class Member>
    void ExpectTimedOut(HRESULT code, const std::wstring& message, const std::wstring& operation, Member member,
                        const wchar_t* source = L"Quorlin.FTP", ULONGLONG limitMs = 2000) {
        const ULONGLONG started = GetTickCount64();
        const HRESULT hr = member();
        const ULONGLONG took = GetTickCount64() - started;
        EXPECT_EQ(code, hr);
        RaisedError error = TakeError();
        EXPECT_EQ(source, error.source);
        EXPECT_EQ(message + operation + L" " + kTimedOut, error.description.substr(0, message.size() + operation.size() + 1 + kTimedOut.size()))
            << std::string(error.description.begin(), error.description.end());
        EXPECT_LE(took, limitMs + 2000) << "ended within the limit plus two seconds";
        EXPECT_GE(took + 200, limitMs) << "waited the whole limit";
    }

    // After a time-out the object reads as closed, closes harmlessly, and
    // opens against a good server.
    void ExpectClosedAndReusable(_FTP2* ftp) {
        VARIANT directory;
        VariantInit(&directory);
        EXPECT_EQ(static_cast<HRESULT>(0x8004020D), ftp->get_Directory(&directory)) << "reads as not connected";
        TakeError();
        EXPECT_EQ(S_OK, ftp->CloseConnection());
        TextArgument good(L"127.0.0.1");
        LONG port = std::stoi(EnvText("QUORLIN_FTP_STAND_IN_PORT"));
        ftp->put_URL(&good);
        ftp->put_Port(&port);
        EXPECT_EQ(S_OK, ftp->OpenConnection());
        EXPECT_EQ(S_OK, ftp->get_Directory(&directory));
        VariantClear(&directory);
        ftp->CloseConnection();
    }
};

TEST_F(Timeouts, TheLimitIsZeroAtFirstAndKeepsItsValueAgainstBadOnes) {
    ComPtr<_FTP2> ftp = NewObject<_FTP2>(CLSID_FTP);
    ComPtr<_HTTP2> http = NewObject<_HTTP2>(CLSID_HTTP);
    LONG seconds = -1, status = -1;
    ASSERT_EQ(S_OK, ftp->get_Timeout(&seconds));
    EXPECT_EQ(0, seconds);
    ASSERT_EQ(S_OK, http->get_Timeout(&seconds));
    EXPECT_EQ(0, seconds);
    ASSERT_EQ(S_OK, http->get_Status(&status));
    EXPECT_EQ(0, status);
    EXPECT_EQ(S_OK, ftp->put_Timeout(86400));
    for (LONG bad : {-1L, 86401L, static_cast<LONG>(0x80000000)}) {
        EXPECT_EQ(static_cast<HRESULT>(0x800A0005), ftp->put_Timeout(bad));
        EXPECT_EQ(L"Quorlin.FTP", TakeError().source);
        EXPECT_EQ(static_cast<HRESULT>(0x800A0005), http->put_Timeout(bad));
        EXPECT_EQ(L"Quorlin.HTTP", TakeError().source);
    }
    ftp->get_Timeout(&seconds);
    EXPECT_EQ(86400, seconds);
    // The old interface is still there, slot for slot, on the same object.
    ComPtr<_FTP> old;
    ASSERT_EQ(S_OK, ftp.As(&old));
    VARIANT version;
    VariantInit(&version);
    EXPECT_EQ(S_OK, old->get_Version(&version));
    EXPECT_EQ(L"0.88.3b", ReadText(version));
    VariantClear(&version);
    ComPtr<_HTTP> oldHttp;
    EXPECT_EQ(S_OK, http.As(&oldHttp));
    // Late bound, the default interface shows the new members.
    LateCall call;
    CallByName(CreateByProgId(L"quorlin.HTTP").Get(), L"Status", DISPATCH_PROPERTYGET, {}, call);
    EXPECT_EQ(S_OK, call.hr);
}

// Before any test leaves a call running that no server can end (a SYN that
// is never answered waits two minutes in the platform).
TEST_F(Timeouts, AHundredTimeOutsLeaveNothingOnceTheServerHasGone) {
    DropStalledConnections();
    Sleep(300);
    const int threads = Threads(), descriptors = Descriptors();
    HMODULE component = LoadComponent();
    auto canUnload = reinterpret_cast<CanUnloadNow>(GetProcAddress(component, "DllCanUnloadNow"));
    ASSERT_TRUE(canUnload);
    CoFreeUnusedLibraries();
    EXPECT_EQ(S_OK, canUnload()) << "nothing of the component is alive before";
    for (int i = 0; i < 100; ++i) {
        if (i % 2 == 0) {
            ComPtr<_HTTP2> http = NewObject<_HTTP2>(CLSID_HTTP);
            http->put_Timeout(1);
            SetUrl(http.Get(), StallPage(L"/headers-never"));
            BSTR body = nullptr;
            EXPECT_EQ(static_cast<HRESULT>(0x800403E9), http->GetString(&body));
        } else {
            ComPtr<_FTP2> ftp = NewFtp(StallPort(2), L"silent", true, 1);
            EXPECT_EQ(static_cast<HRESULT>(0x80040202), ftp->OpenConnection());
        }
        TakeError();
    }
    // The objects are gone, their stalled calls are not: the library stays.
    EXPECT_EQ(S_FALSE, canUnload());
    EXPECT_GT(Threads(), threads);
    DropStalledConnections();
    EXPECT_TRUE(Eventually([&] { return Threads() <= threads; })) << Threads() << " threads, " << threads << " before";
    EXPECT_TRUE(Eventually([&] { return Descriptors() <= descriptors + 3; }))
        << Descriptors() << " descriptors, " << descriptors << " before";
    EXPECT_TRUE(Eventually([&] { return canUnload() == S_OK; }));
    FreeLibrary(component);
}

TEST_F(Timeouts, OpeningAServerThatNeverAnswers) {
    for (int port : {StallPort(0), StallPort(1)}) {
        ComPtr<_FTP2> ftp = NewFtp(port);
        ExpectTimedOut(static_cast<HRESULT>(0x80040202), L"Error opening FTP connection.", L"OpenConnection",
                       [&] { return ftp->OpenConnection(); });
        ExpectClosedAndReusable(ftp.Get());
    }
    ComPtr<_FTP2> silent = NewFtp(StallPort(2), L"silent");
    ExpectTimedOut(static_cast<HRESULT>(0x80040202), L"Error opening FTP connection.", L"OpenConnection",
                   [&] { return silent->OpenConnection(); });
    ExpectClosedAndReusable(silent.Get());
}

// The own client over TLS: a handshake, a reply or a data connection that
// never comes ends within the limit; what no server sends for a reply ends
// at once. The object then works again, over TLS or not.
TEST_F(Timeouts, TheTlsClientEndsEveryStall) {
    const struct {
        int port;
        const wchar_t* user;
        bool passive;
        bool listing;
        bool timesOut;
    } cases[] = {
        {StallPort(6), L"any", true, false, true},       // the handshake stops half way
        {StallPort(5), L"silent", true, false, true},    // no reply to PASS
        {StallPort(5), L"any", true, true, true},        // a data connection never secured
        {StallPort(5), L"any", false, true, true},       // a data connection never made
        {StallPort(5), L"long", true, false, false},     // a reply line of a megabyte
        {StallPort(5), L"endless", true, false, false},  // a multi-line reply without end
        {StallPort(5), L"garbage", true, false, false},
    };
    for (const auto& c : cases) {
        ComPtr<_FTP2> ftp = NewFtp(c.port, c.user, c.passive);
        ComPtr<_FTP3> secure;
        ASSERT_EQ(S_OK, ftp.As(&secure));
        secure->put_Security(1);
        if (c.listing) {
            ASSERT_EQ(S_OK, ftp->OpenConnection());
            ExpectTimedOut(static_cast<HRESULT>(0x80040204), L"Error retrieving directory listing.(1)",
                           L"GetDirectoryListing", [&] {
                               ComPtr<_FTPFiles> files;
                               return ftp->Files(&files);
                           });
        } else if (c.timesOut) {
            ExpectTimedOut(static_cast<HRESULT>(0x80040202), L"Error opening FTP connection.", L"OpenConnection",
                           [&] { return ftp->OpenConnection(); });
        } else {
            const ULONGLONG started = GetTickCount64();
            EXPECT_EQ(static_cast<HRESULT>(0x80040202), ftp->OpenConnection()) << c.user;
            EXPECT_LT(GetTickCount64() - started, 2000u) << c.user;
            // What came is shown as the server's reply.
            const std::wstring text = TakeError().description;
            EXPECT_EQ(0u, text.rfind(L"Error opening FTP connection.", 0));
            EXPECT_EQ(std::wstring::npos, text.find(L"error code:")) << text.c_str();
        }
        secure->put_Security(0);
        ExpectClosedAndReusable(ftp.Get());
    }
}

// What a server, or someone on the path, sends to pass a cut or an out-of-turn
// reply off as success fails its member at once, and an old local file stays.
// An upload is judged by what moves: to a slow reader it succeeds however long
// its last bytes drain, to one that stops reading it ends within the limit.
TEST_F(Timeouts, TheTlsClientTakesNothingCutInjectedOrOutOfTurn) {
    const std::wstring kept = Scratch() + L"\\tls-kept.txt", small = Scratch() + L"\\tls-small", large = kept + L".large";
    ASSERT_TRUE(WriteBytes(kept, "old") && WriteBytes(small, std::string(96 * 1024, 'u')) &&
                WriteBytes(large, std::string(8 << 20, 'u')));
    const struct {
        int port;
        LONG security;
        const wchar_t* user;
        char member;  // o OpenConnection, g GetFile, f Files, d DeleteFile, p PutFile
        unsigned long code;
        const wchar_t* text;
        ULONGLONG most;  // milliseconds
    } cases[] = {
        {StallPort(7), 1, L"any", 'o', 0x80040202,  // replies behind 234
         L"OpenConnection error code: 12157 Message: The server sent clear-text replies behind its go-ahead", 1500},
        {StallPort(2), 2, L"any", 'o', 0x80040202,  // no TLS at all
         L"OpenConnection error code: 12157 Message: The server answered the TLS handshake with something that is not TLS.",
         1500},
        {StallPort(5), 1, L"cut", 'g', 0x80040208, L"GetFile error code: 12030 ", 1500},
        {StallPort(5), 1, L"cut", 'f', 0x80040204, L"GetDirectoryListing error code: 12030 ", 1500},
        {StallPort(5), 1, L"early", 'd', 0x80040209, L"150 not yet\r\n550 no such file", 1500},
        {StallPort(5), 1, L"other", 'f', 0x80040204, L"12045 Message: The data connection's certificate has the", 1500},
        {StallPort(5), 1, L"slow", 'p', S_OK, L"", 30000},  // and in whole records
        {StallPort(5), 1, L"stuck", 'p', 0x80040207, L"PutFile error code: 12002 ", 3000},
    };
    // Each session is logged, cut and stalled ones too, all to one file.
    const std::wstring log = Scratch() + L"\\tls-cases.log";
    DeleteFileW(log.c_str());
    for (const auto& c : cases) {
        ComPtr<_FTP2> ftp = NewFtp(c.port, c.user, true, 1);
        ComPtr<_FTP6> secure;
        ASSERT_EQ(S_OK, ftp.As(&secure));
        secure->put_Security(c.security);
        BSTR path = SysAllocString(log.c_str());
        EXPECT_EQ(S_OK, secure->put_LogFile(path));
        SysFreeString(path);
        const ULONGLONG started = GetTickCount64();
        HRESULT hr = ftp->OpenConnection();
        TextArgument remote(L"file.txt"), local(kept), upload(c.user[1] == L'l' ? small : large);
        VARIANT_BOOL overwrite = VARIANT_TRUE;
        ComPtr<_FTPFiles> files;
        if (c.member != 'o') {
            ASSERT_EQ(S_OK, hr) << c.user;
            hr = c.member == 'g'   ? ftp->GetFile(&remote, &local, &overwrite)
                 : c.member == 'f' ? ftp->Files(&files)
                 : c.member == 'p' ? ftp->PutFile(&upload, &remote)
                                   : ftp->DeleteFileW(&remote);
        }
        EXPECT_LT(GetTickCount64() - started, c.most) << c.user;
        EXPECT_EQ(static_cast<HRESULT>(c.code), hr) << c.user;
        const std::wstring text = FAILED(hr) ? TakeError().description : std::wstring();
        EXPECT_NE(std::wstring::npos, text.find(c.text)) << text.c_str();
        EXPECT_EQ("old", ReadBytes(kept).value_or(""));
        VARIANT directory;  // the replies stay in step: the next command gets its own
        VariantInit(&directory);
        if (c.member == 'd' || (c.member == 'p' && SUCCEEDED(hr))) EXPECT_EQ(S_OK, ftp->get_Directory(&directory)) << c.user;
        VariantClear(&directory);
        secure->put_Security(0);
        ftp->CloseConnection();
    }
    const std::string text = ReadBytes(log).value_or("");
    for (const char* part : {"> PASS ****\r\n", "< 150 not yet\r\n", "< 550 no such file\r\n", "- data connection dropped: ",
                             "- data connection closed: ", "- TLS negotiated: TLS 1.", "= PutFile failed in ",
                             "0x80040207 Error putting file"})
        EXPECT_NE(std::string::npos, text.find(part)) << part;
    for (size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2)
        EXPECT_TRUE(text.compare(at, 2, "20") == 0 && text.find("\r\n", at) != std::string::npos)
            << "a line that is not whole at " << at;
}

TEST_F(Timeouts, CommandsAndListingsThatStall) {
    ComPtr<_FTP2> ftp = NewFtp(StallPort(2));
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    TextArgument silent(L"/silent");
    ExpectTimedOut(static_cast<HRESULT>(0x80040203), L"Error setting directory.", L"Directory",
                   [&] { return ftp->put_Directory(&silent); });
    ExpectClosedAndReusable(ftp.Get());

    ftp = NewFtp(StallPort(2));
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    TextArgument stalling(L"/stall-list");
    ASSERT_EQ(S_OK, ftp->put_Directory(&stalling));
    ExpectTimedOut(static_cast<HRESULT>(0x80040204), L"Error retrieving directory listing.(1)", L"GetDirectoryListing",
                   [&] {
                       ComPtr<_FTPFiles> files;
                       return ftp->Files(&files);
                   });
    ExpectClosedAndReusable(ftp.Get());

    // A tree upload whose MKD stalls reports that failure, not the closed connection after it.
    const std::wstring tree = Scratch() + L"\\stalled-tree";
    ::CreateDirectoryW(tree.c_str(), nullptr);
    ::CreateDirectoryW((tree + L"\\sub").c_str(), nullptr);
    ftp = NewFtp(StallPort(2));
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    TextArgument local(tree), remote(L"/");
    VARIANT_BOOL traverse = VARIANT_TRUE;
    ExpectTimedOut(static_cast<HRESULT>(0x80040205), L"Error creating directory.", L"CreateDirectory",
                   [&] { return ftp->PutDirectory(&local, &remote, &traverse); });
}

// Pieces small enough that each moves within the limit: what keeps arriving
// (16 KiB/s each way, a page at 8,000 bytes/s) is never cut by a limit of one second.
TEST_F(Timeouts, TransfersAndPagesThatKeepMovingAreNeverCut) {
    ComPtr<_FTP2> ftp = NewFtp(StallPort(2), L"any", true, 1);
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    const std::wstring local = Scratch() + L"\\slow.bin";
    ASSERT_TRUE(WriteBytes(local, std::string(64 << 10, 'u')));
    TextArgument remote(L"slow.bin"), path(local);
    VARIANT_BOOL overwrite = VARIANT_TRUE;
    EXPECT_EQ(S_OK, ftp->PutFile(&path, &remote));
    EXPECT_EQ(S_OK, ftp->GetFile(&remote, &path, &overwrite));
    EXPECT_TRUE(ReadBytes(local) == std::string(32 << 10, 's'));
    ComPtr<_HTTP2> http = NewObject<_HTTP2>(CLSID_HTTP);
    http->put_Timeout(1);
    SetUrl(http.Get(), StallPage(L"/body-slow"));
    BSTR body = nullptr;
    EXPECT_EQ(S_OK, http->GetString(&body));
    EXPECT_EQ(16000u, SysStringLen(body));
    SysFreeString(body);
}

TEST_F(Timeouts, PagesThatStall) {
    ComPtr<_HTTP2> http = NewObject<_HTTP2>(CLSID_HTTP);
    ASSERT_EQ(S_OK, http->put_Timeout(2));
    for (const wchar_t* path : {L"/headers-never", L"/body-stall"}) {
        SetUrl(http.Get(), StallPage(path));
        const bool headers = std::wstring(path) == L"/headers-never";
        ExpectTimedOut(static_cast<HRESULT>(headers ? 0x800403E9 : 0x800403EB),
                       headers ? L"Error opening request received from remote server."
                               : L"Error getting information out of request.",
                       L"GetString",
                       [&] {
                           BSTR body = nullptr;
                           HRESULT hr = http->GetString(&body);
                           SysFreeString(body);
                           return hr;
                       },
                       L"Quorlin.HTTP");
        LONG status = -1;
        http->get_Status(&status);
        EXPECT_EQ(headers ? 0 : 200, status) << "the status, where it was read";
    }
    // A good page right after, and its status.
    SetUrl(http.Get(), L"127.0.0.1:" + EnvText("QUORLIN_STAND_IN_PORT") + L"/chunked");
    BSTR body = nullptr;
    EXPECT_EQ(S_OK, http->GetString(&body));
    SysFreeString(body);
    LONG status = 0;
    http->get_Status(&status);
    EXPECT_EQ(200, status);
    SetUrl(http.Get(), L"127.0.0.1:" + EnvText("QUORLIN_STAND_IN_PORT") + L"/missing");
    EXPECT_EQ(S_OK, http->GetString(&body));
    SysFreeString(body);
    http->get_Status(&status);
    EXPECT_EQ(404, status);
}

// In active mode the platform waits for the server's connection in a way that
// nothing but the end of the process stops (see the platform notes): such a
// transfer runs on, and keeps the library loaded, for good. Last, therefore.
TEST_F(Timeouts, TransfersThatStallKeepTheLocalFileAndLeaveNoTemporaryOne) {
    const std::wstring folder = Scratch() + L"\\stalled-transfers";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring kept = folder + L"\\kept.bin", upload = folder + L"\\upload.bin";
    ASSERT_TRUE(WriteBytes(kept, "the old content"));
    ASSERT_TRUE(WriteBytes(upload, std::string(8 << 20, 'u')));
    for (bool passive : {true, false}) {
        ComPtr<_FTP2> ftp = NewFtp(StallPort(2), L"any", passive);
        ASSERT_EQ(S_OK, ftp->OpenConnection());
        TextArgument remote(L"stall.bin"), local(kept);
        VARIANT_BOOL overwrite = VARIANT_TRUE;
        ExpectTimedOut(static_cast<HRESULT>(0x80040208), L"Error getting file from the remote server.", L"GetFile",
                       [&] { return ftp->GetFile(&remote, &local, &overwrite); });
        EXPECT_EQ("the old content", ReadBytes(kept).value_or("")) << (passive ? "passive" : "active");
        ExpectClosedAndReusable(ftp.Get());

        ftp = NewFtp(StallPort(2), L"any", passive);
        ASSERT_EQ(S_OK, ftp->OpenConnection());
        TextArgument source(upload), target(L"upload.bin");
        ExpectTimedOut(static_cast<HRESULT>(0x80040207), L"Error putting file to remote server.", L"PutFile",
                       [&] { return ftp->PutFile(&source, &target); });
        // The upload that runs on keeps nobody from renaming the file.
        EXPECT_TRUE(MoveFileW(upload.c_str(), (upload + L".moved").c_str()));
        EXPECT_TRUE(MoveFileW((upload + L".moved").c_str(), upload.c_str()));
        ExpectClosedAndReusable(ftp.Get());
        if (passive) {
            DropStalledConnections();
            // The downloads that ran on end with the server, and take their temporary files with them.
            EXPECT_TRUE(Eventually([&] { return CountEntries(folder.c_str()) == 2; }))
                << CountEntries(folder.c_str()) << " files in the folder";
        }
    }
    EXPECT_EQ("the old content", ReadBytes(kept).value_or(""));
}

// A batch deletes no source whose copy did not arrive whole, even where the
// server calls a short transfer whole, and a slow upload under a temporary
// name shows no file of its own name until it is whole.
TEST_F(Timeouts, BatchesDeleteNothingThatArrivedShortAndShowNoHalfFile) {
    const std::wstring folder = Scratch() + L"\\batch-cut";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ComPtr<_FTP5> ftp;
    ASSERT_EQ(S_OK, NewFtp(StallPort(2), L"any", true, 5).As(&ftp));
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    const VARIANT move = Number(2), temporaryName = Number(32);
    LONG sent = -1;
    TextArgument cut(L"/cut/*.bin"), local(folder);
    EXPECT_EQ(static_cast<HRESULT>(0x80040217), ftp->GetFiles(*&cut, *&local, move, &sent));
    std::wstring text = TakeError().description;
    EXPECT_NE(std::wstring::npos, text.find(L"cut.bin (0 files sent before it): Error getting file from the remote "
                                            L"server.GetFile error code: 13 "))
        << std::string(text.begin(), text.end());
    EXPECT_NE(std::wstring::npos, text.find(L"The copy holds 32768 bytes, the source 65536; nothing was replaced."));
    EXPECT_EQ(0, sent);
    EXPECT_FALSE(FileExists(folder + L"\\cut.bin")) << "no short copy is left";

    ASSERT_TRUE(WriteBytes(folder + L"\\up.bin", std::string(64 << 10, 'u')));
    TextArgument up(folder + L"\\up.bin"), cutFolder(L"/cut");
    EXPECT_EQ(static_cast<HRESULT>(0x80040216), ftp->PutFiles(*&up, *&cutFolder, move, &sent));
    text = TakeError().description;
    EXPECT_NE(std::wstring::npos, text.find(L"The copy holds 10 bytes, the source 65536"))
        << std::string(text.begin(), text.end());
    EXPECT_TRUE(FileExists(folder + L"\\up.bin")) << "the local file stays";

    ASSERT_TRUE(WriteBytes(folder + L"\\slow.bin", std::string(32 << 10, 's')));
    TextArgument slow(folder + L"\\slow.bin"), slowFolder(L"/slow");
    EXPECT_EQ(S_OK, ftp->PutFiles(*&slow, *&slowFolder, temporaryName, &sent));
    text = TakeError().description;
    EXPECT_EQ(1, sent) << std::string(text.begin(), text.end());
}

}  // namespace
