#include "EntryName.h"

#include "../component/Text.h"

#include <initializer_list>

namespace quorlin {
namespace {

bool IsDeviceName(std::wstring_view name) {
    // The device is named by what stands before the first dot.
    const std::wstring_view base = name.substr(0, name.find(L'.'));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"})
        if (EqualsIgnoringCase(base, device)) return true;
    if (base.size() == 4 && base[3] >= L'1' && base[3] <= L'9') {
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
