// The one way the component describes and raises a failure.
#pragma once

#include <windows.h>
#include <string>

namespace quorlin {

// The error text of a failed platform call: "<operation> error code: <code>
// Message: <platform message>", or for the extended WinINet error the server's
// last response alone.
std::wstring BuildErrorText(DWORD code, const std::wstring& operationName);

// Sets the thread's error object (code, source, description; no help) and
// returns the code, which the member hands back as its result.
HRESULT RaiseError(HRESULT code, const wchar_t* source, const std::wstring& description);

// Raises a failed platform call: message directly followed by the error text.
HRESULT RaisePlatformError(HRESULT code, const wchar_t* source, const wchar_t* message, DWORD systemCode,
                           const wchar_t* operationName);

}  // namespace quorlin
