#include "DirectoryListing.h"

#include "../component/Error.h"
#include "../platform/Constants.h"

#include <cstring>
#include <string>

namespace quorlin {
namespace {

HRESULT RaiseListingError(const std::wstring& message, DWORD code) {
    return RaisePlatformError(ftp_error::kDirectoryListing, source::kFtp, message.c_str(), code,
                              operation::kGetDirectoryListing);
}

// "(2)" carries the failing code and a zero between parentheses.
std::wstring NextEntryMessage(DWORD code) {
    return message::kListingNextPrefix + std::to_wstring(code) + L")(0)";
}

// Whether the server's final reply to the listing says it did not complete
// (426 after a dropped data connection, any 4xx or 5xx). The platform reads
// that reply inside the first find call and delivers the entries that did
// arrive as if the listing were whole.
bool ServerReportedIncomplete() {
    char reply[kErrorTextBufferChars] = {};
    DWORD serverError = 0, length = sizeof reply;
    if (!InternetGetLastResponseInfoA(&serverError, reply, &length)) return false;
    // The reply's last line carries the final code.
    const char* last = reply;
    for (const char* c = reply; *c; ++c)
        if (c[0] == '\n' && c[1] >= '0' && c[1] <= '9') last = c + 1;
    return (last[0] == '4' || last[0] == '5') && last[1] >= '0' && last[1] <= '9' && last[2] >= '0' && last[2] <= '9';
}

}  // namespace

HRESULT ListDirectory(HINTERNET connection, ComPtr<FileCollection>& collection) {
    collection.Reset();
    ComPtr<FileCollection> filled = TakeNew<FileCollection>(new WithBoundary<FileCollection>());
    WIN32_FIND_DATAA record;
    std::memset(&record, 0, sizeof record);
    // No search text: the platform lists the current directory (an empty
    // text would be matched against every name and match none).
    InternetHandle find;
    find.Reset(FtpFindFirstFileA(connection, nullptr, &record, 0, 0));
    DWORD error = GetLastError();
    if ((find || error == kNoMoreEntries || error == ERROR_SUCCESS) && ServerReportedIncomplete())
        return RaiseListingError(NextEntryMessage(kExtendedError), kExtendedError);
    if (!find) {
        // An empty directory ends the listing at once. Some platforms report it
        // with no error code at all rather than with the end-of-listing code.
        if (error != kNoMoreEntries && error != ERROR_SUCCESS) return RaiseListingError(message::kListingFirst, error);
        collection = filled;
        return S_OK;
    }
    for (;;) {
        filled->Add(record);
        std::memset(record.cFileName, 0, sizeof record.cFileName);
        if (!InternetFindNextFileA(find.Get(), &record)) {
            error = GetLastError();
            if (error != kNoMoreEntries) return RaiseListingError(NextEntryMessage(error), error);
            break;
        }
    }
    if (!find.Close()) return RaiseListingError(message::kListingClose, GetLastError());
    collection = filled;
    return S_OK;
}

}  // namespace quorlin
