// With a time limit set, every member against the real servers does what it
// does without one: the same files, the same errors and texts.
#include "RemoteWorkspace.h"

#include <shlobj.h>

namespace {

class TimedOperations : public RemoteWorkspace {
protected:
    void SetUp() override {
        RemoteWorkspace::SetUp();
        ComPtr<_FTP2> ftp;
        ASSERT_EQ(S_OK, ftp_.As(&ftp));
        ASSERT_EQ(S_OK, ftp->put_Timeout(60));
    }
};

std::string Binary(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

TEST_P(TimedOperations, TransfersCommandsListingsAndTreesWorkAsWithoutALimit) {
    SetTransferType(2);
    const std::string content = Binary(3 << 20);
    ASSERT_TRUE(WriteBytes(LocalFile(L"source.bin"), content));
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"source.bin"), L"stored.bin"));
    EXPECT_EQ(content, ReadBytes(RemoteFile(L"stored.bin")).value_or(""));
    // A new file, a replaced one, and one that may not be replaced.
    ASSERT_EQ(S_OK, GetFile(L"stored.bin", LocalFile(L"new.bin"), VARIANT_FALSE));
    EXPECT_EQ(content, ReadBytes(LocalFile(L"new.bin")).value_or(""));
    ASSERT_TRUE(WriteBytes(LocalFile(L"old.bin"), "old"));
    ASSERT_EQ(S_OK, GetFile(L"stored.bin", LocalFile(L"old.bin"), VARIANT_TRUE));
    EXPECT_EQ(content, ReadBytes(LocalFile(L"old.bin")).value_or(""));
    ASSERT_TRUE(WriteBytes(LocalFile(L"keep.bin"), "keep"));
    ExpectRaised(static_cast<HRESULT>(0x80040208), GetFile(L"stored.bin", LocalFile(L"keep.bin"), VARIANT_FALSE),
                 L"Error getting file from the remote server.", L"GetFile error code: 80 ");
    EXPECT_EQ("keep", ReadBytes(LocalFile(L"keep.bin")).value_or(""));
    // The server's refusals, with its reply as the text.
    ExpectRaised(static_cast<HRESULT>(0x80040208), GetFile(L"missing.bin", LocalFile(L"old.bin"), VARIANT_TRUE),
                 L"Error getting file from the remote server.", L"5");
    EXPECT_EQ(content, ReadBytes(LocalFile(L"old.bin")).value_or("")) << "kept after a refused download";
    ExpectRaised(static_cast<HRESULT>(0x80040207), PutFile(LocalFile(L"source.bin"), L"no-such-folder/x.bin"),
                 L"Error putting file to remote server.", L"5");
    ExpectRaised(static_cast<HRESULT>(0x80040207), PutFile(LocalFile(L"missing.bin"), L"x.bin"),
                 L"Error putting file to remote server.", L"PutFile error code: 2 ");
    EXPECT_EQ(S_OK, CreateDirectory(L"made"));
    EXPECT_EQ(S_OK, RenameFile(L"made", L"renamed"));
    EXPECT_EQ(S_OK, RemoveDirectory(L"renamed"));
    ExpectRaised(static_cast<HRESULT>(0x80040209), DeleteFile(L"missing.bin"),
                 L"Error deleting file from the remote server.", L"5");
    EXPECT_EQ(S_OK, DeleteFile(L"stored.bin"));

    // A tree up and down, and its listing.
    ASSERT_TRUE(::CreateDirectoryW(LocalFile(L"tree").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(LocalFile(L"tree\\inner").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(LocalFile(L"tree\\a.txt"), "a"));
    ASSERT_TRUE(WriteBytes(LocalFile(L"tree\\inner\\b.txt"), "b"));
    ASSERT_EQ(S_OK, CreateDirectory(L"up"));
    const std::wstring here = Directory();
    TextArgument treeLocal(LocalFile(L"tree")), treeRemote(here + (here.back() == L'/' ? L"" : L"/") + L"up"),
        down(LocalFile(L"down"));
    VARIANT_BOOL yes = VARIANT_TRUE;
    ASSERT_EQ(S_OK, ftp_->PutDirectory(&treeLocal, &treeRemote, &yes));
    ASSERT_EQ(S_OK, ftp_->GetDirectory(&treeRemote, &down, &yes, &yes));
    EXPECT_EQ("b", ReadBytes(LocalFile(L"down\\inner\\b.txt")).value_or(""));
    ASSERT_EQ(S_OK, SetDirectory(L"up"));
    ComPtr<_FTPFiles> files;
    ASSERT_EQ(S_OK, ftp_->Files(&files));
    LONG count = 0;
    files->Count(&count);
    EXPECT_EQ(2, count);
}

// The files below `folder`, at any depth.
size_t FilesBelow(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    size_t count = 0;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) count += FilesBelow(folder + L"\\" + name);
        else ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

// A download in pieces goes through the platform's remote file, of which the
// platform may keep a copy in its cache: none may stay there.
TEST_P(TimedOperations, DownloadsLeaveNoCopyInThePlatformCache) {
    wchar_t cache[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, SHGFP_TYPE_CURRENT, cache));
    const size_t before = FilesBelow(cache);
    SetTransferType(2);
    ASSERT_TRUE(WriteBytes(LocalFile(L"source.bin"), Binary(200000)));
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"source.bin"), L"cached.bin"));
    for (int i = 0; i < 3; ++i) ASSERT_EQ(S_OK, GetFile(L"cached.bin", LocalFile(L"copy.bin"), VARIANT_TRUE));
    EXPECT_EQ(Binary(200000), ReadBytes(LocalFile(L"copy.bin")).value_or(""));
    EXPECT_EQ(before, FilesBelow(cache)) << "files left in " << std::string(cache, cache + wcslen(cache));
}

INSTANTIATE_FOR_EVERY_SERVER(TimedOperations);

}  // namespace
