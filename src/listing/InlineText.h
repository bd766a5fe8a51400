// A text that keeps up to `Capacity` characters inside the object and only a
// longer one on the heap: the time texts of a listing entry then cost no
// allocation of their own, which counts when a listing has a million entries.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

namespace quorlin {

template <size_t Capacity>
class InlineText {
public:
    InlineText() = default;
    InlineText(const InlineText&) = delete;
    InlineText& operator=(const InlineText&) = delete;

    void Assign(std::wstring_view text) {
        if (text.size() <= Capacity) {
            std::copy(text.begin(), text.end(), characters_);
            spilled_.reset();
        } else {
            spilled_ = std::make_unique<std::wstring>(text);
        }
        size_ = text.size();
    }
    std::wstring_view View() const {
        return spilled_ ? std::wstring_view(*spilled_) : std::wstring_view(characters_, size_);
    }

private:
    wchar_t characters_[Capacity] = {};
    size_t size_ = 0;
    std::unique_ptr<std::wstring> spilled_;
};

}  // namespace quorlin
