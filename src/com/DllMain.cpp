// The four exports of the in-process server.
#include "Boundary.h"
#include "ClassTable.h"
#include "Module.h"
#include "Registration.h"

#include <objbase.h>

using namespace quorlin;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module::SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** factory) {
    if (!factory) return E_POINTER;
    *factory = nullptr;
    for (const ClassEntry& entry : kClasses) {
        if (*entry.clsid == clsid) return Guarded(nullptr, nullptr, [&] { return entry.makeFactory(iid, factory); });
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return module::InUse() ? S_FALSE : S_OK; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return Guarded(nullptr, nullptr, [] { return registration::Register(); });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return Guarded(nullptr, nullptr, [] { return registration::Unregister(); });
}
