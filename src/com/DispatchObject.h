// The base every class of the library derives from: reference counting that
// the module counts, IDispatch driven by the embedded type library, and
// ISupportErrorInfo for the class's one dual interface. Clients get the class
// with its boundary (WithBoundary), which no C++ exception passes.
#pragma once

#include "Boundary.h"
#include "DispatchInvoker.h"
#include "Interfaces.h"
#include "Module.h"
#include "../platform/Owners.h"
#include "TypeLibrary.h"
#include "quorlin_boundaries.h"

#include <string_view>

namespace quorlin {

// `Interface` is the class's newest dual interface; `Older` are the ones it
// derives from, which clients compiled against them still ask for.
template <class Interface, class... Older>
class DispatchObject : public Interface, public ISupportErrorInfo {
public:
    using BoundaryInterface = Interface;

    // `errorSource` is the source of the errors the class raises.
    explicit DispatchObject(const wchar_t* errorSource) : errorSource_(errorSource) { module::AddObject(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    virtual ~DispatchObject() { module::RemoveObject(); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || IsOwnInterface(iid)) {
            *object = static_cast<Interface*>(this);
        } else if (iid == IID_ISupportErrorInfo) {
            *object = static_cast<ISupportErrorInfo*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG remaining = InterlockedDecrement(&references_);
        if (remaining == 0) delete this;
        return static_cast<ULONG>(remaining);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Guarded(errorSource_, nullptr, [&] {
            HRESULT hr = LoadTypeInfo();
            return FAILED(hr) ? hr : dispatchInfo_.CopyTo(info);
        });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        return Guarded(errorSource_, nullptr, [&] {
            HRESULT hr = LoadTypeInfo();
            return FAILED(hr) ? hr : DispGetIDsOfNames(dispatchInfo_.Get(), names, count, ids);
        });
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        return Guarded(errorSource_, nullptr, [&] {
            HRESULT hr = LoadTypeInfo();
            if (FAILED(hr)) return hr;
            return InvokeByTypeInfo(vtableInfo_.Get(), static_cast<Interface*>(this), id, flags, params, result,
                                    exception, argumentError);
        });
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        return IsOwnInterface(iid) ? S_OK : S_FALSE;
    }

    // For the boundary: the source of the class's errors, and what a member
    // raises when memory runs out (none by default: E_OUTOFMEMORY).
    const wchar_t* ErrorSource() const noexcept { return errorSource_; }
    static const PlatformFailure* OutOfMemoryRow(std::wstring_view) noexcept { return nullptr; }
    template <class Body>
    HRESULT RunMember(std::wstring_view, Body& body) const {
        return body();
    }

private:
    static bool IsOwnInterface(REFIID iid) { return iid == __uuidof(Interface) || ((iid == __uuidof(Older)) || ...); }

    HRESULT LoadTypeInfo() {
        if (vtableInfo_) return S_OK;
        HRESULT hr = typelib::DispatchInfo(__uuidof(Interface), &dispatchInfo_);
        if (SUCCEEDED(hr)) hr = typelib::VtableInfo(__uuidof(Interface), &vtableInfo_);
        return hr;
    }

    const wchar_t* errorSource_;
    LONG references_ = 1;
    ComPtr<ITypeInfo> dispatchInfo_;
    ComPtr<ITypeInfo> vtableInfo_;
};

// Creates an object of `Class`, behind its boundary, and hands out the
// requested interface.
template <class Class>
HRESULT CreateObject(REFIID iid, void** object) {
    auto* instance = new (std::nothrow) WithBoundary<Class>();
    if (!instance) return E_OUTOFMEMORY;
    HRESULT hr = instance->QueryInterface(iid, object);
    instance->Release();
    return hr;
}

}  // namespace quorlin
