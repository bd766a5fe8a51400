#include "PageObjects.h"

#include "../text/Error.h"
#include "../platform/Constants.h"

#include <dispex.h>

namespace quorlin {

HRESULT ReadPageObject(IDispatch* context, const wchar_t* name, const wchar_t* source, ComPtr<IDispatch>& object) {
    // Script objects (a VBScript class standing in for the context) answer
    // only through IDispatchEx; host objects answer through IDispatch.
    ComPtr<IDispatchEx> scriptObject;
    context->QueryInterface(IID_PPV_ARGS(&scriptObject));
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr;
    if (scriptObject) {
        Bstr memberName{std::wstring(name)};
        hr = scriptObject->GetDispID(memberName.Get(), fdexNameCaseInsensitive, &id);
    } else {
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        hr = context->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    }
    // A context without such a member is no scripting context: the runtime's
    // own error for a missing member says so.
    if (FAILED(hr)) return RaiseError(runtime_error::kMemberNotSupported, source, message::kMemberNotSupported);

    DISPPARAMS noArguments = {};
    Variant value;
    EXCEPINFO exception = {};
    const WORD flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD;
    hr = scriptObject
             ? scriptObject->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &noArguments, value.Put(), &exception, nullptr)
             : context->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &noArguments, value.Put(), &exception, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        Bstr exceptionSource, description, helpFile;
        exceptionSource.Reset(exception.bstrSource);
        description.Reset(exception.bstrDescription);
        helpFile.Reset(exception.bstrHelpFile);
        HRESULT code = exception.scode ? exception.scode : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, exception.wCode);
        return RaiseError(code, exceptionSource.Failed() ? source : exceptionSource.Get(), description.Text());
    }
    if (FAILED(hr)) return RaiseError(runtime_error::kMemberNotSupported, source, message::kMemberNotSupported);

    const VARIANT* actual = value.Get();
    if (V_VT(actual) == (VT_BYREF | VT_VARIANT)) actual = V_VARIANTREF(actual);
    switch (V_VT(actual)) {
    case VT_DISPATCH:
        object = V_DISPATCH(actual);
        return S_OK;
    case VT_UNKNOWN: {
        ComPtr<IDispatch> dispatch;
        if (V_UNKNOWN(actual) && FAILED(V_UNKNOWN(actual)->QueryInterface(IID_PPV_ARGS(&dispatch))))
            return RaiseError(runtime_error::kObjectRequired, source, message::kObjectRequired);
        object = dispatch;
        return S_OK;
    }
    default:
        return RaiseError(runtime_error::kObjectRequired, source, message::kObjectRequired);
    }
}

}  // namespace quorlin
