#include "FileMask.h"

#include <windows.h>

namespace quorlin {
namespace {

std::wstring Upper(std::wstring_view text) {
    std::wstring upper(text);
    if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

std::wstring_view Trimmed(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    return text;
}

// The patterns of one side of the bar, separated by ";"; false for one that is empty or names a folder.
bool ReadPatterns(std::wstring_view text, std::vector<std::wstring>& patterns) {
    for (;;) {
        const size_t end = text.find(L';');
        const std::wstring_view pattern = Trimmed(text.substr(0, end));
        if (pattern.empty() || pattern.find_first_of(L"\\/|") != std::wstring_view::npos) return false;
        patterns.push_back(Upper(pattern));
        if (end == std::wstring_view::npos) return true;
        text.remove_prefix(end + 1);
    }
}

// Matching with one remembered star: linear in practice, never exponential.
bool Matches(std::wstring_view pattern, std::wstring_view name) {
    size_t p = 0, n = 0, star = std::wstring_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace

FileMask::FileMask() : included_{L"*"} {}

bool FileMask::Parse(std::wstring_view text) {
    std::vector<std::wstring> included, excluded;
    // No mask at all selects every file.
    if (Trimmed(text).empty()) text = L"*";
    const size_t bar = text.find(L'|');
    if (!ReadPatterns(text.substr(0, bar), included)) return false;
    if (bar != std::wstring_view::npos && !ReadPatterns(text.substr(bar + 1), excluded)) return false;
    included_ = std::move(included);
    excluded_ = std::move(excluded);
    return true;
}

bool FileMask::Selects(std::wstring_view name) const {
    if (name.empty() || name == L"." || name == L"..") return false;
    const std::wstring upper = Upper(name);
    bool selected = false;
    for (const std::wstring& pattern : included_) selected = selected || Matches(pattern, upper);
    for (const std::wstring& pattern : excluded_) selected = selected && !Matches(pattern, upper);
    return selected;
}

}  // namespace quorlin
