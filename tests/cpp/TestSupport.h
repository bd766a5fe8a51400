// Helpers for driving the component as clients do: creation by ProgID,
// late-bound calls with EXCEPINFO, and the thread's error object.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "quorlin_h.h"

using Microsoft::WRL::ComPtr;

struct LateCall {
    HRESULT hr = E_FAIL;
    EXCEPINFO exception = {};
    VARIANT result;
    LateCall() { VariantInit(&result); }
    LateCall(const LateCall&) = delete;
    ~LateCall();
    std::wstring Description() const;
    std::wstring Source() const;
};

struct RaisedError {
    std::wstring source;
    std::wstring description;
};

// Creates an object by ProgID and returns its IDispatch.
ComPtr<IDispatch> CreateByProgId(const wchar_t* progId);
// Late-bound call by member name; `arguments` in natural order.
void CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> arguments, LateCall& call);
// The error object set by the last early-bound call.
RaisedError TakeError();

VARIANT Text(const wchar_t* text);  // caller owns: pass to CallByName, which clears it
VARIANT Number(LONG value);
std::wstring ReadText(const VARIANT& value);

struct FtpServer {
    std::string name;
    int port;
};
std::vector<FtpServer> FtpServers();
std::wstring FtpUser();
std::wstring FtpPassword();
