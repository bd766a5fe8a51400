// Whether a name that a server listed may become one local file or folder.
#pragma once

#include <string_view>

namespace quorlin {

// True for one plain name: not empty, "." or "..", without a separator, a
// colon (alternate data streams), a control character or one of * ? " < > |,
// not ending in a dot or a blank, and not a device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9) with or without an extension.
bool IsPlainFileName(std::wstring_view name);

}  // namespace quorlin
