// The collection's internal side, which the type library does not describe:
// the listing adds its entries and lays out its text through it. The
// component's own tests and benchmarks reach it by QueryInterface.
#pragma once

#include "../platform/WinInetAPI.h"
#include <oaidl.h>

#include "quorlin_h.h"

namespace quorlin {

// {E17628DE-912B-474C-B218-48EDAAE3E55D}
constexpr IID IID_IFileListing = {0xe17628de, 0x912b, 0x474c, {0xb2, 0x18, 0x48, 0xed, 0xaa, 0xe3, 0xe5, 0x5d}};

struct IFileListing : public IUnknown {
    // Appends an entry made from one find record and hands it back (a null
    // `entry` is allowed). The entry counter grows first.
    virtual HRESULT STDMETHODCALLTYPE AddEntry(const WIN32_FIND_DATAA* record, _FTPFile** entry) = 0;
    // The text listing of the entries that `flags` (a Directory_Listing_Type
    // set) selects, one line each.
    virtual HRESULT STDMETHODCALLTYPE ListingText(LONG flags, BSTR* text) = 0;
};

}  // namespace quorlin
