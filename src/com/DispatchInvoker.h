// Late-bound calls through the type library, with by-reference parameters
// made to accept what script engines pass.
#pragma once

#include <oaidl.h>

namespace quorlin {

// Calls member `id` of `instance` through `vtableInfo` (the vtable half of a
// dual interface). Arguments for by-reference parameters that are not
// exactly a reference of the parameter's type (script literals, JScript
// values, VBScript variables of another type) are coerced into temporaries
// that are passed by reference and written back into the caller's
// by-reference variants afterwards.
HRESULT InvokeByTypeInfo(ITypeInfo* vtableInfo, void* instance, DISPID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

}  // namespace quorlin
