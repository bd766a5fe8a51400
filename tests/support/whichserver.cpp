// Creates every class of the library by ProgID and by CLSID and prints, per
// creation, the file of the module whose code serves the object, or the
// failure. Built for both bitnesses: each client must get its own DLL.
#include <windows.h>
#include <objbase.h>
#include <cstdio>

#include "quorlin_h.h"

namespace {

struct ClassName {
    const wchar_t* progId;
    const CLSID* clsid;
};

const ClassName kClasses[] = {{L"quorlin.FTP", &CLSID_FTP},
                              {L"quorlin.HTTP", &CLSID_HTTP},
                              {L"quorlin.FTPFile", &CLSID_FTPFile},
                              {L"quorlin.FTPFiles", &CLSID_FTPFiles}};

// The module that holds the object's vtable, that is the DLL that made it.
void PrintServer(const wchar_t* progId, const char* how, HRESULT hr, IUnknown* object) {
    if (FAILED(hr) || !object) {
        std::printf("%ls %s FAILED 0x%08lx\n", progId, how, static_cast<unsigned long>(hr));
        return;
    }
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    const void* vtable = *reinterpret_cast<void* const*>(object);
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(vtable), &module))
        GetModuleFileNameW(module, path, MAX_PATH);
    std::printf("%ls %s %ls\n", progId, how, path);
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    for (const ClassName& entry : kClasses) {
        CLSID clsid = {};
        IUnknown* object = nullptr;
        HRESULT hr = CLSIDFromProgID(entry.progId, &clsid);
        if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                 reinterpret_cast<void**>(&object));
        PrintServer(entry.progId, "progid", hr, object);
        if (object) object->Release();
        object = nullptr;
        // By CLSID: the class key of the caller's own registry view alone.
        hr = CoCreateInstance(*entry.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&object));
        PrintServer(entry.progId, "clsid", hr, object);
        if (object) object->Release();
    }
    CoUninitialize();
    return 0;
}
