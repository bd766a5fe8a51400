#include "KeyIndex.h"

#include <windows.h>

namespace quorlin {
namespace {

bool IsAscii(const std::wstring& text) {
    for (wchar_t c : text)
        if (c >= 0x80) return false;
    return true;
}

wchar_t UpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - (L'a' - L'A')) : c; }

// The upper-case form that keys are compared in. Plain ASCII names, nearly
// every listed name, are folded here; others by the platform.
std::wstring Folded(const std::wstring& key) {
    std::wstring folded(key);
    if (IsAscii(key)) {
        for (wchar_t& c : folded) c = UpperAscii(c);
    } else {
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, key.data(), static_cast<int>(key.size()), folded.data(),
                     static_cast<int>(folded.size()));
    }
    return folded;
}

// FNV-1a over the folded form; plain ASCII keys are folded as they are hashed.
std::uint32_t FoldedHash(const std::wstring& key) {
    const bool ascii = IsAscii(key);
    const std::wstring folded = ascii ? std::wstring() : Folded(key);
    std::uint32_t hash = 2166136261u;
    for (wchar_t c : ascii ? key : folded) {
        hash ^= static_cast<std::uint32_t>(ascii ? UpperAscii(c) : c);
        hash *= 16777619u;
    }
    return hash;
}

bool SameWithoutCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    if (IsAscii(a) && IsAscii(b)) {
        for (size_t i = 0; i < a.size(); ++i)
            if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
        return true;
    }
    return Folded(a) == Folded(b);
}

}  // namespace

void KeyIndex::Place(const Slot& slot) {
    const size_t mask = slots_.size() - 1;
    size_t index = slot.hash & mask;
    while (slots_[index].position != 0) index = (index + 1) & mask;
    slots_[index] = slot;
}

void KeyIndex::Grow() {
    // The larger table is had before the old one is touched: should it find
    // no memory, the index stays as it was.
    std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old)
        if (slot.position != 0) Place(slot);
}

void KeyIndex::Add(const std::wstring& key) { keys_.push_back(&key); }

void KeyIndex::IndexPendingKeys() {
    for (; indexed_ < keys_.size(); ++indexed_) {
        // At most half the slots are taken, so probes stay short.
        if ((indexed_ + 1) * 2 > slots_.size()) Grow();
        Place({FoldedHash(*keys_[indexed_]), static_cast<std::uint32_t>(indexed_ + 1)});
    }
}

bool KeyIndex::Find(const std::wstring& key, size_t& position) {
    IndexPendingKeys();
    if (slots_.empty()) return false;
    const std::uint32_t hash = FoldedHash(key);
    const size_t mask = slots_.size() - 1;
    size_t exact = SIZE_MAX, folded = SIZE_MAX;
    for (size_t index = hash & mask; slots_[index].position != 0; index = (index + 1) & mask) {
        const Slot& slot = slots_[index];
        if (slot.hash != hash) continue;
        const size_t candidate = slot.position - 1;
        const std::wstring& candidateKey = *keys_[candidate];
        if (candidateKey == key) {
            if (candidate < exact) exact = candidate;
        } else if (candidate < folded && SameWithoutCase(candidateKey, key)) {
            folded = candidate;
        }
    }
    position = exact != SIZE_MAX ? exact : folded;
    return position != SIZE_MAX;
}

}  // namespace quorlin
