// The HTTP page-retrieval object.
#pragma once

#include "../component/DispatchObject.h"
#include "../component/Interfaces.h"

#include <string>

namespace quorlin {

class HttpObject final : public DispatchObject<_HTTP> {
public:
    HRESULT STDMETHODCALLTYPE put_URL(BSTR* str_URL) override;
    HRESULT STDMETHODCALLTYPE get_ServerName(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Path(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Version(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR* result) override;

private:
    std::wstring serverName_;
    std::wstring path_;
};

}  // namespace quorlin
