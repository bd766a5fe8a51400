// Listings that no real server sends, from the scripted server of the tests
// (QUORLIN_FTP_STAND_IN_PORT): each either works or raises the member's own
// error, and the process and the object live on.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <set>

namespace {

class MisbehavingFtpServer : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        const std::wstring port = EnvText("QUORLIN_FTP_STAND_IN_PORT");
        if (port.empty()) GTEST_SKIP() << "no scripted FTP server";
        HRESULT opened = E_FAIL;
        ftp_ = ConnectedFtp({"stand-in", std::stoi(port)}, GetParam(), L"any", opened);
        ASSERT_EQ(S_OK, opened);
    }

    void Enter(const wchar_t* directory) {
        TextArgument path(directory);
        ASSERT_EQ(S_OK, ftp_->put_Directory(&path));
    }

    // The names of a listing that worked.
    std::set<std::wstring> Names(_FTPFiles* files) {
        std::set<std::wstring> names;
        LONG count = 0;
        files->Count(&count);
        for (LONG i = 1; i <= count; ++i) {
            ComPtr<_FTPFile> entry;
            VARIANT position = Number(i);
            if (FAILED(files->Item(position, &entry))) continue;
            BSTR name = nullptr;
            entry->get_Filename(&name);
            names.insert(name ? name : L"");
            SysFreeString(name);
        }
        return names;
    }

    // After whatever happened, the object still answers.
    void ExpectStillUsable() {
        Enter(L"/");
        ComPtr<_FTPFiles> files;
        ASSERT_EQ(S_OK, ftp_->Files(&files));
        EXPECT_EQ((std::set<std::wstring>{L"plain0.txt", L"plain1.txt", L"plain2.txt"}), Names(files.Get()));
    }

    ComPtr<_FTP> ftp_;
};

TEST_P(MisbehavingFtpServer, AListingCutShortWith426IsAnErrorNeverASuccess) {
    Enter(L"/cut");
    ComPtr<_FTPFiles> files;
    ExpectRaised(static_cast<HRESULT>(0x80040204), ftp_->Files(&files),
                 L"Error retrieving directory listing.(2)(12003)(0)", L"426");
    EXPECT_EQ(nullptr, files.Get());
    Directory_Listing_Type all = static_cast<Directory_Listing_Type>(63);
    BSTR text = nullptr;
    ExpectRaised(static_cast<HRESULT>(0x80040204), ftp_->GetDirectoryListing(&all, &text),
                 L"Error retrieving directory listing.(2)(12003)(0)", L"426");
    EXPECT_EQ(nullptr, text);
    ExpectStillUsable();
}

TEST_P(MisbehavingFtpServer, GarbageAndOverlongLinesNeitherCrashNorHideTheGoodEntries) {
    Enter(L"/garbage");
    ComPtr<_FTPFiles> files;
    ASSERT_EQ(S_OK, ftp_->Files(&files));
    std::set<std::wstring> names = Names(files.Get());
    EXPECT_TRUE(names.count(L"first.txt") && names.count(L"last.txt"));

    Enter(L"/long");
    files.Reset();
    ASSERT_EQ(S_OK, ftp_->Files(&files));
    names = Names(files.Get());
    EXPECT_TRUE(names.count(L"short.txt"));
    for (const std::wstring& name : names) EXPECT_LT(name.size(), 260u);
    ExpectStillUsable();
}

// A transfer the server cuts half way (426) leaves what arrived; the next
// resumed call moves only the rest, and the file is whole, byte for byte.
TEST_P(MisbehavingFtpServer, TransfersCutHalfWayResumeWhereTheyStopped) {
    ComPtr<_FTP4> ftp;
    ASSERT_EQ(S_OK, ftp_.As(&ftp));
    std::string pattern(65536, '\0');
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i % 251);
    const std::wstring mode = GetParam() ? L"passive" : L"active";
    const std::wstring local = Scratch() + L"\\cut-" + mode + L".bin", source = Scratch() + L"\\up-" + mode + L".bin";
    DeleteFileW(local.c_str());
    ASSERT_TRUE(WriteBytes(source, pattern));
    Ftp_Transfer_Type binary = TransferBinary;
    ASSERT_EQ(S_OK, ftp->put_TransferType(&binary));
    TextArgument cut(L"cut.bin"), cutUp(L"cut-up.bin"), localPath(local), sourcePath(source);

    ExpectRaised(static_cast<HRESULT>(0x80040214), ftp->ResumeGetFile(*&cut, *&localPath),
                 L"Error resuming file from the remote server.", L"426");
    EXPECT_EQ(pattern.substr(0, 32768), ReadBytes(local).value_or(""));
    EXPECT_EQ(S_OK, ftp->ResumeGetFile(*&cut, *&localPath));
    EXPECT_EQ(pattern, ReadBytes(local).value_or(""));

    ExpectRaised(static_cast<HRESULT>(0x80040207), ftp->PutFile(&sourcePath, &cutUp),
                 L"Error putting file to remote server.", L"");
    double size = 0;
    EXPECT_EQ(S_OK, ftp->FileSize(*&cutUp, &size));
    EXPECT_EQ(32768.0, size);
    EXPECT_EQ(S_OK, ftp->ResumePutFile(*&sourcePath, *&cutUp));
    const std::wstring back = Scratch() + L"\\back-" + mode + L".bin";
    TextArgument backPath(back);
    VARIANT_BOOL overwrite = VARIANT_TRUE;
    ASSERT_EQ(S_OK, ftp->GetFile(&cutUp, &backPath, &overwrite));
    EXPECT_EQ(pattern, ReadBytes(back).value_or(""));
    ExpectStillUsable();
}

// A preliminary reply the platform takes for the answer (the real one still
// to come), and a reply it cannot read, close the session: no later member
// reads that answer as its own.
TEST_P(MisbehavingFtpServer, RepliesThatPutTheSessionOutOfStepCloseIt) {
    VARIANT directory = {};
    for (const wchar_t* name : {L"early.txt", L"endless.txt"}) {
        TextArgument remote(name);
        ExpectRaised(static_cast<HRESULT>(0x80040209), ftp_->DeleteFileW(&remote), L"Error deleting file from the remote server.",
                     name[1] == L'a' ? L"150 wait" : L"DeleteFile error code: 12152 Message: The server's reply could not be read");
        EXPECT_EQ(static_cast<HRESULT>(0x8004020D), ftp_->get_Directory(&directory));
        TakeError();
        EXPECT_EQ(S_OK, ftp_->OpenConnection());
    }
    ExpectStillUsable();
    // A size the platform's listing clamps, which the server will not tell: unknown, never the clamp.
    Enter(L"/clamped");
    ComPtr<_FTPFiles> files;
    ComPtr<_FTPFile> entry;
    ComPtr<_FTPFile2> exact;
    double size = 0;
    ASSERT_EQ(S_OK, ftp_->Files(&files));
    ASSERT_EQ(S_OK, files->Item(Number(1), &entry));
    ASSERT_EQ(S_OK, entry.As(&exact));
    EXPECT_EQ(S_OK, exact->get_Size(&size));
    EXPECT_EQ(-1.0, size);
}

// A listed name the local file system takes for a file this download wrote
// moments before (its short name) stops the download; the first file stays.
TEST_P(MisbehavingFtpServer, AShortNameNeverReplacesTheFileItNames) {
    const std::wstring folder = Scratch() + L"\\short-names-" + (GetParam() ? L"passive" : L"active");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(folder + L"\\longfilename.txt", "probe"));
    wchar_t shortPath[MAX_PATH];
    ASSERT_NE(0u, GetShortPathNameW((folder + L"\\longfilename.txt").c_str(), shortPath, MAX_PATH));
    ::DeleteFileW((folder + L"\\longfilename.txt").c_str());
    TextArgument remote(L"/short/" + std::wstring(wcsrchr(shortPath, L'\\') + 1)), local(folder + L"\\down");
    VARIANT_BOOL yes = VARIANT_TRUE;
    ExpectRaised(static_cast<HRESULT>(0x80040208), ftp_->GetDirectory(&remote, &local, &yes, &yes),
                 L"Error getting file from the remote server.", L"GetFile error code: 80 ");
    EXPECT_EQ("longfilename.txt", ReadBytes(folder + L"\\down\\longfilename.txt").value_or(""));
}

INSTANTIATE_TEST_SUITE_P(Modes, MisbehavingFtpServer, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "passive" : "active");
                         });

}  // namespace

namespace {

// Responses of the scripted HTTP server (QUORLIN_STAND_IN_PORT).
class MisbehavingHttpServer : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = EnvText("QUORLIN_STAND_IN_PORT");
        if (port_.empty()) GTEST_SKIP() << "no scripted HTTP server";
        http_ = NewObject<_HTTP>(CLSID_HTTP);
        ASSERT_TRUE(http_);
    }
    HRESULT Fetch(const std::wstring& path, std::wstring& body) {
        BSTR url = SysAllocString((L"127.0.0.1:" + port_ + path).c_str());
        HRESULT hr = http_->put_URL(&url);
        SysFreeString(url);
        BSTR text = nullptr;
        if (SUCCEEDED(hr)) hr = http_->GetString(&text);
        body.assign(text ? text : L"", text ? SysStringLen(text) : 0);
        SysFreeString(text);
        return hr;
    }
    // The most memory the process commits while it lives: sampled by a thread
    // of its own, since the platform reports no true peak.
    class CommitSampler {
    public:
        CommitSampler() : thread_(CreateThread(nullptr, 0, &CommitSampler::Run, this, 0, nullptr)) {}
        CommitSampler(const CommitSampler&) = delete;
        ~CommitSampler() { Stop(); }
        SIZE_T Stop() {
            if (thread_) {
                running_ = false;
                WaitForSingleObject(thread_, INFINITE);
                CloseHandle(thread_);
                thread_ = nullptr;
            }
            return peak_;
        }
        static SIZE_T Committed() {
            PROCESS_MEMORY_COUNTERS counters = {};
            counters.cb = sizeof counters;
            GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
            return counters.PagefileUsage;
        }

    private:
        static DWORD WINAPI Run(void* self) {
            auto* sampler = static_cast<CommitSampler*>(self);
            while (sampler->running_) {
                sampler->peak_ = std::max(sampler->peak_, Committed());
                Sleep(1);
            }
            return 0;
        }
        volatile bool running_ = true;
        SIZE_T peak_ = 0;
        HANDLE thread_;
    };

    void ExpectOutOfRoom(HRESULT hr) {
        EXPECT_EQ(static_cast<HRESULT>(0x800403EB), hr);
        RaisedError error = TakeError();
        EXPECT_EQ(L"Quorlin.HTTP", error.source);
        EXPECT_EQ(0u, error.description.rfind(L"Error getting information out of request.GetString error code: 8 ", 0))
            << std::string(error.description.begin(), error.description.end());
    }

    std::wstring port_;
    ComPtr<_HTTP> http_;
};

// First in this file, before any large body has raised the process's peak.
TEST_F(MisbehavingHttpServer, AClaimedLengthAloneClaimsNoMemory) {
    std::wstring body;
    const SIZE_T before = CommitSampler::Committed();
    CommitSampler sampler;
    // More than one text can hold: refused before anything is read.
    ExpectOutOfRoom(Fetch(L"/claim/10737418240", body));
    EXPECT_TRUE(body.empty());
    // Within what a text holds, but only 1 KB arrives: the body is short.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(static_cast<HRESULT>(0x800403EB), Fetch(L"/claim/900000000", body));
        EXPECT_NE(std::wstring::npos, TakeError().description.find(L"GetString error code: 12030 "));
    }
    const SIZE_T peak = sampler.Stop();
    EXPECT_LT(peak - std::min(peak, before), static_cast<SIZE_T>(64) << 20) << "grown with what arrived, not the claim";
    EXPECT_EQ(S_OK, Fetch(L"/chunked", body)) << "the object works on";
}

TEST_F(MisbehavingHttpServer, LargeHeadersLargeUnannouncedBodiesAndContradictoryLengths) {
    std::wstring body;
    ASSERT_EQ(S_OK, Fetch(L"/big-header", body));
    EXPECT_EQ(L"small", body);
    ASSERT_EQ(S_OK, Fetch(L"/big-unannounced", body));
    ASSERT_EQ(64u << 20, body.size());
    EXPECT_EQ(L'\x01', body[1]);
    EXPECT_EQ(static_cast<wchar_t>(0x20AC), body[128]) << "byte 0x80 in code page 1252";
    // The chunked coding marks the end, whatever length the response claims too.
    ASSERT_EQ(S_OK, Fetch(L"/chunked-with-length", body));
    EXPECT_EQ(L"hello world", body);
}

TEST_F(MisbehavingHttpServer, ABodyWithoutEndFailsOnceNoTextCouldHoldIt) {
    std::wstring body;
    ExpectOutOfRoom(Fetch(L"/endless", body));
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(S_OK, Fetch(L"/chunked", body)) << "the object works on";
}

}  // namespace
