#include "SessionLog.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quorlin {
namespace {

std::atomic<unsigned long> lastObjectNumber{0};

// Holds an SRW lock, shared or exclusive, for one scope.
class LockHold {
public:
    LockHold(SRWLOCK& lock, bool exclusive) : lock_(lock), exclusive_(exclusive) {
        if (exclusive_) AcquireSRWLockExclusive(&lock_);
        else AcquireSRWLockShared(&lock_);
    }
    ~LockHold() {
        if (exclusive_) ReleaseSRWLockExclusive(&lock_);
        else ReleaseSRWLockShared(&lock_);
    }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

private:
    SRWLOCK& lock_;
    const bool exclusive_;
};

void AppendEscaped(std::string& line, std::string_view text) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            line += "\\x";
            line += kDigits[byte >> 4];
            line += kDigits[byte & 0xF];
        } else {
            line += c;
        }
    }
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                            nullptr);
    return bytes;
}

}  // namespace

SessionLog::SessionLog() : objectNumber_(++lastObjectNumber) {}

SessionLog::~SessionLog() {
    const HANDLE file = file_.exchange(INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

bool SessionLog::Open(const std::wstring& path) {
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!path.empty()) {
        // Append-only access: every write lands at the file's end, whoever
        // else writes to it. Others may read, write, rename and delete it.
        file = CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
    }
    LockHold hold(lock_, true);
    const HANDLE old = file_.exchange(file, std::memory_order_acq_rel);
    if (old != INVALID_HANDLE_VALUE) CloseHandle(old);
    path_ = path;
    lost_ = 0;
    return true;
}

std::wstring SessionLog::Path() const {
    LockHold hold(lock_, false);
    return path_;
}

bool SessionLog::Append(std::string& line) {
    const HANDLE file = file_.load(std::memory_order_acquire);
    if (file == INVALID_HANDLE_VALUE) return true;
    DWORD written = 0;
    return WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

void SessionLog::Write(LogMark mark, std::string_view text) {
    if (!Enabled()) return;
    const DWORD error = GetLastError();  // callers read it after logging
    SYSTEMTIME now;
    GetLocalTime(&now);
    char prefix[80];
    std::snprintf(prefix, sizeof prefix, "%04u-%02u-%02u %02u:%02u:%02u.%03u %lu:%lu %c ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentProcessId(),
                  objectNumber_, static_cast<char>(mark));
    std::string line;
    try {
        line.reserve(sizeof prefix + text.size() + 16);
        LockHold hold(lock_, false);
        if (const unsigned long lost = lost_.exchange(0)) {
            std::string notice = prefix;
            notice[notice.size() - 2] = static_cast<char>(LogMark::kNote);
            notice += std::to_string(lost) + (lost == 1 ? " line" : " lines") +
                      " could not be written to this log before this one.\r\n";
            if (!Append(notice)) lost_ += lost;
        }
        line = prefix;
        AppendEscaped(line, text);
        line += "\r\n";
        if (!Append(line)) ++lost_;
    } catch (...) {
        // No memory for the line: it is counted as lost, and the member goes on.
        ++lost_;
    }
    SetLastError(error);
}

void SessionLog::Write(LogMark mark, std::wstring_view text) {
    if (!Enabled()) return;
    const DWORD error = GetLastError();
    try {
        Write(mark, Utf8(text));
    } catch (...) {
        ++lost_;
    }
    SetLastError(error);
}

void SessionLog::WriteLines(LogMark mark, std::string_view text) {
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        Write(mark, line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

void SessionLog::Format(LogMark mark, const char* format, ...) {
    if (!Enabled()) return;
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    const int size = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (size >= 0) Write(mark, std::string_view(text, std::min<size_t>(size, sizeof text - 1)));
}

}  // namespace quorlin
