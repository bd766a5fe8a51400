// The keys of a collection by position, with an open-addressing hash index on
// their case-folded form: finding costs the same whatever the collection's
// size. The index is built on the first lookup, so that a listing that is
// only walked never pays for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorlin {

class KeyIndex {
public:
    // Appends `key` at the next position. Keys that differ only in letter case
    // are all kept, each at its own position. The index refers to the text,
    // which must stay unchanged while the index lives.
    void Add(const std::wstring& key);

    // The position (from 0) of `key`: the first entry whose key matches
    // exactly if there is one, else the first whose key matches without
    // regard to case.
    bool Find(const std::wstring& key, size_t& position);

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t position = 0;  // position + 1; 0 marks an empty slot
    };

    void IndexPendingKeys();
    void Grow();
    void Place(const Slot& slot);

    std::vector<const std::wstring*> keys_;
    std::vector<Slot> slots_;
    size_t indexed_ = 0;  // keys_[0, indexed_) are in slots_
};

}  // namespace quorlin
