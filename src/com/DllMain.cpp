// The four exports of the in-process server.
#include "../ssh/SshLibrary.h"
#include "../text/Error.h"
#include "Boundary.h"
#include "ClassTable.h"
#include "Module.h"
#include "Registration.h"

#include <objbase.h>

using namespace quorlin;

// Each ending thread lets go of what it kept of server replies and what the
// crypto library kept for it (and the thread unloading the library of its
// own, and the crypto library all it holds; at the process's end nothing is
// freed, as the other threads are gone already).
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) module::SetInstance(instance);
    if (reason == DLL_THREAD_DETACH) {
        ForgetThreadState();
        ForgetSshThreadState();
    }
    if (reason == DLL_PROCESS_DETACH && !reserved) {
        ForgetThreadState(true);
        EndSshLibrary();
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
