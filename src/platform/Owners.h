// The RAII owners used throughout the component: automation strings,
// variants, WinINet handles and COM pointers. Nothing else frees these.
#pragma once

#include "WinInetAPI.h"
#include <oleauto.h>
#include <wrl/client.h>
#include <string>

namespace quorlin {

using Microsoft::WRL::ComPtr;

// Owns a newly made object through the one reference it starts with (null
// stays null). ComPtr::Attach is avoided: MinGW's adds a reference of its own.
template <class T>
ComPtr<T> TakeNew(T* fresh) {
    ComPtr<T> owner;
    *owner.GetAddressOf() = fresh;
    return owner;
}

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : value_(other.Detach()) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    ~Bstr() { Reset(nullptr); }

    BSTR Get() const { return value_; }
    // Hands the string to a caller who becomes its owner.
    BSTR Detach() {
        BSTR value = value_;
        value_ = nullptr;
        return value;
    }
    void Reset(BSTR value) {
        if (value_ != value) SysFreeString(value_);
        value_ = value;
    }
    // For out-parameters: frees the current string first.
    BSTR* Put() {
        Reset(nullptr);
        return &value_;
    }
    std::wstring Text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }
    bool Failed() const { return value_ == nullptr; }

private:
    BSTR value_ = nullptr;
};

// Owns one VARIANT.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }

    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }
    VARIANT* Put() {
        VariantClear(&value_);
        return &value_;
    }
    VARTYPE Type() const { return V_VT(&value_); }
    // Moves the value into a caller's VARIANT, which must be cleared already.
    void DetachTo(VARIANT* target) {
        *target = value_;
        VariantInit(&value_);
    }

private:
    VARIANT value_;
};

// Owns one WinINet handle.
class InternetHandle {
public:
    InternetHandle() = default;
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    InternetHandle(InternetHandle&& other) noexcept : handle_(other.Release()) {}
    ~InternetHandle() { Reset(nullptr); }

    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Takes a new handle; a handle held before is closed, its result ignored.
    void Reset(HINTERNET handle) {
        if (handle_ && handle_ != handle) InternetCloseHandle(handle_);
        handle_ = handle;
    }
    // Gives the handle to the caller, who closes it.
    HINTERNET Release() {
        HINTERNET handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    // Closes the handle and reports the platform's result, with the last
    // error set on failure. The handle is forgotten either way: one whose
    // close failed is never handed to WinINet a second time.
    bool Close() {
        if (!handle_) return true;
        HINTERNET closing = handle_;
        handle_ = nullptr;
        return InternetCloseHandle(closing) != FALSE;
    }

private:
    HINTERNET handle_ = nullptr;
};

// Owns one kernel file handle (INVALID_HANDLE_VALUE when none).
class FileHandle {
public:
    explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Reset(); }
    // Closes the handle held, if any, and holds `handle` instead.
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = handle;
    }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

}  // namespace quorlin
