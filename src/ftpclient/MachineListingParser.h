// Reads the lines of an MLSD reply (RFC 3659: "fact=value;...; name") into
// listing entries: the record filled as a LIST line of the same file would
// fill it, and the exact time beside it.
#pragma once

#include "../platform/ListedEntry.h"

#include <string_view>
#include <vector>

namespace quorlin {

// One line, without its line end; false for a line that is no entry, and
// for the listed folder itself and its parent ("cdir", "pdir"). Fact names
// and types are read without regard to case; "size" gives the exact size (a
// size that is none is marked unknown, a folder's is 0), "modify" the exact
// time, in UTC, and the record's times as LIST would show that time.
bool ParseMachineListingLine(std::string_view line, ListedEntry& entry);

// Every entry of one MLSD reply's text; false with ERROR_NOT_ENOUGH_MEMORY
// beyond kMostListedEntries.
bool ParseMachineListingText(std::string_view text, std::vector<ListedEntry>& entries);

}  // namespace quorlin
