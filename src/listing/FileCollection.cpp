#include "FileCollection.h"

#include "../text/Error.h"
#include "../text/Text.h"
#include "../platform/Constants.h"
#include "../platform/ListedEntry.h"
#include "MiscFunctions.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace quorlin {
namespace {

bool BreaksLines(std::wstring_view name) { return name.find_first_of(std::wstring_view(L"\r\n\0", 3)) != name.npos; }

bool Shown(const FileEntry& entry, LONG flags) {
    return ((flags & kShowFiles) && entry.FileType() == kFileTypeFile) ||
           ((flags & kShowDirectories) && entry.FileType() == kFileTypeDirectory);
}

// Writes one line of the text listing at `out` and returns where it ends;
// with a null `out` only counts its characters.
size_t WriteLine(const FileEntry& entry, LONG flags, wchar_t* out) {
    size_t length = 0;
    auto put = [&](const wchar_t* text, size_t count) {
        if (out) std::memcpy(out + length, text, count * sizeof(wchar_t));
        length += count;
    };
    auto putText = [&](std::wstring_view text) { put(text.data(), text.size()); };
    if (flags & kShowLastWriteTime) putText(entry.LastWriteTime());
    if (flags & kShowLastAccessTime) putText(entry.LastAccessTime());
    if (flags & kShowCreationTime) putText(entry.CreationTime());
    if (flags & kShowFileSize) {
        // The decimal size, minus sign included, left-aligned in its column.
        const std::wstring digits = PadWithZeros(entry.FileSize(), 1);
        putText(digits);
        static const wchar_t kBlanks[] = L"               ";
        static_assert(sizeof kBlanks / sizeof kBlanks[0] == kSizeColumnChars + 1, "one blank per column character");
        if (digits.size() < kSizeColumnChars) put(kBlanks, kSizeColumnChars - digits.size());
    }
    putText(entry.Filename());
    put(L"\r\n", 2);
    return length;
}

}  // namespace

FileCollection::FileCollection() : DispatchObject(source::kCollection) { entryCounter_ = 0; }

HRESULT FileCollection::QueryInterface(REFIID iid, void** object) {
    if (object && iid == IID_IFileListing) {
        *object = static_cast<IFileListing*>(this);
        AddRef();
        return S_OK;
    }
    return DispatchObject::QueryInterface(iid, object);
}

void FileCollection::EnsureCreated() {
    if (!entries_) entries_ = std::make_shared<EntryList>();
}

HRESULT FileCollection::Count(LONG* result) {
    if (!result) return E_POINTER;
    *result = entryCounter_;
    return S_OK;
}

HRESULT FileCollection::Item(VARIANT var_idx, _FTPFile** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    EnsureCreated();
    const VARIANT* index = &var_idx;
    while (V_VT(index) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(index)) index = V_VARIANTREF(index);

    // A text selects by key, even a text of digits; any number selects by position.
    size_t position = 0;
    if (V_VT(index) == VT_BSTR || V_VT(index) == (VT_BYREF | VT_BSTR)) {
        BSTR key = V_VT(index) == VT_BSTR ? V_BSTR(index) : *V_BSTRREF(index);
        if (!keys_.Find(std::wstring(key ? key : L"", key ? SysStringLen(key) : 0), position))
            return RaiseError(runtime_error::kInvalidProcedureCall, source::kCollection, message::kInvalidProcedureCall);
    } else {
        // Read as a real number first: one beyond any position (1E10, an
        // infinity, NaN) is out of range like any other, not a mismatch.
        Variant real, number;
        if (FAILED(VariantChangeType(real.Get(), const_cast<VARIANT*>(index), 0, VT_R8)))
            return RaiseError(runtime_error::kTypeMismatch, source::kCollection, message::kTypeMismatch);
        const double approximate = V_R8(real.Get());
        const bool inRange = approximate > 0.0 && approximate < static_cast<double>(entries_->size()) + 1.0;
        if (!inRange || FAILED(VariantChangeType(number.Get(), real.Get(), 0, VT_I4)))
            return RaiseError(runtime_error::kSubscriptOutOfRange, source::kCollection, message::kSubscriptOutOfRange);
        const LONG wanted = V_I4(number.Get());
        if (wanted < 1 || static_cast<size_t>(wanted) > entries_->size())
            return RaiseError(runtime_error::kSubscriptOutOfRange, source::kCollection, message::kSubscriptOutOfRange);
        position = static_cast<size_t>(wanted - 1);
    }
    FileEntry* entry = (*entries_)[position].Get();
    entry->AddRef();
    *result = entry;
    return S_OK;
}

HRESULT FileCollection::NewEnum(IUnknown** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    EnsureCreated();
    *result = new EntryEnumerator(entries_, 0);
    return S_OK;
}

HRESULT FileCollection::AddEntry(const WIN32_FIND_DATAA* record, _FTPFile** entry) {
    if (!record) return E_POINTER;
    if (entry) *entry = nullptr;
    return Guarded(ErrorSource(), nullptr, [&] {
        ListedEntry listed;
        listed.record = *record;
        listed.name = RecordName(*record);
        Add(listed, CodePageText(), entry);
        return S_OK;
    });
}

HRESULT FileCollection::ListingText(LONG flags, BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    return Guarded(ErrorSource(), nullptr, [&] { return Text(flags, text); });
}

void FileCollection::Add(const ListedEntry& listed, const CodePageText& names, _FTPFile** entry) {
    const WIN32_FIND_DATAA& record = listed.record;
    ++entryCounter_;
    EnsureCreated();
    ComPtr<FileEntry> added = TakeNew<FileEntry>(new WithBoundary<FileEntry>());

    EntryFields fields;
    fields.name = names.DecodeName(listed.name);
    fields.fileType = (record.dwFileAttributes & kDirectoryAttribute) ? kFileTypeDirectory : kFileTypeFile;
    // The size modulo 2^32 as a signed number: sizes from 2 GiB show negative,
    // and 4 GiB or more wrap round again rather than fail the listing.
    fields.fileSize = static_cast<LONG>(record.nFileSizeLow);
    fields.lastAccessTime = FileTimeToText(record.ftLastAccessTime);
    fields.lastWriteTime = FileTimeToText(record.ftLastWriteTime);
    fields.creationTime = FileTimeToText(record.ftCreationTime);
    fields.size =
        SizeUnknown(record)
            ? kUnknownSizeValue
            : static_cast<double>((static_cast<unsigned long long>(record.nFileSizeHigh) << 32) | record.nFileSizeLow);
    const FILETIME& exact = listed.exactModified;
    const FILETIME& written = (exact.dwLowDateTime | exact.dwHighDateTime) != 0 ? exact : record.ftLastWriteTime;
    fields.hasModified = (written.dwLowDateTime | written.dwHighDateTime) != 0 &&
                         FileTimeToLocalDate(written, fields.modified);
    added->Assign(std::move(fields));

    // Room for the entry first, so that a failure leaves the index and the
    // list in step; grown by doubling, so that a long listing stays linear.
    if (entries_->size() == entries_->capacity()) entries_->reserve(std::max<size_t>(16, entries_->capacity() * 2));
    keys_.Add(added->Id());
    entries_->push_back(added);
    if (entry) *entry = added.Detach();
}

HRESULT FileCollection::Text(LONG flags, BSTR* text) {
    *text = nullptr;
    EnsureCreated();
    // Measured first, then written once into the result: linear in the listing's size.
    size_t length = 0;
    for (const ComPtr<FileEntry>& entry : *entries_) {
        if (!Shown(*entry.Get(), flags)) continue;
        if (BreaksLines(entry->Filename()))
            return RaisePlatformError(ftp_error::kDirectoryListing, source::kFtp, message::kListingFirst,
                                      ERROR_INVALID_NAME, operation::kGetDirectoryListing);
        length += WriteLine(*entry.Get(), flags, nullptr);
    }
    if (length > kLongestText) return E_OUTOFMEMORY;
    Bstr listing;
    listing.Reset(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
    if (listing.Failed()) return E_OUTOFMEMORY;
    wchar_t* out = listing.Get();
    for (const ComPtr<FileEntry>& entry : *entries_) {
        if (Shown(*entry.Get(), flags)) out += WriteLine(*entry.Get(), flags, out);
    }
    *text = listing.Detach();
    return S_OK;
}

}  // namespace quorlin
