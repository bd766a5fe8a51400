// The ordered collection of directory entries, keyed by entry name without
// regard to letter case, positions counting from 1. Clients only read it; the
// listing fills it through its internal side.
#pragma once

#include "../platform/ListedEntry.h"
#include "../text/CodePageText.h"
#include "../com/DispatchObject.h"
#include "../com/Interfaces.h"
#include "EntryEnumerator.h"
#include "FileEntry.h"
#include "FileListing.h"
#include "KeyIndex.h"

#include <memory>
#include <string>

namespace quorlin {

class FileCollection : public DispatchObject<_FTPFiles>, public IFileListing {
public:
    FileCollection();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return DispatchObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return DispatchObject::Release(); }

    HRESULT STDMETHODCALLTYPE Count(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Item(VARIANT var_idx, _FTPFile** result) override;
    HRESULT STDMETHODCALLTYPE NewEnum(IUnknown** result) override;

    // IFileListing, for the component's tests and benchmarks.
    HRESULT STDMETHODCALLTYPE AddEntry(const WIN32_FIND_DATAA* record, _FTPFile** entry) override;
    HRESULT STDMETHODCALLTYPE ListingText(LONG flags, BSTR* text) override;

    // The same for the listing itself, inside a member's boundary: running
    // out of memory throws, so that the member raises its own error. The
    // entry's whole name as the server sent it is read in `names`' code page;
    // its exact time, where the listing told one, makes Modified.
    void Add(const ListedEntry& listed, const CodePageText& names = CodePageText(), _FTPFile** entry = nullptr);
    // The text listing. A name that would break its lines (a carriage
    // return, line feed or NUL in it) fails it with the listing's error and
    // the text of ERROR_INVALID_NAME: never cut or changed.
    HRESULT Text(LONG flags, BSTR* text);

private:
    // Created on first use, not with the object.
    void EnsureCreated();

    std::shared_ptr<EntryList> entries_;
    KeyIndex keys_;
    LONG entryCounter_ = 0;
};

}  // namespace quorlin
