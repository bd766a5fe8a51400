// Allocation failures made on purpose inside the component (quorlin_faults.dll,
// QUORLIN_FAULTS_DLL): for each allocation a member makes, that allocation
// fails once, and the member either works or raises its own error (code 8 in
// its platform-failure row, or E_OUTOFMEMORY); the process lives on and the
// next call works.
#include "TestSupport.h"
#include "listing/FileListing.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

using CountAllocations = LONG(WINAPI*)();
using FailAllocation = void(WINAPI*)(LONG nth, BOOL andLater);
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// What a scenario returns when a class factory could not make its object.
const HRESULT kNotCreated = E_ABORT;

class AllocationFaults : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring path = EnvText("QUORLIN_FAULTS_DLL");
        if (path.empty()) GTEST_SKIP() << "no QUORLIN_FAULTS_DLL";
        module_ = LoadLibraryW(path.c_str());
        ASSERT_NE(nullptr, module_);
        count_ = reinterpret_cast<CountAllocations>(GetProcAddress(module_, "QuorlinAllocationCount"));
        fail_ = reinterpret_cast<FailAllocation>(GetProcAddress(module_, "QuorlinFailAllocation"));
        getClassObject_ = reinterpret_cast<GetClassObject>(GetProcAddress(module_, "DllGetClassObject"));
        ASSERT_TRUE(count_ && fail_ && getClassObject_);
    }
    void TearDown() override {
        if (fail_) fail_(0, FALSE);
    }

    template <class Interface>
    ComPtr<Interface> Create(REFCLSID clsid) {
        ComPtr<IClassFactory> factory;
        ComPtr<Interface> object;
        if (SUCCEEDED(getClassObject_(clsid, IID_PPV_ARGS(&factory))))
            factory->CreateInstance(nullptr, IID_PPV_ARGS(&object));
        return object;
    }

    // An FTP object of the faults build, logged in to `server`.
    ComPtr<_FTP> LoggedIn(const FtpServer& server) {
        ComPtr<_FTP> ftp = Create<_FTP>(CLSID_FTP);
        TextArgument url(L"127.0.0.1"), user(FtpUser()), password(FtpPassword());
        LONG port = server.port;
        ftp->put_URL(&url);
        ftp->put_Username(&user);
        ftp->put_Password(&password);
        ftp->put_Port(&port);
        return ftp->OpenConnection() == S_OK ? ftp : nullptr;
    }

    // Runs `scenario` once to count its allocations, then once per allocation
    // with that one failing (at most about `runs` of them, spread evenly), then
    // with it and every later one failing. Each status must be S_OK or one of
    // `raised`, with a description that names out of memory (kNotCreated: the
    // class factory refused, which sets no error object); every run after a
    // failure must work again. Returns how many runs failed.
    int Sweep(const std::function<HRESULT()>& scenario, const std::set<HRESULT>& raised,
              const std::wstring& outOfMemoryText, LONG runs = 80) {
        const LONG before = count_();
        EXPECT_EQ(S_OK, scenario()) << "the scenario works with every allocation";
        const LONG allocations = count_() - before;
        EXPECT_GT(allocations, 0);
        const LONG step = allocations > runs ? allocations / runs : 1;
        int failures = 0;
        for (BOOL andLater : {FALSE, TRUE}) {
            for (LONG nth = 1; nth <= allocations; nth += andLater ? step * 8 : step) {
                fail_(nth, andLater);
                const HRESULT hr = scenario();
                fail_(0, FALSE);
                const RaisedError error = TakeError();
                if (hr == S_OK) continue;
                ++failures;
                EXPECT_TRUE(hr == kNotCreated || raised.count(hr)) << std::hex << hr << " at allocation " << nth;
                // With the later allocations failing too, even the description may be out of reach.
                if (!andLater && hr != kNotCreated) {
                    EXPECT_NE(std::wstring::npos, error.description.find(hr == E_OUTOFMEMORY ? L"Out of memory"
                                                                                             : outOfMemoryText))
                        << std::string(error.description.begin(), error.description.end());
                }
                EXPECT_EQ(S_OK, scenario()) << "the next call works after allocation " << nth << " failed";
            }
        }
        return failures;
    }

    HMODULE module_ = nullptr;
    CountAllocations count_ = nullptr;
    FailAllocation fail_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
};

const std::wstring kCodeEight = L"error code: 8 ";

TEST_F(AllocationFaults, ACollectionBeingFilledLookedUpAndWrittenOut) {
    ComPtr<_FTPFiles> files = Create<_FTPFiles>(CLSID_FTPFiles);
    ASSERT_TRUE(files);
    const int failures = Sweep(
        [&] {
            ComPtr<_FTPFiles> fresh = Create<_FTPFiles>(CLSID_FTPFiles);
            if (!fresh) return kNotCreated;
            ComPtr<quorlin::IFileListing> side;
            HRESULT hr = fresh->QueryInterface(quorlin::IID_IFileListing, reinterpret_cast<void**>(side.GetAddressOf()));
            if (FAILED(hr)) return hr;
            for (int i = 0; i < 40 && SUCCEEDED(hr); ++i) {
                WIN32_FIND_DATAA record = {};
                wsprintfA(record.cFileName, "entry-%02d-\xe9.txt", i);
                record.ftLastWriteTime = {0xD53E8000, 0x01A8E79F};
                hr = side->AddEntry(&record, nullptr);
            }
            if (FAILED(hr)) return hr;
            ComPtr<_FTPFile> found;
            VARIANT key = Text(L"ENTRY-07-\u00c9.TXT");
            hr = fresh->Item(key, &found);
            VariantClear(&key);
            if (FAILED(hr)) return hr;
            BSTR text = nullptr;
            hr = side->ListingText(63, &text);
            SysFreeString(text);
            return hr;
        },
        {E_OUTOFMEMORY}, L"Out of memory");
    EXPECT_GT(failures, 0) << "some allocation failure must reach the caller";
}

TEST_F(AllocationFaults, TextsStoredAndReadBack) {
    ComPtr<_FTP> ftp = Create<_FTP>(CLSID_FTP);
    ComPtr<_HTTP> http = Create<_HTTP>(CLSID_HTTP);
    ASSERT_TRUE(ftp && http);
    const std::wstring longText(5000, L'\u00e9');
    const int failures = Sweep(
        [&] {
            TextArgument url(longText);
            HRESULT hr = ftp->put_URL(&url);
            VARIANT read;
            VariantInit(&read);
            if (SUCCEEDED(hr)) hr = ftp->get_URL(&read);
            VariantClear(&read);
            BSTR address = SysAllocString((L"http://host.invalid/" + longText).c_str());
            if (SUCCEEDED(hr)) hr = http->put_URL(&address);
            SysFreeString(address);
            return hr;
        },
        {E_OUTOFMEMORY}, L"Out of memory");
    EXPECT_GT(failures, 0);
}

TEST_F(AllocationFaults, AListingFromARealServer) {
    const std::vector<FtpServer> servers = FtpServers();
    if (servers.empty()) GTEST_SKIP() << "no FTP server";
    const std::wstring folder = L"faults-listing";
    CreateDirectoryW((FtpHomeWindows() + L"\\" + folder).c_str(), nullptr);
    for (int i = 0; i < 5; ++i)
        WriteBytes(FtpHomeWindows() + L"\\" + folder + L"\\f" + std::to_wstring(i) + L".txt", "x");
    ComPtr<_FTP> ftp = LoggedIn(servers[0]);
    ASSERT_TRUE(ftp);
    TextArgument directory(folder);
    ASSERT_EQ(S_OK, ftp->put_Directory(&directory));
    const int failures = Sweep(
        [&] {
            ComPtr<_FTPFiles> files;
            HRESULT hr = ftp->Files(&files);
            LONG count = 0;
            if (SUCCEEDED(hr)) hr = files->Count(&count);
            return SUCCEEDED(hr) && count != 5 ? E_FAIL : hr;
        },
        {static_cast<HRESULT>(0x80040204), E_OUTOFMEMORY},
        L"Error retrieving directory listing.(1)GetDirectoryListing " + kCodeEight);
    EXPECT_GT(failures, 0);
}

TEST_F(AllocationFaults, ATreeDownload) {
    const std::vector<FtpServer> servers = FtpServers();
    if (servers.empty()) GTEST_SKIP() << "no FTP server";
    const std::wstring remote = FtpHomeWindows() + L"\\faults-tree";
    CreateDirectoryW(remote.c_str(), nullptr);
    CreateDirectoryW((remote + L"\\inner").c_str(), nullptr);
    WriteBytes(remote + L"\\top.txt", "top");
    WriteBytes(remote + L"\\inner\\inner.txt", "inner");
    ComPtr<_FTP> ftp = LoggedIn(servers[0]);
    ASSERT_TRUE(ftp);
    VARIANT home;
    VariantInit(&home);
    ASSERT_EQ(S_OK, ftp->get_Directory(&home));
    const std::wstring start = ReadText(home);
    VariantClear(&home);
    int run = 0;
    Sweep(
        [&] {
            // Each run starts in the login directory and writes a folder of its own.
            TextArgument back(start);
            ftp->put_Directory(&back);
            TextArgument source(start + (start.back() == L'/' ? L"" : L"/") + L"faults-tree");
            TextArgument target(Scratch() + L"\\faults-tree-" + std::to_wstring(++run));
            VARIANT_BOOL overwrite = VARIANT_TRUE, traverse = VARIANT_TRUE;
            return ftp->GetDirectory(&source, &target, &overwrite, &traverse);
        },
        {static_cast<HRESULT>(0x80040202), static_cast<HRESULT>(0x80040203), static_cast<HRESULT>(0x80040204),
         static_cast<HRESULT>(0x80040208), E_OUTOFMEMORY},
        kCodeEight, 15);
}

TEST_F(AllocationFaults, APageBody) {
    const std::wstring page = L"faults-page.html";
    ASSERT_TRUE(WriteBytes(EnvText("QUORLIN_WWW") + L"\\" + page, std::string(300000, 'p')));
    ComPtr<_HTTP> http = Create<_HTTP>(CLSID_HTTP);
    ASSERT_TRUE(http);
    const int failures = Sweep(
        [&] {
            BSTR address = SysAllocString((L"127.0.0.1:" + EnvText("QUORLIN_HTTP_PORT") + L"/" + page).c_str());
            HRESULT hr = http->put_URL(&address);
            SysFreeString(address);
            BSTR body = nullptr;
            if (SUCCEEDED(hr)) hr = http->GetString(&body);
            if (SUCCEEDED(hr) && SysStringLen(body) != 300000) hr = E_FAIL;
            SysFreeString(body);
            return hr;
        },
        {static_cast<HRESULT>(0x800403EB), E_OUTOFMEMORY},
        L"Error getting information out of request.GetString " + kCodeEight);
    EXPECT_GT(failures, 0);
}

}  // namespace
