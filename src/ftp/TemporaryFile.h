// A uniquely named file in a chosen folder that is removed when its owner
// goes, unless it has been moved into place.
#pragma once

#include "../platform/Owners.h"

#include <string>

namespace quorlin {

class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    // Creates an empty file with a plain ASCII name in `folder`, a path that
    // is empty or ends in a separator or drive colon, and keeps it open for
    // writing through Handle(), marked to be deleted when the handle closes:
    // it goes with the process should that end before its owner. False with
    // the thread's last error set when it cannot be created.
    bool Create(const std::wstring& folder);
    HANDLE Handle() const { return handle_.Get(); }
    // Moves the file to `destination` in one step, replacing what is there
    // when `replace` says so. False with the last error set when the move
    // fails; the file stays ours.
    bool MoveOver(const std::wstring& destination, bool replace = true);

private:
    // Marks the open file to go with its handle, or takes the mark back.
    bool DeleteOnClose(bool deleting);

    std::wstring path_;
    FileHandle handle_;
    bool marked_ = false;
};

}  // namespace quorlin
