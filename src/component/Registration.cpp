#include "Registration.h"

#include "ClassTable.h"
#include "Module.h"
#include "Owners.h"
#include "TypeLibrary.h"

#include <olectl.h>
#include <string>

namespace quorlin::registration {

namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

LSTATUS WriteValue(const std::wstring& keyPath, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                     nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
}

LSTATUS DeleteTree(const std::wstring& keyPath) {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, keyPath.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

SYSKIND OwnSysKind() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

}  // namespace

HRESULT Register() {
    std::wstring path = module::FilePath();
    if (path.empty()) return SELFREG_E_CLASS;
    for (const ClassEntry& entry : kClasses) {
        std::wstring classKey = L"CLSID\\" + GuidText(*entry.clsid);
        LSTATUS status = WriteValue(classKey, nullptr, entry.progId);
        if (status == ERROR_SUCCESS) status = WriteValue(classKey + L"\\InprocServer32", nullptr, path);
        if (status == ERROR_SUCCESS) status = WriteValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
        if (status == ERROR_SUCCESS) status = WriteValue(classKey + L"\\ProgID", nullptr, entry.progId);
        if (status == ERROR_SUCCESS) status = WriteValue(entry.progId, nullptr, entry.progId);
        if (status == ERROR_SUCCESS) status = WriteValue(std::wstring(entry.progId) + L"\\CLSID", nullptr, GuidText(*entry.clsid));
        if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    }
    ComPtr<ITypeLib> library;
    HRESULT hr = typelib::Load(&library);
    if (SUCCEEDED(hr)) hr = RegisterTypeLib(library.Get(), path.data(), nullptr);
    return FAILED(hr) ? SELFREG_E_TYPELIB : S_OK;
}

HRESULT Unregister() {
    HRESULT result = S_OK;
    for (const ClassEntry& entry : kClasses) {
        if (DeleteTree(L"CLSID\\" + GuidText(*entry.clsid)) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
        if (DeleteTree(entry.progId) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
    }
    // Unregistering a library that is already gone is success.
    ComPtr<ITypeLib> library;
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(typelib::Load(&library)) && SUCCEEDED(library->GetLibAttr(&attributes))) {
        GUID libraryId = attributes->guid;
        WORD major = attributes->wMajorVerNum;
        WORD minor = attributes->wMinorVerNum;
        LCID locale = attributes->lcid;
        library->ReleaseTLibAttr(attributes);
        Bstr registeredPath;
        if (SUCCEEDED(QueryPathOfRegTypeLib(libraryId, major, minor, locale, registeredPath.Put()))) {
            if (FAILED(UnRegisterTypeLib(libraryId, major, minor, locale, OwnSysKind()))) result = SELFREG_E_TYPELIB;
        }
    }
    return result;
}

}  // namespace quorlin::registration
