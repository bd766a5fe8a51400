// A host of the kind a web server's worker is: fetches one page through the
// registered quorlin.HTTP and prints what GetString returned, then "alive".
// The 32-bit build is large-address aware, as 32-bit workers on 64-bit
// Windows are.  fetchpage.exe URL
#include <windows.h>
#include <oleauto.h>

#include <cstdio>

#include "quorlin_h.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    CoInitialize(nullptr);
    CLSID clsid;
    _HTTP* http = nullptr;
    if (FAILED(CLSIDFromProgID(L"quorlin.HTTP", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__HTTP, reinterpret_cast<void**>(&http)))) {
        std::printf("no quorlin.HTTP\n");
        return 1;
    }
    BSTR url = SysAllocString(argv[1]);
    http->put_URL(&url);
    SysFreeString(url);
    BSTR body = nullptr;
    const HRESULT hr = http->GetString(&body);
    std::printf("result 0x%08lx, %u characters\n", static_cast<unsigned long>(hr), body ? SysStringLen(body) : 0u);
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        BSTR description = nullptr;
        error->GetDescription(&description);
        std::printf("description %ls\n", description ? description : L"");
        SysFreeString(description);
        error->Release();
    }
    SysFreeString(body);
    http->Release();
    CoUninitialize();
    std::printf("alive\n");
    return 0;
}
