#include "TypeLibrary.h"

#include "Module.h"
#include "../platform/Owners.h"

namespace quorlin::typelib {

HRESULT Load(ITypeLib** library) {
    // oleaut32 keeps loaded libraries cached by path, so repeated loads are cheap.
    std::wstring path = module::FilePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
}

HRESULT DispatchInfo(REFIID iid, ITypeInfo** info) {
    ComPtr<ITypeLib> library;
    HRESULT hr = Load(&library);
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(iid, info);
}

HRESULT VtableInfo(REFIID iid, ITypeInfo** info) {
    ComPtr<ITypeInfo> dispatch;
    HRESULT hr = DispatchInfo(iid, &dispatch);
    if (FAILED(hr)) return hr;
    HREFTYPE vtableHalf = 0;
    hr = dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableHalf);
    if (FAILED(hr)) return hr;
    return dispatch->GetRefTypeInfo(vtableHalf, info);
}

}  // namespace quorlin::typelib
