// One side of a batch exchange, the local file system or the server: what
// the batch lists, makes, deletes and dates there. Paths are whole texts in
// the side's own form; a failure raises an error whose description says what
// failed, which the batch puts behind its own row's message.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quorlin {

struct ExchangeEntry {
    std::wstring name;
    bool folder = false;
    bool sizeKnown = false;
    unsigned long long size = 0;
    LONGLONG modified = 0;   // seconds since 1601 in UTC; 0: no time known
    LONGLONG precision = 1;  // how many seconds the time is given to
};

// Seconds since 1601 of a file time; 0 stays 0.
inline LONGLONG FileTimeSeconds(const FILETIME& time) {
    return static_cast<LONGLONG>(((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) /
                                 10000000ULL);
}
inline FILETIME SecondsFileTime(LONGLONG seconds) {
    const ULONGLONG ticks = static_cast<ULONGLONG>(seconds) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

class ExchangeSide {
public:
    virtual ~ExchangeSide() = default;

    // Whether names that differ in letter case only are one entry here.
    virtual bool IgnoresCase() const = 0;
    virtual std::wstring Join(const std::wstring& folder, const std::wstring& name) const = 0;
    // Checks a name that is to become an entry here; raises when it cannot be one.
    virtual HRESULT CheckName(const std::wstring& name) = 0;
    // The folder's entries, "." and ".." left out.
    virtual HRESULT List(const std::wstring& folder, std::vector<ExchangeEntry>& entries) = 0;
    virtual HRESULT MakeFolder(const std::wstring& path) = 0;
    virtual HRESULT RemoveFile(const std::wstring& path) = 0;
    virtual HRESULT RemoveFolder(const std::wstring& path) = 0;
    virtual HRESULT FileSize(const std::wstring& path, unsigned long long& size) = 0;
    // The file's time to the second, where a listing gave it less exactly.
    virtual HRESULT ExactTime(const std::wstring& path, LONGLONG& modified) = 0;
    // Gives the file `modified`; a side that cannot keep times leaves it.
    virtual HRESULT SetTime(const std::wstring& path, LONGLONG modified) = 0;
};

}  // namespace quorlin
