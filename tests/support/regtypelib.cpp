// Registers (or with /u unregisters) a type library file: used to register
// the stand-in for the ASP host's library on test machines.
#include <windows.h>
#include <oleauto.h>
#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    bool unregister = argc == 3 && wcscmp(argv[1], L"/u") == 0;
    if (argc != 2 && !unregister) {
        std::fprintf(stderr, "usage: regtypelib [/u] FILE.tlb\n");
        return 2;
    }
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(argv[argc - 1], unregister ? REGKIND_NONE : REGKIND_REGISTER, &library);
    if (SUCCEEDED(hr) && unregister) {
        TLIBATTR* attributes = nullptr;
        hr = library->GetLibAttr(&attributes);
        if (SUCCEEDED(hr)) {
            hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                   attributes->lcid, attributes->syskind);
            library->ReleaseTLibAttr(attributes);
        }
    }
    if (library) library->Release();
    if (FAILED(hr)) std::fprintf(stderr, "regtypelib: 0x%08lx\n", static_cast<unsigned long>(hr));
    return FAILED(hr) ? 1 : 0;
}
