// Which file names a batch takes: "*.csv;*.txt | *.tmp" selects the names
// that match one of the patterns before the bar and none after it, with `*`
// for any run of characters and `?` for one, whatever their letter case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlin {

class FileMask {
public:
    // Every file ("*").
    FileMask();
    // False for a mask that selects nothing it could ever name: an empty
    // pattern beside others, or one with a path separator or a second bar.
    // A blank mask selects every file.
    bool Parse(std::wstring_view text);
    // "." and ".." are never selected; folders are the caller's to leave out.
    bool Selects(std::wstring_view name) const;

private:
    std::vector<std::wstring> included_;  // in upper case
    std::vector<std::wstring> excluded_;
};

}  // namespace quorlin
