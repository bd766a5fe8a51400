// The HTTP page-retrieval object: a URL split into server name and path, and
// one GET request per GetString, with its own handles each time.
#pragma once

#include "../component/DispatchObject.h"
#include "../component/Interfaces.h"

#include <string>

namespace quorlin {

class HttpObject : public DispatchObject<_HTTP> {
public:
    HttpObject();
    ~HttpObject() override;

    static const PlatformFailure* OutOfMemoryRow(std::wstring_view member) noexcept;

    HRESULT STDMETHODCALLTYPE put_URL(BSTR* str_URL) override;
    HRESULT STDMETHODCALLTYPE get_ServerName(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Path(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Version(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR* result) override;

private:
    HRESULT OpenHandles();
    HRESULT CloseHandles();
    // After a failure part-way: closes whatever is open, reporting nothing,
    // so that the next retrieval starts afresh with the URL current then.
    void DiscardHandles();
    // Raises a failed platform call of the retrieval, then lets its handles go.
    HRESULT Fail(HRESULT code, const wchar_t* message, const wchar_t* operation, DWORD systemCode);

    std::wstring serverName_;
    std::wstring path_;
    bool secure_ = false;  // the URL began with https://
    bool open_ = false;
    InternetHandle internet_;
    InternetHandle connection_;
    InternetHandle request_;
};

}  // namespace quorlin
