// The session log of one FTP object: a line for every command, reply and
// negotiation, appended to a file an administrator names. Lines of several
// objects, threads and processes may go to one file: each line is one
// append of its own, and names the process and the object that wrote it.
// Writing never fails a member; lines that could not be written are counted
// and reported in the next line that can.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <memory>
#include <string>
#include <string_view>

namespace quorlin {

enum class LogMark : char {
    kSent = '>',      // a line sent to the server
    kReceived = '<',  // a line the server sent
    kNote = '-',      // what the session did or found: connections, TLS, SSH, SFTP requests
    kMember = '=',    // a member's start and end
};

class SessionLog {
public:
    SessionLog();
    ~SessionLog();
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    // Writes to `path` from now on, appending (the file is made when
    // missing), or to nothing for an empty path. False with the system's
    // error when the file cannot be opened: the log stays as it was.
    bool Open(const std::wstring& path);
    std::wstring Path() const;
    // Whether lines go anywhere: callers skip making lines nobody reads.
    bool Enabled() const { return file_.load(std::memory_order_acquire) != INVALID_HANDLE_VALUE; }

    // One line. Bytes are written as they came (a server's replies in its
    // own code page); control characters appear as \xNN, so that no server
    // can begin a line of its own.
    void Write(LogMark mark, std::string_view text);
    void Write(LogMark mark, std::wstring_view text);
    // A line for each line of `text` (a reply as the platform keeps it).
    void WriteLines(LogMark mark, std::string_view text);
    // The same, made as printf makes it.
    void Format(LogMark mark, const char* format, ...);

private:
    bool Append(std::string& line);

    const unsigned long objectNumber_;
    std::atomic<HANDLE> file_{INVALID_HANDLE_VALUE};
    std::wstring path_;
    mutable SRWLOCK lock_ = SRWLOCK_INIT;  // shared while writing, exclusive while the file changes
    std::atomic<unsigned long> lost_{0};
};

// Whether a log that may be missing takes lines.
inline bool Logging(const std::shared_ptr<SessionLog>& log) { return log && log->Enabled(); }

}  // namespace quorlin
