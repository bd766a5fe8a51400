// LIST lines read token by token, blanks and tabs apart, in the manner of
// the platform's own FTP client, so that a listing looks the same whichever
// client fetched it, but keeping all of what the server listed:
// - Unix lines: a 10-character first word not starting with a digit; the fifth
//   word is the size (0 for a "d" entry), then month, day, "hh:mm" (current
//   year) or a year (12:00), and the name is the rest of the line (a link's
//   " -> target" left out).
// - DOS lines: an 8-character first word starting with a digit ("mm-dd-yy");
//   "hh:mmAM/PM", then "<DIR>" or the size, then the name, the rest of the
//   line; a number it cannot read keeps its value from an earlier DOS line.
// - Sizes are 64-bit, in the record's high and low words; only
//   FILE_ATTRIBUTE_DIRECTORY is ever set, and all three times hold the listed
//   time as is, or 0 when it is not a valid date.
#include "ListingParser.h"

#include "../platform/Constants.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>

namespace quorlin {
namespace {

// The client reads a line into a buffer of this many bytes; a longer line ends the listing.
constexpr std::size_t kLineCapacity = 0x1000;
constexpr char kMonths[] = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::size_t Length(const char* text) {
    std::size_t length = 0;
    while (text[length]) ++length;
    return length;
}

// strtok over the line buffer: each word is ended in place by a NUL written over
// the blank after it, which later peeks past the word can see.
class Words {
public:
    explicit Words(char* text) : next_(text) {}
    char* Next() {
        char* start = next_;
        while (*start && IsBlank(*start)) ++start;
        if (!*start) {
            next_ = start;
            return nullptr;
        }
        char* end = start;
        while (*end && !IsBlank(*end)) ++end;
        if (*end) *end++ = '\0';
        next_ = end;
        return start;
    }
    // All that is left after the blanks that follow the last word, or null.
    char* Rest() {
        while (*next_ && IsBlank(*next_)) ++next_;
        return *next_ ? next_ : nullptr;
    }

private:
    char* next_;
};

// C atoi/atol: leading white space, a sign, decimal digits, clamped to 32 bits.
long CNumber(const char* text) {
    while (IsCSpace(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    for (; IsDigit(*text); ++text) {
        value = value * 10 + (*text - '0');
        if (value > 1LL + INT_MAX) value = 1LL + INT_MAX;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<long>(value);
}

// A size word of digits alone, up to the largest size a file can have;
// anything else ("-1", "+12", 26 digits) is no size: kUnknownSize.
constexpr unsigned long long kUnknownSize = ULLONG_MAX;
unsigned long long SizeNumber(const char* text) {
    unsigned long long value = 0;
    if (!IsDigit(*text)) return kUnknownSize;
    constexpr unsigned long long kLargest = static_cast<unsigned long long>(LLONG_MAX);
    for (; *text; ++text) {
        if (!IsDigit(*text)) return kUnknownSize;
        const unsigned digit = static_cast<unsigned>(*text - '0');
        if (value > (kLargest - digit) / 10) return kUnknownSize;
        value = value * 10 + digit;
    }
    return value;
}

// One "%d" of sscanf: false (nothing stored) without a digit; wraps like the C library.
bool ScanNumber(const char*& text, int& value) {
    const char* at = text;
    while (IsCSpace(*at)) ++at;
    bool negative = false;
    if (*at == '+' || *at == '-') negative = *at++ == '-';
    if (!IsDigit(*at)) return false;
    unsigned long long number = 0;
    for (; IsDigit(*at); ++at) number = number * 10 + static_cast<unsigned>(*at - '0');
    if (negative) number = 0 - number;
    value = static_cast<int>(static_cast<unsigned>(number & 0xFFFFFFFFu));
    text = at;
    return true;
}

// sscanf(text, "%d<separator>%d[<separator>%d]"): the count of numbers stored.
int ScanNumbers(const char* text, char separator, int* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (*text != separator) return i;
            ++text;
        }
        if (!ScanNumber(text, values[i])) return i;
    }
    return count;
}

// Case-blind search of the first three letters in the run of month names; 0 if absent.
WORD MonthOf(const char* word) {
    for (std::size_t at = 0; at + 3 <= sizeof kMonths - 1; ++at) {
        if (AsciiUpper(word[0]) == kMonths[at] && AsciiUpper(word[1]) == kMonths[at + 1] &&
            AsciiUpper(word[2]) == kMonths[at + 2])
            return static_cast<WORD>(at / 3 + 1);
    }
    return 0;
}

bool EqualsIgnoringCase(const char* word, const char* expected) {
    for (; *word && *expected; ++word, ++expected)
        if (AsciiUpper(*word) != AsciiUpper(*expected)) return false;
    return *word == *expected;
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// The platform's date check and arithmetic: fields are taken as signed shorts,
// and the leap-year table is used for every February.
bool ToFileTime(const SYSTEMTIME& time, FILETIME& stamp) {
    static const int kMonthLengths[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                             {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};
    const int year = static_cast<short>(time.wYear), month = static_cast<short>(time.wMonth);
    const int day = static_cast<short>(time.wDay), hour = static_cast<short>(time.wHour);
    const int minute = static_cast<short>(time.wMinute), second = static_cast<short>(time.wSecond);
    const int milliseconds = static_cast<short>(time.wMilliseconds);
    if (milliseconds < 0 || milliseconds > 999 || second < 0 || second > 59 || minute < 0 || minute > 59 ||
        hour < 0 || hour > 23 || month < 1 || month > 12 || day < 1 ||
        day > kMonthLengths[month == 2 || IsLeapYear(year)][month - 1] || year < 1601)
        return false;
    // Count from March so that the leap day falls at the end of the counted year.
    const int countedMonth = month < 3 ? month + 13 : month + 1;
    const int countedYear = month < 3 ? year - 1 : year;
    const int centuryLeaps = (3 * (countedYear / 100) + 3) / 4;
    const long long days = (36525LL * countedYear) / 100 - centuryLeaps + (1959 * countedMonth) / 64 + day - 584817;
    const unsigned long long ticks =
        static_cast<unsigned long long>((((days * 24 + hour) * 60 + minute) * 60 + second) * 1000 + milliseconds) *
        10000ULL;
    stamp.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    stamp.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

struct Entry {
    bool isDirectory = false;
    unsigned long long size = 0;
    SYSTEMTIME modified = {};
    const char* name = nullptr;
    const char* nameEnd = nullptr;  // where a link's target starts; null: the line's end
};

bool ReadUnixLine(Words& words, const SYSTEMTIME& now, const char* permissions, Entry& entry) {
    entry.isDirectory = permissions[0] == 'd';
    const char* word = nullptr;
    for (int skipped = 0; skipped < 4; ++skipped)  // links, owner, group, size
        if (!(word = words.Next())) return false;
    entry.size = entry.isDirectory ? 0 : SizeNumber(word);
    entry.modified = {};

    char* month = words.Next();
    if (!month) return false;
    if (Length(month) >= 3) {
        month[3] = '\0';
        entry.modified.wMonth = MonthOf(month);
    }
    const char* day = words.Next();
    if (!day) return false;
    entry.modified.wDay = static_cast<WORD>(CNumber(day));
    char* timeOrYear = words.Next();
    if (!timeOrYear) return false;
    char* colon = timeOrYear;
    while (*colon && *colon != ':') ++colon;
    if (*colon) {
        *colon = '\0';
        entry.modified.wMinute = static_cast<WORD>(CNumber(colon + 1));
        entry.modified.wHour = static_cast<WORD>(CNumber(timeOrYear));
        entry.modified.wYear = now.wYear;
    } else {
        entry.modified.wYear = static_cast<WORD>(CNumber(timeOrYear));
        entry.modified.wHour = 12;
    }
    char* name = words.Rest();
    // A link is listed as "name -> target": the entry is the name.
    if (name && permissions[0] == 'l')
        if (char* arrow = std::strstr(name, " -> ")) {
            *arrow = '\0';
            entry.nameEnd = arrow;
        }
    entry.name = name;
    return entry.name != nullptr;
}

bool ReadDosLine(Words& words, const char* date, int* numbers, Entry& entry) {
    int* fields = numbers;  // month, day, year; unread ones keep their earlier values
    ScanNumbers(date, '-', fields, 3);
    entry.modified.wDay = static_cast<WORD>(fields[1]);
    entry.modified.wMonth = static_cast<WORD>(fields[0]);
    entry.modified.wYear = static_cast<WORD>(fields[2]);
    if (entry.modified.wYear < 70) entry.modified.wYear = static_cast<WORD>(entry.modified.wYear + 2000);

    const char* time = words.Next();
    if (!time) return false;
    int* clock = numbers + 3;  // hour, minute
    ScanNumbers(time, ':', clock, 2);
    entry.modified.wHour = static_cast<WORD>(clock[0]);
    entry.modified.wMinute = static_cast<WORD>(clock[1]);
    // Looks at fixed places 5 and 6 of "hh:mmPM", even in a shorter word; 12 PM becomes hour 24.
    if (time[5] == 'P' && time[6] == 'M') entry.modified.wHour = static_cast<WORD>(entry.modified.wHour + 12);
    entry.modified.wSecond = 0;

    const char* sizeOrDirectory = words.Next();
    if (!sizeOrDirectory) return false;
    entry.isDirectory = EqualsIgnoringCase(sizeOrDirectory, "<DIR>");
    entry.size = entry.isDirectory ? 0 : SizeNumber(sizeOrDirectory);
    entry.name = words.Rest();
    return entry.name != nullptr;
}

}  // namespace

bool ListingLineEndsListing(std::string_view line) {
    std::size_t kept = 0;
    for (char c : line)
        if (c != '\r') ++kept;
    return kept >= kLineCapacity;
}

bool ParseListingLine(std::string_view line, const SYSTEMTIME& now, ListedEntry& listed) {
    ListingReadState state;
    return ParseListingLine(line, now, listed, state);
}

bool ParseListingLine(std::string_view line, const SYSTEMTIME& now, ListedEntry& listed,
                      ListingReadState& state) {
    if (ListingLineEndsListing(line)) return false;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The client drops every carriage return and reads words up to the first NUL;
    // the spare zero bytes cover peeks past the end of the line. Where each
    // byte came from in the line is kept, for the whole name.
    char buffer[kLineCapacity + 8] = {};
    std::size_t origin[kLineCapacity + 1];
    std::size_t length = 0;
    for (std::size_t at = 0; at < line.size(); ++at)
        if (line[at] != '\r') {
            origin[length] = at;
            buffer[length++] = line[at];
        }
    origin[length] = line.size();

    Words words(buffer);
    char* first = words.Next();
    if (!first) return false;
    const std::size_t firstLength = Length(first);
    Entry entry;
    bool named = false;
    if (!IsDigit(first[0]) && firstLength == 10)
        named = ReadUnixLine(words, now, first, entry);
    else if (IsDigit(first[0]) && firstLength == 8)
        named = ReadDosLine(words, first, state.dosNumbers, entry);
    if (!named) return false;

    WIN32_FIND_DATAA result = {};
    if (ToFileTime(entry.modified, result.ftLastAccessTime)) {
        result.ftLastWriteTime = result.ftLastAccessTime;
        result.ftCreationTime = result.ftLastAccessTime;
    }
    result.nFileSizeHigh = static_cast<DWORD>(entry.size >> 32);
    result.nFileSizeLow = static_cast<DWORD>(entry.size & 0xFFFFFFFFu);
    if (entry.isDirectory) result.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    // The name goes through the ANSI code page to UTF-16, is cut to MAX_PATH - 1
    // characters there and comes back to the ANSI code page.
    WCHAR wideName[kLineCapacity + 1] = {};
    if (MultiByteToWideChar(CP_ACP, 0, entry.name, -1, wideName, static_cast<int>(kLineCapacity + 1)) == 0)
        wideName[0] = L'\0';
    wideName[MAX_PATH - 1] = L'\0';
    WideCharToMultiByte(CP_ACP, 0, wideName, -1, result.cFileName, static_cast<int>(sizeof result.cFileName),
                        nullptr, nullptr);
    if (entry.size == kUnknownSize) MarkSizeUnknown(result);
    listed.record = result;
    // The whole name as listed: carriage returns and NULs inside it kept.
    const std::size_t nameStart = origin[entry.name - buffer];
    const std::size_t nameEnd = entry.nameEnd ? origin[entry.nameEnd - buffer] : line.size();
    listed.name.assign(line.substr(nameStart, nameEnd - nameStart));
    return true;
}

bool ParseListingText(std::string_view text, const SYSTEMTIME& now, std::vector<ListedEntry>& entries) {
    entries.clear();
    ListingReadState state;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (ListingLineEndsListing(line)) break;
        ListedEntry entry;
        if (!ParseListingLine(line, now, entry, state)) continue;
        if (entries.size() == kMostListedEntries) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace quorlin
