#include "RecordedListing.h"

#include "../platform/Constants.h"

namespace quorlin {

std::unique_ptr<RemoteListing> RecordedListing::Start(std::vector<ListedEntry> entries, ListedEntry& first) {
    if (entries.empty()) {
        SetLastError(kNoMoreEntries);
        return nullptr;
    }
    first = std::move(entries.front());
    SetLastError(ERROR_SUCCESS);
    return std::unique_ptr<RemoteListing>(new RecordedListing(std::move(entries)));
}

bool RecordedListing::Next(ListedEntry& entry) {
    if (next_ >= entries_.size()) {
        SetLastError(kNoMoreEntries);
        return false;
    }
    entry = std::move(entries_[next_++]);
    return true;
}

}  // namespace quorlin
