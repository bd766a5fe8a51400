#include "FileCollection.h"

#include "../component/Error.h"
#include "../platform/Constants.h"

#include <new>

namespace quorlin {

FileCollection::FileCollection() : entries_(std::make_shared<EntryList>()) { entryCounter_ = 0; }

HRESULT FileCollection::Count(LONG* result) {
    if (!result) return E_POINTER;
    *result = entryCounter_;
    return S_OK;
}

HRESULT FileCollection::FindByKey(const wchar_t* key, size_t& index) const {
    for (index = 0; index < keys_.size(); ++index) {
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, keys_[index].c_str(), -1, key, -1) == CSTR_EQUAL)
            return S_OK;
    }
    return RaiseError(runtime_error::kInvalidProcedureCall, source::kCollection, message::kInvalidProcedureCall);
}

HRESULT FileCollection::Item(VARIANT var_idx, _FTPFile** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    VARIANT* index = &var_idx;
    while (V_VT(index) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(index)) index = V_VARIANTREF(index);

    size_t position = 0;
    if (V_VT(index) == VT_BSTR || V_VT(index) == (VT_BYREF | VT_BSTR)) {
        BSTR key = V_VT(index) == VT_BSTR ? V_BSTR(index) : *V_BSTRREF(index);
        HRESULT hr = FindByKey(key ? key : L"", position);
        if (FAILED(hr)) return hr;
    } else {
        Variant number;
        if (FAILED(VariantChangeType(number.Get(), index, 0, VT_I4)))
            return RaiseError(runtime_error::kTypeMismatch, source::kCollection, message::kTypeMismatch);
        LONG wanted = V_I4(number.Get());
        if (wanted < 1 || static_cast<size_t>(wanted) > entries_->size())
            return RaiseError(runtime_error::kSubscriptOutOfRange, source::kCollection, message::kSubscriptOutOfRange);
        position = static_cast<size_t>(wanted - 1);
    }
    return (*entries_)[position].CopyTo(IID_PPV_ARGS(result));
}

HRESULT FileCollection::NewEnum(IUnknown** result) {
    if (!result) return E_POINTER;
    *result = new (std::nothrow) EntryEnumerator(entries_, 0);
    return *result ? S_OK : E_OUTOFMEMORY;
}

}  // namespace quorlin
