#include "TemporaryFile.h"

#include "../platform/Constants.h"

#include <cstdio>

namespace quorlin {

TemporaryFile::~TemporaryFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
}

// Creates the file itself rather than through GetTempFileName, so a folder
// that is missing or closed fails with the code a direct download would give.
bool TemporaryFile::Create(const std::string& folder) {
    const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < kTemporaryFileAttempts; ++attempt) {
        char name[16] = {};
        std::snprintf(name, sizeof name, "%s%04lx.tmp", kTemporaryFilePrefix,
                      static_cast<unsigned long>((seed + attempt) & 0xFFFF));
        std::string path = folder + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, kLocalFileAttributes, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            path_ = std::move(path);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;  // every name taken: the last error says the file exists
}

bool TemporaryFile::MoveOver(const std::string& destination, bool replace) {
    if (!MoveFileExA(path_.c_str(), destination.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return false;
    path_.clear();
    return true;
}

unsigned long long TemporaryFile::Size() const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path_.empty() || !GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace quorlin
