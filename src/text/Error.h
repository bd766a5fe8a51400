// The one way the component describes and raises a failure.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

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

// The description of the error object the thread holds (empty without one).
std::wstring RaisedDescription();

// What a member raises when its platform call fails.
struct PlatformFailure {
    HRESULT code;
    const wchar_t* message;
    const wchar_t* operation;
};

// Whether the server's last reply on this thread ends in a failure (its last
// line starts with a 4xx or 5xx code).
bool LastReplyIsFailure();
// The server's last reply on this thread, and the code its last line starts
// with (0 when it starts with none).
std::string LastServerReplyText();
int LastReplyCode();

// The server's last reply on this thread as the component's own FTP client
// read it: the error texts and LastReplyIsFailure read it instead of the
// platform's until it is forgotten (the platform's client forgets it before
// each of its calls). `detail`, when given, ends the next error text (a
// failed certificate's fingerprint).
void KeepServerReply(std::string reply);
void KeepFailureDetail(std::wstring detail);
void ForgetServerReply();
// Frees what this thread kept of replies; the frame calls it as a thread
// ends, and as the library is unloaded (`unloading`: the slot goes too).
void ForgetThreadState(bool unloading = false) noexcept;

// A text on its way to the platform: one that holds U+0000 would reach it cut
// short at that character, so it raises `failure` with the platform's code
// for an invalid parameter instead, before any platform call.
HRESULT CheckPlatformText(std::wstring_view text, const wchar_t* source, const PlatformFailure& failure);
// A text that becomes part of a command line to a server (a remote name, the
// host, the login): besides U+0000, a carriage return or line feed would end
// the line and let the rest pass as a second command, so it raises the same way.
HRESULT CheckCommandText(std::wstring_view text, const wchar_t* source, const PlatformFailure& failure);

// Makes one platform call and reads the thread's last error right behind it,
// before anything else can change it; raises `failure` when the call failed.
template <typename Call>
HRESULT CallPlatform(const wchar_t* source, const PlatformFailure& failure, Call&& call) {
    const bool succeeded = static_cast<bool>(call());
    const DWORD error = GetLastError();
    if (succeeded) return S_OK;
    return RaisePlatformError(failure.code, source, failure.message, error, failure.operation);
}

}  // namespace quorlin
