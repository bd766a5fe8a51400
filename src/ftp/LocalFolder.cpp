#include "LocalFolder.h"

#include "../text/Error.h"
#include "../platform/Constants.h"
#include "../platform/LocalFileAPI.h"

#include <algorithm>
#include <cstring>

namespace quorlin {
namespace {

// The runtime error the file-system object gives for a failed file call.
HRESULT RaiseFolderError(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
        return RaiseError(runtime_error::kPathNotFound, source::kFtp, message::kPathNotFound);
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return RaiseError(runtime_error::kFileAlreadyExists, source::kFtp, message::kFileAlreadyExists);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
        return RaiseError(runtime_error::kPermissionDenied, source::kFtp, message::kPermissionDenied);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return RaiseError(runtime_error::kDiskFull, source::kFtp, message::kDiskFull);
    default:
        return RaiseError(runtime_error::kPathFileAccessError, source::kFtp, message::kPathFileAccessError);
    }
}

}  // namespace

bool IsDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == L'\0') || (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HRESULT CreateFolder(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr)) return S_OK;
    return RaiseFolderError(GetLastError());
}

HRESULT ListFolder(const std::wstring& path, std::vector<std::wstring>& subfolders, std::vector<std::wstring>& files) {
    subfolders.clear();
    files.clear();
    const bool endsInSeparator = !path.empty() && (path.back() == L'\\' || path.back() == L'/');
    const std::wstring pattern = path + (endsInSeparator ? L"*" : L"\\*");
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? S_OK : RaiseFolderError(error);
    }
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!IsDotEntry(entry.cFileName)) subfolders.emplace_back(entry.cFileName);
        } else {
            files.emplace_back(entry.cFileName);
        }
    } while (FindNextFileW(find, &entry));
    const DWORD error = GetLastError();
    FindClose(find);
    return error == ERROR_NO_MORE_FILES ? S_OK : RaiseFolderError(error);
}

bool IdentifyEntry(const std::wstring& path, EntryIdentity& identity) {
    HANDLE folder = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    EntryIdentity found;
    FileIdInformation wide = {};
    bool known = GetFileInformationByHandleEx(folder, kFileIdInfoClass, &wide, sizeof wide) != FALSE;
    if (known) {
        found.volume = wide.volumeSerialNumber;
        std::memcpy(found.file.data(), wide.fileId, sizeof wide.fileId);
    } else {
        // Only where the 128-bit identifier is not supported: the 64-bit index.
        BY_HANDLE_FILE_INFORMATION information;
        known = GetFileInformationByHandle(folder, &information) != FALSE;
        if (known) {
            found.volume = information.dwVolumeSerialNumber;
            const ULONGLONG index =
                (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
            std::memcpy(found.file.data(), &index, sizeof index);
        }
    }
    CloseHandle(folder);
    // Some file systems report no identifier at all, as zero.
    known = known && std::any_of(found.file.begin(), found.file.end(), [](BYTE b) { return b != 0; });
    if (known) identity = found;
    return known;
}

}  // namespace quorlin
