#include "PageBody.h"

#include "../component/Owners.h"
#include "../platform/Constants.h"

#include <algorithm>
#include <climits>

namespace quorlin {

bool PageBody::ReadPiece(HINTERNET request, bool& finished) {
    const size_t held = bytes_.size();
    // Room for the piece; the buffer's capacity doubles, so appending stays linear.
    const size_t piece = kBodyPieceBytes;
    if (bytes_.capacity() - held < piece) bytes_.reserve(std::max<size_t>(bytes_.capacity() * 2, held + piece));
    bytes_.resize(held + piece);
    DWORD read = 0;
    const BOOL succeeded = InternetReadFile(request, bytes_.data() + held, kBodyPieceBytes, &read);
    const DWORD error = GetLastError();
    bytes_.resize(held + (succeeded ? read : 0));
    finished = succeeded && read == 0;
    SetLastError(error);
    return succeeded != FALSE;
}

bool PageBody::ShorterThanAnnounced(HINTERNET request) const {
    char digits[32] = {};
    DWORD size = sizeof digits - 1;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, digits, &size, nullptr)) return false;
    unsigned long long announced = 0;
    for (const char* c = digits; *c; ++c) {
        if (*c < '0' || *c > '9') return false;  // not a length this check can rely on
        announced = announced * 10 + static_cast<unsigned long long>(*c - '0');
    }
    return bytes_.size() < announced;
}

HRESULT PageBody::TakeText(BSTR* text) {
    *text = nullptr;
    std::vector<char> bytes;
    bytes.swap(bytes_);
    if (bytes.size() > static_cast<size_t>(INT_MAX)) return E_OUTOFMEMORY;
    const int count = static_cast<int>(bytes.size());
    const int length = count ? MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, nullptr, 0) : 0;
    Bstr converted;
    converted.Reset(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
    if (converted.Failed()) return E_OUTOFMEMORY;
    if (length) MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, converted.Get(), length);
    *text = converted.Detach();
    return S_OK;
}

}  // namespace quorlin
