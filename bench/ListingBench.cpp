// Listing benchmark: the component's own cost per entry (AddEntry, the
// collection and the text listing with flags 63) on synthetic find records,
// keyed lookups on a large collection, and Files on a real listing beside the
// platform's plain find loop on the same server.
//   listing_bench.exe PORT USER PASSWORD REMOTE_DIRECTORY
#include "BenchSupport.h"
#include "listing/FileListing.h"

#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using quorlin::IFileListing;
using quorlin::IID_IFileListing;

namespace {

std::vector<WIN32_FIND_DATAA> SyntheticRecords(size_t count) {
    std::vector<WIN32_FIND_DATAA> records(count);
    for (size_t i = 0; i < count; ++i) {
        WIN32_FIND_DATAA& record = records[i];
        record = {};
        record.dwFileAttributes = (i % 10 == 0) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        record.nFileSizeLow = static_cast<DWORD>(i * 7919);
        const ULONGLONG stamp = 126000000000000000ull + i * 10000000ull * 61;
        record.ftLastWriteTime = {static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
        record.ftLastAccessTime = record.ftLastWriteTime;
        record.ftCreationTime = record.ftLastWriteTime;
        std::snprintf(record.cFileName, MAX_PATH, "entry-%07zu.dat", i);
    }
    return records;
}

ComPtr<IFileListing> NewListing(ComPtr<_FTPFiles>& files) {
    ComPtr<IFileListing> listing;
    if (FAILED(CoCreateInstance(CLSID_FTPFiles, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&files))) ||
        FAILED(files->QueryInterface(IID_IFileListing, reinterpret_cast<void**>(listing.GetAddressOf())))) {
        std::printf("cannot create the collection\n");
        std::exit(1);
    }
    return listing;
}

// Seconds for one collection of `records`: every AddEntry, then the text with flags 63.
double BuildAndList(const std::vector<WIN32_FIND_DATAA>& records, size_t& textLength) {
    ComPtr<_FTPFiles> files;
    ComPtr<IFileListing> listing = NewListing(files);
    auto started = Clock::now();
    for (const WIN32_FIND_DATAA& record : records) listing->AddEntry(&record, nullptr);
    BSTR text = nullptr;
    listing->ListingText(63, &text);
    const double seconds = Since(started);
    textLength = SysStringLen(text);
    SysFreeString(text);
    return seconds;
}

void SyntheticEntries() {
    std::printf("synthetic find records: AddEntry + collection + GetDirectoryListing(63) text\n");
    double perEntry10k = 0;
    for (size_t count : {1000u, 10000u, 100000u, 1000000u}) {
        const std::vector<WIN32_FIND_DATAA> records = SyntheticRecords(count);
        // Small sizes repeat to reach about a million entries; the best run counts.
        const size_t runs = std::max<size_t>(3, 1000000 / count);
        double best = 1e9;
        size_t textLength = 0;
        for (size_t run = 0; run < runs; ++run) best = std::min(best, BuildAndList(records, textLength));
        const double microseconds = best * 1e6 / count;
        if (count == 10000) perEntry10k = microseconds;
        std::printf("  %8zu entries: %8.1f ms, %6.3f us per entry (best of %zu), text %zu chars", count, best * 1e3,
                    microseconds, runs, textLength);
        if (count == 1000000) std::printf(", %.2fx the 10k figure per entry", microseconds / perEntry10k);
        std::printf("\n");
    }
}

void KeyedLookups() {
    std::printf("keyed Item lookups (text keys, other case than listed, random order)\n");
    for (size_t count : {1000u, 10000u, 100000u, 1000000u}) {
        const std::vector<WIN32_FIND_DATAA> records = SyntheticRecords(count);
        ComPtr<_FTPFiles> files;
        ComPtr<IFileListing> listing = NewListing(files);
        for (const WIN32_FIND_DATAA& record : records) listing->AddEntry(&record, nullptr);
        const size_t lookups = 100000;
        std::vector<VARIANT> keys(lookups);
        for (size_t i = 0; i < lookups; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "ENTRY-%07zu.DAT", (i * 7919) % count);
            wchar_t wide[64];
            MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64);
            VariantInit(&keys[i]);
            V_VT(&keys[i]) = VT_BSTR;
            V_BSTR(&keys[i]) = SysAllocString(wide);
        }
        // The first lookup builds the index.
        auto started = Clock::now();
        _FTPFile* first = nullptr;
        if (SUCCEEDED(files->Item(keys[0], &first))) first->Release();
        const double indexSeconds = Since(started);
        size_t found = 0;
        started = Clock::now();
        for (VARIANT& key : keys) {
            _FTPFile* entry = nullptr;
            if (SUCCEEDED(files->Item(key, &entry))) {
                ++found;
                entry->Release();
            }
        }
        const double seconds = Since(started);
        for (VARIANT& key : keys) VariantClear(&key);
        std::printf("  %7zu entries: %6.3f us per lookup (%zu of %zu found); first lookup, building the index: %.1f ms\n",
                    count, seconds * 1e6 / lookups, found, lookups, indexSeconds * 1e3);
    }
}

// The platform's plain loop: find first, find next until the end, close.
size_t RawListing(HINTERNET connection) {
    WIN32_FIND_DATAA record = {};
    HINTERNET find = FtpFindFirstFileA(connection, nullptr, &record, 0, 0);
    if (!find) return 0;
    size_t entries = 1;
    while (InternetFindNextFileA(find, &record)) ++entries;
    InternetCloseHandle(find);
    return entries;
}

void RealListing(int port, const char* user, const char* password, const char* directory) {
    ComPtr<_FTP> ftp = ConnectedFtp(port, user, password);
    Text folder(Widen(directory));
    if (!ftp || !Report(ftp->put_Directory(&folder), "Directory")) return;
    HINTERNET internet = InternetOpenA("listing bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(internet, "127.0.0.1", static_cast<INTERNET_PORT>(port), user, password,
                                            INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    if (!connection || !FtpSetCurrentDirectoryA(connection, directory)) {
        std::printf("the plain loop cannot reach the directory\n");
        return;
    }
    // Alternate the two so that drift hits both alike; the best of each counts.
    const int rounds = 7;
    double component = 1e9, plain = 1e9;
    LONG count = 0;
    size_t rawCount = 0;
    for (int round = 0; round < rounds; ++round) {
        auto started = Clock::now();
        ComPtr<_FTPFiles> files;
        if (FAILED(ftp->Files(&files))) {
            std::printf("Files failed\n");
            return;
        }
        component = std::min(component, Since(started));
        files->Count(&count);
        files.Reset();
        started = Clock::now();
        rawCount = RawListing(connection);
        plain = std::min(plain, Since(started));
    }
    std::printf("real listing from the server, best of %d\n", rounds);
    std::printf("  Files: %ld entries in %.1f ms; plain find loop: %zu entries in %.1f ms; Files/plain %.3f\n",
                static_cast<long>(count), component * 1e3, rawCount, plain * 1e3, component / plain);

    // CodePage 65001 beside 0 on the same listing, alternated, medians.
    ComPtr<_FTP2> ftp2;
    if (FAILED(ftp.As(&ftp2))) return;
    std::vector<double> seconds[2];
    for (int round = 0; round < 15; ++round) {
        for (int half = 0; half < 2; ++half) {
            const int utf8 = (half + round) % 2;
            ftp2->put_CodePage(utf8 ? 65001 : 0);
            auto started = Clock::now();
            ComPtr<_FTPFiles> files;
            if (FAILED(ftp->Files(&files))) return;
            seconds[utf8].push_back(Since(started));
        }
    }
    for (std::vector<double>& values : seconds) std::sort(values.begin(), values.end());
    const double ansi = seconds[0][7], utf8 = seconds[1][7];
    std::printf("  Files with CodePage 65001: %.1f ms beside %.1f ms with 0 (medians of 15 alternated), ratio %.3f\n",
                utf8 * 1e3, ansi * 1e3, utf8 / ansi);
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
}

}  // namespace

int main(int argc, char** argv) {
    CoInitialize(nullptr);
    SyntheticEntries();
    KeyedLookups();
    if (argc == 5) RealListing(std::atoi(argv[1]), argv[2], argv[3], argv[4]);
    CoUninitialize();
    return 0;
}
