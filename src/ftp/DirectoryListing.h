// The listing of the current remote directory into a new file collection.
#pragma once

#include "../listing/FileCollection.h"
#include "../platform/WinInetAPI.h"

namespace quorlin {

// Lists the connection's current remote directory, one entry per record the
// server delivers, in its order. An empty directory gives an empty
// collection. The find handle is closed on every path.
HRESULT ListDirectory(HINTERNET connection, ComPtr<FileCollection>& collection);

}  // namespace quorlin
