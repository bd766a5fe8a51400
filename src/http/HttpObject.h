// The HTTP page-retrieval object: a URL split into server name and path, and
// one GET request per GetString, with its own handles each time.
#pragma once

#include "../com/DispatchObject.h"
#include "../com/Interfaces.h"
#include "../work/TimeLimit.h"

#include <string>

namespace quorlin {

class HttpObject : public DispatchObject<_HTTP2, _HTTP> {
public:
    HttpObject();
    ~HttpObject() override;

    static const PlatformFailure* OutOfMemoryRow(std::wstring_view member) noexcept;

    HRESULT STDMETHODCALLTYPE put_URL(BSTR* str_URL) override;
    HRESULT STDMETHODCALLTYPE get_ServerName(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Path(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Version(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Timeout(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Timeout(LONG lng_timeout) override;
    HRESULT STDMETHODCALLTYPE get_Status(LONG* result) override;

private:
    HRESULT OpenHandles();
    HRESULT CloseHandles();
    // After a failure part-way: closes whatever is open, reporting nothing,
    // so that the next retrieval starts afresh with the URL current then.
    void DiscardHandles();
    // Raises a failed platform call of the retrieval, then lets its handles go.
    HRESULT Fail(HRESULT code, const wchar_t* message, const wchar_t* operation, DWORD systemCode);
    // The retrieval within a time limit, on the worker.
    HRESULT RetrieveWithin(BSTR* result);
    // Sets the platform's own limits on a handle, a little behind ours.
    void SetPlatformLimits(HINTERNET handle);

    std::wstring serverName_;
    std::wstring path_;
    bool secure_ = false;  // the URL began with https://
    bool open_ = false;
    InternetHandle internet_;
    InternetHandle connection_;
    InternetHandle request_;
    TimeLimit timeLimit_;
    LONG status_ = 0;  // of the last GetString; 0 before its status was read
};

}  // namespace quorlin
