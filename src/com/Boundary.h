// The one boundary between the component's C++ code and its clients: every
// entry point a client can reach runs its body inside it, so that no C++
// exception ever unwinds into a script engine or a host. The interfaces'
// methods get it from the generated Guarded_* classes; the few other entry
// points (IDispatch, class factories, exports, enumerators) call Guarded.
#pragma once

#include "../text/Error.h"

#include <oleauto.h>

#include <string_view>

namespace quorlin {

// The failed status for the exception being handled; call only from a catch
// block. Running out of memory raises `outOfMemory` with code 8 when the
// member has such a row, else E_OUTOFMEMORY; any other exception raises
// E_UNEXPECTED. A null `source` sets no error object.
HRESULT StatusOfCurrentException(const wchar_t* source, const PlatformFailure* outOfMemory) noexcept;

template <class Body>
HRESULT Guarded(const wchar_t* source, const PlatformFailure* outOfMemory, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return StatusOfCurrentException(source, outOfMemory);
    }
}

// A member of an interface: `Impl::OutOfMemoryRow(member)` names what it
// raises when memory runs out, `object->ErrorSource()` its source, and
// `object->RunMember` runs it (a class may note each call's start and end).
template <class Impl, class Body>
HRESULT GuardedCall(const Impl* object, std::wstring_view member, Body&& body) noexcept {
    try {
        return object->RunMember(member, body);
    } catch (...) {
        return StatusOfCurrentException(object->ErrorSource(), Impl::OutOfMemoryRow(member));
    }
}

// Runs a release hook: whatever it raises reaches nobody, and an error object
// the caller still had pending is left as it was.
template <class Body>
void RunQuietly(Body&& body) noexcept {
    IErrorInfo* pending = nullptr;
    if (GetErrorInfo(0, &pending) != S_OK) pending = nullptr;
    Guarded(nullptr, nullptr, body);
    SetErrorInfo(0, pending);
    if (pending) pending->Release();
}

}  // namespace quorlin
