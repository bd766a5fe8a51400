#include "EntryEnumerator.h"

#include "../com/Boundary.h"

#include <new>

namespace quorlin {

EntryEnumerator::EntryEnumerator(std::shared_ptr<const EntryList> entries, size_t position)
    : entries_(std::move(entries)), position_(position) {
    module::AddObject();
}

EntryEnumerator::~EntryEnumerator() { module::RemoveObject(); }

HRESULT EntryEnumerator::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
        *object = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG EntryEnumerator::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG EntryEnumerator::Release() {
    LONG remaining = InterlockedDecrement(&references_);
    if (remaining == 0) delete this;
    return static_cast<ULONG>(remaining);
}

HRESULT EntryEnumerator::Next(ULONG count, VARIANT* items, ULONG* fetched) {
    if (!items) return E_POINTER;
    return Guarded(nullptr, nullptr, [&] { return Deliver(count, items, fetched); });
}

HRESULT EntryEnumerator::Deliver(ULONG count, VARIANT* items, ULONG* fetched) {
    ULONG delivered = 0;
    while (delivered < count && position_ < entries_->size()) {
        IDispatch* entry = (*entries_)[position_].Get();
        entry->AddRef();
        VariantInit(&items[delivered]);
        V_VT(&items[delivered]) = VT_DISPATCH;
        V_DISPATCH(&items[delivered]) = entry;
        ++delivered;
        ++position_;
    }
    if (fetched) *fetched = delivered;
    return delivered == count ? S_OK : S_FALSE;
}

HRESULT EntryEnumerator::Skip(ULONG count) {
    size_t remaining = entries_->size() - position_;
    if (count > remaining) {
        position_ = entries_->size();
        return S_FALSE;
    }
    position_ += count;
    return S_OK;
}

HRESULT EntryEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT EntryEnumerator::Clone(IEnumVARIANT** copy) {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    return Guarded(nullptr, nullptr, [&] {
        *copy = new EntryEnumerator(entries_, position_);
        return S_OK;
    });
}

}  // namespace quorlin
