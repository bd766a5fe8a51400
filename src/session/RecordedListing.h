// A listing whose records were all read before it starts: the own clients
// read a whole listing at once, then hand it out a record at a time.
#pragma once

#include "FtpSession.h"

#include <memory>
#include <vector>

namespace quorlin {

class RecordedListing : public RemoteListing {
public:
    // The listing of `records`, its first in `first`; null with
    // kNoMoreEntries when there are none.
    static std::unique_ptr<RemoteListing> Start(std::vector<ListedEntry> entries, ListedEntry& first);

    bool Next(ListedEntry& entry) override;
    bool Close() override { return true; }

private:
    explicit RecordedListing(std::vector<ListedEntry> entries) : entries_(std::move(entries)) {}

    std::vector<ListedEntry> entries_;
    size_t next_ = 1;  // the first went with the listing's start
};

}  // namespace quorlin
