// One entry of a remote directory listing.
#pragma once

#include "../component/DispatchObject.h"
#include "../component/Interfaces.h"

#include <string>

namespace quorlin {

class FileEntry final : public DispatchObject<_FTPFile> {
public:
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

private:
    std::wstring id_;
    std::wstring filename_;
    LONG fileType_ = 0;
    LONG fileSize_ = 0;
    std::wstring lastAccessTime_;
    std::wstring lastWriteTime_;
    std::wstring creationTime_;
    bool idAssigned_ = false;
};

}  // namespace quorlin
