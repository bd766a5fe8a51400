#include "DispatchInvoker.h"

#include "../platform/Owners.h"

#include <cstring>
#include <deque>
#include <vector>

namespace quorlin {

namespace {

// Releases a FUNCDESC obtained from a type description.
class FuncDescHolder {
public:
    FuncDescHolder(ITypeInfo* info, FUNCDESC* desc) : info_(info), desc_(desc) {}
    FuncDescHolder(const FuncDescHolder&) = delete;
    FuncDescHolder& operator=(const FuncDescHolder&) = delete;
    ~FuncDescHolder() {
        if (desc_) info_->ReleaseFuncDesc(desc_);
    }
    const FUNCDESC* operator->() const { return desc_; }

private:
    ITypeInfo* info_;
    FUNCDESC* desc_;
};

// The description of member `id` in `info` or, for a member an interface
// inherits, in the interface it comes from; `owner` is where it was found.
HRESULT FindFunction(ITypeInfo* info, DISPID id, WORD flags, FUNCDESC** desc, ComPtr<ITypeInfo>& owner);

HRESULT FindOwnFunction(ITypeInfo* info, DISPID id, WORD flags, FUNCDESC** desc) {
    ComPtr<ITypeInfo2> info2;
    HRESULT hr = info->QueryInterface(IID_PPV_ARGS(&info2));
    if (FAILED(hr)) return hr;
    INVOKEKIND kinds[2] = {};
    int count = 0;
    if (flags & DISPATCH_PROPERTYPUT) kinds[count++] = INVOKE_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUTREF) kinds[count++] = INVOKE_PROPERTYPUTREF;
    if (count == 0) {
        if (flags & DISPATCH_METHOD) kinds[count++] = INVOKE_FUNC;
        if (flags & DISPATCH_PROPERTYGET) kinds[count++] = INVOKE_PROPERTYGET;
    }
    for (int i = 0; i < count; ++i) {
        UINT index = 0;
        if (SUCCEEDED(info2->GetFuncIndexOfMemId(id, kinds[i], &index))) return info->GetFuncDesc(index, desc);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT FindFunction(ITypeInfo* info, DISPID id, WORD flags, FUNCDESC** desc, ComPtr<ITypeInfo>& owner) {
    if (SUCCEEDED(FindOwnFunction(info, id, flags, desc))) {
        owner = info;
        return S_OK;
    }
    HREFTYPE baseType = 0;
    ComPtr<ITypeInfo> base;
    if (FAILED(info->GetRefTypeOfImplType(0, &baseType)) || FAILED(info->GetRefTypeInfo(baseType, &base)))
        return DISP_E_MEMBERNOTFOUND;
    return FindFunction(base.Get(), id, flags, desc, owner);
}

// The attributes of a user-defined type, released with the holder.
class ReferencedAttributes {
public:
    ReferencedAttributes(ITypeInfo* info, HREFTYPE reference) {
        if (SUCCEEDED(info->GetRefTypeInfo(reference, &info_)) && FAILED(info_->GetTypeAttr(&attributes_)))
            attributes_ = nullptr;
    }
    ReferencedAttributes(const ReferencedAttributes&) = delete;
    ReferencedAttributes& operator=(const ReferencedAttributes&) = delete;
    ~ReferencedAttributes() {
        if (attributes_) info_->ReleaseTypeAttr(attributes_);
    }
    const TYPEATTR* operator->() const { return attributes_; }
    explicit operator bool() const { return attributes_ != nullptr; }
    ITypeInfo* Info() const { return info_.Get(); }

private:
    ComPtr<ITypeInfo> info_;
    TYPEATTR* attributes_ = nullptr;
};

// The variant type that a by-reference argument must carry for `target`
// (the type the parameter points to): VT_EMPTY when the parameter needs no help.
VARTYPE ReferencedType(ITypeInfo* info, const TYPEDESC& target) {
    switch (target.vt) {
    case VT_USERDEFINED: {
        ReferencedAttributes referenced(info, target.hreftype);
        if (!referenced) return VT_EMPTY;
        if (referenced->typekind == TKIND_ENUM) return VT_I4;
        if (referenced->typekind == TKIND_ALIAS) return ReferencedType(referenced.Info(), referenced->tdescAlias);
        return VT_EMPTY;
    }
    case VT_PTR: {
        // A pointer to an interface pointer: the argument is a reference to an object.
        const TYPEDESC& pointee = *target.lptdesc;
        if (pointee.vt == VT_DISPATCH || pointee.vt == VT_UNKNOWN) return pointee.vt;
        if (pointee.vt != VT_USERDEFINED) return VT_EMPTY;
        ReferencedAttributes referenced(info, pointee.hreftype);
        if (!referenced) return VT_EMPTY;
        return (referenced->wTypeFlags & TYPEFLAG_FDISPATCHABLE) ? VT_DISPATCH : VT_UNKNOWN;
    }
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_INT: case VT_UINT:
    case VT_I8: case VT_UI8: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_BOOL:
    case VT_ERROR: case VT_VARIANT: case VT_DISPATCH: case VT_UNKNOWN: case VT_DECIMAL:
        return target.vt;
    default:
        return VT_EMPTY;
    }
}

size_t ScalarSize(VARTYPE type) {
    switch (type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    default: return 0;
    }
}

// Stores `value` into what the caller's by-reference variant points at,
// converted to the type the caller's reference has.
void WriteBack(VARIANT* callerArgument, VARIANT* value) {
    VARTYPE base = static_cast<VARTYPE>(V_VT(callerArgument) & ~VT_BYREF);
    if (base == VT_VARIANT) {
        VariantCopy(V_VARIANTREF(callerArgument), value);
        return;
    }
    Variant converted;
    if (FAILED(VariantChangeType(converted.Get(), value, 0, base))) return;
    switch (base) {
    case VT_BSTR: {
        Bstr old;
        old.Reset(*V_BSTRREF(callerArgument));
        *V_BSTRREF(callerArgument) = V_BSTR(converted.Get());
        V_VT(converted.Get()) = VT_EMPTY;
        break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown** slot = V_UNKNOWNREF(callerArgument);
        if (*slot) (*slot)->Release();
        *slot = V_UNKNOWN(converted.Get());
        V_VT(converted.Get()) = VT_EMPTY;
        break;
    }
    case VT_DECIMAL:
        *V_DECIMALREF(callerArgument) = V_DECIMAL(converted.Get());
        break;
    default:
        if (size_t size = ScalarSize(base)) std::memcpy(V_BYREF(callerArgument), &V_UI1(converted.Get()), size);
        break;
    }
}

// Whether two values are the same to the bit: what a member left in a
// temporary against what it was given.
bool SameValue(const VARIANT* a, const VARIANT* b) {
    if (V_VT(a) != V_VT(b)) return false;
    switch (V_VT(a)) {
    case VT_EMPTY: case VT_NULL:
        return true;
    case VT_BSTR: {
        const UINT length = SysStringByteLen(V_BSTR(a));
        return V_BSTR(a) == V_BSTR(b) ||
               (V_BSTR(a) && V_BSTR(b) && length == SysStringByteLen(V_BSTR(b)) &&
                std::memcmp(V_BSTR(a), V_BSTR(b), length) == 0);
    }
    case VT_DISPATCH: case VT_UNKNOWN:
        return V_UNKNOWN(a) == V_UNKNOWN(b);
    case VT_DECIMAL:
        return std::memcmp(&V_DECIMAL(a), &V_DECIMAL(b), sizeof(DECIMAL)) == 0;
    default:
        if (size_t size = ScalarSize(V_VT(a))) return std::memcmp(&V_UI1(a), &V_UI1(b), size) == 0;
        return false;  // arrays and references: taken as changed
    }
}

// One by-reference argument that had to be coerced.
struct CoercedArgument {
    UINT position = 0;  // index into the caller's rgvarg
    Variant temporary;
    Variant given;  // what the temporary held before the call
};

}  // namespace

HRESULT InvokeByTypeInfo(ITypeInfo* vtableInfo, void* instance, DISPID id, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (!params) return E_INVALIDARG;
    FUNCDESC* rawDesc = nullptr;
    ComPtr<ITypeInfo> owner;
    if (FAILED(FindFunction(vtableInfo, id, flags, &rawDesc, owner)))
        return vtableInfo->Invoke(instance, id, flags, params, result, exception, argumentError);
    FuncDescHolder desc(owner.Get(), rawDesc);

    // Which parameter each supplied argument stands for: positional arguments
    // in reverse order, the property-put value as the last parameter.
    UINT declared = static_cast<UINT>(desc->cParams);
    while (declared > 0 && (desc->lprgelemdescParam[declared - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) --declared;
    std::vector<VARIANTARG> arguments(params->rgvarg, params->rgvarg + params->cArgs);
    std::deque<CoercedArgument> coerced;  // stable addresses: the adapted arguments point into them
    UINT positional = params->cArgs - params->cNamedArgs;

    for (UINT position = 0; position < params->cArgs; ++position) {
        UINT parameter;
        if (position < params->cNamedArgs) {
            if (params->rgdispidNamedArgs[position] != DISPID_PROPERTYPUT || declared == 0) continue;
            parameter = declared - 1;
        } else {
            parameter = params->cArgs - 1 - position;
            if (parameter >= positional || parameter >= declared) continue;
        }
        const ELEMDESC& element = desc->lprgelemdescParam[parameter];
        if (element.tdesc.vt != VT_PTR || !(element.paramdesc.wParamFlags & PARAMFLAG_FOUT)) continue;
        VARTYPE wanted = ReferencedType(owner.Get(), *element.tdesc.lptdesc);
        if (wanted == VT_EMPTY) continue;
        VARIANTARG& argument = arguments[position];
        if (V_VT(&argument) == (VT_BYREF | wanted)) continue;

        coerced.emplace_back();
        coerced.back().position = position;
        Variant& temporary = coerced.back().temporary;
        VARIANT* source = &argument;
        if (V_VT(&argument) == (VT_BYREF | VT_VARIANT)) source = V_VARIANTREF(&argument);
        HRESULT hr = (wanted == VT_VARIANT) ? VariantCopyInd(temporary.Get(), source)
                                            : VariantChangeType(temporary.Get(), source, 0, wanted);
        if (FAILED(hr)) {
            if (argumentError) *argumentError = position;
            return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
        }
        if (FAILED(VariantCopy(coerced.back().given.Get(), temporary.Get()))) return E_OUTOFMEMORY;
        VARIANTARG reference;
        VariantInit(&reference);
        V_VT(&reference) = static_cast<VARTYPE>(VT_BYREF | wanted);
        if (wanted == VT_VARIANT) V_VARIANTREF(&reference) = temporary.Get();
        else V_BYREF(&reference) = &V_UI1(temporary.Get());
        argument = reference;
    }

    if (coerced.empty()) return vtableInfo->Invoke(instance, id, flags, params, result, exception, argumentError);

    DISPPARAMS adapted = *params;
    adapted.rgvarg = arguments.data();
    HRESULT hr = vtableInfo->Invoke(instance, id, flags, &adapted, result, exception, argumentError);
    // Only what the member changed goes back: the caller's variable keeps its
    // own type and value otherwise, whether the call worked or not.
    for (CoercedArgument& item : coerced) {
        VARIANTARG* callerArgument = &params->rgvarg[item.position];
        if ((V_VT(callerArgument) & VT_BYREF) && !SameValue(item.temporary.Get(), item.given.Get()))
            WriteBack(callerArgument, item.temporary.Get());
    }
    return hr;
}

}  // namespace quorlin
