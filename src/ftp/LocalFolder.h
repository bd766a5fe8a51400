// The local folders of the tree transfers: tested, created and listed with the
// platform's file calls, failing with the errors the scripting runtime's
// file-system object raises for the same cases.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace quorlin {

// "." and "..", which a folder's listing names beside its entries.
bool IsDotEntry(const wchar_t* name);

// Whether `path` names an existing folder (a file is not one).
bool FolderExists(const std::wstring& path);

// Creates the folder `path` (its last level only). A missing parent raises
// "Path not found" (0x800A004C), an existing file of that name "File already
// exists" (0x800A003A), with source Quorlin.FTP.
HRESULT CreateFolder(const std::wstring& path);

// The bare names of the folder's subfolders and of its files, each in the
// platform's enumeration order.
HRESULT ListFolder(const std::wstring& path, std::vector<std::wstring>& subfolders, std::vector<std::wstring>& files);

// What tells one folder or file from every other, whatever path reaches it
// (a link, a short name, another letter case): the volume's serial number and
// the 128-bit file identifier, or where the platform has no such identifier
// its 64-bit file index.
struct EntryIdentity {
    ULONGLONG volume = 0;
    std::array<BYTE, 16> file = {};
    bool operator<(const EntryIdentity& other) const {
        return volume != other.volume ? volume < other.volume : file < other.file;
    }
};
// False when no identity can be had (an identifier of zero is none, and a
// path that names nothing has none): such an entry is never taken for another.
bool IdentifyEntry(const std::wstring& path, EntryIdentity& identity);

}  // namespace quorlin
