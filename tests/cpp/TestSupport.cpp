#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

}  // namespace

std::wstring EnvText(const char* name) {
    std::wstring result;
    for (const char* text = std::getenv(name); text && *text; ++text) result += static_cast<wchar_t>(*text);
    return result;
}

HMODULE LoadComponent() {
    const char* dll = std::getenv("QUORLIN_DLL");
    return LoadLibraryA(dll ? dll : "quorlin.dll");
}

LateCall::~LateCall() {
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

std::wstring LateCall::Description() const {
    return exception.bstrDescription ? exception.bstrDescription : L"";
}
std::wstring LateCall::Source() const { return exception.bstrSource ? exception.bstrSource : L""; }

ComPtr<IDispatch> CreateByProgId(const wchar_t* progId) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    return object;
}

void CallByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> arguments, LateCall& call) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    call.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(call.hr)) {
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (flags & DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &putId;
            params.cNamedArgs = 1;
        }
        UINT argumentError = 0;
        call.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 (flags & DISPATCH_PROPERTYPUT) ? nullptr : &call.result, &call.exception,
                                 &argumentError);
    }
    for (VARIANT& argument : arguments) VariantClear(&argument);
}

RaisedError TakeError() {
    RaisedError raised;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        BSTR text = nullptr;
        if (SUCCEEDED(info->GetSource(&text)) && text) raised.source = text;
        SysFreeString(text);
        text = nullptr;
        if (SUCCEEDED(info->GetDescription(&text)) && text) raised.description = text;
        SysFreeString(text);
        info->Release();
    }
    return raised;
}

TextArgument::TextArgument(const std::wstring& text) : value_(Text(text.c_str())) {}
TextArgument::~TextArgument() { VariantClear(&value_); }

void ExpectRaised(HRESULT code, HRESULT got, const std::wstring& message, const std::wstring& textStart) {
    EXPECT_EQ(code, got);
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.FTP", error.source);
    EXPECT_EQ(message + textStart, error.description.substr(0, message.size() + textStart.size()))
        << std::string(error.description.begin(), error.description.end());
}

VARIANT Text(const wchar_t* text) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
    return value;
}

VARIANT Number(LONG number) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    return value;
}

std::wstring ReadText(const VARIANT& value) {
    VARIANT converted;
    VariantInit(&converted);
    std::wstring text;
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR)) && V_BSTR(&converted))
        text = V_BSTR(&converted);
    VariantClear(&converted);
    return text;
}

std::vector<FtpServer> FtpServers() {
    // QUORLIN_FTP_SERVERS="vsftpd:21021 proftpd:21022 ..."
    std::vector<FtpServer> servers;
    const char* list = std::getenv("QUORLIN_FTP_SERVERS");
    std::istringstream stream(list ? list : "");
    std::string entry;
    while (stream >> entry) {
        size_t colon = entry.find(':');
        if (colon == std::string::npos) continue;
        servers.push_back({entry.substr(0, colon), std::atoi(entry.c_str() + colon + 1)});
    }
    return servers;
}

void PrintTo(const FtpServer& server, std::ostream* stream) { *stream << server.name << ":" << server.port; }

std::wstring FtpUser() { return EnvText("QUORLIN_FTP_USER"); }
std::wstring FtpPassword() { return EnvText("QUORLIN_FTP_PASSWORD"); }

std::wstring FtpHomeUnix() { return EnvText("QUORLIN_FTP_HOME"); }

std::wstring FtpHomeWindows() {
    std::wstring path = L"Z:" + FtpHomeUnix();
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring Scratch() { return EnvText("QUORLIN_SCRATCH"); }

ComPtr<_FTP> ConnectedFtp(const FtpServer& server, bool passive, const std::wstring& password, HRESULT& opened) {
    ComPtr<_FTP> ftp;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FTP, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&ftp)));
    VARIANT url = Text(L"127.0.0.1"), user = Text(FtpUser().c_str()), secret = Text(password.c_str());
    ftp->put_URL(&url);
    ftp->put_Username(&user);
    ftp->put_Password(&secret);
    for (VARIANT* v : {&url, &user, &secret}) VariantClear(v);
    LONG port = server.port;
    ftp->put_Port(&port);
    VARIANT_BOOL mode = passive ? VARIANT_TRUE : VARIANT_FALSE;
    ftp->put_Passive(&mode);
    opened = ftp->OpenConnection();
    return ftp;
}

std::vector<ServerMode> ServerModes() {
    std::vector<ServerMode> modes;
    for (const FtpServer& server : FtpServers()) {
        modes.emplace_back(server, true);
        modes.emplace_back(server, false);
    }
    return modes;
}

std::vector<ServerMode> PassiveServerModes() {
    std::vector<ServerMode> modes;
    for (const FtpServer& server : FtpServers()) modes.emplace_back(server, true);
    return modes;
}

std::string ServerModeName(const ServerMode& mode) {
    return std::get<0>(mode).name + (std::get<1>(mode) ? "_passive" : "_active");
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

std::optional<std::vector<MIB_TCPROW>> TcpRows() {
    ULONG size = 0;
    GetTcpTable(nullptr, &size, FALSE);
    std::vector<BYTE> buffer(size + 65536);
    auto* table = reinterpret_cast<MIB_TCPTABLE*>(buffer.data());
    size = static_cast<ULONG>(buffer.size());
    if (GetTcpTable(table, &size, FALSE) != NO_ERROR) return std::nullopt;
    return std::vector<MIB_TCPROW>(table->table, table->table + table->dwNumEntries);
}

int TcpConnections(int port, DWORD state, bool remoteEnd) {
    const std::optional<std::vector<MIB_TCPROW>> rows = TcpRows();
    if (!rows) return -1;
    int connections = 0;
    for (const MIB_TCPROW& row : *rows) {
        const DWORD end = remoteEnd ? row.dwRemotePort : row.dwLocalPort;
        if (row.dwState == state && ntohs(static_cast<u_short>(end)) == port) ++connections;
    }
    return connections;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
