#include "DirectoryListing.h"

#include "../component/Error.h"
#include "../platform/Constants.h"

#include <cstring>
#include <new>
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

}  // namespace

HRESULT ListDirectory(HINTERNET connection, ComPtr<FileCollection>& collection) {
    collection.Reset();
    WIN32_FIND_DATAA record;
    std::memset(&record, 0, sizeof record);
    // No search text: the platform lists the current directory (an empty
    // text would be matched against every name and match none).
    HINTERNET first = FtpFindFirstFileA(connection, nullptr, &record, 0, 0);
    DWORD error = GetLastError();

    ComPtr<FileCollection> filled = TakeNew(new (std::nothrow) FileCollection());
    if (!filled) return E_OUTOFMEMORY;
    if (!first) {
        // An empty directory ends the listing at once. Some platforms report it
        // with no error code at all rather than with the end-of-listing code.
        if (error != kNoMoreEntries && error != ERROR_SUCCESS) return RaiseListingError(message::kListingFirst, error);
        collection = filled;
        return S_OK;
    }
    InternetHandle find;
    find.Reset(first);

    HRESULT hr = filled->AddEntry(&record, nullptr);
    while (SUCCEEDED(hr)) {
        std::memset(record.cFileName, 0, sizeof record.cFileName);
        if (!InternetFindNextFileA(find.Get(), &record)) {
            error = GetLastError();
            if (error != kNoMoreEntries) return RaiseListingError(NextEntryMessage(error), error);
            break;
        }
        hr = filled->AddEntry(&record, nullptr);
    }
    if (FAILED(hr)) return hr;
    if (!find.Close()) return RaiseListingError(message::kListingClose, GetLastError());
    collection = filled;
    return S_OK;
}

}  // namespace quorlin
