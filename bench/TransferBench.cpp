// Throughput of PutFile and GetFile through the component's vtable, on one
// large file and on many small ones. Prints one RESULT line per figure:
//   RESULT <name> <seconds> <files> <bytes>
// Usage: transfer_bench <port> <user> <password> <local folder> <large file name> <small file count> [security]
// (security "sftp": over SFTP, see BenchSupport.h)
// The remote side is the login directory's "bench" folder, which must exist;
// the local folder holds the large file, a "small" folder of files named
// f0000.bin and up, and empty folders "small-back" and "small-fresh".
#include "BenchSupport.h"

#include <cstdlib>
#include <string>
#include <cwchar>

namespace {

std::wstring SmallName(int index) {
    wchar_t name[16];
    std::swprintf(name, 16, L"f%04d.bin", index);
    return name;
}

int Run(int argc, char** argv) {
    if (argc != 7 && argc != 8) {
        std::printf("usage: transfer_bench port user password local-folder large-file small-count [security]\n");
        return 2;
    }
    const LONG port = std::atol(argv[1]);
    const std::wstring folder = Widen(argv[4]), large = Widen(argv[5]);
    const int smallCount = std::atoi(argv[6]);

    const LONG security = argc < 8 ? 0 : std::string(argv[7]) == "sftp" ? kOverSftp : std::atol(argv[7]);
    ComPtr<_FTP> ftp = ConnectedFtp(port, argv[2], argv[3], security);
    Text bench(L"bench");
    if (!ftp || !Report(ftp->put_Directory(&bench), "Directory")) return 1;

    VARIANT_BOOL overwrite = VARIANT_TRUE;
    {
        Text local(folder + L"\\" + large), remote(large), back(folder + L"\\" + large + L".back");
        Clock::time_point start = Clock::now();
        if (!Report(ftp->PutFile(&local, &remote), "PutFile large")) return 1;
        std::printf("RESULT put-large %.3f 1 0\n", Since(start));
        start = Clock::now();
        if (!Report(ftp->GetFile(&remote, &back, &overwrite), "GetFile large")) return 1;
        std::printf("RESULT get-large %.3f 1 0\n", Since(start));
    }

    Clock::time_point start = Clock::now();
    for (int i = 0; i < smallCount; ++i) {
        Text local(folder + L"\\small\\" + SmallName(i)), remote(SmallName(i));
        if (!Report(ftp->PutFile(&local, &remote), "PutFile small")) return 1;
    }
    std::printf("RESULT put-small %.3f %d 0\n", Since(start), smallCount);
    start = Clock::now();
    for (int i = 0; i < smallCount; ++i) {
        Text remote(SmallName(i)), local(folder + L"\\small-back\\" + SmallName(i));
        if (!Report(ftp->GetFile(&remote, &local, &overwrite), "GetFile small")) return 1;
    }
    std::printf("RESULT get-small %.3f %d 0\n", Since(start), smallCount);
    // The same downloads without overwrite, onto new files: nothing to replace.
    VARIANT_BOOL keep = VARIANT_FALSE;
    start = Clock::now();
    for (int i = 0; i < smallCount; ++i) {
        Text remote(SmallName(i)), local(folder + L"\\small-fresh\\" + SmallName(i));
        if (!Report(ftp->GetFile(&remote, &local, &keep), "GetFile small, no overwrite")) return 1;
    }
    std::printf("RESULT get-small-fresh %.3f %d 0\n", Since(start), smallCount);
    return Report(ftp->CloseConnection(), "CloseConnection") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CoInitialize(nullptr);
    int result = Run(argc, argv);
    CoUninitialize();
    std::fflush(stdout);
    return result;
}
