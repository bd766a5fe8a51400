#include "Boundary.h"

#include "../platform/Constants.h"

#include <new>
#include <stdexcept>

namespace quorlin {

HRESULT StatusOfCurrentException(const wchar_t* source, const PlatformFailure* outOfMemory) noexcept {
    bool memory = false;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        memory = true;
    } catch (const std::length_error&) {
        memory = true;  // a size no container can hold: memory too
    } catch (...) {
    }
    const HRESULT bare = memory ? E_OUTOFMEMORY : E_UNEXPECTED;
    if (!source) return bare;
    try {
        if (memory && outOfMemory) {
            return RaisePlatformError(outOfMemory->code, source, outOfMemory->message, ERROR_NOT_ENOUGH_MEMORY,
                                      outOfMemory->operation);
        }
        return RaiseError(bare, source, memory ? message::kOutOfMemory : message::kUnexpectedFailure);
    } catch (...) {
        // Not even the description could be made: the bare status says it.
        SetErrorInfo(0, nullptr);
        return bare;
    }
}

}  // namespace quorlin
