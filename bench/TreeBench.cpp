// Tree benchmark: PutDirectory and GetDirectory on a local tree against the
// platform's own calls in a plain loop doing the same protocol work (MKD, CWD
// and FtpPutFileA per file; CWD, a listing and FtpGetFileA per file), on one
// server in one run.
//   tree_bench.exe PORT USER PASSWORD LOCAL_ROOT REMOTE_ROOT
// LOCAL_ROOT holds the tree in "src"; REMOTE_ROOT is an absolute remote path.
// Prints "RESULT <name> <seconds> <files>" lines and a summary.
#include "BenchSupport.h"

#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The platform's own calls, as plainly as they do the same work.
class PlainLoop {
public:
    PlainLoop(int port, const char* user, const char* password) {
        internet_ = InternetOpenA("tree bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        connection_ = InternetConnectA(internet_, "127.0.0.1", static_cast<INTERNET_PORT>(port), user, password,
                                       INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
    }
    ~PlainLoop() {
        if (connection_) InternetCloseHandle(connection_);
        if (internet_) InternetCloseHandle(internet_);
    }
    bool Ready() const { return connection_ != nullptr; }

    // MKD and CWD per folder, FtpPutFileA per file by its bare name.
    size_t Upload(const std::string& local, const std::string& remote) {
        if (!FtpSetCurrentDirectoryA(connection_, remote.c_str())) return Fail("CWD", remote);
        size_t files = 0;
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA((local + "\\*").c_str(), &entry);
        std::vector<std::string> folders, names;
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? folders : names).push_back(name);
        } while (FindNextFileA(find, &entry));
        FindClose(find);
        for (const std::string& folder : folders) {
            FtpCreateDirectoryA(connection_, folder.c_str());
            files += Upload(local + "\\" + folder, remote + "/" + folder);
            FtpSetCurrentDirectoryA(connection_, remote.c_str());
        }
        for (const std::string& name : names) {
            if (!FtpPutFileA(connection_, (local + "\\" + name).c_str(), name.c_str(), FTP_TRANSFER_TYPE_BINARY, 0))
                return Fail("STOR", name);
            ++files;
        }
        return files;
    }

    // CWD and a listing per folder, FtpGetFileA per file.
    size_t Download(const std::string& remote, const std::string& local) {
        CreateDirectoryA(local.c_str(), nullptr);
        if (!FtpSetCurrentDirectoryA(connection_, remote.c_str())) return Fail("CWD", remote);
        std::vector<WIN32_FIND_DATAA> entries;
        WIN32_FIND_DATAA entry = {};
        HINTERNET find = FtpFindFirstFileA(connection_, nullptr, &entry, 0, 0);
        if (find) {
            do entries.push_back(entry);
            while (InternetFindNextFileA(find, &entry));
            InternetCloseHandle(find);
        }
        size_t files = 0;
        for (const WIN32_FIND_DATAA& item : entries) {
            const std::string name = item.cFileName;
            if (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                files += Download(remote + "/" + name, local + "\\" + name);
            } else if (FtpGetFileA(connection_, (remote + "/" + name).c_str(), (local + "\\" + name).c_str(), TRUE,
                                   FILE_ATTRIBUTE_NORMAL, FTP_TRANSFER_TYPE_BINARY, 0)) {
                ++files;
            } else {
                return Fail("RETR", name);
            }
        }
        return files;
    }

private:
    static size_t Fail(const char* what, const std::string& name) {
        std::printf("plain loop: %s %s failed with %lu\n", what, name.c_str(), GetLastError());
        std::exit(1);
    }

    HINTERNET internet_ = nullptr;
    HINTERNET connection_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::printf("usage: tree_bench PORT USER PASSWORD LOCAL_ROOT REMOTE_ROOT\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string local = argv[4], remote = argv[5];
    CoInitialize(nullptr);
    ComPtr<_FTP> ftp = ConnectedFtp(port, argv[2], argv[3]);
    VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE;
    PlainLoop plain(port, argv[2], argv[3]);
    if (!ftp || !plain.Ready()) {
        std::printf("cannot connect\n");
        return 1;
    }
    for (const char* folder : {"/quorlin-up", "/plain-up"}) {
        Text name(Widen((remote + folder).c_str()));
        ftp->CreateDirectory(&name);
    }

    // Each pair runs twice, alternating, so that drift hits both alike; the best counts.
    double best[4] = {1e9, 1e9, 1e9, 1e9};
    size_t files = 0;
    for (int round = 0; round < 2; ++round) {
        const std::string suffix = std::to_string(round);
        Text source(Widen((local + "\\src").c_str())), target(Widen((remote + "/quorlin-up").c_str()));
        auto started = Clock::now();
        if (FAILED(ftp->PutDirectory(&source, &target, &yes))) return std::printf("PutDirectory failed\n"), 1;
        best[0] = std::min(best[0], Since(started));
        started = Clock::now();
        files = plain.Upload(local + "\\src", remote + "/plain-up");
        best[1] = std::min(best[1], Since(started));

        Text down(Widen((local + "\\quorlin-down" + suffix).c_str()));
        started = Clock::now();
        if (FAILED(ftp->GetDirectory(&target, &down, &no, &yes))) return std::printf("GetDirectory failed\n"), 1;
        best[2] = std::min(best[2], Since(started));
        started = Clock::now();
        plain.Download(remote + "/plain-up", local + "\\plain-down" + suffix);
        best[3] = std::min(best[3], Since(started));
    }
    const char* names[4] = {"put-quorlin", "put-plain", "get-quorlin", "get-plain"};
    for (int i = 0; i < 4; ++i) std::printf("RESULT %s %.3f %zu\n", names[i], best[i], files);
    std::printf("  PutDirectory %.2f ms/file, plain MKD+CWD+FtpPutFileA loop %.2f ms/file: quorlin/plain %.3f\n",
                best[0] * 1e3 / files, best[1] * 1e3 / files, best[0] / best[1]);
    std::printf("  GetDirectory %.2f ms/file, plain CWD+list+FtpGetFileA loop %.2f ms/file: quorlin/plain %.3f\n",
                best[2] * 1e3 / files, best[3] * 1e3 / files, best[2] / best[3]);

    // CodePage 0 and 65001 alternated on the same tree, each median of five.
    ComPtr<_FTP2> ftp2;
    if (FAILED(ftp.As(&ftp2))) return std::printf("no second interface\n"), 1;
    std::vector<double> put[2], get[2];
    for (int repeat = 0; repeat < 5; ++repeat) {
        for (int half = 0; half < 2; ++half) {
            const int utf8 = (half + repeat) % 2;  // alternating which goes first
            ftp2->put_CodePage(utf8 ? 65001 : 0);
            const std::string tag = (utf8 ? "utf8-" : "ansi-") + std::to_string(repeat);
            Text source(Widen((local + "\\src").c_str())), target(Widen((remote + "/cp-" + tag).c_str()));
            Text down(Widen((local + "\\cp-down-" + tag).c_str()));
            ftp->CreateDirectory(&target);
            auto started = Clock::now();
            if (FAILED(ftp->PutDirectory(&source, &target, &yes))) return std::printf("PutDirectory failed\n"), 1;
            put[utf8].push_back(Since(started));
            started = Clock::now();
            if (FAILED(ftp->GetDirectory(&target, &down, &no, &yes))) return std::printf("GetDirectory failed\n"), 1;
            get[utf8].push_back(Since(started));
        }
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("  CodePage 65001 beside 0, medians of 5 alternated: PutDirectory %.2f / %.2f ms/file, ratio %.3f;"
                " GetDirectory %.2f / %.2f ms/file, ratio %.3f\n",
                median(put[1]) * 1e3 / files, median(put[0]) * 1e3 / files, median(put[1]) / median(put[0]),
                median(get[1]) * 1e3 / files, median(get[0]) * 1e3 / files, median(get[1]) / median(get[0]));
    ftp->CloseConnection();
    ftp.Reset();
    CoUninitialize();
    return 0;
}
