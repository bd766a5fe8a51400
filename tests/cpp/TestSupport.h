// Helpers for driving the component as clients do: creation by ProgID,
// late-bound calls with EXCEPINFO, and the thread's error object.
#pragma once

#include <windows.h>
#include <iphlpapi.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <optional>
#include <ostream>
#include <string>
#include <tuple>
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

// A new object of `clsid` through its interface, early bound.
template <class Interface>
ComPtr<Interface> NewObject(REFCLSID clsid) {
    ComPtr<Interface> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    return object;
}

std::wstring ReadText(const VARIANT& value);

// What a property reader returns: a variant that must hold text.
template <class Interface>
std::wstring ReadProperty(HRESULT (STDMETHODCALLTYPE Interface::*reader)(VARIANT*), Interface* object) {
    VARIANT value;
    VariantInit(&value);
    if (FAILED((object->*reader)(&value)) || V_VT(&value) != VT_BSTR) return L"(not a text)";
    std::wstring text = ReadText(value);
    VariantClear(&value);
    return text;
}

// Every row of the machine's TCP table.
std::optional<std::vector<MIB_TCPROW>> TcpRows();
// Established (or other `state`) TCP connections whose local end, or with
// `remoteEnd` whose far end, is `port`.
int TcpConnections(int port, DWORD state, bool remoteEnd);

// An environment variable's value as text (empty when unset).
std::wstring EnvText(const char* name);
// The DLL under test (QUORLIN_DLL), loaded once more into this process.
HMODULE LoadComponent();

// Creates an object by ProgID and returns its IDispatch.
ComPtr<IDispatch> CreateByProgId(const wchar_t* progId);
// Late-bound call by member name; `arguments` in natural order.
void CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> arguments, LateCall& call);
// The error object set by the last early-bound call.
RaisedError TakeError();

// A text argument for an early-bound call, cleared when it goes.
class TextArgument {
public:
    explicit TextArgument(const std::wstring& text);
    TextArgument(const TextArgument&) = delete;
    ~TextArgument();
    VARIANT* operator&() { return &value_; }

private:
    VARIANT value_;
};

// Checks a raised error: `code`, source "Quorlin.FTP", and a description that
// is `message` directly followed by an error text starting with `textStart`.
void ExpectRaised(HRESULT code, HRESULT got, const std::wstring& message, const std::wstring& textStart);

VARIANT Text(const wchar_t* text);  // caller owns: pass to CallByName, which clears it
VARIANT Number(LONG value);
std::wstring ReadText(const VARIANT& value);

struct FtpServer {
    std::string name;
    int port;
};
std::vector<FtpServer> FtpServers();
void PrintTo(const FtpServer& server, std::ostream* stream);  // for test names in failure reports
std::wstring FtpUser();
std::wstring FtpPassword();

// A new FTP object logged in to `server` on 127.0.0.1; `opened` is what
// OpenConnection returned.
ComPtr<_FTP> ConnectedFtp(const FtpServer& server, bool passive, const std::wstring& password, HRESULT& opened);

// Every server of QUORLIN_FTP_SERVERS, passive and active, for parameterized suites.
using ServerMode = std::tuple<FtpServer, bool>;
std::vector<ServerMode> ServerModes();
std::vector<ServerMode> PassiveServerModes();
std::string ServerModeName(const ServerMode& mode);

// The FTP user's home as the Unix path the servers see (QUORLIN_FTP_HOME) and
// as the Windows path the tests reach it by.
std::wstring FtpHomeUnix();
std::wstring FtpHomeWindows();
// A local folder for the tests' own files (QUORLIN_SCRATCH, a Windows path).
std::wstring Scratch();

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::optional<std::string> ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
