// SFTP through Protocol 1: the new settings, host keys pinned or refused,
// every way to log in with the key files ssh-keygen writes, servers that
// stall, and a folder that lists the same over FTP and over SFTP. The
// members themselves run over SFTP in the script suites.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

namespace {

constexpr HRESULT kInvalidProcedureCall = static_cast<HRESULT>(0x800A0005);
constexpr HRESULT kOpenFailed = static_cast<HRESULT>(0x80040202);

int Port(const char* name) { return std::stoi(L"0" + EnvText(name)); }
int SftpPort() { return std::stoi(EnvText("QUORLIN_SFTP_SERVERS").substr(EnvText("QUORLIN_SFTP_SERVERS").find(L':') + 1)); }

void PutText(_FTP4* ftp, HRESULT (STDMETHODCALLTYPE _FTP4::*put)(BSTR), const std::wstring& value, HRESULT expected = S_OK) {
    BSTR text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    EXPECT_EQ(expected, (ftp->*put)(text)) << value.c_str();
    SysFreeString(text);
    if (FAILED(expected)) TakeError();
}

std::wstring GetText(_FTP4* ftp, HRESULT (STDMETHODCALLTYPE _FTP4::*get)(BSTR*)) {
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, (ftp->*get)(&text));
    std::wstring value(text ? text : L"", text ? SysStringLen(text) : 0);
    SysFreeString(text);
    return value;
}

ComPtr<_FTP4> SftpObject(int port, const std::wstring& pins, const std::wstring& password = FtpPassword()) {
    ComPtr<_FTP4> ftp = NewObject<_FTP4>(CLSID_FTP);
    TextArgument url(L"127.0.0.1"), user(FtpUser()), secret(password);
    LONG number = port;
    ftp->put_URL(&url);
    ftp->put_Username(&user);
    ftp->put_Password(&secret);
    ftp->put_Port(&number);
    ftp->put_Timeout(10);
    EXPECT_EQ(S_OK, ftp->put_Protocol(1));
    PutText(ftp.Get(), &_FTP4::put_HostKeyFingerprint, pins);
    return ftp;
}

// Opens, or fails with `code` and a description holding `text`.
void ExpectOpen(_FTP4* ftp, const wchar_t* code, const std::wstring& text, const std::string& what) {
    const HRESULT hr = ftp->OpenConnection();
    if (!code) {
        EXPECT_EQ(S_OK, hr) << what << ": " << (FAILED(hr) ? TakeError().description : std::wstring()).c_str();
        ftp->CloseConnection();
        return;
    }
    EXPECT_EQ(kOpenFailed, hr) << what;
    const std::wstring description = TakeError().description;
    EXPECT_NE(std::wstring::npos, description.find(L"OpenConnection error code: " + std::wstring(code) + L" "))
        << what << ": " << description.c_str();
    EXPECT_NE(std::wstring::npos, description.find(text)) << what << ": " << description.c_str();
}

class Sftp : public testing::Test {
protected:
    void SetUp() override {
        if (EnvText("QUORLIN_SFTP_SERVERS").empty()) GTEST_SKIP() << "no SFTP servers";
    }
};

TEST_F(Sftp, SettingsFollowTheProtocolAndKeepTheirValueAgainstBadOnes) {
    ComPtr<_FTP4> ftp = NewObject<_FTP4>(CLSID_FTP);
    LONG value = -1;
    EXPECT_EQ(S_OK, ftp->get_Protocol(&value));
    EXPECT_EQ(0, value);
    ASSERT_EQ(S_OK, ftp->put_Protocol(1));
    for (LONG bad : {2, -1}) {
        EXPECT_EQ(kInvalidProcedureCall, ftp->put_Protocol(bad));
        EXPECT_EQ(L"Quorlin.FTP", TakeError().source);
    }
    ftp->get_Protocol(&value);
    EXPECT_EQ(1, value);
    ftp->get_Port(&value);
    EXPECT_EQ(22, value) << "a port never set follows the protocol";
    LONG chosen = 2222;
    ftp->put_Port(&chosen);
    ftp->put_Protocol(0);
    ftp->get_Port(&value);
    EXPECT_EQ(2222, value) << "one the script set stays";

    const std::wstring a = EnvText("QUORLIN_SFTP_ECDSA_FINGERPRINT"), b = EnvText("QUORLIN_SFTP_RSA_FINGERPRINT");
    // As ssh-keygen -l and other tools print them: with the key type and bits, or the base64 alone after them.
    for (const std::wstring& good : {a, L"  " + a + L"=  ", a + L", " + b, a + L";" + b + L" " + a, a + L"\r\n" + b,
                                     std::wstring(), L"ecdsa-sha2-nistp256 256 " + a + L", ssh-rsa 3072 " + b,
                                     L"ecdsa-sha2-nistp256 256 " + a.substr(7) + L"=", L"rsa-sha2-512 " + b})
        PutText(ftp.Get(), &_FTP4::put_HostKeyFingerprint, good);
    PutText(ftp.Get(), &_FTP4::put_HostKeyFingerprint, a);
    for (const std::wstring& bad : {a.substr(7), a.substr(0, a.size() - 1), a + L"AA", a + L"!", std::wstring(L"ssh-ed25519 255"),
                                    L"ssh-dss 1024 " + a, L"256 " + a, L"ssh-rsa ssh-rsa " + b})
        PutText(ftp.Get(), &_FTP4::put_HostKeyFingerprint, bad, kInvalidProcedureCall);
    // MD5, as old tools print it, says what is needed instead.
    for (const std::wstring md5 : {L"MD5:" + a.substr(7), std::wstring(L"3f:1a:09:44:8c:2e:61:b7:5d:90:aa:0e:13:c4:77:d2")}) {
        BSTR text = SysAllocString(md5.c_str());
        EXPECT_EQ(kInvalidProcedureCall, ftp->put_HostKeyFingerprint(text));
        SysFreeString(text);
        EXPECT_NE(std::wstring::npos, TakeError().description.find(L"SHA-256 fingerprint")) << md5.c_str();
    }
    EXPECT_EQ(a, GetText(ftp.Get(), &_FTP4::get_HostKeyFingerprint)) << "kept as given";
    PutText(ftp.Get(), &_FTP4::put_PrivateKeyFile, L"C:\\keys\\id");
    PutText(ftp.Get(), &_FTP4::put_PrivateKeyPassphrase, L"secret");
    EXPECT_EQ(L"C:\\keys\\id", GetText(ftp.Get(), &_FTP4::get_PrivateKeyFile));
    EXPECT_EQ(L"secret", GetText(ftp.Get(), &_FTP4::get_PrivateKeyPassphrase));
}

// A key that is not pinned is refused before any credential goes out, and
// named so that it can be pinned once checked; a pin of any of a server's
// keys opens, whichever it shows first.
TEST_F(Sftp, HostKeysArePinnedOrRefusedWithTheirFingerprint) {
    const std::wstring ecdsa = EnvText("QUORLIN_SFTP_ECDSA_FINGERPRINT"), rsa = EnvText("QUORLIN_SFTP_RSA_FINGERPRINT");
    const std::wstring ed25519 = EnvText("QUORLIN_SFTP_ED25519_FINGERPRINT"), none = L"SHA256:" + std::wstring(43, L'A');
    const struct {
        int port;
        std::wstring pins;
        const wchar_t* code;
        std::wstring text;
    } cases[] = {
        {SftpPort(), L"", L"12045", L"The server's host key is ssh-ed25519 " + ed25519 + L"."},
        {SftpPort(), none, L"12045", L"The server's host key is ssh-ed25519 " + ed25519 + L". Its other host keys: "
                                     L"ecdsa-sha2-nistp256 " + ecdsa + L", ssh-rsa " + rsa + L"."},
        {SftpPort(), L"ssh-ed25519 255 " + none, L"12045", L"The server's host key is ssh-ed25519 " + ed25519 + L"."},
        {SftpPort(), rsa, nullptr, L""},
        {SftpPort(), L"ssh-rsa 3072 " + rsa, nullptr, L""},
        {SftpPort(), ecdsa + L" " + none, nullptr, L""},
        {Port("QUORLIN_SFTP_RSA_ONLY_PORT"), rsa, nullptr, L""},
        {Port("QUORLIN_SFTP_RSA_ONLY_PORT"), ed25519, L"12045", L"The server's host key is ssh-rsa " + rsa + L"."},
        {Port("QUORLIN_SFTP_ED25519_ONLY_PORT"), ed25519, nullptr, L""},
        {Port("QUORLIN_SFTP_ASYNCSSH_PORT"), rsa + L" " + ecdsa, nullptr, L""},
    };
    for (const auto& c : cases) ExpectOpen(SftpObject(c.port, c.pins).Get(), c.code, c.text, std::to_string(c.port));
}

// Private key files alone (no public key beside them), in the formats
// ssh-keygen, openssl and puttygen write, and the failures each can give.
TEST_F(Sftp, EveryWayToLogIn) {
    const std::wstring keys = EnvText("QUORLIN_SFTP_KEYS") + L"\\client\\", passphrase = EnvText("QUORLIN_SFTP_KEY_PASSPHRASE");
    const struct {
        const wchar_t* key;  // null: by password
        std::wstring passphrase;
        std::wstring password;
        const wchar_t* code;
        const wchar_t* text;
    } cases[] = {
        {nullptr, L"", FtpPassword(), nullptr, L""},
        {nullptr, L"", L"wrong", L"12015", L""},
        {L"rsa_openssh", L"", L"", nullptr, L""},
        {L"rsa_openssh_encrypted", passphrase, L"", nullptr, L""},
        {L"rsa_pkcs1.pem", L"", L"", nullptr, L""},
        {L"rsa_pkcs1_encrypted.pem", passphrase, L"", nullptr, L""},
        {L"rsa_pkcs8.pem", L"", L"", nullptr, L""},
        {L"rsa_pkcs8_encrypted.pem", passphrase, L"", nullptr, L""},
        {L"ecdsa_openssh", L"", L"", nullptr, L""},
        {L"ecdsa_openssh_encrypted", passphrase, L"", nullptr, L""},
        {L"ecdsa_sec1.pem", L"", L"", nullptr, L""},
        {L"ecdsa_sec1_encrypted.pem", passphrase, L"", nullptr, L""},
        {L"ecdsa_pkcs8.pem", L"", L"", nullptr, L""},
        {L"ecdsa_pkcs8_encrypted.pem", passphrase, L"", nullptr, L""},
        {L"rsa_openssh_encrypted", L"wrong", L"", L"86", L"passphrase is wrong"},
        {L"ecdsa_sec1_encrypted.pem", L"", L"", L"86", L"passphrase is wrong"},
        {L"missing", L"", L"", L"2", L"does not exist"},
        {L"..\\public\\rsa.pub", L"", L"", L"13", L"no key of a known format"},
        {L"ed25519_openssh", L"", L"", nullptr, L""},
        {L"ed25519_openssh_encrypted", passphrase, L"", nullptr, L""},
        {L"dsa_openssh", L"", L"", L"50", L"type ssh-dss is not supported"},
        {L"ed25519_v2.ppk", L"", L"", nullptr, L""},
        {L"ed25519_v2_encrypted.ppk", passphrase, L"", nullptr, L""},
        {L"ed25519_v3.ppk", L"", L"", nullptr, L""},
        {L"ed25519_v3_encrypted.ppk", passphrase, L"", nullptr, L""},
        {L"ecdsa_v2.ppk", L"", L"", nullptr, L""},
        {L"ecdsa_v2_encrypted.ppk", passphrase, L"", nullptr, L""},
        {L"ecdsa_v3.ppk", L"", L"", nullptr, L""},
        {L"ecdsa_v3_encrypted.ppk", passphrase, L"", nullptr, L""},
        {L"ecdsa_v3_encrypted_crlf.ppk", passphrase, L"", nullptr, L""},
        {L"rsa_v2.ppk", L"", L"", nullptr, L""},
        {L"rsa_v2_encrypted.ppk", passphrase, L"", nullptr, L""},
        {L"rsa_v3.ppk", L"", L"", nullptr, L""},
        {L"rsa_v3_encrypted.ppk", passphrase, L"", nullptr, L""},
        {L"rsa_v2_encrypted.ppk", L"wrong", L"", L"86", L"passphrase is wrong"},
        {L"ecdsa_v3_encrypted.ppk", L"", L"", L"86", L"passphrase is wrong"},
        {L"ed25519_v3_costly.ppk", passphrase, L"", L"50", L"more key derivation work"},
        {L"ed25519_v2_damaged.ppk", L"", L"", L"13", L"its MAC does not match"},
        {L"rsa_v3_truncated.ppk", L"", L"", L"13", L"no key of a known format"},
        {L"rsa_v9.ppk", L"", L"", L"13", L"no key of a known format"},
        {L"unknown_rsa_pkcs1.pem", L"", L"", L"12015", L""},
        {L"rsa_openssh_costly", passphrase, L"", L"50", L"more key derivation work"},
        {L"rsa_pkcs8_costly.pem", passphrase, L"", L"50", L"more key derivation work"},
    };
    const std::wstring pins = EnvText("QUORLIN_SFTP_OPENSSH_FINGERPRINTS");
    // Every login is logged to one file, which must never hold a secret.
    const std::wstring log = Scratch() + L"\\logins.log";
    DeleteFileW(log.c_str());
    auto logged = [&](ComPtr<_FTP4> ftp) {
        ComPtr<_FTP6> newest;
        EXPECT_EQ(S_OK, ftp.As(&newest));
        BSTR path = SysAllocString(log.c_str());
        EXPECT_EQ(S_OK, newest->put_LogFile(path));
        SysFreeString(path);
        return ftp;
    };
    size_t keysAccepted = 0;
    // On OpenSSH, then on asyncssh, a second implementation (its server-sig-algs names each algorithm twice).
    for (size_t i = 0; i < 2 * std::size(cases); ++i) {
        const auto& c = cases[i % std::size(cases)];
        ComPtr<_FTP4> ftp = logged(SftpObject(i < std::size(cases) ? SftpPort() : Port("QUORLIN_SFTP_ASYNCSSH_PORT"), pins, c.password));
        if (c.key) PutText(ftp.Get(), &_FTP4::put_PrivateKeyFile, keys + c.key);
        PutText(ftp.Get(), &_FTP4::put_PrivateKeyPassphrase, c.passphrase);
        ExpectOpen(ftp.Get(), c.code, c.text, c.key ? std::string(c.key, c.key + wcslen(c.key)) : "password");
        keysAccepted += c.key && !c.code;
    }
    // A server that offers keyboard-interactive alone gets the password for its prompt.
    ExpectOpen(logged(SftpObject(Port("QUORLIN_SFTP_KBDINT_PORT"), pins)).Get(), nullptr, L"", "keyboard-interactive");
    ExpectOpen(SftpObject(Port("QUORLIN_SFTP_KBDINT_PORT"), pins, L"wrong").Get(), L"12015", L"", "kbdint, wrong");
    const std::string text = ReadBytes(log).value_or("");
    auto count = [&](const std::string& part) {
        size_t found = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
        return found;
    };
    EXPECT_EQ(keysAccepted, count("- login by public key: accepted"));
    EXPECT_EQ(1u, count("- login by keyboard-interactive: accepted"));
    EXPECT_EQ(2u, count("- login by password: refused"));
    for (const std::wstring& secret : {passphrase, FtpPassword()})
        EXPECT_EQ(0u, count(std::string(secret.begin(), secret.end()))) << "a secret in the log";
}

// A banner that never comes, lines that are none (a server may send lines
// before its banner), or a key exchange that never starts end at the limit;
// the object opens again afterwards.
TEST_F(Sftp, ServersThatStallOrSpeakAnotherProtocol) {
    const int stall = std::stoi(EnvText("QUORLIN_STALL_PORT"));
    for (int offset : {1, 2, 8}) {
        ComPtr<_FTP4> ftp = SftpObject(stall + offset, EnvText("QUORLIN_SFTP_OPENSSH_FINGERPRINTS"));
        ftp->put_Timeout(2);
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(kOpenFailed, ftp->OpenConnection());
        const ULONGLONG took = GetTickCount64() - started;
        const std::wstring text = TakeError().description;
        EXPECT_LE(took, 4000u) << offset;
        EXPECT_NE(std::wstring::npos, text.find(L"error code: 12002 ")) << text.c_str();
        LONG port = SftpPort();
        ftp->put_Port(&port);
        ExpectOpen(ftp.Get(), nullptr, L"", "again");
    }
}

// A download whose server stops answering, or whose connection ends, half
// way: no success, the old local file stays, the temporary file goes, and
// the object opens again.
TEST_F(Sftp, DownloadsCutHalfWayNeverSucceed) {
    const std::wstring folder = Scratch() + L"\\sftp-cut", kept = folder + L"\\kept.bin";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(kept, "the old content"));
    for (const wchar_t* name : {L"stall.bin", L"drop.bin"}) {
        ComPtr<_FTP4> ftp = SftpObject(Port("QUORLIN_SFTP_STALL_PORT"), EnvText("QUORLIN_SFTP_ECDSA_FINGERPRINT"));
        ftp->put_Timeout(2);
        Ftp_Transfer_Type binary = TransferBinary;
        ftp->put_TransferType(&binary);
        ASSERT_EQ(S_OK, ftp->OpenConnection()) << name;
        TextArgument remote(name), local(kept);
        VARIANT_BOOL overwrite = VARIANT_TRUE;
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(static_cast<HRESULT>(0x80040208), ftp->GetFile(&remote, &local, &overwrite)) << name;
        EXPECT_LE(GetTickCount64() - started, 4000u) << name;
        const std::wstring text = TakeError().description;
        EXPECT_NE(std::wstring::npos, text.find(name[0] == L's' ? L"error code: 12002 " : L"error code: 12030 "))
            << text.c_str();
        EXPECT_EQ("the old content", ReadBytes(kept).value_or(""));
        TextArgument whole(L"whole.bin");
        ftp->CloseConnection();
        ASSERT_EQ(S_OK, ftp->OpenConnection()) << "again after " << name;
        EXPECT_EQ(S_OK, ftp->GetFile(&whole, &local, &overwrite));
        EXPECT_EQ(65536u, ReadBytes(kept).value_or("").size());
        ASSERT_TRUE(WriteBytes(kept, "the old content"));
    }
    // A resumed download cut the same way keeps what arrived, and the next one
    // fetches only the rest.
    std::string content(65536, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
    const std::wstring resumed = folder + L"\\resumed.bin";
    DeleteFileW(resumed.c_str());
    TextArgument drop(L"drop.bin"), local(resumed);
    for (HRESULT expected : {static_cast<HRESULT>(0x80040214), S_OK}) {
        ComPtr<_FTP4> ftp = SftpObject(Port("QUORLIN_SFTP_STALL_PORT"), EnvText("QUORLIN_SFTP_ECDSA_FINGERPRINT"));
        ftp->put_Timeout(2);
        ASSERT_EQ(S_OK, ftp->OpenConnection());
        EXPECT_EQ(expected, ftp->ResumeGetFile(*&drop, *&local));
        const std::string arrived = ReadBytes(resumed).value_or("");
        EXPECT_EQ(content.substr(0, arrived.size()), arrived);
        EXPECT_EQ(expected == S_OK, arrived.size() == content.size()) << arrived.size();
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*.tmp").c_str(), &entry);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find) << "no temporary file stays";
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// The most address space the process holds while `call` runs, beyond what it held before: sampled (the
// platform keeps no true peak), and reserved, not committed (pages are committed only when touched).
SIZE_T MemoryDuring(const std::function<void()>& call) {
    const auto held = [] {
        using Query = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
        static const auto query = reinterpret_cast<Query>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
        struct {
            SIZE_T peakVirtualSize, virtualSize;
            ULONG pageFaultCount;
            SIZE_T rest[8];
        } counters = {};
        query(GetCurrentProcess(), 3, &counters, sizeof counters, nullptr);  // ProcessVmCounters
        return counters.virtualSize;
    };
    const SIZE_T before = held();
    std::atomic<SIZE_T> peak{before};
    std::atomic<bool> done{false};
    std::thread sampler([&] {
        for (; !done; Sleep(1)) peak = std::max<SIZE_T>(peak, held());
    });
    call();
    done = true;
    sampler.join();
    return peak - before;
}

// A member failed with `expected` and a description holding `text`.
void Says(unsigned long expected, HRESULT got, const std::wstring& text) {
    EXPECT_EQ(static_cast<HRESULT>(expected), got);
    const std::wstring description = FAILED(got) ? TakeError().description : std::wstring();
    EXPECT_NE(std::wstring::npos, description.find(text)) << description.c_str();
}

// What a hostile server answers: short or long reads, a size it claims, names
// of any length and byte, a listing without end, a login it answers late.
TEST_F(Sftp, WhatAServerAnswersIsReadAsItIsAndBoundedWhereItHasNoEnd) {
    const std::wstring pin = EnvText("QUORLIN_SFTP_ECDSA_FINGERPRINT"), local = Scratch() + L"\\sftp-hostile.bin";
    ComPtr<_FTP4> ftp = SftpObject(Port("QUORLIN_SFTP_STALL_PORT"), pin);
    ftp->put_Timeout(0);  // reads in large pieces, many requests on their way at once
    Ftp_Transfer_Type binary = TransferBinary;
    ftp->put_TransferType(&binary);
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    VARIANT_BOOL yes = VARIANT_TRUE;
    TextArgument shortReads(L"short.bin"), longReads(L"long.bin"), target(local), names(L"/names"), endless(L"/endless");
    EXPECT_EQ(S_OK, ftp->GetFile(&shortReads, &target, &yes)) << "read on from where the data ended";
    std::string content(65536, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
    EXPECT_EQ(content, ReadBytes(local).value_or(""));
    Says(0x80040208, ftp->GetFile(&longReads, &target, &yes), L"12152 Message: The server broke the SFTP protocol: FXP_READ");
    ftp->put_Timeout(3);
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    BSTR text = nullptr;
    VARIANT noCodePage = {};
    EXPECT_LT(MemoryDuring([&] { EXPECT_EQ(S_OK, ftp->GetText(*&TextArgument(L"claims.bin"), noCodePage, &text)); }),
              64u << 20) << "the size claimed reserved nothing like it";
    EXPECT_EQ(std::wstring(L"tiny"), text ? text : L"");
    SysFreeString(text);
    // Names whole at any length; one that would break the text listing's lines fails it.
    ComPtr<_FTPFiles> files;
    ASSERT_EQ(S_OK, ftp->put_Directory(&names));
    ASSERT_EQ(S_OK, ftp->Files(&files));
    LONG count = 0;
    files->Count(&count);
    EXPECT_EQ(4, count);
    for (const std::wstring& name : {std::wstring(100, L'\x65E5'), std::wstring(5000, L'n'), std::wstring(L"cr\r\nlf.txt")}) {
        ComPtr<_FTPFile> entry;
        EXPECT_EQ(S_OK, files->Item(*&TextArgument(name), &entry)) << name.size();
    }
    Directory_Listing_Type everything = static_cast<Directory_Listing_Type>(63);
    Says(0x80040204, ftp->GetDirectoryListing(&everything, &text), L"GetDirectoryListing error code: 123 ");
    // A listing without end fails at the limit, and the work given up stops; without a limit, at its most entries.
    ASSERT_EQ(S_OK, ftp->put_Directory(&endless));
    Says(0x80040204, ftp->Files(&files), L"error code: 12002 ");
    Sleep(1500);
    EXPECT_LT(MemoryDuring([] { Sleep(3000); }), 8u << 20) << "the abandoned listing stopped";
    ftp->put_Timeout(0);
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    ASSERT_EQ(S_OK, ftp->put_Directory(&endless));
    Says(0x80040204, ftp->Files(&files), L"The server listed more than 200,000 entries");
    ftp->CloseConnection();
    // An opening that ran out of time sends no password afterwards.
    ComPtr<_FTP4> late = SftpObject(Port("QUORLIN_SFTP_STALL_PORT"), pin);
    TextArgument slowUser(L"slowauth");
    late->put_Username(&slowUser);
    late->put_Timeout(2);
    Says(kOpenFailed, late->OpenConnection(), L"error code: 12002 ");
    Sleep(4000);
    ftp->put_Timeout(5);
    ASSERT_EQ(S_OK, ftp->OpenConnection());
    double passwords = -1;
    EXPECT_EQ(S_OK, ftp->FileSize(*&TextArgument(L"slowauth-passwords"), &passwords));
    EXPECT_EQ(0, passwords);
}

// One folder, listed over FTP and over SFTP: the same entries and columns.
TEST_F(Sftp, AFolderListsAlikeOverFtpAndOverSftp) {
    const std::wstring folder = L"sftp-listing-" + std::to_wstring(sizeof(void*) * 8), home = FtpHomeWindows() + L"\\" + folder;
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"\\sub").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(home + L"\\one.txt", "twelve bytes") && WriteBytes(home + L"\\old.bin", std::string(70000, 'x')));
    const SYSTEMTIME old = {2002, 3, 0, 5, 14, 7, 9, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&old, &stamp);
    HANDLE file = CreateFileW((home + L"\\old.bin").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, &stamp, &stamp, &stamp);
    CloseHandle(file);
    std::wstring texts[2];
    for (LONG protocol : {0, 1}) {
        ComPtr<_FTP4> ftp = SftpObject(protocol ? SftpPort() : FtpServers()[0].port, EnvText("QUORLIN_SFTP_OPENSSH_FINGERPRINTS"));
        ftp->put_Protocol(protocol);
        ASSERT_EQ(S_OK, ftp->OpenConnection()) << protocol;
        TextArgument directory(folder);
        ASSERT_EQ(S_OK, ftp->put_Directory(&directory));
        Directory_Listing_Type everything = static_cast<Directory_Listing_Type>(63);
        BSTR text = nullptr;
        ASSERT_EQ(S_OK, ftp->GetDirectoryListing(&everything, &text));
        texts[protocol].assign(text, SysStringLen(text));
        SysFreeString(text);
    }
    // The servers' orders may differ: compare the lines as sets.
    auto lines = [](const std::wstring& text) {
        std::multiset<std::wstring> set;
        for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
            set.insert(text.substr(start, end - start));
        return set;
    };
    EXPECT_EQ(lines(texts[0]), lines(texts[1])) << texts[0].c_str() << "\n" << texts[1].c_str();
    EXPECT_EQ(3u, lines(texts[1]).size());
}

}  // namespace
