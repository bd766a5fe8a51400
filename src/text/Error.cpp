#include "Error.h"

#include "../platform/Constants.h"
#include "../platform/WinInetAPI.h"
#include "CodePageText.h"
#include "../platform/Owners.h"
#include "Text.h"

#include <algorithm>
#include <memory>
#include <new>
#include <cwctype>
#include <vector>

namespace quorlin {
namespace {

struct OwnReply {
    bool kept = false;
    std::string text;
    std::wstring detail;
};

// Each thread's reply lives on the heap behind a TLS slot, freed by the
// frame when the thread ends: a C++ thread_local object with a destructor
// is unsafe in this runtime, whose per-thread storage is freed before the
// destructor reads it at the thread's end.
DWORD ReplySlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

OwnReply& ThreadReply() {
    const DWORD slot = ReplySlot();
    if (slot == TLS_OUT_OF_INDEXES) throw std::bad_alloc();
    auto* reply = static_cast<OwnReply*>(TlsGetValue(slot));
    if (!reply) {
        auto made = std::make_unique<OwnReply>();
        if (!TlsSetValue(slot, made.get())) throw std::bad_alloc();
        reply = made.release();
    }
    return *reply;
}

// The server's last reply on this thread, from whichever client read it.
bool LastServerReply(std::vector<char>& buffer) {
    const OwnReply& ownReply = ThreadReply();
    if (ownReply.kept) {
        const size_t length = std::min(ownReply.text.size(), buffer.size() - 1);
        std::copy_n(ownReply.text.data(), length, buffer.data());
        buffer[length] = '\0';
        return true;
    }
    DWORD serverError = 0, length = static_cast<DWORD>(buffer.size());
    if (!InternetGetLastResponseInfoA(&serverError, buffer.data(), &length)) return false;
    buffer.back() = '\0';
    return true;
}

}  // namespace

void KeepServerReply(std::string reply) {
    OwnReply& ownReply = ThreadReply();
    ownReply.kept = true;
    ownReply.text = std::move(reply);
}

void KeepFailureDetail(std::wstring detail) { ThreadReply().detail = std::move(detail); }

void ForgetServerReply() {
    OwnReply& ownReply = ThreadReply();
    ownReply.kept = false;
    ownReply.text.clear();
    ownReply.detail.clear();
}

void ForgetThreadState(bool unloading) noexcept {
    const DWORD slot = ReplySlot();
    if (slot == TLS_OUT_OF_INDEXES) return;
    delete static_cast<OwnReply*>(TlsGetValue(slot));
    TlsSetValue(slot, nullptr);
    if (unloading) TlsFree(slot);
}

std::wstring BuildErrorText(DWORD code, const std::wstring& operationName) {
    std::vector<char> buffer(kErrorTextBufferChars, '\0');
    HMODULE wininet = GetModuleHandleA("wininet.dll");

    // The argument list is a single zero value; a few more zeros stand behind
    // it so that a message with insert placeholders never reads past the list.
    DWORD_PTR zeros[8] = {};
    va_list arguments = reinterpret_cast<va_list>(zeros);
    FormatMessageA(kFormatFromModuleAndSystem, wininet, code, 0, buffer.data(), kFormatMessageChars, &arguments);

    std::wstring text = operationName + L" error code: " + std::to_wstring(code) + L" Message: " + FromAnsi(buffer.data());

    // A response that does not fit leaves the text above in place.
    if (code == kExtendedError && LastServerReply(buffer)) {
        // The reply echoes names in the code page the connection uses for them.
        text = CodePageText(ReplyTextScope::Current()).Decode(buffer.data());
    }
    OwnReply& ownReply = ThreadReply();
    if (!ownReply.detail.empty()) {
        if (!text.empty() && !iswspace(text.back())) text += L' ';
        text += ownReply.detail;
        ownReply.detail.clear();
    }
    return text;
}

HRESULT RaiseError(HRESULT code, const wchar_t* source, const std::wstring& description) {
    ComPtr<ICreateErrorInfo> creator;
    if (SUCCEEDED(CreateErrorInfo(&creator))) {
        creator->SetGUID(GUID_NULL);
        creator->SetSource(const_cast<LPOLESTR>(source));
        creator->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(creator.As(&info))) SetErrorInfo(0, info.Get());
    }
    return code;
}

std::wstring RaisedDescription() {
    ComPtr<IErrorInfo> info;
    Bstr description;
    if (GetErrorInfo(0, info.ReleaseAndGetAddressOf()) == S_OK && info) info->GetDescription(description.Put());
    // Reading takes the error object off the thread: it goes back for whoever raises over it.
    SetErrorInfo(0, info.Get());
    return description.Text();
}

std::string LastServerReplyText() {
    std::vector<char> reply(kErrorTextBufferChars, '\0');
    if (!LastServerReply(reply)) return std::string();
    return std::string(reply.data());
}

int LastReplyCode() {
    const std::string reply = LastServerReplyText();
    const char* last = reply.c_str();
    for (const char* c = reply.c_str(); *c; ++c)
        if (c[0] == '\n' && c[1] >= '0' && c[1] <= '9') last = c + 1;
    for (int i = 0; i < 3; ++i)
        if (last[i] < '0' || last[i] > '9') return 0;
    return (last[0] - '0') * 100 + (last[1] - '0') * 10 + (last[2] - '0');
}

bool LastReplyIsFailure() {
    const int code = LastReplyCode();
    return code >= 400 && code < 600;
}

HRESULT CheckPlatformText(std::wstring_view text, const wchar_t* source, const PlatformFailure& failure) {
    if (text.find(L'\0') == std::wstring_view::npos) return S_OK;
    return RaisePlatformError(failure.code, source, failure.message, ERROR_INVALID_PARAMETER, failure.operation);
}

HRESULT CheckCommandText(std::wstring_view text, const wchar_t* source, const PlatformFailure& failure) {
    static constexpr wchar_t kLineBreaking[] = {L'\0', L'\r', L'\n'};
    if (text.find_first_of(std::wstring_view(kLineBreaking, 3)) == std::wstring_view::npos) return S_OK;
    return RaisePlatformError(failure.code, source, failure.message, ERROR_INVALID_PARAMETER, failure.operation);
}

HRESULT RaisePlatformError(HRESULT code, const wchar_t* source, const wchar_t* message, DWORD systemCode,
                           const wchar_t* operationName) {
    return RaiseError(code, source, message + BuildErrorText(systemCode, operationName));
}

}  // namespace quorlin
