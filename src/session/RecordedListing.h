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
    static std::unique_ptr<RemoteListing> Start(std::vector<WIN32_FIND_DATAA> records, WIN32_FIND_DATAA& first);

    bool Next(WIN32_FIND_DATAA& record) override;
    bool Close() override { return true; }

private:
    explicit RecordedListing(std::vector<WIN32_FIND_DATAA> records) : records_(std::move(records)) {}

    std::vector<WIN32_FIND_DATAA> records_;
    size_t next_ = 1;  // the first went with the listing's start
};

}  // namespace quorlin
