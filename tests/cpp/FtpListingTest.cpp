// Files and GetDirectoryListing against the real servers: what each server's
// listing becomes, and that the connection goes on working after it.
#include "RemoteWorkspace.h"

#include <algorithm>
#include <cwchar>
#include <set>

namespace {

const HRESULT kListing = static_cast<HRESULT>(0x80040204);

class FtpListing : public RemoteWorkspace {
protected:
    ComPtr<_FTPFiles> Files() {
        ComPtr<_FTPFiles> files;
        EXPECT_EQ(S_OK, ftp_->Files(&files));
        return files;
    }
    std::wstring Listing(LONG flags) {
        Directory_Listing_Type type = static_cast<Directory_Listing_Type>(flags);
        BSTR text = nullptr;
        EXPECT_EQ(S_OK, ftp_->GetDirectoryListing(&type, &text));
        EXPECT_EQ(flags, type) << "the flags are never written";
        std::wstring result(text ? text : L"", text ? SysStringLen(text) : 0);
        SysFreeString(text);
        return result;
    }
    // Every entry as "name type size", in the collection's order.
    std::vector<std::wstring> Entries(_FTPFiles* files) {
        std::vector<std::wstring> entries;
        LONG count = 0;
        files->Count(&count);
        for (LONG position = 1; position <= count; ++position) {
            VARIANT index = Number(position);
            ComPtr<_FTPFile> entry;
            if (FAILED(files->Item(index, &entry))) break;
            BSTR name = nullptr;
            enum_FileType type = FTPFile;
            LONG size = -1;
            entry->get_Filename(&name);
            entry->get_FileType(&type);
            entry->get_FileSize(&size);
            entries.push_back(std::wstring(name) + L" " + std::to_wstring(type) + L" " + std::to_wstring(size));
            SysFreeString(name);
        }
        return entries;
    }
    // Sets a file's times on disk, as the server will list them.
    void Stamp(const std::wstring& path, const SYSTEMTIME& utc) {
        FILETIME stamp;
        SystemTimeToFileTime(&utc, &stamp);
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        EXPECT_TRUE(SetFileTime(file, &stamp, &stamp, &stamp));
        CloseHandle(file);
    }
};

std::wstring LocalText(const SYSTEMTIME& utc) {
    FILETIME stamp, local;
    SYSTEMTIME parts;
    SystemTimeToFileTime(&utc, &stamp);
    FileTimeToLocalFileTime(&stamp, &local);
    FileTimeToSystemTime(&local, &parts);
    wchar_t text[32];
    swprintf(text, 32, L"%02d/%02d/%04d %02d:%02d:%02d  ", parts.wMonth, parts.wDay, parts.wYear, parts.wHour,
             parts.wMinute, parts.wSecond);
    return text;
}

TEST_P(FtpListing, AnEmptyDirectoryGivesAnEmptyCollectionAndText) {
    ComPtr<_FTPFiles> files = Files();
    ASSERT_TRUE(files);
    LONG count = -1;
    ASSERT_EQ(S_OK, files->Count(&count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(L"", Listing(63));
    // The find handle was closed: the next command on the connection works.
    EXPECT_EQ(S_OK, CreateDirectory(L"after"));
}

TEST_P(FtpListing, FilesAndDirectoriesWithTheirSizesTypesAndTimes) {
    // An old time: every server lists it with its year, which the platform reads as noon that day.
    const SYSTEMTIME old = {2002, 3, 0, 5, 14, 7, 9, 0}, noon = {2002, 3, 0, 5, 12, 0, 0, 0};
    ASSERT_EQ(S_OK, CreateDirectory(L"sub"));
    ASSERT_TRUE(WriteBytes(RemoteFile(L"a.txt"), "12345"));
    ASSERT_TRUE(WriteBytes(RemoteFile(L"b.bin"), std::string(1234, 'b')));
    for (const wchar_t* name : {L"sub", L"a.txt", L"b.bin"}) Stamp(RemoteFile(name), old);

    ComPtr<_FTPFiles> files = Files();
    ASSERT_TRUE(files);
    std::vector<std::wstring> entries = Entries(files.Get());
    std::vector<std::wstring> sorted = entries;
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(3u, sorted.size());
    EXPECT_EQ(L"a.txt 2 5", sorted[0]);
    EXPECT_EQ(L"b.bin 2 1234", sorted[1]);
    EXPECT_EQ(L"sub 1", sorted[2].substr(0, 5));

    // Flags 3: the names in the server's order; 23: write time, size, name.
    std::wstring names, columns;
    for (const std::wstring& entry : entries) {
        const std::wstring name = entry.substr(0, entry.find(L' '));
        std::wstring size = entry.substr(entry.rfind(L' ') + 1);
        names += name + L"\r\n";
        columns += LocalText(noon) + size + std::wstring(15 - size.size(), L' ') + name + L"\r\n";
    }
    EXPECT_EQ(names, Listing(3));
    EXPECT_EQ(columns, Listing(23));
    EXPECT_EQ(L"", Listing(60));
    EXPECT_EQ(L"sub\r\n", Listing(2));

    VARIANT key = Text(L"A.TXT");
    ComPtr<_FTPFile> entry;
    ASSERT_EQ(S_OK, files->Item(key, &entry));
    VariantClear(&key);
    BSTR written = nullptr;
    ASSERT_EQ(S_OK, entry->get_LastWriteTime(&written));
    EXPECT_EQ(LocalText(noon), written);
    SysFreeString(written);
    EXPECT_EQ(S_OK, GetFile(L"a.txt", LocalFile(L"a.txt"), VARIANT_FALSE)) << "the connection still works";
}

TEST_P(FtpListing, NamesThatDifferOnlyInCaseAreAllListed) {
    // Made through the server: the local file system does not tell them apart.
    ASSERT_TRUE(WriteBytes(LocalFile(L"twin.txt"), "twin"));
    for (const wchar_t* name : {L"Readme.txt", L"README.TXT", L"readme.txt"})
        ASSERT_EQ(S_OK, PutFile(LocalFile(L"twin.txt"), name));
    ComPtr<_FTPFiles> files = Files();
    ASSERT_TRUE(files);
    LONG count = 0;
    files->Count(&count);
    EXPECT_EQ(3, count);
    for (const wchar_t* name : {L"Readme.txt", L"README.TXT", L"readme.txt"}) {
        VARIANT key = Text(name);
        ComPtr<_FTPFile> entry;
        ASSERT_EQ(S_OK, files->Item(key, &entry));
        VariantClear(&key);
        BSTR found = nullptr;
        entry->get_Filename(&found);
        EXPECT_STREQ(name, found);
        SysFreeString(found);
    }
    const std::wstring listing = Listing(1);
    std::set<std::wstring> lines;
    for (size_t start = 0, end; (end = listing.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.insert(listing.substr(start, end - start));
    EXPECT_EQ((std::set<std::wstring>{L"Readme.txt", L"README.TXT", L"readme.txt"}), lines);
}

TEST_P(FtpListing, AClosedConnectionFailsTheFirstFind) {
    ASSERT_EQ(S_OK, ftp_->CloseConnection());
    ComPtr<_FTPFiles> files;
    ExpectRaised(kListing, ftp_->Files(&files), L"Error retrieving directory listing.(1)",
                 L"GetDirectoryListing error code: ");
    EXPECT_FALSE(files);
    Directory_Listing_Type flags = static_cast<Directory_Listing_Type>(3);
    BSTR text = nullptr;
    ExpectRaised(kListing, ftp_->GetDirectoryListing(&flags, &text), L"Error retrieving directory listing.(1)",
                 L"GetDirectoryListing error code: ");
    EXPECT_EQ(nullptr, text);
}

INSTANTIATE_FOR_EVERY_SERVER(FtpListing);

}  // namespace
