#include "Module.h"

namespace quorlin::module {

namespace {
HINSTANCE g_instance = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;
}  // namespace

void SetInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE Instance() { return g_instance; }

std::wstring FilePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(g_instance, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void AddObject() { InterlockedIncrement(&g_objects); }
void RemoveObject() { InterlockedDecrement(&g_objects); }
void Lock() { InterlockedIncrement(&g_locks); }
void Unlock() { InterlockedDecrement(&g_locks); }
bool InUse() { return InterlockedCompareExchange(&g_objects, 0, 0) != 0 || InterlockedCompareExchange(&g_locks, 0, 0) != 0; }

}  // namespace quorlin::module
