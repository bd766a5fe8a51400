// HTTP benchmark: GetString on one large body, with the process's peak
// working set, and a run of small pages in a row.
//   http_bench.exe LARGE_URL SMALL_URL SMALL_COUNT
// Prints "RESULT <name> <value>" lines for bench/http.sh.
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quorlin_h.h"

using Microsoft::WRL::ComPtr;

namespace {

double Seconds(std::chrono::steady_clock::time_point started) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

bool Fetch(_HTTP* http, const char* url, size_t& characters) {
    std::wstring wide(url, url + std::strlen(url));
    BSTR argument = SysAllocString(wide.c_str());
    http->put_URL(&argument);
    SysFreeString(argument);
    BSTR page = nullptr;
    if (FAILED(http->GetString(&page))) return false;
    characters = SysStringLen(page);
    SysFreeString(page);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("usage: http_bench LARGE_URL SMALL_URL SMALL_COUNT\n");
        return 2;
    }
    CoInitialize(nullptr);
    ComPtr<_HTTP> http;
    if (FAILED(CoCreateInstance(CLSID_HTTP, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&http)))) return 1;

    size_t characters = 0;
    const PROCESS_MEMORY_COUNTERS before = Memory();
    auto started = std::chrono::steady_clock::now();
    if (!Fetch(http.Get(), argv[1], characters)) return std::printf("large page failed\n"), 1;
    const double large = Seconds(started);
    const PROCESS_MEMORY_COUNTERS after = Memory();
    std::printf("RESULT large-seconds %.3f\n", large);
    std::printf("RESULT large-characters %zu\n", characters);
    std::printf("RESULT working-set-before %zu\n", static_cast<size_t>(before.WorkingSetSize));
    std::printf("RESULT peak-working-set %zu\n", static_cast<size_t>(after.PeakWorkingSetSize));

    const int count = std::atoi(argv[3]);
    Fetch(http.Get(), argv[2], characters);  // the first request of a process sets things up
    started = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        if (!Fetch(http.Get(), argv[2], characters)) return std::printf("small page failed\n"), 1;
    }
    std::printf("RESULT small-seconds %.3f\n", Seconds(started));
    std::printf("RESULT small-characters %zu\n", characters);
    http.Reset();
    CoUninitialize();
    return 0;
}
