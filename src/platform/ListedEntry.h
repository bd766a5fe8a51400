// One entry of a remote listing: the platform's find record, and the name
// exactly as the server sent it, which the record's 260 bytes may not hold
// whole (a long name, a NUL or a carriage return inside it).
#pragma once

#include "WinInetAPI.h"

#include <cstring>
#include <string>

namespace quorlin {

struct ListedEntry {
    WIN32_FIND_DATAA record{};
    std::string name;
    // The modification time to the second, in UTC, where the listing tells
    // it (MLSD, SFTP); zero where only the record's time is known, which an
    // FTP listing gives to the minute, or to the day for an older file.
    FILETIME exactModified{};
};

// The size a record carries when the server told none that can be believed
// (no size, a negative one, or one no file has): all bits of both words set.
inline void MarkSizeUnknown(WIN32_FIND_DATAA& record) {
    record.nFileSizeHigh = 0xFFFFFFFFu;
    record.nFileSizeLow = 0xFFFFFFFFu;
}
inline bool SizeUnknown(const WIN32_FIND_DATAA& record) {
    return record.nFileSizeHigh == 0xFFFFFFFFu && record.nFileSizeLow == 0xFFFFFFFFu;
}

// The record's name up to its first NUL, as the platform's listing delivers it.
inline std::string RecordName(const WIN32_FIND_DATAA& record) {
    return std::string(record.cFileName, strnlen(record.cFileName, sizeof record.cFileName));
}

}  // namespace quorlin
