// Members run many times over in one process, as a web server's worker runs
// them page after page: handles, sockets and memory at the end stay within a
// small constant of what they were after a warm-up.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

struct Footprint {
    DWORD handles = 0;  // the handle count, or where the platform keeps none the host's open descriptors
    SIZE_T committed = 0;
    int sockets = 0;  // TCP connections on the machine not yet gone (all but listening and TIME_WAIT)
};

int OpenTcpConnections() {
    const std::optional<std::vector<MIB_TCPROW>> rows = TcpRows();
    if (!rows) return -1;
    return static_cast<int>(std::count_if(rows->begin(), rows->end(), [](const MIB_TCPROW& row) {
        return row.dwState != MIB_TCP_STATE_LISTEN && row.dwState != MIB_TCP_STATE_TIME_WAIT;
    }));
}

// The process's entries in the system's handle table. Where the platform
// keeps no per-process count this is the true one: the host's descriptors
// also move with threads the platform starts and ends on its own.
std::optional<DWORD> HandleTableEntries() {
    struct Entry {
        USHORT process;
        USHORT creatorBackTrace;
        UCHAR objectType;
        UCHAR attributes;
        USHORT handle;
        PVOID object;
        ULONG grantedAccess;
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return std::nullopt;
    std::vector<unsigned char> table(1 << 16);
    LONG status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, table.data(), static_cast<ULONG>(table.size()), &needed)) ==
           kLengthMismatch)
        table.resize(std::max<size_t>(table.size() * 2, needed + 4096));
    if (status < 0) return std::nullopt;
    ULONG entries;
    std::memcpy(&entries, table.data(), sizeof entries);
    const size_t first = sizeof(void*) == 8 ? 8 : 4;  // the count, padded to the entries' alignment
    const USHORT self = static_cast<USHORT>(GetCurrentProcessId());
    DWORD ours = 0;
    for (ULONG i = 0; i < entries && first + (i + 1) * sizeof(Entry) <= table.size(); ++i) {
        Entry entry;
        std::memcpy(&entry, table.data() + first + i * sizeof(Entry), sizeof entry);
        if (entry.process == self) ++ours;
    }
    if (ours == 0) return std::nullopt;
    return ours;
}

// The host's open file descriptors of this process: every file, socket and
// event the platform holds for it.
DWORD OpenDescriptors() {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\self\\fd\\*", &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    DWORD count = 0;
    do {
        if (entry.cFileName[0] != L'.') ++count;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return count - 1;  // the search's own
}

Footprint Measure() {
    Footprint now;
    if (!GetProcessHandleCount(GetCurrentProcess(), &now.handles) || now.handles == 0)
        now.handles = HandleTableEntries().value_or(OpenDescriptors());
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    now.committed = counters.PagefileUsage;
    now.sockets = OpenTcpConnections();
    return now;
}

// Runs `cycle` `warmUp` times, measures, runs it `count` times more and
// measures again: the second count must not have left anything behind (of
// memory, `allowance` bytes at most).
void ExpectNoLeak(const char* what, int warmUp, int count, const std::function<void()>& cycle,
                  SIZE_T allowance = 4u << 20) {
    for (int i = 0; i < warmUp; ++i) cycle();
    Sleep(200);  // connections the servers close reach their end
    const Footprint before = Measure();
    for (int i = 0; i < count; ++i) cycle();
    Sleep(200);
    Footprint after = Measure();
    // What the platform still releases in the background is no leak: give it
    // a few seconds before judging.
    for (int wait = 0; wait < 15 && (after.handles > before.handles + 5 || after.sockets > before.sockets + 2); ++wait) {
        Sleep(200);
        after = Measure();
    }
    std::printf("%s: %d cycles, handles %lu -> %lu, committed %.1f -> %.1f MB, open TCP connections %d -> %d\n", what,
                count, before.handles, after.handles, before.committed / 1048576.0, after.committed / 1048576.0,
                before.sockets, after.sockets);
    EXPECT_LE(after.handles, before.handles + 5) << what;
    EXPECT_LE(after.committed, before.committed + allowance) << what;
    EXPECT_LE(after.sockets, before.sockets + 2) << what;
}

class Cycles : public ::testing::Test {
protected:
    void SetUp() override {
        servers_ = FtpServers();
        if (servers_.empty()) GTEST_SKIP() << "no FTP server";
    }
    std::vector<FtpServer> servers_;
};

TEST_F(Cycles, CreatingAndReleasingEveryClass) {
    ExpectNoLeak("create and release", 50, 500, [] {
        for (REFCLSID clsid : {CLSID_FTP, CLSID_HTTP, CLSID_FTPFile, CLSID_FTPFiles}) {
            ComPtr<IDispatch> object;
            ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)));
            VARIANT value;
            VariantInit(&value);
            LateCall call;
            CallByName(object.Get(), clsid == CLSID_FTPFiles ? L"Count" : clsid == CLSID_FTPFile ? L"Filename"
                                                                                               : L"Version",
                       DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, call);
            EXPECT_EQ(S_OK, call.hr);
        }
    });
}

TEST_F(Cycles, OpeningAndClosingConnections) {
    const FtpServer server = servers_[0];
    ExpectNoLeak("OpenConnection and CloseConnection", 5, 40, [&] {
        HRESULT opened = E_FAIL;
        ComPtr<_FTP> ftp = ConnectedFtp(server, false, FtpPassword(), opened);
        ASSERT_EQ(S_OK, opened);
        EXPECT_EQ(S_OK, ftp->CloseConnection());
        // And once released while still open.
        ComPtr<_FTP> forgotten = ConnectedFtp(server, true, FtpPassword(), opened);
        ASSERT_EQ(S_OK, opened);
    });
}

TEST_F(Cycles, FailingDownloadsAndListings) {
    const FtpServer server = servers_[0];
    const std::wstring folder = L"cycle-listing";
    CreateDirectoryW((FtpHomeWindows() + L"\\" + folder).c_str(), nullptr);
    for (int i = 0; i < 50; ++i)
        WriteBytes(FtpHomeWindows() + L"\\" + folder + L"\\entry" + std::to_wstring(i) + L".txt", "x");
    HRESULT opened = E_FAIL;
    // Active mode: the platform leaks a data socket per refused passive RETR.
    ComPtr<_FTP> ftp = ConnectedFtp(server, false, FtpPassword(), opened);
    ASSERT_EQ(S_OK, opened);
    TextArgument directory(folder);
    ASSERT_EQ(S_OK, ftp->put_Directory(&directory));
    ExpectNoLeak("failing GetFile (active)", 3, 40, [&] {
        TextArgument remote(L"no-such-file"), local(Scratch() + L"\\cycle-download");
        VARIANT_BOOL overwrite = VARIANT_TRUE;
        EXPECT_EQ(static_cast<HRESULT>(0x80040208), ftp->GetFile(&remote, &local, &overwrite));
        TakeError();
    });
    ExpectNoLeak("Files of 50 entries", 2, 15, [&] {
        ComPtr<_FTPFiles> files;
        ASSERT_EQ(S_OK, ftp->Files(&files));
        LONG count = 0;
        files->Count(&count);
        EXPECT_EQ(50, count);
    });
}

// SFTP sessions, each with an upload, then one lost half way through a
// download (its server ends the connection): the SSH library's session,
// channel, keys and open file go with each, freed without a word to a server
// that is gone, and nothing of the crypto library stays behind.
TEST_F(Cycles, SftpSessionsWithATransferEach) {
    const std::wstring servers = EnvText("QUORLIN_SFTP_SERVERS");
    if (servers.empty()) GTEST_SKIP() << "no SFTP server";
    const std::wstring local = Scratch() + L"\\cycle-sftp.txt";
    ASSERT_TRUE(WriteBytes(local, std::string(4096, 's')));
    ExpectNoLeak("SFTP sessions with an upload, and lost in a download", 5, 100, [&] {
        ComPtr<_FTP4> ftp = NewObject<_FTP4>(CLSID_FTP);
        TextArgument url(L"127.0.0.1"), user(FtpUser()), password(FtpPassword()), source(local), target(L"cycle-sftp.txt");
        LONG port = std::stoi(servers.substr(servers.find(L':') + 1));
        ftp->put_URL(&url);
        ftp->put_Username(&user);
        ftp->put_Password(&password);
        ftp->put_Port(&port);
        ftp->put_Protocol(1);
        BSTR pins = SysAllocString(EnvText("QUORLIN_SFTP_OPENSSH_FINGERPRINTS").c_str());
        ftp->put_HostKeyFingerprint(pins);
        SysFreeString(pins);
        ASSERT_EQ(S_OK, ftp->OpenConnection());
        EXPECT_EQ(S_OK, ftp->PutFile(&source, &target));
        EXPECT_EQ(S_OK, ftp->CloseConnection());
        port = std::stoi(EnvText("QUORLIN_SFTP_STALL_PORT"));
        ftp->put_Port(&port);
        TextArgument drop(L"drop.bin");
        VARIANT_BOOL overwrite = VARIANT_TRUE;
        ASSERT_EQ(S_OK, ftp->OpenConnection());
        EXPECT_EQ(static_cast<HRESULT>(0x80040208), ftp->GetFile(&drop, &source, &overwrite));
        TakeError();
    }, 512u << 10);
}

TEST_F(Cycles, PagesOfWhichHalfFail) {
    const std::wstring good = L"127.0.0.1:" + EnvText("QUORLIN_HTTP_PORT") + L"/cycle-page.html";
    const std::wstring bad = L"127.0.0.1:" + EnvText("QUORLIN_STAND_IN_PORT") + L"/drop";
    ASSERT_TRUE(WriteBytes(EnvText("QUORLIN_WWW") + L"\\cycle-page.html", std::string(20000, 'c')));
    ComPtr<_HTTP> http = NewObject<_HTTP>(CLSID_HTTP);
    int run = 0;
    ExpectNoLeak("GetString, half failing", 10, 100, [&] {
        const bool failing = ++run % 2 == 0;
        BSTR url = SysAllocString((failing ? bad : good).c_str());
        http->put_URL(&url);
        SysFreeString(url);
        BSTR body = nullptr;
        const HRESULT hr = http->GetString(&body);
        EXPECT_EQ(failing ? static_cast<HRESULT>(0x800403EB) : S_OK, hr);
        SysFreeString(body);
        TakeError();
    });
}

}  // namespace
