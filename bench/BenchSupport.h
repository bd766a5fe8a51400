// What the benchmark programs share: text arguments, the clock, and an FTP
// object logged in to the local server.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "quorlin_h.h"

using Microsoft::WRL::ComPtr;

// A text variant for the component's members, cleared when it goes.
class Text {
public:
    explicit Text(const std::wstring& text) {
        VariantInit(&value_);
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { VariantClear(&value_); }
    VARIANT* operator&() { return &value_; }

private:
    VARIANT value_;
};

inline std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

using Clock = std::chrono::steady_clock;
inline double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

inline bool Report(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return true;
    std::printf("FAILED %s: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    return false;
}

// A new FTP object, passive and binary, logged in to 127.0.0.1:`port`; null
// (with the failure printed) when it cannot log in.
// `security` 1 or 2 goes over TLS through the newest interface; kOverSftp
// goes over SFTP, trusting the host keys of QUORLIN_BENCH_HOST_KEYS.
constexpr LONG kOverSftp = -1;
inline ComPtr<_FTP> ConnectedFtp(int port, const char* user, const char* password, LONG security = 0) {
    ComPtr<_FTP> ftp;
    if (!Report(CoCreateInstance(CLSID_FTP, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&ftp)), "create")) return nullptr;
    Text url(L"127.0.0.1"), name(Widen(user)), secret(Widen(password));
    ftp->put_URL(&url);
    ftp->put_Username(&name);
    ftp->put_Password(&secret);
    LONG serverPort = port;
    ftp->put_Port(&serverPort);
    VARIANT_BOOL passive = VARIANT_TRUE;
    ftp->put_Passive(&passive);
    Ftp_Transfer_Type binary = TransferBinary;
    ftp->put_TransferType(&binary);
    ComPtr<_FTP4> secure;
    if (security && !Report(ftp.As(&secure), "_FTP4")) return nullptr;
    if (security > 0 && !Report(secure->put_Security(security), "Security")) return nullptr;
    if (security == kOverSftp) {
        wchar_t keys[1024] = {};
        GetEnvironmentVariableW(L"QUORLIN_BENCH_HOST_KEYS", keys, 1024);
        BSTR pins = SysAllocString(keys);
        const bool pinned = Report(secure->put_Protocol(1), "Protocol") && Report(secure->put_HostKeyFingerprint(pins), "HostKeyFingerprint");
        SysFreeString(pins);
        if (!pinned) return nullptr;
    }
    // The session-log bench: every run logs to the file named, if any.
    wchar_t logPath[1024] = {};
    if (GetEnvironmentVariableW(L"QUORLIN_BENCH_LOG", logPath, 1024) > 0) {
        ComPtr<_FTP6> logged;
        BSTR path = SysAllocString(logPath);
        const bool set = Report(ftp.As(&logged), "_FTP6") && Report(logged->put_LogFile(path), "LogFile");
        SysFreeString(path);
        if (!set) return nullptr;
    }
    // The proxy bench: the run goes through the proxy named, if any.
    wchar_t proxyText[1024] = {};
    if (GetEnvironmentVariableW(L"QUORLIN_BENCH_PROXY", proxyText, 1024) > 0) {
        Text proxy(proxyText);
        if (!Report(ftp->put_Proxy(&proxy), "Proxy")) return nullptr;
    }
    if (!Report(ftp->OpenConnection(), "OpenConnection")) return nullptr;
    return ftp;
}
