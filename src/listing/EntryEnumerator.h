// The for-each enumerator of a file collection: yields its entries in order.
#pragma once

#include "../com/Module.h"
#include "../platform/Owners.h"
#include "FileEntry.h"

#include <oaidl.h>
#include <memory>
#include <vector>

namespace quorlin {

using EntryList = std::vector<ComPtr<FileEntry>>;

class EntryEnumerator final : public IEnumVARIANT {
public:
    // Shares the collection's list, which the collection never changes once handed out.
    EntryEnumerator(std::shared_ptr<const EntryList> entries, size_t position);
    EntryEnumerator(const EntryEnumerator&) = delete;
    EntryEnumerator& operator=(const EntryEnumerator&) = delete;
    ~EntryEnumerator();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override;

private:
    HRESULT Deliver(ULONG count, VARIANT* items, ULONG* fetched);

    LONG references_ = 1;
    std::shared_ptr<const EntryList> entries_;
    size_t position_;
};

}  // namespace quorlin
