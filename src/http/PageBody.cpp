#include "PageBody.h"

#include "../platform/Constants.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace quorlin {
namespace {

// The length the response announced, when it is a plain number.
std::optional<unsigned long long> AnnouncedLength(HINTERNET request) {
    char digits[32] = {};
    DWORD size = sizeof digits - 1;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, digits, &size, nullptr) || !digits[0]) return std::nullopt;
    unsigned long long length = 0;
    for (const char* c = digits; *c; ++c) {
        if (*c < '0' || *c > '9' || length > ULLONG_MAX / 10) return std::nullopt;
        length = length * 10 + static_cast<unsigned long long>(*c - '0');
    }
    return length;
}

// Whether the body comes in the chunked coding, which marks its own end.
bool Chunked(HINTERNET request) {
    char coding[256] = {};
    DWORD size = sizeof coding - 1;
    if (!HttpQueryInfoA(request, HTTP_QUERY_TRANSFER_ENCODING, coding, &size, nullptr)) return false;
    for (char* c = coding; *c; ++c) *c = static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
    return std::strstr(coding, "chunked") != nullptr;
}

bool SingleByteCodePage() {
    CPINFO info;
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}

// The most bytes that can still become one text: one character each in a
// single-byte code page, and what one conversion call takes in any other.
unsigned long long LongestBody() {
    return SingleByteCodePage() ? kLongestText : static_cast<unsigned long long>(INT_MAX);
}

bool OutOfMemory() {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
}

// What MultiByteToWideChar makes of `count` bytes, into a new text.
bool Convert(const char* bytes, size_t count, BSTR* text) {
    if (count > static_cast<size_t>(INT_MAX)) return OutOfMemory();
    const int length = count ? MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), nullptr, 0) : 0;
    Bstr converted;
    converted.Reset(SysAllocStringLen(nullptr, static_cast<UINT>(length)));
    if (converted.Failed()) return OutOfMemory();
    if (length) MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), converted.Get(), length);
    *text = converted.Detach();
    return true;
}

}  // namespace

bool PageBody::Prepare(HINTERNET request) {
    announced_ = Chunked(request) ? std::nullopt : AnnouncedLength(request);
    if (!announced_) return true;
    if (*announced_ > LongestBody()) return OutOfMemory();
    inText_ = *announced_ != 0 && SingleByteCodePage();
    return true;
}

bool PageBody::ReadPiece(HINTERNET request, bool& finished) {
    // A short body, or a long one once an eighth of it is in, gets its text
    // at the full announced length: a claim alone never reserves memory.
    if (inText_ && !text_.Get() && (*announced_ <= kBodyHeadStartBytes || received_ >= *announced_ / 8))
        MoveToText();
    return text_.Get() ? ReadIntoText(request, finished) : ReadIntoBytes(request, finished);
}

void PageBody::MoveToText() {
    inText_ = false;  // one try: without the memory, the growing buffer goes on
    text_.Reset(SysAllocStringLen(nullptr, static_cast<UINT>(*announced_)));
    if (text_.Failed()) return;
    if (!bytes_.empty()) std::memcpy(text_.Get(), bytes_.data(), bytes_.size());
    std::vector<char>().swap(bytes_);
}

bool PageBody::ReadIntoText(HINTERNET request, bool& finished) {
    DWORD read = 0;
    if (received_ < *announced_) {
        char* storage = reinterpret_cast<char*>(text_.Get());
        const unsigned long long room = *announced_ - received_;
        const DWORD wanted = static_cast<DWORD>(std::min<unsigned long long>(room, kBodyPieceBytes));
        if (!InternetReadFile(request, storage + received_, wanted, &read)) return false;
        received_ += read;
        finished = read == 0;
        return true;
    }
    // Every announced byte is in: the next read must find the end. Should
    // the server send more, the body moves to the growing buffer.
    std::vector<char> probe(kBodyPieceBytes);
    if (!InternetReadFile(request, probe.data(), kBodyPieceBytes, &read)) return false;
    finished = read == 0;
    return finished || MoveToBytes(probe.data(), read);
}

bool PageBody::MoveToBytes(const char* more, size_t count) {
    const char* held = reinterpret_cast<const char*>(text_.Get());
    try {
        bytes_.assign(held, held + received_);
        bytes_.insert(bytes_.end(), more, more + count);
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
    received_ += count;
    text_.Reset(nullptr);
    return true;
}

bool PageBody::ReadIntoBytes(HINTERNET request, bool& finished) {
    const size_t held = bytes_.size();
    const size_t piece = kBodyPieceBytes;
    // A body that has grown beyond any text ends here, before more is read.
    if (held > LongestBody()) return OutOfMemory();
    try {
        // The capacity doubles, so appending stays linear; it never exceeds
        // the longest body by more than one piece.
        if (bytes_.capacity() - held < piece) {
            const size_t ceiling = static_cast<size_t>(LongestBody()) + piece;
            bytes_.reserve(std::min(std::max<size_t>(bytes_.capacity() * 2, held + piece), ceiling));
        }
        bytes_.resize(held + piece);
    } catch (const std::exception&) {
        return OutOfMemory();
    }
    DWORD read = 0;
    const BOOL succeeded = InternetReadFile(request, bytes_.data() + held, kBodyPieceBytes, &read);
    const DWORD error = GetLastError();
    bytes_.resize(held + (succeeded ? read : 0));
    received_ += succeeded ? read : 0;
    finished = succeeded && read == 0;
    SetLastError(error);
    return succeeded != FALSE;
}

bool PageBody::TakeText(BSTR* text) {
    *text = nullptr;
    if (text_.Get() && received_ == *announced_) {
        // One byte makes one character: widened in place from the end, each
        // character lands at or behind the byte it comes from.
        wchar_t table[256];
        char every[256];
        for (int i = 0; i < 256; ++i) every[i] = static_cast<char>(i);
        MultiByteToWideChar(CP_ACP, 0, every, 256, table, 256);
        wchar_t* characters = text_.Get();
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(characters);
        for (size_t i = static_cast<size_t>(received_); i-- > 0;) characters[i] = table[bytes[i]];
        *text = text_.Detach();
        return true;
    }
    if (text_.Get()) return Convert(reinterpret_cast<const char*>(text_.Get()), static_cast<size_t>(received_), text);
    std::vector<char> bytes;
    bytes.swap(bytes_);
    return Convert(bytes.data(), bytes.size(), text);
}

}  // namespace quorlin
