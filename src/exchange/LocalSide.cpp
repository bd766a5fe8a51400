#include "LocalSide.h"

#include "../ftp/EntryName.h"
#include "../platform/Constants.h"
#include "../text/CodePageText.h"
#include "../text/Error.h"

namespace quorlin {
namespace {

HRESULT RaiseFileError(DWORD code, const wchar_t* operationName) {
    return RaiseError(E_FAIL, source::kFtp, BuildErrorText(code, operationName));
}

}  // namespace

std::wstring LocalSide::Join(const std::wstring& folder, const std::wstring& name) const {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
    return folder + kLocalSeparator + name;
}

HRESULT LocalSide::CheckName(const std::wstring& name) {
    // A name the code page could not read would become a local name of raw bytes.
    if (CodePageText::HoldsRawBytes(name)) return RaiseFileError(ERROR_NO_UNICODE_TRANSLATION, operation::kGetFile);
    return IsPlainFileName(name) ? S_OK : RaiseFileError(ERROR_INVALID_NAME, operation::kGetFile);
}

HRESULT LocalSide::List(const std::wstring& folder, std::vector<ExchangeEntry>& entries) {
    entries.clear();
    if (!FolderExists(folder)) return RaiseFileError(ERROR_PATH_NOT_FOUND, operation::kDirectory);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(Join(folder, L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? S_OK : RaiseFileError(error, operation::kDirectory);
    }
    do {
        if (IsDotEntry(found.cFileName)) continue;
        ExchangeEntry entry;
        entry.name = found.cFileName;
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.sizeKnown = !entry.folder;
        entry.size = (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entry.modified = FileTimeSeconds(found.ftLastWriteTime);
        entries.push_back(std::move(entry));
    } while (FindNextFileW(find, &found));
    const DWORD error = GetLastError();
    FindClose(find);
    return error == ERROR_NO_MORE_FILES ? S_OK : RaiseFileError(error, operation::kDirectory);
}

HRESULT LocalSide::MakeFolder(const std::wstring& path) {
    if (::CreateDirectoryW(path.c_str(), nullptr)) return S_OK;
    return RaiseFileError(GetLastError(), operation::kCreateDirectory);
}

HRESULT LocalSide::RemoveFile(const std::wstring& path) {
    if (::DeleteFileW(path.c_str())) return S_OK;
    return RaiseFileError(GetLastError(), operation::kDeleteFile);
}

HRESULT LocalSide::RemoveFolder(const std::wstring& path) {
    if (::RemoveDirectoryW(path.c_str())) return S_OK;
    return RaiseFileError(GetLastError(), operation::kRemoveDirectory);
}

HRESULT LocalSide::FileSize(const std::wstring& path, unsigned long long& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return RaiseFileError(GetLastError(), operation::kFileSize);
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return S_OK;
}

HRESULT LocalSide::ExactTime(const std::wstring& path, LONGLONG& modified) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return RaiseFileError(GetLastError(), operation::kFileTime);
    modified = FileTimeSeconds(data.ftLastWriteTime);
    return S_OK;
}

HRESULT LocalSide::SetTime(const std::wstring& path, LONGLONG modified) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return RaiseFileError(GetLastError(), operation::kFileTime);
    const FILETIME time = SecondsFileTime(modified);
    const bool set = ::SetFileTime(file, nullptr, nullptr, &time) != FALSE;
    const DWORD error = GetLastError();
    CloseHandle(file);
    return set ? S_OK : RaiseFileError(error, operation::kFileTime);
}

bool LocalSide::WroteBefore(const std::wstring& path) const {
    EntryIdentity identity;
    return IdentifyEntry(path, identity) && written_.count(identity) > 0;
}

void LocalSide::Wrote(const std::wstring& path) {
    EntryIdentity identity;
    if (IdentifyEntry(path, identity)) written_.insert(identity);
}

bool LocalSide::Enter(const std::wstring& folder) {
    EntryIdentity identity;
    return !IdentifyEntry(folder, identity) || entered_.insert(identity).second;
}

}  // namespace quorlin
