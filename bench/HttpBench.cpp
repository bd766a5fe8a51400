// HTTP benchmark: GetString on one large body, with the process's peak
// working set, and a run of small pages in a row, with `TIMEOUT` as the limit.
//   http_bench.exe LARGE_URL SMALL_URL SMALL_COUNT TIMEOUT
// Prints "RESULT <name> <value>" lines for bench/http.sh.
#include "BenchSupport.h"

#include <psapi.h>

#include <cstdlib>
#include <cstring>

namespace {

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

bool Fetch(_HTTP* http, const char* url, size_t& characters) {
    BSTR argument = SysAllocString(Widen(url).c_str());
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
    if (argc != 5) {
        std::printf("usage: http_bench LARGE_URL SMALL_URL SMALL_COUNT TIMEOUT\n");
        return 2;
    }
    CoInitialize(nullptr);
    ComPtr<_HTTP2> http;
    if (FAILED(CoCreateInstance(CLSID_HTTP, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&http)))) return 1;
    if (!Report(http->put_Timeout(std::atoi(argv[4])), "Timeout")) return 1;

    size_t characters = 0;
    const PROCESS_MEMORY_COUNTERS before = Memory();
    auto started = Clock::now();
    if (!Fetch(http.Get(), argv[1], characters)) return std::printf("large page failed\n"), 1;
    const double large = Since(started);
    const PROCESS_MEMORY_COUNTERS after = Memory();
    std::printf("RESULT large-seconds %.3f\n", large);
    std::printf("RESULT large-characters %zu\n", characters);
    std::printf("RESULT working-set-before %zu\n", static_cast<size_t>(before.WorkingSetSize));
    std::printf("RESULT peak-working-set %zu\n", static_cast<size_t>(after.PeakWorkingSetSize));

    const int count = std::atoi(argv[3]);
    Fetch(http.Get(), argv[2], characters);  // the first request of a process sets things up
    started = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (!Fetch(http.Get(), argv[2], characters)) return std::printf("small page failed\n"), 1;
    }
    std::printf("RESULT small-seconds %.3f\n", Since(started));
    std::printf("RESULT small-characters %zu\n", characters);
    http.Reset();
    CoUninitialize();
    return 0;
}
