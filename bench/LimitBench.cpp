// What a time limit costs: a tree up and down and one large file up and down,
// with Timeout 0 and with Timeout 60, alternating the two settings in one run
// and taking the median of the repeats.
//   limit_bench.exe PORT USER PASSWORD LOCAL_ROOT REMOTE_ROOT FILES REPEATS
// LOCAL_ROOT holds the tree in "src" and the large file "big.bin"; REMOTE_ROOT
// is an absolute remote path whose folder the FTP user may write.
#include "BenchSupport.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    std::vector<double> treeUp, treeDown, bigUp, bigDown;
};

// One round of the four operations with `seconds` as the limit.
bool Round(_FTP2* ftp, LONG seconds, const std::wstring& local, const std::wstring& remote, Figures& figures) {
    if (!Report(ftp->put_Timeout(seconds), "Timeout")) return false;
    const std::wstring suffix = std::to_wstring(seconds);
    Text source(local + L"\\src"), up(remote + L"/up-" + suffix), down(local + L"\\down-" + suffix);
    Text upName(L"up-" + suffix), home(remote);
    VARIANT_BOOL yes = VARIANT_TRUE;
    if (!Report(ftp->put_Directory(&home), "Directory")) return false;
    if (FAILED(ftp->CreateDirectory(&upName))) SetErrorInfo(0, nullptr);  // there from an earlier round
    Clock::time_point start = Clock::now();
    if (!Report(ftp->PutDirectory(&source, &up, &yes), "PutDirectory")) return false;
    figures.treeUp.push_back(Since(start));
    start = Clock::now();
    if (!Report(ftp->GetDirectory(&up, &down, &yes, &yes), "GetDirectory")) return false;
    figures.treeDown.push_back(Since(start));

    Text big(local + L"\\big.bin"), bigRemote(L"big-" + suffix + L".bin"), bigDown(local + L"\\big-down.bin");
    start = Clock::now();
    if (!Report(ftp->PutFile(&big, &bigRemote), "PutFile")) return false;
    figures.bigUp.push_back(Since(start));
    start = Clock::now();
    if (!Report(ftp->GetFile(&bigRemote, &bigDown, &yes), "GetFile")) return false;
    figures.bigDown.push_back(Since(start));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::printf("usage: limit_bench.exe PORT USER PASSWORD LOCAL_ROOT REMOTE_ROOT FILES REPEATS\n");
        return 2;
    }
    CoInitialize(nullptr);
    const std::wstring local = Widen(argv[4]), remote = Widen(argv[5]);
    const double files = std::atof(argv[6]);
    const int repeats = std::max(5, std::atoi(argv[7]));
    ComPtr<_FTP> connected = ConnectedFtp(std::atoi(argv[1]), argv[2], argv[3]);
    ComPtr<_FTP2> ftp;
    if (!connected || FAILED(connected.As(&ftp))) return 1;
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExW((local + L"\\big.bin").c_str(), GetFileExInfoStandard, &data);
    const double mebibytes = data.nFileSizeLow / 1048576.0 + data.nFileSizeHigh * 4096.0;

    Figures without, with;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        // Alternating which goes first, so that neither always meets a warm cache.
        const bool zeroFirst = repeat % 2 == 0;
        for (int half = 0; half < 2; ++half) {
            const bool zero = (half == 0) == zeroFirst;
            if (!Round(ftp.Get(), zero ? 0 : 60, local, remote, zero ? without : with)) return 1;
        }
    }
    // Besides the ratio of the medians, the median of each repeat's own ratio:
    // the two halves of a repeat run back to back, so a drift of the machine
    // over the run cancels out of it.
    auto line = [&](const char* what, const std::vector<double>& a, const std::vector<double>& b, bool perFile) {
        const double zero = Median(a), limited = Median(b);
        std::vector<double> paired;
        for (size_t i = 0; i < a.size(); ++i) paired.push_back(b[i] / a[i]);
        if (perFile)
            std::printf("  %-14s Timeout 0: %8.2f ms/file   Timeout 60: %8.2f ms/file   ratio %.3f   paired %.3f\n",
                        what, zero * 1e3 / files, limited * 1e3 / files, limited / zero, Median(paired));
        else
            std::printf("  %-14s Timeout 0: %8.1f MiB/s     Timeout 60: %8.1f MiB/s     time ratio %.3f   paired %.3f\n",
                        what, mebibytes / zero, mebibytes / limited, limited / zero, Median(paired));
    };
    std::printf("medians of %d alternated repeats\n", repeats);
    line("PutDirectory", without.treeUp, with.treeUp, true);
    line("GetDirectory", without.treeDown, with.treeDown, true);
    line("PutFile", without.bigUp, with.bigUp, false);
    line("GetFile", without.bigDown, with.bigDown, false);
    ftp->CloseConnection();
    CoUninitialize();
    return 0;
}
