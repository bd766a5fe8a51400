// Reads the page objects of an ASP scripting context by name, so that any
// host's context (or a script object standing in for one) works.
#pragma once

#include "../platform/Owners.h"

namespace quorlin {

// Reads property `name` of `context` as an object reference. A failure of the
// context is raised unchanged; a value that is not an object raises "Object
// required". `object` is set only on success (null for Nothing).
HRESULT ReadPageObject(IDispatch* context, const wchar_t* name, const wchar_t* source, ComPtr<IDispatch>& object);

}  // namespace quorlin
