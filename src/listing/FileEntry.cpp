#include "FileEntry.h"

namespace quorlin {

namespace {

HRESULT ReadText(std::wstring_view field, BSTR* result) {
    if (!result) return E_POINTER;
    *result = SysAllocStringLen(field.data(), static_cast<UINT>(field.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT WriteText(std::wstring& field, const BSTR* value) {
    if (!value) return E_POINTER;
    field.assign(*value ? *value : L"", *value ? SysStringLen(*value) : 0);
    return S_OK;
}

template <size_t Capacity>
HRESULT WriteText(InlineText<Capacity>& field, const BSTR* value) {
    if (!value) return E_POINTER;
    field.Assign(std::wstring_view(*value ? *value : L"", *value ? SysStringLen(*value) : 0));
    return S_OK;
}

template <class T>
HRESULT ReadNumber(LONG field, T* result) {
    if (!result) return E_POINTER;
    *result = static_cast<T>(field);
    return S_OK;
}

template <class T>
HRESULT WriteNumber(LONG& field, const T* value) {
    if (!value) return E_POINTER;
    field = static_cast<LONG>(*value);
    return S_OK;
}

}  // namespace

FileEntry::FileEntry() : DispatchObject(source::kEntry) {}

void FileEntry::Assign(EntryFields fields) {
    id_ = fields.name;
    idAssigned_ = true;
    filename_ = std::move(fields.name);
    fileType_ = fields.fileType;
    fileSize_ = fields.fileSize;
    lastAccessTime_.Assign(fields.lastAccessTime.View());
    lastWriteTime_.Assign(fields.lastWriteTime.View());
    creationTime_.Assign(fields.creationTime.View());
    size_ = fields.size;
    hasModified_ = fields.hasModified;
    modified_ = fields.modified;
}

HRESULT FileEntry::get_ID(BSTR* result) { return ReadText(id_, result); }

HRESULT FileEntry::put_ID(BSTR* str_New) {
    if (!str_New) return E_POINTER;
    // The ID is the entry's key: only its first assignment counts.
    if (idAssigned_) return S_OK;
    idAssigned_ = true;
    return WriteText(id_, str_New);
}

HRESULT FileEntry::put_Filename(BSTR* str_filename) { return WriteText(filename_, str_filename); }
HRESULT FileEntry::get_Filename(BSTR* result) { return ReadText(filename_, result); }
HRESULT FileEntry::put_FileType(enum_FileType* lng_file_type) { return WriteNumber(fileType_, lng_file_type); }
HRESULT FileEntry::get_FileType(enum_FileType* result) { return ReadNumber(fileType_, result); }
HRESULT FileEntry::put_FileSize(LONG* lng_file_size) { return WriteNumber(fileSize_, lng_file_size); }
HRESULT FileEntry::get_FileSize(LONG* result) { return ReadNumber(fileSize_, result); }
HRESULT FileEntry::put_LastAccessTime(BSTR* str_last_access_time) { return WriteText(lastAccessTime_, str_last_access_time); }
HRESULT FileEntry::get_LastAccessTime(BSTR* result) { return ReadText(lastAccessTime_.View(), result); }
HRESULT FileEntry::put_LastWriteTime(BSTR* str_last_write_time) { return WriteText(lastWriteTime_, str_last_write_time); }
HRESULT FileEntry::get_LastWriteTime(BSTR* result) { return ReadText(lastWriteTime_.View(), result); }
HRESULT FileEntry::put_CreationTime(BSTR* str_creation_time) { return WriteText(creationTime_, str_creation_time); }
HRESULT FileEntry::get_CreationTime(BSTR* result) { return ReadText(creationTime_.View(), result); }

HRESULT FileEntry::get_Size(double* result) {
    if (!result) return E_POINTER;
    *result = size_;
    return S_OK;
}

HRESULT FileEntry::get_Modified(VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    if (!hasModified_) return S_OK;
    V_VT(result) = VT_DATE;
    V_DATE(result) = modified_;
    return S_OK;
}

}  // namespace quorlin
