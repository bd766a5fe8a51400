// The four creatable classes: one table drives both DllGetClassObject and
// registration.
#pragma once

#include <windows.h>

namespace quorlin {

struct ClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;
    HRESULT (*makeFactory)(REFIID iid, void** factory);
};

extern const ClassEntry kClasses[4];

}  // namespace quorlin
