#include "EntryName.h"

#include "../text/Text.h"

#include <initializer_list>

namespace quorlin {
namespace {

// The digits that number COM and LPT ports: 1 to 9 and the superscripts 1, 2, 3.
bool IsPortDigit(wchar_t c) { return (c >= L'1' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3'; }

bool IsDeviceName(std::wstring_view name) {
    // The device is named by what stands before the first dot, blanks before
    // that dot left out: "CON .txt" is the console too.
    std::wstring_view base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (EqualsIgnoringCase(base, device)) return true;
    if (base.size() == 4 && IsPortDigit(base[3])) {
        const std::wstring_view stem = base.substr(0, 3);
        return EqualsIgnoringCase(stem, L"COM") || EqualsIgnoringCase(stem, L"LPT");
    }
    return false;
}

}  // namespace

bool IsPlainFileName(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (wchar_t c : name) {
        if (c < 0x20) return false;
        switch (c) {
        case L'\\': case L'/': case L':': case L'*': case L'?': case L'"': case L'<': case L'>': case L'|':
            return false;
        default:
            break;
        }
    }
    if (name.back() == L'.' || name.back() == L' ') return false;
    return !IsDeviceName(name);
}

}  // namespace quorlin
