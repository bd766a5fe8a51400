// The ordered collection of directory entries, keyed by entry name without
// regard to letter case, positions counting from 1.
#pragma once

#include "../component/DispatchObject.h"
#include "../component/Interfaces.h"
#include "EntryEnumerator.h"

#include <memory>
#include <string>
#include <vector>

namespace quorlin {

class FileCollection final : public DispatchObject<_FTPFiles> {
public:
    FileCollection();

    HRESULT STDMETHODCALLTYPE Count(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Item(VARIANT var_idx, _FTPFile** result) override;
    HRESULT STDMETHODCALLTYPE NewEnum(IUnknown** result) override;

private:
    HRESULT FindByKey(const wchar_t* key, size_t& index) const;

    std::shared_ptr<EntryList> entries_;
    std::vector<std::wstring> keys_;
    LONG entryCounter_ = 0;
};

}  // namespace quorlin
