#include "TemporaryFile.h"

#include "../platform/Constants.h"

#include <cwchar>

namespace quorlin {

TemporaryFile::~TemporaryFile() {
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
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kLocalFileAttributes, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            path_ = std::move(path);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;  // every name taken: the last error says the file exists
}

bool TemporaryFile::MoveOver(const std::wstring& destination, bool replace) {
    if (!MoveFileExW(path_.c_str(), destination.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return false;
    path_.clear();
    return true;
}

}  // namespace quorlin
