#include "Text.h"

#include "../platform/Constants.h"
#include "Error.h"
#include "../platform/Owners.h"

#include <cstring>

namespace quorlin {

HRESULT VariantToText(const VARIANT* value, const wchar_t* source, std::wstring& text) {
    if (!value) return E_POINTER;
    const VARIANT* actual = value;
    while (V_VT(actual) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(actual)) actual = V_VARIANTREF(actual);
    if (V_VT(actual) == VT_NULL)
        return RaiseError(runtime_error::kInvalidUseOfNull, source, message::kInvalidUseOfNull);
    if (V_VT(actual) == VT_EMPTY) {
        text.clear();
        return S_OK;
    }
    Variant converted;
    HRESULT hr = VariantChangeTypeEx(converted.Get(), const_cast<VARIANT*>(actual), LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, VT_BSTR);
    if (FAILED(hr)) return RaiseError(runtime_error::kTypeMismatch, source, message::kTypeMismatch);
    BSTR convertedText = V_BSTR(converted.Get());
    text.assign(convertedText ? convertedText : L"", convertedText ? SysStringLen(convertedText) : 0);
    return S_OK;
}

HRESULT TextToVariant(const std::wstring& text, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    Bstr copy(text);
    if (copy.Failed()) return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = copy.Detach();
    return S_OK;
}

namespace {
const VARIANT* Referenced(const VARIANT* value) {
    while (value && V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value)) value = V_VARIANTREF(value);
    return value;
}
}  // namespace

bool ArgumentMissing(const VARIANT* value) {
    value = Referenced(value);
    return !value || V_VT(value) == VT_EMPTY || (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND);
}

HRESULT OptionalNumber(const VARIANT* value, const wchar_t* source, std::optional<LONG>& number) {
    number.reset();
    if (ArgumentMissing(value)) return S_OK;
    Variant converted;
    if (FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(Referenced(value)), 0, VT_I4)))
        return RaiseError(runtime_error::kTypeMismatch, source, message::kTypeMismatch);
    number = V_I4(converted.Get());
    return S_OK;
}

HRESULT TextsToArray(const std::vector<std::wstring>& texts, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(texts.size()));
    if (!array) return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    for (LONG i = 0; SUCCEEDED(hr) && i < static_cast<LONG>(texts.size()); ++i) {
        Variant item;
        hr = TextToVariant(texts[static_cast<size_t>(i)], item.Put());
        if (SUCCEEDED(hr)) hr = SafeArrayPutElement(array, &i, item.Get());
    }
    if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return hr;
    }
    V_VT(result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(result) = array;
    return S_OK;
}

std::string ToCodePage(UINT codePage, std::wstring_view text) {
    if (text.empty()) return std::string();
    const int count = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(codePage, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), count, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

std::wstring FromCodePage(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return std::wstring();
    const int count = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), count, nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), count, text.data(), length);
    return text;
}

std::string ToAnsi(const std::wstring& text) { return ToCodePage(CP_ACP, text); }

std::wstring FromAnsi(const char* text) { return FromAnsi(text, std::strlen(text)); }

std::wstring FromAnsi(const char* text, size_t length) { return FromCodePage(CP_ACP, std::string_view(text, length)); }

// As the local file system compares names: letter case ignored over all of Unicode.
bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view other) {
    if (text.size() != other.size()) return false;
    if (text.empty()) return true;
    return CompareStringOrdinal(text.data(), static_cast<int>(text.size()), other.data(),
                                static_cast<int>(other.size()), TRUE) == CSTR_EQUAL;
}

std::wstring TrimBlanks(const std::wstring& text) {
    size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return std::wstring();
    size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

}  // namespace quorlin
