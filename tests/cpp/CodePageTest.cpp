// Names in any language: the CodePage of remote names against the real
// servers, and local paths outside the ANSI code page.
#include "RemoteWorkspace.h"

#include <algorithm>
#include <set>

namespace {

const HRESULT kInvalidProcedureCall = static_cast<HRESULT>(0x800A0005);
const HRESULT kCreateDirectoryError = static_cast<HRESULT>(0x80040205);
const HRESULT kSetDirectoryError = static_cast<HRESULT>(0x80040203);
const HRESULT kPutFileError = static_cast<HRESULT>(0x80040207);
const HRESULT kGetFileError = static_cast<HRESULT>(0x80040208);
const HRESULT kRenameFileError = static_cast<HRESULT>(0x80040206);
const HRESULT kDeleteFileError = static_cast<HRESULT>(0x80040209);

const std::wstring kGreek = L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac";
const std::wstring kJapanese = L"\u65e5\u672c\u8a9e";
// Outside the basic plane: surrogate pairs, the second with its low half in U+DC80 to U+DCFF.
const std::wstring kEmoji = L"smile\U0001F600\U0001F4C1";
// Without blanks: the platform's listing parser cuts a name at its first one.
const std::wstring kStems[] = {L"r\u00e9sum\u00e9", L"Gr\u00fc\u00dfe", kGreek, kJapanese, kEmoji};

// Whether the ANSI code page carries every byte through the ANSI entry
// points unchanged (1252 does; a multi-byte code page such as 932 does not),
// which any code page other than the ANSI one relies on.
bool AnsiKeepsEveryByte() {
    for (int byte = 1; byte < 256; ++byte) {
        const char in = static_cast<char>(byte);
        wchar_t wide[2] = {};
        char out[4] = {};
        if (MultiByteToWideChar(CP_ACP, 0, &in, 1, wide, 2) != 1) return false;
        if (WideCharToMultiByte(CP_ACP, 0, wide, 1, out, 4, nullptr, nullptr) != 1 || out[0] != in) return false;
    }
    return true;
}

ComPtr<_FTP2> Second(const ComPtr<_FTP>& ftp) {
    ComPtr<_FTP2> second;
    EXPECT_EQ(S_OK, ftp.As(&second));
    return second;
}

std::set<std::wstring> ListedNames(_FTP* ftp) {
    std::set<std::wstring> names;
    ComPtr<_FTPFiles> files;
    if (FAILED(ftp->Files(&files))) return names;
    LONG count = 0;
    files->Count(&count);
    for (LONG i = 1; i <= count; ++i) {
        ComPtr<_FTPFile> entry;
        VARIANT position;
        VariantInit(&position);
        V_VT(&position) = VT_I4;
        V_I4(&position) = i;
        BSTR name = nullptr;
        if (SUCCEEDED(files->Item(position, &entry)) && SUCCEEDED(entry->get_Filename(&name)))
            names.insert(std::wstring(name, SysStringLen(name)));
        SysFreeString(name);
    }
    return names;
}

std::wstring ListingText(_FTP* ftp) {
    Directory_Listing_Type type = static_cast<Directory_Listing_Type>(0x3F);
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, ftp->GetDirectoryListing(&type, &text));
    std::wstring listing(text ? text : L"", text ? SysStringLen(text) : 0);
    SysFreeString(text);
    return listing;
}

std::string Utf8(const std::wstring& text) {
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, nullptr));
    return bytes;
}

class CodePages : public RemoteWorkspace {
protected:
    void SetUp() override {
        RemoteWorkspace::SetUp();
        if (HasFatalFailure()) return;
        if (!AnsiKeepsEveryByte()) GTEST_SKIP() << "the ANSI code page does not carry every byte (see the note)";
        ftp2_ = Second(ftp_);
        ASSERT_EQ(S_OK, ftp2_->put_CodePage(CP_UTF8));
    }
    ComPtr<_FTP2> ftp2_;
};

TEST_P(CodePages, EveryMemberTakesAndGivesNamesInUtf8) {
    SetTransferType(2);
    for (const std::wstring& stem : kStems) {
        const std::wstring name = stem + L".txt", content = L"content of " + stem;
        SCOPED_TRACE(Utf8(name));
        ASSERT_TRUE(WriteBytes(LocalFile(L"up-" + name), Utf8(content)));
        ASSERT_EQ(S_OK, PutFile(LocalFile(L"up-" + name), name));
        // The host shows the server's file under its UTF-8 name.
        EXPECT_EQ(Utf8(content), ReadBytes(RemoteFile(name)).value_or("(missing)"));
        ASSERT_EQ(S_OK, GetFile(name, LocalFile(L"down-" + name), VARIANT_TRUE));
        EXPECT_EQ(Utf8(content), ReadBytes(LocalFile(L"down-" + name)).value_or("(missing)"));
        ExpectRaised(kGetFileError, GetFile(name, LocalFile(L"down-" + name), VARIANT_FALSE),
                     L"Error getting file from the remote server.", L"GetFile error code: 80 ");
        ASSERT_EQ(S_OK, RenameFile(name, L"re-" + name));
        EXPECT_TRUE(FileExists(RemoteFile(L"re-" + name)));

        const std::wstring folder = L"in-" + stem;
        ASSERT_EQ(S_OK, CreateDirectory(folder));
        ASSERT_EQ(S_OK, SetDirectory(folder));
        const std::wstring here = Directory();
        EXPECT_EQ(L"/" + folder, here.substr(here.size() - std::min(here.size(), folder.size() + 1)));
        ASSERT_EQ(S_OK, SetDirectory(L".."));
    }
    std::set<std::wstring> expected;
    for (const std::wstring& stem : kStems) {
        expected.insert(L"re-" + stem + L".txt");
        expected.insert(L"in-" + stem);
    }
    std::set<std::wstring> listed = ListedNames(ftp_.Get());
    listed.erase(L".");
    listed.erase(L"..");
    EXPECT_EQ(expected, listed);
    const std::wstring listing = ListingText(ftp_.Get());
    for (const std::wstring& name : expected) EXPECT_NE(std::wstring::npos, listing.find(name)) << Utf8(name);

    // A refusal that names the file in the server's reply reads it back in UTF-8 too.
    const std::wstring missing = L"missing-" + kGreek + L".txt";
    const HRESULT refused = DeleteFile(missing);
    EXPECT_EQ(kDeleteFileError, refused);
    const RaisedError error = TakeError();
    if (Server().name == "proftpd") EXPECT_NE(std::wstring::npos, error.description.find(kGreek)) << Utf8(error.description);

    for (const std::wstring& stem : kStems) {
        EXPECT_EQ(S_OK, DeleteFile(L"re-" + stem + L".txt"));
        EXPECT_EQ(S_OK, RemoveDirectory(L"in-" + stem));
    }
    EXPECT_TRUE(ListedNames(ftp_.Get()).size() <= 2) << "only . and .. left";
}

TEST_P(CodePages, TreesKeepTheirNamesBothWays) {
    const std::wstring tree = LocalFile(kJapanese);
    ASSERT_TRUE(::CreateDirectoryW(tree.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((tree + L"\\" + kGreek).c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(tree + L"\\" + kEmoji + L".txt", "emoji"));
    ASSERT_TRUE(WriteBytes(tree + L"\\" + kGreek + L"\\r\u00e9sum\u00e9.txt", "greek"));
    ASSERT_EQ(S_OK, CreateDirectory(L"up-" + kJapanese));
    const std::wstring remote = Directory() + L"/up-" + kJapanese;
    TextArgument localPath(tree), remotePath(remote), down(LocalFile(L"down-" + kGreek));
    VARIANT_BOOL yes = VARIANT_TRUE;
    ASSERT_EQ(S_OK, ftp_->PutDirectory(&localPath, &remotePath, &yes));
    EXPECT_EQ("greek", ReadBytes(RemoteFile(L"up-" + kJapanese + L"\\" + kGreek + L"\\r\u00e9sum\u00e9.txt"))
                           .value_or("(missing)"));
    ASSERT_EQ(S_OK, ftp_->GetDirectory(&remotePath, &down, &yes, &yes));
    EXPECT_EQ("emoji", ReadBytes(LocalFile(L"down-" + kGreek + L"\\" + kEmoji + L".txt")).value_or("(missing)"));
    EXPECT_EQ("greek",
              ReadBytes(LocalFile(L"down-" + kGreek + L"\\" + kGreek + L"\\r\u00e9sum\u00e9.txt")).value_or("(missing)"));
}

TEST_P(CodePages, CodePageZeroShowsTheRawBytesAsToday) {
    const std::wstring name = L"r\u00e9sum\u00e9.txt";
    ASSERT_TRUE(WriteBytes(LocalFile(L"source.txt"), "x"));
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"source.txt"), name));
    ASSERT_EQ(S_OK, ftp2_->put_CodePage(0));
    // Each UTF-8 byte read as one character of the ANSI code page.
    std::set<std::wstring> listed = ListedNames(ftp_.Get());
    EXPECT_EQ(1u, listed.count(L"r\u00c3\u00a9sum\u00c3\u00a9.txt")) << Utf8(*listed.rbegin());
    EXPECT_NE(S_OK, GetFile(name, LocalFile(L"back.txt"), VARIANT_TRUE));
    TakeError();
    EXPECT_EQ(S_OK, GetFile(L"r\u00c3\u00a9sum\u00c3\u00a9.txt", LocalFile(L"back.txt"), VARIANT_TRUE));
}

// A name the code page cannot read lists with each byte from 0x80 up as
// U+DC80 to U+DCFF, and the members given that name reach that very entry;
// a tree download stops there.
TEST_P(CodePages, NamesTheCodePageCannotReadKeepTheirBytes) {
    ASSERT_TRUE(WriteBytes(LocalFile(L"source.txt"), "raw"));
    ASSERT_EQ(S_OK, ftp2_->put_CodePage(1252));  // the single bytes FF and FE: no UTF-8
    for (const wchar_t* name : {L"\u00ff.txt", L"\u00fe.txt"}) ASSERT_EQ(S_OK, PutFile(LocalFile(L"source.txt"), name));
    ASSERT_EQ(S_OK, ftp2_->put_CodePage(CP_UTF8));
    EXPECT_EQ(1u, ListedNames(ftp_.Get()).count(L"\xDCFE.txt"));
    ASSERT_EQ(S_OK, GetFile(L"\xDCFF.txt", LocalFile(L"back.txt"), VARIANT_TRUE));
    EXPECT_EQ("raw", ReadBytes(LocalFile(L"back.txt")).value_or(""));
    TextArgument here(L"."), into(LocalFile(L"tree"));
    VARIANT_BOOL yes = VARIANT_TRUE;
    ExpectRaised(kGetFileError, ftp_->GetDirectory(&here, &into, &yes, &yes),
                 L"Error getting file from the remote server.", L"GetFile error code: 1113 ");
    ASSERT_EQ(S_OK, DeleteFile(L"\xDCFE.txt"));
    EXPECT_EQ(0u, ListedNames(ftp_.Get()).count(L"\xDCFE.txt"));
}

INSTANTIATE_FOR_EVERY_SERVER_PASSIVE(CodePages);

// A name that the chosen code page cannot carry raises the member's error with
// the platform's text for it, and nothing reaches the server.
TEST(CodePage, CharactersTheCodePageLacksRaiseBeforeAnythingIsSent) {
    const std::vector<FtpServer> servers = FtpServers();
    if (servers.empty()) GTEST_SKIP() << "no FTP server";
    HRESULT opened = E_FAIL;
    ComPtr<_FTP> ftp = ConnectedFtp(servers[0], true, FtpPassword(), opened);
    ASSERT_EQ(S_OK, opened);
    ComPtr<_FTP2> ftp2 = Second(ftp);
    const std::wstring folder = L"unsendable";
    TextArgument made(folder);
    if (FAILED(ftp->CreateDirectory(&made))) TakeError();  // there from an earlier run
    TextArgument into(folder);
    ASSERT_EQ(S_OK, ftp->put_Directory(&into));
    ASSERT_TRUE(WriteBytes(Scratch() + L"\\unsendable.txt", "x"));

    for (const auto& [codePage, name] : {std::pair<LONG, std::wstring>{0, kGreek}, {1252, kGreek},
                                         std::pair<LONG, std::wstring>{CP_UTF8, L"half\xD800pair"}}) {
        SCOPED_TRACE(codePage);
        ASSERT_EQ(S_OK, ftp2->put_CodePage(codePage));
        TextArgument lacking(name), plain(L"plain.txt"), local(Scratch() + L"\\unsendable.txt");
        VARIANT_BOOL yes = VARIANT_TRUE;
        ExpectRaised(kCreateDirectoryError, ftp->CreateDirectory(&lacking), L"Error creating directory.",
                     L"CreateDirectory error code: 1113 Message: ");
        ExpectRaised(kSetDirectoryError, ftp->put_Directory(&lacking), L"Error setting directory.",
                     L"Directory error code: 1113 ");
        ExpectRaised(kPutFileError, ftp->PutFile(&local, &lacking), L"Error putting file to remote server.",
                     L"PutFile error code: 1113 ");
        ExpectRaised(kGetFileError, ftp->GetFile(&lacking, &local, &yes), L"Error getting file from the remote server.",
                     L"GetFile error code: 1113 ");
        ExpectRaised(kRenameFileError, ftp->RenameFile(&plain, &lacking), L"Error renaming file/directory.",
                     L"RenameFile error code: 1113 ");
        EXPECT_EQ("x", ReadBytes(Scratch() + L"\\unsendable.txt").value_or("")) << "the local file is untouched";
    }
    std::set<std::wstring> listed = ListedNames(ftp.Get());
    listed.erase(L".");
    listed.erase(L"..");
    EXPECT_TRUE(listed.empty()) << "nothing was made, not even a name of question marks";
}

// Where the ANSI code page does not carry every byte (932), a name whose
// bytes it would change is refused with the same error; every other name
// works and lists back exactly.
TEST(CodePage, NamesTheAnsiCodePageWouldChangeAreRefused) {
    if (AnsiKeepsEveryByte()) GTEST_SKIP() << "the ANSI code page carries every byte";
    const std::vector<FtpServer> servers = FtpServers();
    if (servers.empty()) GTEST_SKIP() << "no FTP server";
    HRESULT opened = E_FAIL;
    ComPtr<_FTP> ftp = ConnectedFtp(servers[0], true, FtpPassword(), opened);
    ASSERT_EQ(S_OK, opened);
    ASSERT_EQ(S_OK, Second(ftp)->put_CodePage(CP_UTF8));
    TextArgument into(L"changed-by-ansi");
    if (FAILED(ftp->CreateDirectory(&into))) TakeError();  // there from an earlier run
    ASSERT_EQ(S_OK, ftp->put_Directory(&into));
    std::set<std::wstring> made;
    int refused = 0;
    for (const std::wstring& stem : kStems) {
        TextArgument name(stem);
        const HRESULT hr = ftp->CreateDirectory(&name);
        if (hr == S_OK) {
            made.insert(stem);
            continue;
        }
        ++refused;
        ExpectRaised(kCreateDirectoryError, hr, L"Error creating directory.", L"CreateDirectory error code: 1113 ");
    }
    std::set<std::wstring> listed = ListedNames(ftp.Get());
    listed.erase(L".");
    listed.erase(L"..");
    EXPECT_EQ(made, listed);
    EXPECT_GT(refused, 0) << "the Japanese name's UTF-8 bytes are no valid text of code page 932";
}

TEST(CodePage, TakesZeroAndInstalledCodePagesOnly) {
    ComPtr<_FTP2> ftp = NewObject<_FTP2>(CLSID_FTP);
    ASSERT_TRUE(ftp);
    LONG codePage = -1;
    EXPECT_EQ(S_OK, ftp->get_CodePage(&codePage));
    EXPECT_EQ(0, codePage);
    for (LONG allowed : {65001L, 1252L, 932L, 0L, 1253L}) {
        EXPECT_EQ(S_OK, ftp->put_CodePage(allowed));
        EXPECT_EQ(S_OK, ftp->get_CodePage(&codePage));
        EXPECT_EQ(allowed, codePage);
    }
    for (LONG refused : {-1L, 1L, 2L, 3L, 12345L, 65002L}) {
        EXPECT_EQ(kInvalidProcedureCall, ftp->put_CodePage(refused)) << refused;
        const RaisedError error = TakeError();
        EXPECT_EQ(L"Quorlin.FTP", error.source);
        EXPECT_EQ(L"Invalid procedure call or argument", error.description);
        EXPECT_EQ(S_OK, ftp->get_CodePage(&codePage));
        EXPECT_EQ(1253, codePage) << "the old value stays";
    }
    // Late bound, by name, as scripts reach it.
    ComPtr<IDispatch> late = CreateByProgId(L"Quorlin.FTP");
    ASSERT_TRUE(late);
    LateCall put, get, bad;
    CallByName(late.Get(), L"CodePage", DISPATCH_PROPERTYPUT, {Number(65001)}, put);
    EXPECT_EQ(S_OK, put.hr);
    CallByName(late.Get(), L"CodePage", DISPATCH_PROPERTYGET, {}, get);
    EXPECT_EQ(S_OK, get.hr);
    EXPECT_EQ(VT_I4, V_VT(&get.result));
    EXPECT_EQ(65001, V_I4(&get.result));
    CallByName(late.Get(), L"CodePage", DISPATCH_PROPERTYPUT, {Number(7)}, bad);
    EXPECT_EQ(DISP_E_EXCEPTION, bad.hr);
    EXPECT_EQ(kInvalidProcedureCall, static_cast<HRESULT>(bad.exception.scode));
}

// OPTS UTF8 ON goes to the server with code page 65001, after logging in or
// when the code page is set on an open connection; a refusal is no error.
TEST(CodePage, Utf8IsAnnouncedAndARefusalIgnored) {
    const std::wstring port = EnvText("QUORLIN_FTP_STAND_IN_PORT");
    if (port.empty()) GTEST_SKIP() << "no scripted FTP server";
    auto open = [&](const wchar_t* user, LONG codePage, ComPtr<_FTP2>& ftp) {
        ftp = NewObject<_FTP2>(CLSID_FTP);
        TextArgument url(L"127.0.0.1"), name(user), password(L"any");
        LONG number = std::stol(port);
        ftp->put_URL(&url);
        ftp->put_Username(&name);
        ftp->put_Password(&password);
        ftp->put_Port(&number);
        EXPECT_EQ(S_OK, ftp->put_CodePage(codePage));
        return ftp->OpenConnection();
    };
    auto seen = [](_FTP2* ftp) {
        TextArgument opts(L"/opts");
        EXPECT_EQ(S_OK, ftp->put_Directory(&opts));
        std::set<std::wstring> names = ListedNames(ftp);
        return names.empty() ? std::wstring(L"(none)") : *names.begin();
    };
    ComPtr<_FTP2> ftp;
    ASSERT_EQ(S_OK, open(L"tester", CP_UTF8, ftp));
    EXPECT_EQ(L"opts-seen-1.txt", seen(ftp.Get()));
    EXPECT_EQ(S_OK, ftp->put_CodePage(CP_UTF8));  // unchanged: not sent again
    EXPECT_EQ(L"opts-seen-1.txt", seen(ftp.Get()));
    EXPECT_EQ(S_OK, ftp->put_CodePage(0));
    EXPECT_EQ(S_OK, ftp->put_CodePage(CP_UTF8));
    EXPECT_EQ(L"opts-seen-2.txt", seen(ftp.Get()));

    ComPtr<_FTP2> refused;
    SetErrorInfo(0, nullptr);
    ASSERT_EQ(S_OK, open(L"refuser", CP_UTF8, refused));
    ComPtr<IErrorInfo> left;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, &left)) << "no error object after the refusal";
    EXPECT_EQ(L"opts-seen-1.txt", seen(refused.Get()));

    ComPtr<_FTP2> plain;
    ASSERT_EQ(S_OK, open(L"tester", 0, plain));
    EXPECT_EQ(L"opts-seen-0.txt", seen(plain.Get()));
}

// Local files and folders whose names the ANSI code page cannot carry, with
// plain remote names: every transfer works through the wide file functions,
// within a time limit too, and a replacing download still loses nothing.
class LocalUnicodePaths : public RemoteWorkspace {};

TEST_P(LocalUnicodePaths, TransfersAndTreesReachAnyLocalName) {
    SetTransferType(2);
    ComPtr<_FTP2> ftp2 = Second(ftp_);
    for (LONG timeout : {0L, 60L}) {
        SCOPED_TRACE(timeout);
        ASSERT_EQ(S_OK, ftp2->put_Timeout(timeout));
        const std::wstring suffix = std::to_wstring(timeout);
        const std::wstring greek = LocalFile(kGreek + suffix + L".bin"), emoji = LocalFile(kEmoji + suffix + L".bin");
        const std::string content(200000 + timeout, 'g');
        ASSERT_TRUE(WriteBytes(greek, content));
        ASSERT_EQ(S_OK, PutFile(greek, L"plain" + suffix + L".bin"));
        EXPECT_EQ(content, ReadBytes(RemoteFile(L"plain" + suffix + L".bin")).value_or(""));
        ASSERT_EQ(S_OK, GetFile(L"plain" + suffix + L".bin", emoji, VARIANT_FALSE));
        EXPECT_EQ(content, ReadBytes(emoji).value_or(""));
        ExpectRaised(kGetFileError, GetFile(L"plain" + suffix + L".bin", emoji, VARIANT_FALSE),
                     L"Error getting file from the remote server.", L"GetFile error code: 80 ");
        // A refused replacing download leaves the file as it was, and no temporary file behind.
        ASSERT_TRUE(WriteBytes(emoji, "kept"));
        EXPECT_EQ(kGetFileError, GetFile(L"missing.bin", emoji, VARIANT_TRUE));
        TakeError();
        EXPECT_EQ("kept", ReadBytes(emoji).value_or(""));
        ASSERT_EQ(S_OK, GetFile(L"plain" + suffix + L".bin", emoji, VARIANT_TRUE));
        EXPECT_EQ(content, ReadBytes(emoji).value_or(""));
        ExpectRaised(kPutFileError, PutFile(LocalFile(kGreek + L"-missing"), L"x.bin"),
                     L"Error putting file to remote server.", L"PutFile error code: 2 ");
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(LocalFile(L"qrl*").c_str(), &entry);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find) << "a temporary file was left";
    if (find != INVALID_HANDLE_VALUE) FindClose(find);

    // A tree from and to folders of such names, its files' names plain.
    const std::wstring tree = LocalFile(kEmoji + kGreek);
    ASSERT_TRUE(::CreateDirectoryW(tree.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((tree + L"\\inner").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(tree + L"\\inner\\a.txt", "a"));
    ASSERT_EQ(S_OK, CreateDirectory(L"tree"));
    TextArgument localPath(tree), remotePath(Directory() + L"/tree"), down(LocalFile(kJapanese + kEmoji));
    VARIANT_BOOL yes = VARIANT_TRUE;
    ASSERT_EQ(S_OK, ftp_->PutDirectory(&localPath, &remotePath, &yes));
    ASSERT_EQ(S_OK, ftp_->GetDirectory(&remotePath, &down, &yes, &yes));
    EXPECT_EQ("a", ReadBytes(LocalFile(kJapanese + kEmoji + L"\\inner\\a.txt")).value_or(""));
}

INSTANTIATE_FOR_EVERY_SERVER_PASSIVE(LocalUnicodePaths);

}  // namespace
