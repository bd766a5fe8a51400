// The class factory for every class of the library.
#pragma once

#include "Boundary.h"
#include "Module.h"

#include <unknwn.h>
#include <new>

namespace quorlin {

using ObjectCreator = HRESULT (*)(REFIID iid, void** object);

template <ObjectCreator Create>
class ClassFactory final : public IClassFactory {
public:
    ClassFactory() { module::AddObject(); }
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;
    ~ClassFactory() { module::RemoveObject(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG remaining = InterlockedDecrement(&references_);
        if (remaining == 0) delete this;
        return static_cast<ULONG>(remaining);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Guarded(nullptr, nullptr, [&] { return Create(iid, object); });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) module::Lock();
        else module::Unlock();
        return S_OK;
    }

    static HRESULT Make(REFIID iid, void** object) {
        ClassFactory* factory = new (std::nothrow) ClassFactory();
        if (!factory) return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(iid, object);
        factory->Release();
        return hr;
    }

private:
    LONG references_ = 1;
};

}  // namespace quorlin
