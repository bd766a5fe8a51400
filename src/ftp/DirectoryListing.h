// The listing of the current remote directory into a new file collection.
#pragma once

#include "../work/TimeLimit.h"
#include "../listing/FileCollection.h"
#include "../session/FtpSession.h"

#include <vector>

namespace quorlin {

// Lists the connection's current remote directory, its names read in
// `names`' code page, one entry per record the
// server delivers, in its order. An empty directory gives an empty
// collection. The listing is closed on every path. Within an active
// `limit` the whole listing is read on the worker and the collection filled
// here afterwards.
HRESULT ListDirectory(TimeLimit& limit, const CodePageText& names, const std::shared_ptr<FtpSession>& session,
                      ComPtr<FileCollection>& collection);

// The same listing as records, sizes the platform clamped asked of the
// server (unknown where it will not tell), failing as ListDirectory fails.
HRESULT ListDirectoryEntries(TimeLimit& limit, const std::shared_ptr<FtpSession>& session,
                             std::vector<ListedEntry>& entries);

}  // namespace quorlin
