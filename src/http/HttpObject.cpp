#include "HttpObject.h"

#include "../text/Error.h"
#include "../text/Text.h"
#include "../platform/Constants.h"
#include "PageBody.h"
#include "PageRetrieval.h"
#include "ServerAddress.h"

#include <memory>


namespace quorlin {
namespace {

bool StartsWithIgnoringCase(const std::wstring& text, std::wstring_view prefix) {
    return EqualsIgnoringCase(std::wstring_view(text).substr(0, prefix.size()), prefix);
}

// Puts `text` into the caller's argument in place of what it held.
void WriteBack(BSTR* argument, const std::wstring& text) {
    Bstr replacement(text);
    if (replacement.Failed()) return;
    Bstr previous;
    previous.Reset(*argument);
    *argument = replacement.Detach();
}

}  // namespace

HttpObject::HttpObject() : DispatchObject(source::kHttp) {}

HttpObject::~HttpObject() {
    // Closing on release reports to nobody, and keeps an error object the
    // caller still has pending.
    RunQuietly([&] { return CloseHandles(); });
}

// Memory runs out while the body is gathered: the failed read's row.
const PlatformFailure* HttpObject::OutOfMemoryRow(std::wstring_view member) noexcept {
    static constexpr PlatformFailure kReadFailure = {http_error::kReadFile, message::kHttpInformation,
                                                     operation::kGetString};
    return member == L"GetString" ? &kReadFailure : nullptr;
}

HRESULT HttpObject::put_URL(BSTR* str_URL) {
    if (!str_URL) return E_POINTER;
    std::wstring url = TrimBlanks(std::wstring(*str_URL ? *str_URL : L"", *str_URL ? SysStringLen(*str_URL) : 0));
    WriteBack(str_URL, url);
    if (url.empty()) return S_OK;
    bool secure = false;
    if (StartsWithIgnoringCase(url, kHttpScheme)) {
        url.erase(0, wcslen(kHttpScheme));
        WriteBack(str_URL, url);
    }
    // Tested on what the first test left: "http://https://host" is secure too.
    if (StartsWithIgnoringCase(url, kHttpsScheme)) {
        url.erase(0, wcslen(kHttpsScheme));
        WriteBack(str_URL, url);
        secure = true;
    }
    const size_t slash = url.find(L'/');
    if (slash == std::wstring::npos) {
        serverName_ = url;
        path_ = L"/";
    } else {
        if (slash + 1 > kLongestUrlPath) return RaiseError(runtime_error::kOverflow, source::kHttp, message::kOverflow);
        serverName_ = url.substr(0, slash);
        path_ = url.substr(slash);
    }
    secure_ = secure;
    return S_OK;
}

HRESULT HttpObject::get_ServerName(VARIANT* result) { return TextToVariant(serverName_, result); }
HRESULT HttpObject::get_Path(VARIANT* result) { return TextToVariant(path_, result); }
HRESULT HttpObject::get_Version(VARIANT* result) { return TextToVariant(kHttpVersion, result); }

HRESULT HttpObject::Fail(HRESULT code, const wchar_t* message, const wchar_t* operation, DWORD systemCode) {
    const HRESULT raised = RaisePlatformError(code, source::kHttp, message, systemCode, operation);
    DiscardHandles();
    return raised;
}

HRESULT HttpObject::OpenHandles() {
    if (open_) return S_OK;
    if (TrimBlanks(serverName_).empty()) return RaiseError(http_error::kNoUrlOrClose, source::kHttp, message::kHttpNoUrl);
    // A URL holding U+0000 would reach the platform cut short.
    static constexpr PlatformFailure kOpenServerFailure = {http_error::kOpen, message::kHttpOpenServer,
                                                           operation::kOpenConnection};
    for (const std::wstring* text : {&serverName_, &path_}) {
        const HRESULT hr = CheckPlatformText(*text, source::kHttp, kOpenServerFailure);
        if (FAILED(hr)) return hr;
    }

    // Each handle is kept the moment it exists, so that a later failure closes it.
    HINTERNET handle = InternetOpenA(kHttpAgent, kOpenTypePreconfig, nullptr, nullptr, 0);
    DWORD error = GetLastError();
    internet_.Reset(handle);
    if (!handle) return Fail(http_error::kOpen, message::kHttpOpenInternet, operation::kOpenConnection, error);

    const ServerAddress address = SplitServerName(serverName_, secure_ ? kHttpsPort : kHttpPort);
    const std::string host = ToAnsi(address.host);
    handle = InternetConnectA(internet_.Get(), host.c_str(), address.port, "", "", kServiceHttp, 0, 0);
    error = GetLastError();
    connection_.Reset(handle);
    if (!handle) return Fail(http_error::kOpen, message::kHttpOpenServer, operation::kOpenConnection, error);
    if (timeLimit_.Active()) SetPlatformLimits(connection_.Get());

    const std::string path = ToAnsi(path_);
    const DWORD flags = kRequestFlags | (secure_ ? kSecureRequestFlag : 0);
    handle = HttpOpenRequestA(connection_.Get(), kHttpVerb, path.c_str(), nullptr, nullptr, nullptr, flags, 0);
    error = GetLastError();
    request_.Reset(handle);
    if (!handle) return Fail(http_error::kOpen, message::kHttpOpenRequest, operation::kOpenConnection, error);
    if (timeLimit_.Active()) SetPlatformLimits(request_.Get());
    open_ = true;
    return S_OK;
}

HRESULT HttpObject::CloseHandles() {
    if (!open_) return S_OK;
    for (InternetHandle* handle : {&request_, &connection_, &internet_}) {
        if (!handle->Close()) return Fail(http_error::kNoUrlOrClose, message::kHttpClose, operation::kGetString, GetLastError());
    }
    open_ = false;
    return S_OK;
}

void HttpObject::DiscardHandles() {
    // A call that ran out of time may still use the handles: it closes them when it ends.
    if (timeLimit_.TakeExpired()) timeLimit_.LetGo({request_.Release(), connection_.Release(), internet_.Release()});
    request_.Reset(nullptr);
    connection_.Reset(nullptr);
    internet_.Reset(nullptr);
    open_ = false;
}

void HttpObject::SetPlatformLimits(HINTERNET handle) {
    DWORD connect = static_cast<DWORD>(timeLimit_.Seconds()) * 1000;
    DWORD wait = connect + kPlatformTimeoutSlackMs;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &wait, sizeof wait);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &wait, sizeof wait);
}

HRESULT HttpObject::RetrieveWithin(BSTR* result) {
    auto retrieval = std::make_shared<PageRetrieval>(request_.Get(), timeLimit_.Seconds());
    const bool ended = timeLimit_.Run(retrieval);
    static constexpr PlatformFailure kRows[] = {
        {http_error::kSendRequest, message::kHttpSendRequest, operation::kGetString},
        {http_error::kQueryInfo, message::kHttpInformation, operation::kGetString},
        {http_error::kReadFile, message::kHttpInformation, operation::kGetString},
    };
    const PlatformFailure& row = kRows[retrieval->At()];
    status_ = static_cast<LONG>(retrieval->status.load());
    if (!ended || retrieval->timedOut) {
        if (ended) timeLimit_.MarkExpired(retrieval);
        const HRESULT raised = timeLimit_.RaiseTimeout(source::kHttp, row);
        DiscardHandles();
        return raised;
    }
    if (!retrieval->succeeded) {
        const HRESULT raised = RaiseError(row.code, source::kHttp, row.message + retrieval->errorText);
        DiscardHandles();
        return raised;
    }
    HRESULT hr = CloseHandles();
    if (FAILED(hr)) return hr;
    if (!retrieval->body.TakeText(result))
        return RaisePlatformError(http_error::kReadFile, source::kHttp, message::kHttpInformation, GetLastError(),
                                  operation::kGetString);
    return S_OK;
}

HRESULT HttpObject::GetString(BSTR* result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    status_ = 0;
    HRESULT hr = OpenHandles();
    if (FAILED(hr)) return hr;
    if (timeLimit_.Active()) return RetrieveWithin(result);

    if (!HttpSendRequestA(request_.Get(), nullptr, 0, nullptr, 0))
        return Fail(http_error::kSendRequest, message::kHttpSendRequest, operation::kGetString, GetLastError());
    // The status is read, and a page of any status is returned alike.
    DWORD status = 0, size = sizeof status, index = 0;
    if (!HttpQueryInfoA(request_.Get(), kStatusCodeAsNumber, &status, &size, &index))
        return Fail(http_error::kQueryInfo, message::kHttpInformation, operation::kGetString, GetLastError());
    status_ = static_cast<LONG>(status);

    PageBody body;
    if (!body.Prepare(request_.Get()))
        return Fail(http_error::kReadFile, message::kHttpInformation, operation::kGetString, GetLastError());
    for (bool finished = false; !finished;) {
        if (!body.ReadPiece(request_.Get(), finished))
            return Fail(http_error::kReadFile, message::kHttpInformation, operation::kGetString, GetLastError());
    }
    // A body cut short by a dropped connection ends with a successful empty
    // read all the same: it is a failed read, not the page.
    if (body.ShorterThanAnnounced()) {
        return Fail(http_error::kReadFile, message::kHttpInformation, operation::kGetString,
                    ERROR_INTERNET_CONNECTION_ABORTED);
    }
    hr = CloseHandles();
    if (FAILED(hr)) return hr;
    if (!body.TakeText(result))
        return RaisePlatformError(http_error::kReadFile, source::kHttp, message::kHttpInformation, GetLastError(),
                                  operation::kGetString);
    return S_OK;
}

HRESULT HttpObject::get_Timeout(LONG* result) {
    if (!result) return E_POINTER;
    *result = timeLimit_.Seconds();
    return S_OK;
}

HRESULT HttpObject::put_Timeout(LONG lng_timeout) { return timeLimit_.Set(lng_timeout, source::kHttp); }

HRESULT HttpObject::get_Status(LONG* result) {
    if (!result) return E_POINTER;
    *result = status_;
    return S_OK;
}

}  // namespace quorlin
