// Reads the lines of a LIST reply into find records in the manner of the
// platform's own FTP client: Unix "ls -l" lines and DOS/IIS lines, with its
// line limit, but whole names and 64-bit sizes.
#pragma once

#include "../platform/ListedEntry.h"

#include <string_view>
#include <vector>

namespace quorlin {

// What the platform's client carries from line to line of one listing: a DOS
// date or time number it cannot read ("01/02/03", "xx:yyPM") keeps the value
// that number had on an earlier DOS line, and has no valid value before one.
struct ListingReadState {
    int dosNumbers[5] = {-1, -1, -1, -1, -1};  // month, day, year, hour, minute
};

// One line of a LIST reply (without its line end); false for a line that is
// no entry. The record is what the platform's client makes of the line; the
// entry's name is the whole name the line holds. A size that is none (not
// digits alone, or beyond any file's) is marked unknown.
bool ParseListingLine(std::string_view line, const SYSTEMTIME& now, ListedEntry& entry);

// The same for the lines of one listing in order, with one state per listing.
bool ParseListingLine(std::string_view line, const SYSTEMTIME& now, ListedEntry& entry, ListingReadState& state);

// True for a line the platform's client cannot hold (4096 bytes or more once
// carriage returns are dropped): it stops reading the listing there and keeps
// the entries before it. ParseListingLine returns false for such a line.
bool ListingLineEndsListing(std::string_view line);

// Every entry of one LIST reply's text, the last line with or without its
// line end; false with ERROR_NOT_ENOUGH_MEMORY beyond kMostListedEntries.
bool ParseListingText(std::string_view text, const SYSTEMTIME& now, std::vector<ListedEntry>& entries);

}  // namespace quorlin
