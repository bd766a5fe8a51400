// One entry of a remote directory listing.
#pragma once

#include "../com/DispatchObject.h"
#include "../com/Interfaces.h"
#include "InlineText.h"
#include "MiscFunctions.h"

#include <string>
#include <string_view>

namespace quorlin {

// What a listing knows of one entry.
struct EntryFields {
    std::wstring name;
    LONG fileType = 0;
    LONG fileSize = 0;
    TimeText lastAccessTime;
    TimeText lastWriteTime;
    TimeText creationTime;
    double size = 0;         // exact to 2^53
    bool hasModified = false;
    DATE modified = 0;       // local time
};

class FileEntry : public DispatchObject<_FTPFile2, _FTPFile> {
public:
    FileEntry();

    // Fills a new entry from a listing: the name becomes both its ID, which
    // is then assigned for good, and its Filename.
    void Assign(EntryFields fields);

    // A size the listing learnt better afterwards (one it could not show whole).
    void SetSize(double size) { size_ = size; }

    // The fields as stored, for the component's own readers.
    const std::wstring& Id() const { return id_; }
    const std::wstring& Filename() const { return filename_; }
    LONG FileType() const { return fileType_; }
    LONG FileSize() const { return fileSize_; }
    std::wstring_view LastAccessTime() const { return lastAccessTime_.View(); }
    std::wstring_view LastWriteTime() const { return lastWriteTime_.View(); }
    std::wstring_view CreationTime() const { return creationTime_.View(); }

    HRESULT STDMETHODCALLTYPE get_ID(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_ID(BSTR* str_New) override;
    HRESULT STDMETHODCALLTYPE put_Filename(BSTR* str_filename) override;
    HRESULT STDMETHODCALLTYPE get_Filename(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_FileType(enum_FileType* lng_file_type) override;
    HRESULT STDMETHODCALLTYPE get_FileType(enum_FileType* result) override;
    HRESULT STDMETHODCALLTYPE put_FileSize(LONG* lng_file_size) override;
    HRESULT STDMETHODCALLTYPE get_FileSize(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_LastAccessTime(BSTR* str_last_access_time) override;
    HRESULT STDMETHODCALLTYPE get_LastAccessTime(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_LastWriteTime(BSTR* str_last_write_time) override;
    HRESULT STDMETHODCALLTYPE get_LastWriteTime(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE put_CreationTime(BSTR* str_creation_time) override;
    HRESULT STDMETHODCALLTYPE get_CreationTime(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Size(double* result) override;
    // Empty when the server gave no time.
    HRESULT STDMETHODCALLTYPE get_Modified(VARIANT* result) override;

private:
    std::wstring id_;
    std::wstring filename_;
    LONG fileType_ = 0;
    LONG fileSize_ = 0;
    // Sized for the time texts a listing puts there.
    InlineText<kTimeTextChars> lastAccessTime_;
    InlineText<kTimeTextChars> lastWriteTime_;
    InlineText<kTimeTextChars> creationTime_;
    bool idAssigned_ = false;
    double size_ = 0;
    bool hasModified_ = false;
    DATE modified_ = 0;
};

}  // namespace quorlin
