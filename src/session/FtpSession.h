// The FTP operations the FTP object's members are made of, on one open
// connection: the platform's own FTP client beneath one implementation, the
// component's own client (for TLS) beneath the other. Every operation
// returns false with the thread's last error set to the platform's code for
// the failure, and leaves the server's last reply where the error texts read
// it. An operation may run on a worker thread after its caller stopped
// waiting, so a session is shared by whoever still uses it.
#pragma once

#include "../platform/ListedEntry.h"

#include <atomic>
#include <memory>
#include <string>

namespace quorlin {

// A remote file opened for one transfer.
class RemoteFile {
public:
    virtual ~RemoteFile() = default;
    // `read` 0 at the end of the file.
    virtual bool Read(char* data, DWORD size, DWORD& read) = 0;
    virtual bool Write(const char* data, DWORD size) = 0;
    // Adds the bytes of a write to `*sent` as the connection takes them,
    // where a write may hold them back (whole TLS records) or take long.
    virtual void CountSent(std::atomic<unsigned long long>*) {}
    // Ends the transfer; a final reply that reports a failure fails it.
    virtual bool Close() = 0;
};

// The records of one listing after its first.
class RemoteListing {
public:
    virtual ~RemoteListing() = default;
    // False with kNoMoreEntries after the last record.
    virtual bool Next(ListedEntry& entry) = 0;
    virtual bool Close() = 0;
};

class FtpSession {
public:
    virtual ~FtpSession() = default;

    // False for the stand-in of a connection that is not open.
    virtual bool Connected() const = 0;
    // True once the connection can no longer be used (a reply that never
    // came, a server that ended it): the owner lets go of it.
    virtual bool Lost() const = 0;
    // The longest any one wait may take from now on, in seconds (0: the
    // platform's own defaults).
    virtual void LimitWaits(LONG seconds) = 0;
    // The caller stopped waiting (its time ran out): nothing more is sent,
    // and a call still running ends at its next wait.
    virtual void Abandon() {}

    // Paths are in the code page of remote names.
    virtual bool CurrentDirectory(std::string& directory) = 0;
    virtual bool SetDirectory(const std::string& path) = 0;
    virtual bool CreateFolder(const std::string& path) = 0;
    virtual bool RemoveFolder(const std::string& path) = 0;
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual bool Delete(const std::string& path) = 0;
    // One command line without data; a reply of 400 or above fails it.
    virtual bool Command(const char* line) = 0;
    // `transferType` 1 ASCII, 2 binary. From `offset` on, in binary type: a
    // read skips the first `offset` bytes, a write keeps them and writes on
    // behind them. Null on failure.
    virtual std::unique_ptr<RemoteFile> Open(const std::string& path, bool forWriting, DWORD transferType,
                                             unsigned long long offset) = 0;
    // A remote file's size in bytes, as binary type counts it.
    virtual bool FileSize(const std::string& path, unsigned long long& size) = 0;
    // A remote file's last modification time, in UTC.
    virtual bool FileTime(const std::string& path, FILETIME& modified) = 0;
    // Gives a remote file the modification time `modified` (UTC, to the
    // second). False with ERROR_NOT_SUPPORTED where the server has no way to
    // set a time; any other failure as every operation's.
    virtual bool SetFileTime(const std::string& path, const FILETIME& modified) = 0;
    // Whether the server has `path` as a file or a folder. A server that says
    // it has no such name is an answer (`exists` false), not a failure.
    virtual bool Exists(const std::string& path, bool& exists) = 0;
    // Lists the current directory: its first record in `first` and the rest
    // to read; null with kNoMoreEntries for an empty directory.
    virtual std::unique_ptr<RemoteListing> List(ListedEntry& first) = 0;
    // Ends the session with the server.
    virtual bool Close() = 0;
};

}  // namespace quorlin
