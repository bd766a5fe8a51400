#include "MachineListingParser.h"

#include "../platform/Constants.h"
#include "../session/ListedTime.h"
#include "TimeValue.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace quorlin {
namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetters(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (AsciiLower(text[i]) != lower[i]) return false;
    return true;
}

// Digits alone, up to the largest size a file can have.
bool ReadSize(std::string_view text, unsigned long long& size) {
    constexpr unsigned long long kLargest = static_cast<unsigned long long>(LLONG_MAX);
    if (text.empty()) return false;
    size = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (size > (kLargest - digit) / 10) return false;
        size = size * 10 + digit;
    }
    return true;
}

struct Facts {
    std::string_view type;
    std::string_view size;
    std::string_view modify;
    bool sized = false;
};

// "fact=value;" pieces, each ended by its ';'; a piece without '=' is no
// fact and is passed over. False when the last piece lacks its ';'.
bool ReadFacts(std::string_view text, Facts& facts) {
    while (!text.empty()) {
        const size_t end = text.find(';');
        if (end == std::string_view::npos) return false;
        const std::string_view fact = text.substr(0, end);
        text.remove_prefix(end + 1);
        const size_t equals = fact.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view name = fact.substr(0, equals), value = fact.substr(equals + 1);
        if (SameLetters(name, "type")) facts.type = value;
        else if (SameLetters(name, "modify")) facts.modify = value;
        else if (SameLetters(name, "size")) {
            facts.size = value;
            facts.sized = true;
        }
    }
    return true;
}

}  // namespace

bool ParseMachineListingLine(std::string_view line, ListedEntry& listed) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    // The facts end at the first blank; the name is all that follows it.
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank + 1 == line.size()) return false;
    Facts facts;
    if (!ReadFacts(line.substr(0, blank), facts)) return false;
    if (SameLetters(facts.type, "cdir") || SameLetters(facts.type, "pdir")) return false;
    const std::string_view name = line.substr(blank + 1);

    ListedEntry entry;
    WIN32_FIND_DATAA& record = entry.record;
    // A link ("OS.unix=slink:target") is listed as a file, as LIST lines of links are read.
    const bool isDirectory = SameLetters(facts.type, "dir");
    unsigned long long size = 0;
    if (isDirectory) record.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    else if (facts.sized && ReadSize(facts.size, size)) {
        record.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        record.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    } else {
        MarkSizeUnknown(record);
    }
    if (ReadTimeValue(facts.modify, entry.exactModified)) {
        record.ftLastWriteTime = ListedTime(entry.exactModified);
        record.ftLastAccessTime = record.ftLastWriteTime;
        record.ftCreationTime = record.ftLastWriteTime;
    } else {
        entry.exactModified = FILETIME{};
    }
    // The record holds what fits; the entry's name is the whole one.
    std::memcpy(record.cFileName, name.data(), std::min(name.size(), sizeof record.cFileName - 1));
    entry.name.assign(name);
    listed = std::move(entry);
    return true;
}

bool ParseMachineListingText(std::string_view text, std::vector<ListedEntry>& entries) {
    entries.clear();
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        ListedEntry entry;
        if (!ParseMachineListingLine(text.substr(start, end - start), entry)) continue;
        if (entries.size() == kMostListedEntries) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace quorlin
