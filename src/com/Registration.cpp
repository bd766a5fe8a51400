#include "Registration.h"

#include "ClassTable.h"
#include "Interfaces.h"
#include "Module.h"
#include "../platform/Owners.h"
#include "TypeLibrary.h"

#include <olectl.h>
#include <sstream>
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

// A 64-bit and a 32-bit build of this library can be registered side by side.
// Class keys live in one registry view per bitness; ProgID and type-library
// keys are shared by both views.
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
constexpr const wchar_t* kOwnPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";
constexpr const wchar_t* kOtherPlatform = sizeof(void*) == 8 ? L"win32" : L"win64";

bool KeyExists(const std::wstring& keyPath, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Whether the other bitness's build is still registered as the server of a
// class. On a system without a second view the flag is ignored and the own
// view is read, whose class key is gone by then.
bool OtherViewServes(const std::wstring& classKey) { return KeyExists(classKey + L"\\InprocServer32", kOtherView); }

// Removes this build's type-library registration. While the other build's
// registration stands, only the own platform entry goes: the platform's
// unregistration would also take the interface keys that both share.
HRESULT UnregisterTypeLibrary() {
    ComPtr<ITypeLib> library;
    TLIBATTR* attributes = nullptr;
    if (FAILED(typelib::Load(&library)) || FAILED(library->GetLibAttr(&attributes))) {
        // Unregistering a library that is already gone is success; one whose
        // keys stand but which cannot be read here is not.
        const std::wstring ownKey = L"TypeLib\\" + GuidText(LIBID_quorlin) + L"\\1.0\\0\\" + kOwnPlatform;
        return KeyExists(ownKey, 0) ? SELFREG_E_TYPELIB : S_OK;
    }
    const GUID libraryId = attributes->guid;
    const WORD major = attributes->wMajorVerNum, minor = attributes->wMinorVerNum;
    const LCID locale = attributes->lcid;
    library->ReleaseTLibAttr(attributes);

    std::wostringstream localeKey;  // TypeLib\{libid}\<major>.<minor>\<lcid>\, numbers in hex
    localeKey << L"TypeLib\\" << GuidText(libraryId) << L"\\" << std::hex << major << L"." << minor << L"\\"
              << locale << L"\\";
    const std::wstring ownKey = localeKey.str() + kOwnPlatform;
    if (!KeyExists(ownKey, 0)) return S_OK;
    if (KeyExists(localeKey.str() + kOtherPlatform, 0))
        return DeleteTree(ownKey) == ERROR_SUCCESS ? S_OK : SELFREG_E_TYPELIB;
    return FAILED(UnRegisterTypeLib(libraryId, major, minor, locale, OwnSysKind())) ? SELFREG_E_TYPELIB : S_OK;
}

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
        const std::wstring classKey = L"CLSID\\" + GuidText(*entry.clsid);
        if (DeleteTree(classKey) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
        if (!OtherViewServes(classKey) && DeleteTree(entry.progId) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
    }
    if (FAILED(UnregisterTypeLibrary())) result = SELFREG_E_TYPELIB;
    return result;
}

}  // namespace quorlin::registration
