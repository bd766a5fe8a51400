// The remote working directory and the commands that change the remote tree,
// against the real servers. Every refusal carries the server's reply.
#include "RemoteWorkspace.h"

namespace {

const HRESULT kSetDirectory = static_cast<HRESULT>(0x80040203);
const HRESULT kCreateDirectory = static_cast<HRESULT>(0x80040205);
const HRESULT kRenameFile = static_cast<HRESULT>(0x80040206);
const HRESULT kDeleteFile = static_cast<HRESULT>(0x80040209);
const HRESULT kRemoveDirectory = static_cast<HRESULT>(0x8004020C);

class FtpRemoteTree : public RemoteWorkspace {};

TEST_P(FtpRemoteTree, DirectoryIsTheServersFormOfWhereTheSessionIs) {
    // pure-ftpd shuts the user into the home folder; the others show the real path.
    EXPECT_EQ(IsPureFtpd() ? L"/" : FtpHomeUnix(), loginDirectory_);
    const std::wstring workspace = (IsPureFtpd() ? L"" : FtpHomeUnix()) + L"/" + name_;
    EXPECT_EQ(workspace, Directory());

    ASSERT_EQ(S_OK, CreateDirectory(L"sub"));
    ASSERT_EQ(S_OK, SetDirectory(L"sub/"));
    EXPECT_EQ(workspace + L"/sub", Directory()) << "the server resolves and normalises the relative name";
    ASSERT_EQ(S_OK, SetDirectory(L".."));
    EXPECT_EQ(workspace, Directory());

    ExpectRaised(kSetDirectory, SetDirectory(L"no such folder"), L"Error setting directory.", L"550");
    EXPECT_EQ(workspace, Directory()) << "a refused change leaves the directory alone";
}

TEST_P(FtpRemoteTree, ADirectoryOfAnyLengthIsReadWhole) {
    const std::wstring longName(240, L'd');
    std::wstring expected = Directory();
    for (int level = 0; level < 3; ++level) {
        ASSERT_EQ(S_OK, CreateDirectory(longName));
        ASSERT_EQ(S_OK, SetDirectory(longName));
        expected += L"/" + longName;
        EXPECT_EQ(expected, Directory());
    }
}

TEST_P(FtpRemoteTree, CommandsChangeTheTreeAndEachRefusalRaisesItsOwnError) {
    ASSERT_EQ(S_OK, CreateDirectory(L"made"));
    EXPECT_TRUE(GetFileAttributesW(RemoteFile(L"made").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    ExpectRaised(kCreateDirectory, CreateDirectory(L"made"), L"Error creating directory.", L"550");

    // A rename into another directory moves the entry; both names pass unchanged.
    ASSERT_TRUE(WriteBytes(RemoteFile(L"file.txt"), "content"));
    ASSERT_EQ(S_OK, RenameFile(L"file.txt", L"made/moved.txt"));
    EXPECT_FALSE(FileExists(RemoteFile(L"file.txt")));
    EXPECT_EQ("content", ReadBytes(RemoteFile(L"made\\moved.txt")).value_or(""));
    ExpectRaised(kRenameFile, RenameFile(L"file.txt", L"other.txt"), L"Error renaming file/directory.", L"550");
    ASSERT_EQ(S_OK, RenameFile(L"made", L"renamed"));  // directories too
    EXPECT_TRUE(FileExists(RemoteFile(L"renamed\\moved.txt")));

    ExpectRaised(kRemoveDirectory, RemoveDirectory(L"renamed"), L"Error removing directory.", L"550");
    ASSERT_EQ(S_OK, DeleteFile(L"renamed/moved.txt"));
    EXPECT_FALSE(FileExists(RemoteFile(L"renamed\\moved.txt")));
    ExpectRaised(kDeleteFile, DeleteFile(L"renamed/moved.txt"), L"Error deleting file from the remote server.", L"550");
    ASSERT_EQ(S_OK, RemoveDirectory(L"renamed"));
    EXPECT_FALSE(FileExists(RemoteFile(L"renamed")));
    ExpectRaised(kRemoveDirectory, RemoveDirectory(L"renamed"), L"Error removing directory.", L"550");
}

TEST_P(FtpRemoteTree, CommandsOnAClosedConnectionFailInsideWinInet) {
    ASSERT_EQ(S_OK, ftp_->CloseConnection());
    ExpectRaised(kCreateDirectory, CreateDirectory(L"x"), L"Error creating directory.", L"CreateDirectory error code: ");
    ExpectRaised(kRenameFile, RenameFile(L"x", L"y"), L"Error renaming file/directory.", L"RenameFile error code: ");
    EXPECT_FALSE(FileExists(RemoteFile(L"x")));
}

INSTANTIATE_FOR_EVERY_SERVER(FtpRemoteTree);

// Members on an object that never connected: Directory refuses at once, every
// other member makes its WinINet call with no handle and raises its own error.
TEST(FtpWithoutConnection, EveryMemberRaisesItsOwnError) {
    ComPtr<_FTP> ftp;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FTP, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&ftp)));
    const std::wstring noConnection = L"Error getting/setting directory.  No connection open.";
    VARIANT directory;
    VariantInit(&directory);
    ExpectRaised(static_cast<HRESULT>(0x8004020D), ftp->get_Directory(&directory), noConnection, L"");
    TextArgument path(L"name"), other(Scratch() + L"\\never-written.txt");
    ExpectRaised(static_cast<HRESULT>(0x8004020D), ftp->put_Directory(&path), noConnection, L"");
    ExpectRaised(kCreateDirectory, ftp->CreateDirectory(&path), L"Error creating directory.", L"CreateDirectory error code: ");
    ExpectRaised(kRemoveDirectory, ftp->RemoveDirectory(&path), L"Error removing directory.", L"RemoveDirectory error code: ");
    ExpectRaised(kRenameFile, ftp->RenameFile(&path, &other), L"Error renaming file/directory.", L"RenameFile error code: ");
    ExpectRaised(kDeleteFile, ftp->DeleteFile(&path), L"Error deleting file from the remote server.", L"DeleteFile error code: ");
    ExpectRaised(static_cast<HRESULT>(0x80040207), ftp->PutFile(&other, &path), L"Error putting file to remote server.",
                 L"PutFile error code: ");
    for (VARIANT_BOOL overwrite : {VARIANT_TRUE, VARIANT_FALSE}) {
        ExpectRaised(static_cast<HRESULT>(0x80040208), ftp->GetFile(&path, &other, &overwrite),
                     L"Error getting file from the remote server.", L"GetFile error code: ");
    }
    EXPECT_FALSE(FileExists(Scratch() + L"\\never-written.txt"));
    ComPtr<_FTPFiles> files;
    ExpectRaised(static_cast<HRESULT>(0x80040204), ftp->Files(&files), L"Error retrieving directory listing.(1)",
                 L"GetDirectoryListing error code: ");
    Directory_Listing_Type flags = static_cast<Directory_Listing_Type>(63);
    BSTR listing = nullptr;
    ExpectRaised(static_cast<HRESULT>(0x80040204), ftp->GetDirectoryListing(&flags, &listing),
                 L"Error retrieving directory listing.(1)", L"GetDirectoryListing error code: ");

    // After a failed opening the object is still not connected.
    TextArgument url(L"127.0.0.1"), user(L"nobody");
    ftp->put_URL(&url);
    ftp->put_Username(&user);
    LONG refusedPort = 1;
    ftp->put_Port(&refusedPort);
    ASSERT_EQ(static_cast<HRESULT>(0x80040202), ftp->OpenConnection());
    ExpectRaised(static_cast<HRESULT>(0x8004020D), ftp->get_Directory(&directory), noConnection, L"");
}

// A path that cannot become text stops the member before any platform call:
// on an unconnected object the member's own error would follow otherwise.
TEST(FtpWithoutConnection, ANullPathIsInvalidUseOfNull) {
    ComPtr<_FTP> ftp;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FTP, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&ftp)));
    VARIANT null;
    VariantInit(&null);
    V_VT(&null) = VT_NULL;
    TextArgument path(L"name");
    VARIANT_BOOL overwrite = VARIANT_TRUE;
    const HRESULT nullUse = static_cast<HRESULT>(0x800A005E);
    EXPECT_EQ(nullUse, ftp->CreateDirectory(&null));
    EXPECT_EQ(nullUse, ftp->RemoveDirectory(&null));
    EXPECT_EQ(nullUse, ftp->RenameFile(&path, &null));
    EXPECT_EQ(nullUse, ftp->RenameFile(&null, &path));
    EXPECT_EQ(nullUse, ftp->DeleteFile(&null));
    EXPECT_EQ(nullUse, ftp->PutFile(&path, &null));
    EXPECT_EQ(nullUse, ftp->GetFile(&null, &path, &overwrite));
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.FTP", error.source);
    EXPECT_EQ(L"Invalid use of Null", error.description);
}

}  // namespace
