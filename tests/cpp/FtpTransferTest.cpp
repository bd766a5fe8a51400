// Single-file transfers against the real servers: what each server stores
// and sends in ASCII and binary mode, the overwrite rules of GetFile, and
// names and sizes that must pass unchanged.
#include "RemoteWorkspace.h"

#include <chrono>
#include <cstdio>

namespace {

const HRESULT kPutFile = static_cast<HRESULT>(0x80040207);
const HRESULT kGetFile = static_cast<HRESULT>(0x80040208);
const wchar_t* const kGetFileMessage = L"Error getting file from the remote server.";

// Line ends of every kind: LF, CRLF, a lone CR.
const std::string kLines = "a\nb\r\nc\rd\n";

class FtpTransfer : public RemoteWorkspace {
protected:
    // What the server stores when kLines is uploaded in ASCII mode.
    std::string StoredFromAscii() const {
        if (Server().name == "proftpd") return "a\nb\nc\rd\n";    // CRLF becomes LF
        if (Server().name == "pureftpd") return "a\nb\ncd\n";     // every CR is dropped
        return kLines;                                            // vsftpd as configured: no conversion
    }
    // What the server sends when the stored kLines is downloaded in ASCII mode.
    std::string SentAsAscii() const {
        if (Server().name == "proftpd") return "a\r\nb\r\nc\rd\r\n";      // a bare LF gains a CR
        if (Server().name == "pureftpd") return "a\r\nb\r\r\nc\rd\r\n";   // every LF gains a CR
        return kLines;
    }
    // Names of the folder's entries on disk, other than "." and "..".
    std::vector<std::wstring> LocalEntries() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((localFolder_ + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    }
};

TEST_P(FtpTransfer, AsciiIsTheDefaultAndTheServerConvertsLineEnds) {
    ASSERT_TRUE(WriteBytes(LocalFile(L"lines.txt"), kLines));
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"lines.txt"), L"ascii.txt"));
    EXPECT_EQ(StoredFromAscii(), ReadBytes(RemoteFile(L"ascii.txt")).value_or("missing"));

    ASSERT_TRUE(WriteBytes(RemoteFile(L"stored.txt"), kLines));
    ASSERT_EQ(S_OK, GetFile(L"stored.txt", LocalFile(L"ascii-down.txt"), VARIANT_FALSE));
    EXPECT_EQ(SentAsAscii(), ReadBytes(LocalFile(L"ascii-down.txt")).value_or("missing"));
}

TEST_P(FtpTransfer, BinaryIsByteExactAndTypeThreeKeepsThePreviousType) {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>(i * 7 % 256);
    bytes += kLines;
    ASSERT_TRUE(WriteBytes(LocalFile(L"all.bin"), bytes));
    SetTransferType(2);
    SetTransferType(3);
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"all.bin"), L"all.bin"));
    EXPECT_EQ(bytes, ReadBytes(RemoteFile(L"all.bin")).value_or("missing"));
    ASSERT_EQ(S_OK, GetFile(L"all.bin", LocalFile(L"back.bin"), VARIANT_FALSE));
    EXPECT_EQ(bytes, ReadBytes(LocalFile(L"back.bin")).value_or("missing"));

    // The type in force at each call is the one used.
    SetTransferType(1);
    ASSERT_TRUE(WriteBytes(LocalFile(L"lines.txt"), kLines));
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"lines.txt"), L"lines.txt"));
    EXPECT_EQ(StoredFromAscii(), ReadBytes(RemoteFile(L"lines.txt")).value_or("missing"));
}

TEST_P(FtpTransfer, GetFileReplacesAnExistingFileOnlyWhenOverwriteIsTrue) {
    ASSERT_TRUE(WriteBytes(RemoteFile(L"new.txt"), "new content"));
    const std::wstring local = LocalFile(L"existing.txt");
    ASSERT_TRUE(WriteBytes(local, "the good copy"));

    ExpectRaised(kGetFile, GetFile(L"new.txt", local, VARIANT_FALSE), kGetFileMessage, L"GetFile error code: 80 ");
    EXPECT_EQ("the good copy", ReadBytes(local).value_or(""));
    // Only all bits set complements to zero: 1, which only a vtable caller can pass, refuses too.
    ExpectRaised(kGetFile, GetFile(L"new.txt", local, 1), kGetFileMessage, L"GetFile error code: 80 ");
    EXPECT_EQ("the good copy", ReadBytes(local).value_or(""));

    // A failed replacing download keeps the file it was to replace, and leaves nothing beside it.
    ExpectRaised(kGetFile, GetFile(L"missing.txt", local, VARIANT_TRUE), kGetFileMessage, L"550");
    EXPECT_EQ("the good copy", ReadBytes(local).value_or(""));
    EXPECT_EQ(std::vector<std::wstring>{L"existing.txt"}, LocalEntries());

    ASSERT_EQ(S_OK, GetFile(L"new.txt", local, VARIANT_TRUE));
    EXPECT_EQ("new content", ReadBytes(local).value_or(""));
    EXPECT_EQ(std::vector<std::wstring>{L"existing.txt"}, LocalEntries());

    // A replacing download into a folder that does not exist fails like any other.
    ExpectRaised(kGetFile, GetFile(L"new.txt", LocalFile(L"no-folder\\x.txt"), VARIANT_TRUE), kGetFileMessage,
                 L"GetFile error code: 3 ");
    ExpectRaised(kGetFile, GetFile(L"new.txt", LocalFile(L"no-folder\\x.txt"), VARIANT_FALSE), kGetFileMessage,
                 L"GetFile error code: 3 ");
}

TEST_P(FtpTransfer, PutFileFailuresCarryTheirCause) {
    ExpectRaised(kPutFile, PutFile(LocalFile(L"absent.txt"), L"absent.txt"), L"Error putting file to remote server.",
                 L"PutFile error code: 2 ");
    ASSERT_TRUE(WriteBytes(LocalFile(L"one.txt"), "one"));
    ExpectRaised(kPutFile, PutFile(LocalFile(L"one.txt"), L"no-folder/one.txt"), L"Error putting file to remote server.",
                 L"55");
    // An existing remote file is not refused by the component; these servers replace it.
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"one.txt"), L"one.txt"));
    ASSERT_TRUE(WriteBytes(LocalFile(L"one.txt"), "two"));
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"one.txt"), L"one.txt"));
    EXPECT_EQ("two", ReadBytes(RemoteFile(L"one.txt")).value_or(""));
}

TEST_P(FtpTransfer, NamesWithABlankOrANonAsciiCharacterRoundTrip) {
    // A letter of the ANSI code page outside ASCII (e-acute in code page 1252).
    wchar_t accented[2] = {};
    const char byte = static_cast<char>(0xE9);
    ASSERT_EQ(1, MultiByteToWideChar(CP_ACP, 0, &byte, 1, accented, 1));
    for (const std::wstring name : {std::wstring(L"with blank.txt"), L"caf" + std::wstring(accented) + L".txt"}) {
        ASSERT_TRUE(WriteBytes(LocalFile(name), "named"));
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        ASSERT_EQ(S_OK, PutFile(LocalFile(name), name));
        ASSERT_EQ(S_OK, GetFile(name, LocalFile(L"back-" + name), VARIANT_FALSE));
        EXPECT_EQ("named", ReadBytes(LocalFile(L"back-" + name)).value_or(""));
        ASSERT_EQ(S_OK, DeleteFile(name));
    }
}

TEST_P(FtpTransfer, FiftyMegabytesRoundTripWithoutCorruption) {
    std::string bytes(50u * 1000 * 1000, '\0');
    unsigned state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 23);
    }
    ASSERT_TRUE(WriteBytes(LocalFile(L"big.bin"), bytes));
    SetTransferType(2);
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"big.bin"), L"big.bin"));
    ASSERT_EQ(S_OK, GetFile(L"big.bin", LocalFile(L"big-back.bin"), VARIANT_TRUE));
    auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("50 MB round trip (%s): %.2f s\n", ServerModeName(GetParam()).c_str(), elapsed);
    EXPECT_TRUE(bytes == ReadBytes(LocalFile(L"big-back.bin")).value_or("")) << "downloaded bytes differ";
    EXPECT_TRUE(bytes == ReadBytes(RemoteFile(L"big.bin")).value_or("")) << "stored bytes differ";
    ::DeleteFileW(LocalFile(L"big.bin").c_str());
    ::DeleteFileW(LocalFile(L"big-back.bin").c_str());
    DeleteFile(L"big.bin");
}

INSTANTIATE_FOR_EVERY_SERVER(FtpTransfer);

}  // namespace
