// Whether a name that a server listed may become one local file or folder.
#pragma once

#include <string_view>

namespace quorlin {

// True for one plain name: not empty, "." or "..", without a separator, a
// colon (alternate data streams), a control character or one of * ? " < > |,
// not ending in a dot or a blank, and not a device name (CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM and LPT with 1-9 or a superscript 1-3) with or without
// an extension, blanks before the extension included.
bool IsPlainFileName(std::wstring_view name);

}  // namespace quorlin
