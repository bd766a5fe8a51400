// Every member of every class, late bound, with values no page should pass:
// each call works or fails with a standard automation error or the member's
// own, and the object answers a plain call right after. The connected FTP
// object talks to the scripted server, which takes any command.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// An object with no members at all, not even a default one.
class PlainObject final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};
PlainObject g_plain;

// The values, each made anew for every call.
std::vector<std::pair<const char*, std::function<void(VARIANT&)>>> HostileValues() {
    return {
        {"Null", [](VARIANT& v) { V_VT(&v) = VT_NULL; }},
        {"Empty", [](VARIANT& v) { V_VT(&v) = VT_EMPTY; }},
        {"Nothing", [](VARIANT& v) { V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = nullptr; }},
        {"an object without members", [](VARIANT& v) { V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = &g_plain; }},
        {"an array",
         [](VARIANT& v) {
             SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
             V_VT(&v) = VT_ARRAY | VT_VARIANT;
             V_ARRAY(&v) = array;
         }},
        {"a text of 1,000,000 characters",
         [](VARIANT& v) { V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocStringLen(std::wstring(1000000, L'x').c_str(), 1000000); }},
        {"a text with a NUL", [](VARIANT& v) { V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocStringLen(L"a\0b", 3); }},
        {"-1", [](VARIANT& v) { V_VT(&v) = VT_I4; V_I4(&v) = -1; }},
        {"2147483647", [](VARIANT& v) { V_VT(&v) = VT_I4; V_I4(&v) = 2147483647; }},
        {"1E+300", [](VARIANT& v) { V_VT(&v) = VT_R8; V_R8(&v) = 1e300; }},
        {"a date", [](VARIANT& v) { V_VT(&v) = VT_DATE; V_DATE(&v) = 46000.5; }},
        {"True", [](VARIANT& v) { V_VT(&v) = VT_BOOL; V_BOOL(&v) = VARIANT_TRUE; }},
    };
}

struct Member {
    std::wstring name;
    DISPID id;
    INVOKEKIND kind;
    UINT parameters;  // without the result
};

std::vector<Member> MembersOf(IDispatch* object) {
    std::vector<Member> members;
    ComPtr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, 0, &info))) return members;
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        BSTR name = nullptr;
        UINT found = 0;
        info->GetNames(function->memid, &name, 1, &found);
        const std::wstring text = name ? name : L"";
        SysFreeString(name);
        const bool inherited = text == L"QueryInterface" || text == L"AddRef" || text == L"Release" ||
                               text == L"GetTypeInfoCount" || text == L"GetTypeInfo" || text == L"GetIDsOfNames" ||
                               text == L"Invoke";
        UINT parameters = static_cast<UINT>(function->cParams);
        if (parameters > 0 && (function->lprgelemdescParam[parameters - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
            --parameters;
        if (!inherited) members.push_back({text, function->memid, function->invkind, parameters});
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    return members;
}

// Calls `member` with every argument set to the value `make` gives.
HRESULT CallWith(IDispatch* object, const Member& member, const std::function<void(VARIANT&)>& make,
                 EXCEPINFO& exception) {
    std::vector<VARIANT> arguments(member.parameters);
    for (VARIANT& argument : arguments) {
        VariantInit(&argument);
        make(argument);
    }
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = member.kind == INVOKE_PROPERTYPUT || member.kind == INVOKE_PROPERTYPUTREF;
    DISPPARAMS params = {arguments.data(), put ? &putId : nullptr, static_cast<UINT>(arguments.size()), put ? 1u : 0u};
    const WORD flags = put ? static_cast<WORD>(member.kind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT
                                                                                  : DISPATCH_PROPERTYPUTREF)
                           : member.kind == INVOKE_PROPERTYGET ? DISPATCH_PROPERTYGET : DISPATCH_METHOD;
    VARIANT result;
    VariantInit(&result);
    UINT argumentError = 0;
    const HRESULT hr = object->Invoke(member.id, IID_NULL, 0, flags, &params, put ? nullptr : &result, &exception,
                                      &argumentError);
    VariantClear(&result);
    for (VARIANT& argument : arguments) {
        if (V_VT(&argument) == VT_DISPATCH) V_VT(&argument) = VT_EMPTY;  // not ours to release
        VariantClear(&argument);
    }
    return hr;
}

// A status a client can handle: success, an error of the dispatch layer, or
// a raised error with its code, source and description.
void ExpectHandled(HRESULT hr, const EXCEPINFO& exception, const std::string& what) {
    if (hr == S_OK) return;
    if (hr == DISP_E_EXCEPTION) {
        const HRESULT code = exception.scode ? exception.scode : static_cast<HRESULT>(exception.wCode);
        EXPECT_TRUE(FAILED(code)) << what;
        const std::wstring source = exception.bstrSource ? exception.bstrSource : L"";
        EXPECT_EQ(0u, source.rfind(L"Quorlin.", 0)) << what;
        EXPECT_TRUE(exception.bstrDescription && *exception.bstrDescription) << what;
        return;
    }
    EXPECT_EQ(0x80020000u, static_cast<unsigned>(hr) & 0xFFFF0000u) << what << ": " << std::hex << hr;
}

void ClearException(EXCEPINFO& exception) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception = {};
}

// Every member with every value on the objects `make` gives, one new object per value.
void Hammer(const char* label, const std::function<ComPtr<IDispatch>()>& make, const wchar_t* plainMember) {
    const ComPtr<IDispatch> sample = make();
    ASSERT_TRUE(sample) << label;
    const std::vector<Member> members = MembersOf(sample.Get());
    ASSERT_FALSE(members.empty()) << label;
    int calls = 0, worked = 0;
    for (const auto& [valueName, value] : HostileValues()) {
        ComPtr<IDispatch> object = make();
        ASSERT_TRUE(object);
        for (const Member& member : members) {
            const std::string what = std::string(label) + " " + std::string(member.name.begin(), member.name.end()) +
                                     (member.kind == INVOKE_PROPERTYPUT ? " (put)" : "") + " with " + valueName;
            EXCEPINFO exception = {};
            const HRESULT hr = CallWith(object.Get(), member, value, exception);
            ExpectHandled(hr, exception, what);
            ++calls;
            worked += hr == S_OK;
            ClearException(exception);
            // The object answers a plain call right after.
            LateCall plain;
            CallByName(object.Get(), plainMember, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, plain);
            EXPECT_EQ(S_OK, plain.hr) << what << ": the object no longer answers";
        }
    }
    std::printf("%s: %d calls, %d worked\n", label, calls, worked);
}

class HostileValues : public ::testing::Test {
protected:
    void SetUp() override {
        // Tree operations handed a value as a local path make folders of that
        // name: they land in a folder of their own.
        const std::wstring folder = Scratch() + L"\\hostile-values";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        GetCurrentDirectoryW(MAX_PATH, previous_);
        ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    }
    void TearDown() override { SetCurrentDirectoryW(previous_); }
    wchar_t previous_[MAX_PATH] = {};
};

TEST_F(HostileValues, OnEveryMemberOfObjectsNeverConnected) {
    for (const wchar_t* progId : {L"quorlin.FTP", L"quorlin.HTTP"})
        Hammer(std::string(progId, progId + wcslen(progId)).c_str(), [&] { return CreateByProgId(progId); }, L"Version");
    Hammer("quorlin.FTPFile", [] { return CreateByProgId(L"quorlin.FTPFile"); }, L"Filename");
    Hammer("quorlin.FTPFiles", [] { return CreateByProgId(L"quorlin.FTPFiles"); }, L"Count");
}

TEST_F(HostileValues, OnEveryMemberOfAConnectedFtpObject) {
    const std::wstring port = EnvText("QUORLIN_FTP_STAND_IN_PORT");
    if (port.empty()) GTEST_SKIP() << "no scripted FTP server";
    Hammer("connected quorlin.FTP",
           [&] {
               HRESULT opened = E_FAIL;
               ComPtr<_FTP> ftp = ConnectedFtp({"stand-in", std::stoi(port)}, true, L"any", opened);
               EXPECT_EQ(S_OK, opened);
               ComPtr<IDispatch> object;
               ftp.As(&object);
               return object;
           },
           L"Version");
}

}  // namespace
