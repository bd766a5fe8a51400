// The file-identity query of the tree uploads: GetFileInformationByHandleEx
// with the FileIdInfo class, which <windows.h> declares only for Windows 8
// and later targets.
#pragma once

#include <windows.h>

namespace quorlin {

constexpr FILE_INFO_BY_HANDLE_CLASS kFileIdInfoClass = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);  // FileIdInfo

// FILE_ID_INFO: the volume's serial number and the file's 128-bit identifier.
struct FileIdInformation {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};

}  // namespace quorlin
