#include "RecordedListing.h"

#include "../platform/Constants.h"

namespace quorlin {

std::unique_ptr<RemoteListing> RecordedListing::Start(std::vector<WIN32_FIND_DATAA> records, WIN32_FIND_DATAA& first) {
    if (records.empty()) {
        SetLastError(kNoMoreEntries);
        return nullptr;
    }
    first = records.front();
    SetLastError(ERROR_SUCCESS);
    return std::unique_ptr<RemoteListing>(new RecordedListing(std::move(records)));
}

bool RecordedListing::Next(WIN32_FIND_DATAA& record) {
    if (next_ >= records_.size()) {
        SetLastError(kNoMoreEntries);
        return false;
    }
    record = records_[next_++];
    return true;
}

}  // namespace quorlin
