// A uniquely named file in a chosen folder that is removed when its owner
// goes, unless it has been moved into place.
#pragma once

#include <windows.h>
#include <string>

namespace quorlin {

class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    // Creates an empty file in `folder`, an ANSI path that is empty or ends in
    // a separator or drive colon. False with the thread's last error set when
    // it cannot be created.
    bool Create(const std::string& folder);
    const std::string& Path() const { return path_; }
    // Moves the file to `destination` in one step, replacing what is there
    // when `replace` says so. False with the last error set when the move
    // fails; the file stays ours.
    bool MoveOver(const std::string& destination, bool replace = true);
    // How many bytes the file holds now (0 when that cannot be read).
    unsigned long long Size() const;

private:
    std::string path_;
};

}  // namespace quorlin
