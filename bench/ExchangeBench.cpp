// Exchange benchmark on one transport: PutFiles and GetFiles of a folder of
// files beside PutDirectory and GetDirectory of the same folder, and
// Synchronize of an unchanged tree beside listing it (Files of each folder).
// Pairs take turns over the repeats; medians count.
//   exchange_bench.exe PORT USER PASSWORD SECURITY LOCAL_ROOT REMOTE_ROOT REPEATS
// SECURITY: 0 plain, 1 explicit TLS, -1 SFTP. LOCAL_ROOT holds "flat" (files)
// and "tree" (folders of files); REMOTE_ROOT is an absolute remote folder.
// Prints "RESULT <name> <seconds> <files>" lines and a summary.
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

VARIANT Number(LONG value) {
    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_I4;
    V_I4(&number) = value;
    return number;
}

std::vector<std::wstring> Folders(const std::string& local) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((local + "\\*").c_str(), &entry);
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry.cFileName[0] != '.')
            names.push_back(Widen(entry.cFileName));
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8) {
        std::printf("usage: exchange_bench PORT USER PASSWORD SECURITY LOCAL_ROOT REMOTE_ROOT REPEATS\n");
        return 2;
    }
    const std::string local = argv[5];
    const std::wstring remote = Widen(argv[6]);
    const int repeats = std::max(1, std::atoi(argv[7]));
    CoInitialize(nullptr);
    ComPtr<_FTP> ftp = ConnectedFtp(std::atoi(argv[1]), argv[2], argv[3], std::atoi(argv[4]));
    ComPtr<_FTP5> batch;
    if (!ftp || !Report(ftp.As(&batch), "_FTP5")) return 1;
    for (const wchar_t* folder : {L"/dir-up", L"/files-up", L"/tree"}) {
        Text name(remote + folder);
        ftp->CreateDirectory(&name);
    }
    const VARIANT overwrite = Number(16), recurse = Number(1);
    VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
    Text flat(Widen((local + "\\flat").c_str())), flatMask(Widen((local + "\\flat\\*").c_str()));
    Text dirUp(remote + L"/dir-up"), filesUp(remote + L"/files-up"), filesMask(remote + L"/files-up/*");
    std::vector<double> putDirectory, putFiles, getDirectory, getFiles;
    LONG files = 0;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        const std::wstring suffix = std::to_wstring(repeat);
        Text dirDown(Widen((local + "\\dir-down").c_str()) + suffix);
        Text filesDown(Widen((local + "\\files-down").c_str()) + suffix);
        for (int turn = 0; turn < 2; ++turn) {
            const bool directoryFirst = (repeat + turn) % 2 == 0;
            auto started = Clock::now();
            if (directoryFirst) {
                if (!Report(ftp->PutDirectory(&flat, &dirUp, &no), "PutDirectory")) return 1;
                putDirectory.push_back(Since(started));
            } else {
                if (!Report(batch->PutFiles(*&flatMask, *&filesUp, overwrite, &files), "PutFiles")) return 1;
                putFiles.push_back(Since(started));
            }
        }
        for (int turn = 0; turn < 2; ++turn) {
            const bool directoryFirst = (repeat + turn) % 2 == 0;
            auto started = Clock::now();
            if (directoryFirst) {
                if (!Report(ftp->GetDirectory(&dirUp, &dirDown, &yes, &no), "GetDirectory")) return 1;
                getDirectory.push_back(Since(started));
            } else {
                if (!Report(batch->GetFiles(*&filesMask, *&filesDown, overwrite, &files), "GetFiles")) return 1;
                getFiles.push_back(Since(started));
            }
        }
    }

    // The unchanged tree: Synchronize sends nothing; listing it is Files of each folder.
    Text tree(Widen((local + "\\tree").c_str())), remoteTree(remote + L"/tree"), everyFile(L"*");
    LONG sent = 0;
    if (!Report(batch->Synchronize(*&tree, *&remoteTree, 1, recurse, *&everyFile, &sent), "Synchronize")) return 1;
    if (sent == 0) return std::printf("Synchronize sent no tree\n"), 1;
    const std::vector<std::wstring> folders = Folders(local + "\\tree");
    std::vector<double> synchronize, listing;
    size_t treeFiles = 0;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (int turn = 0; turn < 2; ++turn) {
            auto started = Clock::now();
            if ((repeat + turn) % 2 == 0) {
                if (!Report(batch->Synchronize(*&tree, *&remoteTree, 1, recurse, *&everyFile, &sent), "Synchronize")) return 1;
                if (sent != 0) return std::printf("an unchanged tree sent %ld files\n", sent), 1;
                synchronize.push_back(Since(started));
            } else {
                treeFiles = 0;
                for (const std::wstring& folder : folders) {
                    Text path(remote + L"/tree/" + folder);
                    ComPtr<_FTPFiles> entries;
                    LONG count = 0;
                    if (!Report(ftp->put_Directory(&path), "Directory") || !Report(ftp->Files(&entries), "Files")) return 1;
                    entries->Count(&count);
                    treeFiles += static_cast<size_t>(count);
                }
                listing.push_back(Since(started));
            }
        }
    }
    const double n = files > 0 ? files : 1;
    const double pd = Median(putDirectory), pf = Median(putFiles), gd = Median(getDirectory), gf = Median(getFiles);
    const double sy = Median(synchronize), li = Median(listing);
    std::printf("RESULT put-directory %.3f %ld\nRESULT put-files %.3f %ld\n", pd, files, pf, files);
    std::printf("RESULT get-directory %.3f %ld\nRESULT get-files %.3f %ld\n", gd, files, gf, files);
    std::printf("RESULT synchronize-unchanged %.3f %zu\nRESULT list-tree %.3f %zu\n", sy, treeFiles, li, treeFiles);
    std::printf("  PutFiles %.2f ms/file, PutDirectory %.2f ms/file: %.3fx\n", pf * 1e3 / n, pd * 1e3 / n, pf / pd);
    std::printf("  GetFiles %.2f ms/file, GetDirectory %.2f ms/file: %.3fx\n", gf * 1e3 / n, gd * 1e3 / n, gf / gd);
    std::printf("  Synchronize of the unchanged tree (%zu files in %zu folders) %.1f ms, listing it %.1f ms: %.3fx\n",
                treeFiles, folders.size(), sy * 1e3, li * 1e3, sy / li);
    return 0;
}
