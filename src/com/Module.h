// Library-wide bookkeeping that COM needs: the module handle and the count of
// live objects and factory locks that DllCanUnloadNow reports on.
#pragma once

#include <windows.h>
#include <string>

namespace quorlin::module {

void SetInstance(HINSTANCE instance);
HINSTANCE Instance();
std::wstring FilePath();

void AddObject();
void RemoveObject();
void Lock();
void Unlock();
bool InUse();

}  // namespace quorlin::module
