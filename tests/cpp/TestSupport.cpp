#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

std::wstring Widen(const char* text) {
    std::wstring result;
    for (; text && *text; ++text) result += static_cast<wchar_t>(*text);
    return result;
}
}  // namespace

LateCall::~LateCall() {
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

std::wstring LateCall::Description() const {
    return exception.bstrDescription ? exception.bstrDescription : L"";
}
std::wstring LateCall::Source() const { return exception.bstrSource ? exception.bstrSource : L""; }

ComPtr<IDispatch> CreateByProgId(const wchar_t* progId) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    return object;
}

void CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> arguments, LateCall& call) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    call.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(call.hr)) {
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (flags & DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &putId;
            params.cNamedArgs = 1;
        }
        UINT argumentError = 0;
        call.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 (flags & DISPATCH_PROPERTYPUT) ? nullptr : &call.result, &call.exception,
                                 &argumentError);
    }
    for (VARIANT& argument : arguments) VariantClear(&argument);
}

RaisedError TakeError() {
    RaisedError raised;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR text = nullptr;
        if (SUCCEEDED(info->GetSource(&text)) && text) raised.source = text;
        SysFreeString(text);
        text = nullptr;
        if (SUCCEEDED(info->GetDescription(&text)) && text) raised.description = text;
        SysFreeString(text);
        info->Release();
    }
    return raised;
}

VARIANT Text(const wchar_t* text) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    return value;
}

VARIANT Number(LONG number) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    return value;
}

std::wstring ReadText(const VARIANT& value) {
    VARIANT converted;
    VariantInit(&converted);
    std::wstring text;
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR)) && V_BSTR(&converted))
        text = V_BSTR(&converted);
    VariantClear(&converted);
    return text;
}

std::vector<FtpServer> FtpServers() {
    // QUORLIN_FTP_SERVERS="vsftpd:21021 proftpd:21022 ..."
    std::vector<FtpServer> servers;
    const char* list = std::getenv("QUORLIN_FTP_SERVERS");
    std::istringstream stream(list ? list : "");
    std::string entry;
    while (stream >> entry) {
        size_t colon = entry.find(':');
        if (colon == std::string::npos) continue;
        servers.push_back({entry.substr(0, colon), std::atoi(entry.c_str() + colon + 1)});
    }
    return servers;
}

std::wstring FtpUser() { return Widen(std::getenv("QUORLIN_FTP_USER")); }
std::wstring FtpPassword() { return Widen(std::getenv("QUORLIN_FTP_PASSWORD")); }
