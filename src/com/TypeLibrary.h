// The type library embedded in the DLL, loaded from the DLL's own file so
// that objects work whether or not the library is registered.
#pragma once

#include <oaidl.h>

namespace quorlin::typelib {

// The library itself (for registration).
HRESULT Load(ITypeLib** library);

// The dispatch description of a dual interface, as handed to clients.
HRESULT DispatchInfo(REFIID iid, ITypeInfo** info);

// The vtable half of a dual interface, which ITypeInfo::Invoke calls through.
HRESULT VtableInfo(REFIID iid, ITypeInfo** info);

}  // namespace quorlin::typelib
