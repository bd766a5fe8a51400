// Creation, module lifetime and self-registration.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

bool ClassesKeyExists(const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

TEST(ComFrame, EveryClassIsCreatableByProgIdInAnyCase) {
    for (const wchar_t* progId : {L"quorlin.FTP", L"QUORLIN.HTTP", L"Quorlin.FtpFile", L"quorlin.ftpfiles"}) {
        EXPECT_TRUE(CreateByProgId(progId)) << "ProgID";
    }
    ComPtr<_FTPFiles> files;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FTPFiles, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&files)));
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, files.As(&support));
    EXPECT_EQ(S_OK, support->InterfaceSupportsErrorInfo(IID__FTPFiles));
}

TEST(ComFrame, NewEntryAndCollectionStartEmpty) {
    ComPtr<_FTPFile> entry;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FTPFile, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&entry)));
    BSTR text = nullptr;
    ASSERT_EQ(S_OK, entry->get_Filename(&text));
    EXPECT_EQ(0u, SysStringLen(text));
    SysFreeString(text);
    enum_FileType type = FTPDirectory;
    ASSERT_EQ(S_OK, entry->get_FileType(&type));
    EXPECT_EQ(0, type);

    ComPtr<IDispatch> files = CreateByProgId(L"quorlin.FTPFiles");
    ASSERT_TRUE(files);
    LateCall count;
    CallByName(files.Get(), L"Count", DISPATCH_METHOD, {}, count);
    ASSERT_EQ(S_OK, count.hr);
    EXPECT_EQ(0, V_I4(&count.result));
    // DISPID 0 with one argument reaches Item: out of range on an empty collection.
    VARIANT index = Number(1);
    DISPPARAMS params = {&index, nullptr, 1, 0};
    EXCEPINFO exception = {};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(DISP_E_EXCEPTION, files->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                              &params, &result, &exception, nullptr));
    EXPECT_EQ(static_cast<SCODE>(0x800A0009), exception.scode);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    // DISPID -4 gives an enumerator that yields nothing.
    DISPPARAMS none = {};
    ASSERT_EQ(S_OK, files->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                                  &result, nullptr, nullptr));
    ASSERT_EQ(VT_UNKNOWN, V_VT(&result));
    ComPtr<IEnumVARIANT> enumerator;
    ASSERT_EQ(S_OK, V_UNKNOWN(&result)->QueryInterface(IID_PPV_ARGS(&enumerator)));
    VARIANT item;
    ULONG fetched = 7;
    EXPECT_EQ(S_FALSE, enumerator->Next(1, &item, &fetched));
    EXPECT_EQ(0u, fetched);
    VariantClear(&result);
}

TEST(ComFrame, CanUnloadOnlyWithoutObjectsAndLocks) {
    HMODULE module = LoadComponent();
    ASSERT_TRUE(module);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllCanUnloadNow"));
    auto getClass = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        GetProcAddress(module, "DllGetClassObject"));
    ASSERT_TRUE(canUnload && getClass);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClass(IID_IDispatch, IID_PPV_ARGS(&factory)));
    ASSERT_EQ(S_OK, getClass(CLSID_FTP, IID_PPV_ARGS(&factory)));
    ComPtr<_FTP> ftp;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&ftp)));
    factory->LockServer(TRUE);
    factory.Reset();
    EXPECT_EQ(S_FALSE, canUnload());
    ftp.Reset();
    EXPECT_EQ(S_FALSE, canUnload());  // still locked
    ASSERT_EQ(S_OK, getClass(CLSID_FTP, IID_PPV_ARGS(&factory)));
    factory->LockServer(FALSE);
    factory.Reset();
    EXPECT_EQ(S_OK, canUnload());
    FreeLibrary(module);
}

TEST(ComFrame, UnregisterRemovesOwnEntriesAndRegisterRestoresThem) {
    HMODULE module = LoadComponent();
    ASSERT_TRUE(module);
    auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllRegisterServer"));
    auto unregisterServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllUnregisterServer"));
    ASSERT_TRUE(registerServer && unregisterServer);
    const std::wstring classKeys[] = {L"CLSID\\{004F8AFA-CE85-4987-9F1B-9E1E31DD9389}",
                                      L"CLSID\\{1722FF54-2AF5-47DC-8E17-0792786A53CF}"};
    const std::wstring ownTypeLib = std::wstring(L"TypeLib\\{9F7C9CD1-ED58-45C8-9190-218B634AA491}\\1.0\\0\\") +
                                    (sizeof(void*) == 8 ? L"win64" : L"win32");
    // The other bitness's build, when registered, keeps the ProgIDs both share.
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const bool otherServes = ClassesKeyExists(classKeys[0] + L"\\InprocServer32", otherView);

    ASSERT_EQ(S_OK, unregisterServer());
    for (const std::wstring& key : classKeys) EXPECT_FALSE(ClassesKeyExists(key));
    EXPECT_FALSE(ClassesKeyExists(ownTypeLib));
    EXPECT_EQ(otherServes, ClassesKeyExists(L"quorlin.FTP"));
    EXPECT_EQ(otherServes, ClassesKeyExists(L"quorlin.FTPFiles"));
    EXPECT_EQ(S_OK, unregisterServer()) << "unregistering twice succeeds";
    ASSERT_EQ(S_OK, registerServer());
    for (const std::wstring& key : classKeys) EXPECT_TRUE(ClassesKeyExists(key));
    for (const wchar_t* key : {L"quorlin.FTP", L"quorlin.FTPFiles"}) EXPECT_TRUE(ClassesKeyExists(key));
    EXPECT_TRUE(ClassesKeyExists(ownTypeLib));
    wchar_t model[32] = {};
    DWORD size = sizeof(model);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CLASSES_ROOT, L"CLSID\\{004F8AFA-CE85-4987-9F1B-9E1E31DD9389}\\InprocServer32",
                                          L"ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &size));
    EXPECT_EQ(std::wstring(L"Apartment"), model);
    FreeLibrary(module);
}

}  // namespace
