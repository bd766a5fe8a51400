#include "TemporaryFile.h"

#include "../platform/Constants.h"

#include <cwchar>

namespace quorlin {

TemporaryFile::~TemporaryFile() {
    // A file still marked goes with its handle; one whose mark could not be
    // set is deleted by name.
    handle_.Reset();
    if (!path_.empty()) DeleteFileW(path_.c_str());
}

// Creates the file itself rather than through GetTempFileName, so a folder
// that is missing or closed fails with the code a direct download would give.
bool TemporaryFile::Create(const std::wstring& folder) {
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < kTemporaryFileAttempts; ++attempt) {
        wchar_t name[16] = {};
        std::swprintf(name, sizeof name / sizeof name[0], L"%ls%04lx.tmp", kTemporaryFilePrefix,
                      static_cast<unsigned long>((seed + attempt) & 0xFFFF));
        std::wstring path = folder + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, kLocalFileAttributes,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            path_ = std::move(path);
            handle_.Reset(file);
            // Without the mark the file is still removed by its owner.
            marked_ = DeleteOnClose(true);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;  // every name taken: the last error says the file exists
}

bool TemporaryFile::DeleteOnClose(bool deleting) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = deleting ? TRUE : FALSE;
    return SetFileInformationByHandle(handle_.Get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

bool TemporaryFile::MoveOver(const std::wstring& destination, bool replace) {
    // The mark is taken back before the handle closes, or the file would go with it.
    if (marked_ && !DeleteOnClose(false)) return false;
    marked_ = false;
    handle_.Reset();
    if (!MoveFileExW(path_.c_str(), destination.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return false;
    path_.clear();
    return true;
}

}  // namespace quorlin
