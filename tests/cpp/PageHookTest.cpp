// OnStartPage with a small scripting-context stand-in written in C++.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// A page object that counts its references.
class CountedObject : public IDispatch {
public:
    LONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) return *object = nullptr, E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

// The context: Response and Server by name; Server can be made to fail.
class ContextStandIn : public CountedObject {
public:
    CountedObject response, server;
    bool serverFails = false;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], L"Response") == 0) return ids[0] = 1, S_OK;
        if (_wcsicmp(names[0], L"Server") == 0) return ids[0] = 2, S_OK;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
        if (id == 2 && serverFails) {
            exception->scode = static_cast<SCODE>(0x80041234);
            exception->bstrSource = SysAllocString(L"Host");
            exception->bstrDescription = SysAllocString(L"no server here");
            return DISP_E_EXCEPTION;
        }
        CountedObject& object = id == 1 ? response : server;
        object.AddRef();
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = &object;
        return S_OK;
    }
};

ComPtr<_FTP> NewFtp() {
    ComPtr<_FTP> ftp;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FTP, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&ftp)));
    return ftp;
}

TEST(PageHook, KeepsResponseAndServerUntilTheObjectIsReleased) {
    ContextStandIn context;
    ComPtr<_FTP> ftp = NewFtp();
    IScriptingContext* pointer = reinterpret_cast<IScriptingContext*>(static_cast<IDispatch*>(&context));
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, ftp->OnStartPage(&pointer, &result));
    EXPECT_EQ(VT_EMPTY, V_VT(&result));
    EXPECT_EQ(2, context.response.references);
    EXPECT_EQ(2, context.server.references);
    // A second page replaces the earlier references rather than adding to them.
    ASSERT_EQ(S_OK, ftp->OnStartPage(&pointer, &result));
    EXPECT_EQ(2, context.response.references);
    ftp.Reset();
    EXPECT_EQ(1, context.response.references);
    EXPECT_EQ(1, context.server.references);
    EXPECT_EQ(1, context.references);
}

TEST(PageHook, AFailureOfTheContextIsRaisedUnchanged) {
    ContextStandIn context;
    context.serverFails = true;
    ComPtr<_FTP> ftp = NewFtp();
    IScriptingContext* pointer = reinterpret_cast<IScriptingContext*>(static_cast<IDispatch*>(&context));
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(static_cast<HRESULT>(0x80041234), ftp->OnStartPage(&pointer, &result));
    RaisedError error = TakeError();
    EXPECT_EQ(L"Host", error.source);
    EXPECT_EQ(L"no server here", error.description);
    ftp.Reset();
    EXPECT_EQ(1, context.response.references);
}

}  // namespace
