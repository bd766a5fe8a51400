// GetDirectory and PutDirectory against the real servers: trees that come
// back byte for byte, the flags, the working directory afterwards, and the
// names, dot entries and links that must not lead out of the tree.
#include "RemoteWorkspace.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace {

const HRESULT kSetDirectory = static_cast<HRESULT>(0x80040203);
const HRESULT kGetFile = static_cast<HRESULT>(0x80040208);
const HRESULT kFolderMissing = static_cast<HRESULT>(0x8004020E);
const wchar_t* const kGetFileMessage = L"Error getting file from the remote server.";

using Tree = std::map<std::wstring, std::string>;  // relative path -> bytes; folders end in "\"

class FtpTree : public RemoteWorkspace {
protected:
    void SetUp() override {
        RemoteWorkspace::SetUp();
        SetTransferType(2);
        workspace_ = Directory();
    }

    // The absolute remote path of an entry of the workspace.
    std::wstring Remote(const std::wstring& name) const { return workspace_ + L"/" + name; }

    HRESULT GetDirectory(const std::wstring& remote, const std::wstring& local, VARIANT_BOOL overwrite,
                         VARIANT_BOOL traverse) {
        TextArgument remotePath(remote), localPath(local);
        return ftp_->GetDirectory(&remotePath, &localPath, &overwrite, &traverse);
    }
    HRESULT PutDirectory(const std::wstring& local, const std::wstring& remote, VARIANT_BOOL traverse) {
        TextArgument localPath(local), remotePath(remote);
        return ftp_->PutDirectory(&localPath, &remotePath, &traverse);
    }

    static void Write(const std::wstring& root, const Tree& tree) {
        for (const auto& [path, bytes] : tree) {
            const std::wstring full = root + L"\\" + path;
            if (path.back() == L'\\') ASSERT_TRUE(::CreateDirectoryW(full.c_str(), nullptr)) << "folder";
            else ASSERT_TRUE(WriteBytes(full, bytes));
        }
    }
    // Everything below `root`, as Write takes it.
    static Tree Read(const std::wstring& root, const std::wstring& prefix = L"") {
        Tree tree;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((root + L"\\" + prefix + L"*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return tree;
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                tree[prefix + name + L"\\"] = "";
                Tree inner = Read(root, prefix + name + L"\\");
                tree.insert(inner.begin(), inner.end());
            } else {
                tree[prefix + name] = ReadBytes(root + L"\\" + prefix + name).value_or("unreadable");
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return tree;
    }
    // The names of a remote directory in the order the server lists them.
    std::vector<std::wstring> ListedNames(const std::wstring& remote) {
        std::vector<std::wstring> names;
        const std::wstring before = Directory();
        EXPECT_EQ(S_OK, SetDirectory(remote));
        ComPtr<_FTPFiles> files;
        EXPECT_EQ(S_OK, ftp_->Files(&files));
        LONG count = 0;
        if (files) files->Count(&count);
        for (LONG position = 1; position <= count; ++position) {
            VARIANT index = Number(position);
            ComPtr<_FTPFile> entry;
            files->Item(index, &entry);
            BSTR name = nullptr;
            entry->get_Filename(&name);
            names.push_back(name);
            SysFreeString(name);
        }
        EXPECT_EQ(S_OK, SetDirectory(before));
        return names;
    }

    std::wstring workspace_;
};

std::string Bytes(int seed, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 7)) & 0xFF);
    return bytes;
}

const Tree kNested = {{L"a.bin", Bytes(1, 5000)},      {L"b.txt", "line\r\nline\n"},
                      {L"empty\\", ""},                {L"sub1\\", ""},
                      {L"sub1\\c.bin", Bytes(2, 70000)}, {L"sub1\\sub2\\", ""},
                      {L"sub1\\sub2\\d.bin", Bytes(3, 1)}};

TEST_P(FtpTree, ANestedTreeGoesUpAndComesBackByteForByte) {
    Write(localFolder_, {{L"up\\", ""}});
    Write(LocalFile(L"up"), kNested);
    ASSERT_EQ(S_OK, CreateDirectory(L"stored"));
    ASSERT_EQ(S_OK, PutDirectory(LocalFile(L"up"), Remote(L"stored"), VARIANT_TRUE));
    EXPECT_EQ(workspace_, Directory()) << "restored after the upload";
    EXPECT_EQ(kNested, Read(RemoteFile(L"stored")));

    ASSERT_EQ(S_OK, GetDirectory(Remote(L"stored"), LocalFile(L"down"), VARIANT_FALSE, VARIANT_TRUE));
    EXPECT_EQ(workspace_, Directory()) << "restored after the download";
    EXPECT_EQ(kNested, Read(LocalFile(L"down")));

    // Into an existing local folder, with a remote path that ends in a separator
    // (its children then start with a doubled one), replacing what is there.
    ASSERT_TRUE(WriteBytes(LocalFile(L"down\\a.bin"), "old"));
    ASSERT_EQ(S_OK, GetDirectory(Remote(L"stored/"), LocalFile(L"down"), VARIANT_TRUE, VARIANT_TRUE));
    EXPECT_EQ(kNested, Read(LocalFile(L"down")));
    // The overwrite value reaches GetFile as given: 1 refuses to replace, as
    // GetFile itself does; any non-zero traversal value counts as true.
    ASSERT_TRUE(WriteBytes(LocalFile(L"down\\a.bin"), "old"));
    ExpectRaised(kGetFile, GetDirectory(Remote(L"stored"), LocalFile(L"down"), 1, 1), kGetFileMessage,
                 L"GetFile error code: 80 ");
    EXPECT_EQ("old", ReadBytes(LocalFile(L"down\\a.bin")).value_or(""));
}

TEST_P(FtpTree, WithoutTraversalOnlyTheTopFilesMove) {
    Write(localFolder_, {{L"up\\", ""}});
    Write(LocalFile(L"up"), kNested);
    ASSERT_EQ(S_OK, CreateDirectory(L"flat"));
    ASSERT_EQ(S_OK, PutDirectory(LocalFile(L"up"), Remote(L"flat"), VARIANT_FALSE));
    EXPECT_EQ((Tree{{L"a.bin", kNested.at(L"a.bin")}, {L"b.txt", kNested.at(L"b.txt")}}), Read(RemoteFile(L"flat")));

    Write(RemoteFile(L"flat"), {{L"sub\\", ""}, {L"sub\\x.bin", "x"}});
    ASSERT_EQ(S_OK, GetDirectory(Remote(L"flat"), LocalFile(L"down"), VARIANT_FALSE, VARIANT_FALSE));
    EXPECT_EQ((Tree{{L"a.bin", kNested.at(L"a.bin")}, {L"b.txt", kNested.at(L"b.txt")}}), Read(LocalFile(L"down")));
    EXPECT_EQ(workspace_, Directory());
}

TEST_P(FtpTree, EmptyDirectoriesAndAnExistingRemoteSubdirectory) {
    ASSERT_EQ(S_OK, CreateDirectory(L"empty"));
    ASSERT_EQ(S_OK, GetDirectory(Remote(L"empty"), LocalFile(L"got-empty"), VARIANT_FALSE, VARIANT_TRUE));
    EXPECT_TRUE(Read(LocalFile(L"got-empty")).empty());
    EXPECT_TRUE(GetFileAttributesW(LocalFile(L"got-empty").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_EQ(S_OK, PutDirectory(LocalFile(L"got-empty"), Remote(L"empty"), VARIANT_TRUE));
    EXPECT_TRUE(Read(RemoteFile(L"empty")).empty());

    // A subdirectory that exists already on the server is used as it is.
    ASSERT_EQ(S_OK, CreateDirectory(L"empty/sub1"));
    ASSERT_TRUE(WriteBytes(LocalFile(L"kept.txt"), "kept"));
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"kept.txt"), L"empty/sub1/kept.txt"));
    Write(localFolder_, {{L"up\\", ""}});
    Write(LocalFile(L"up"), kNested);
    ASSERT_EQ(S_OK, PutDirectory(LocalFile(L"up"), Remote(L"empty"), VARIANT_TRUE));
    Tree expected = kNested;
    expected[L"sub1\\kept.txt"] = "kept";
    EXPECT_EQ(expected, Read(RemoteFile(L"empty")));
    EXPECT_EQ(workspace_, Directory());
}

TEST_P(FtpTree, OverwriteFalseStopsAtAnExistingFileAndKeepsWhatCameBefore) {
    Write(remoteFolder_, {{L"src\\", ""}, {L"src\\one.bin", "1"}, {L"src\\two.bin", "2"}, {L"src\\three.bin", "3"}});
    const std::vector<std::wstring> order = ListedNames(Remote(L"src"));
    ASSERT_EQ(3u, order.size());
    Write(localFolder_, {{L"down\\", ""}});
    ASSERT_TRUE(WriteBytes(LocalFile(L"down\\" + order[1]), "existing"));

    ExpectRaised(kGetFile, GetDirectory(Remote(L"src"), LocalFile(L"down"), VARIANT_FALSE, VARIANT_TRUE),
                 kGetFileMessage, L"GetFile error code: 80 ");
    Tree left = Read(LocalFile(L"down"));
    EXPECT_EQ(2u, left.size());
    EXPECT_EQ("existing", left[order[1]]);
    EXPECT_EQ(1u, left.count(order[0])) << "the file before it stays";
    EXPECT_EQ(workspace_, Directory()) << "back where it started";
}

TEST_P(FtpTree, FailuresOfThePathsThemselves) {
    // A remote directory that does not exist: nothing is uploaded or created.
    Write(localFolder_, {{L"up\\", ""}});
    Write(LocalFile(L"up"), kNested);
    ExpectRaised(kSetDirectory, PutDirectory(LocalFile(L"up"), Remote(L"missing"), VARIANT_TRUE),
                 L"Error setting directory.", L"55");
    EXPECT_TRUE(Read(remoteFolder_).empty());
    EXPECT_EQ(workspace_, Directory());

    // A local folder that does not exist: the error names it, and the remote
    // working directory is the target's.
    ASSERT_EQ(S_OK, CreateDirectory(L"target"));
    const std::wstring missing = LocalFile(L"no-such-folder");
    EXPECT_EQ(kFolderMissing, PutDirectory(missing, Remote(L"target"), VARIANT_TRUE));
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.FTP", error.source);
    EXPECT_EQ(L"Folder :" + missing + L" does not exist.PutDirectory error code: 3 Message: Path not found.\r\n",
              error.description);
    EXPECT_EQ(workspace_, Directory());
    // A file is not a folder either.
    EXPECT_EQ(kFolderMissing, PutDirectory(LocalFile(L"up\\a.bin"), Remote(L"target"), VARIANT_TRUE));

    // A download into a folder whose parent is missing fails before the server is asked.
    ASSERT_EQ(S_OK, SetDirectory(workspace_));
    EXPECT_EQ(static_cast<HRESULT>(0x800A004C),
              GetDirectory(Remote(L"target"), LocalFile(L"no-parent\\child"), VARIANT_FALSE, VARIANT_TRUE));
    error = TakeError();
    EXPECT_EQ(L"Path not found", error.description);
    EXPECT_EQ(workspace_, Directory());
}

TEST_P(FtpTree, RelativeRemotePathsResolveAgainstTheDirectoryTheyEnter) {
    Write(remoteFolder_, {{L"rel\\", ""}, {L"rel\\f.txt", "f"}});
    // The file is asked for as rel/f.txt from inside rel: one level too deep.
    ExpectRaised(kGetFile, GetDirectory(L"rel", LocalFile(L"down"), VARIANT_FALSE, VARIANT_TRUE), kGetFileMessage,
                 L"55");
    EXPECT_EQ(workspace_, Directory());

    // An upload without traversal stores every file by name: a relative path works.
    ASSERT_EQ(S_OK, SetDirectory(workspace_));
    Write(localFolder_, {{L"up\\", ""}});
    Write(LocalFile(L"up"), kNested);
    ASSERT_EQ(S_OK, CreateDirectory(L"relup"));
    ASSERT_EQ(S_OK, PutDirectory(LocalFile(L"up"), L"relup", VARIANT_FALSE));
    EXPECT_EQ(2u, Read(RemoteFile(L"relup")).size());
    // With traversal the first subfolder is entered one level too deep.
    EXPECT_EQ(kSetDirectory, PutDirectory(LocalFile(L"up"), L"relup", VARIANT_TRUE));
    TakeError();
}

// proftpd lists "." and ".." in folders named "dots" (see its configuration).
TEST_P(FtpTree, DotEntriesAreNeitherDownloadedNorEntered) {
    Write(remoteFolder_, {{L"dots\\", ""}, {L"dots\\f.txt", "f"}, {L"dots\\inner\\", ""}, {L"dots\\inner\\g.txt", "g"}});
    const std::vector<std::wstring> listed = ListedNames(Remote(L"dots"));
    if (Server().name == "proftpd") EXPECT_EQ(1, std::count(listed.begin(), listed.end(), L".."));
    ASSERT_EQ(S_OK, GetDirectory(Remote(L"dots"), LocalFile(L"down"), VARIANT_FALSE, VARIANT_TRUE));
    EXPECT_EQ((Tree{{L"f.txt", "f"}, {L"inner\\", ""}, {L"inner\\g.txt", "g"}}), Read(LocalFile(L"down")));
}

TEST_P(FtpTree, ListedNamesThatAreNoPlainFileNameAreNeverWritten) {
    // Made through the server, which takes every one of them as a plain name.
    ASSERT_EQ(S_OK, CreateDirectory(L"hostile"));
    ASSERT_TRUE(WriteBytes(LocalFile(L"payload"), "payload"));
    const std::vector<std::wstring> hostile = {L"..\\..\\escape.txt", L"a:b.txt", L"CON", L"com1.log", L"trail.",
                                               L"pipe|name", L"CONIN$", L"conout$.log"};
    size_t stored = 0;
    for (const std::wstring& name : hostile) {
        // pure-ftpd refuses names with a backslash itself.
        if (PutFile(LocalFile(L"payload"), L"hostile/" + name) == S_OK) ++stored;
        else TakeError();
    }
    EXPECT_LE(hostile.size() - (IsPureFtpd() ? 1 : 0), stored);
    ASSERT_EQ(S_OK, PutFile(LocalFile(L"payload"), L"hostile/good.txt"));

    const std::vector<std::wstring> order = ListedNames(Remote(L"hostile"));
    auto firstHostile = std::find_if(order.begin(), order.end(), [](const std::wstring& name) { return name != L"good.txt"; });
    const bool goodFirst = order.front() == L"good.txt";

    ExpectRaised(kGetFile, GetDirectory(Remote(L"hostile"), LocalFile(L"down"), VARIANT_TRUE, VARIANT_TRUE),
                 kGetFileMessage, L"GetFile error code: 123 ");
    EXPECT_NE(order.end(), firstHostile);
    // Nothing outside the target folder, nothing but the good file inside it.
    EXPECT_FALSE(FileExists(LocalFile(L"escape.txt")));
    EXPECT_FALSE(FileExists(Scratch() + L"\\escape.txt"));
    const Tree expected = goodFirst ? Tree{{L"good.txt", "payload"}} : Tree{};
    EXPECT_EQ(expected, Read(LocalFile(L"down")));
    EXPECT_EQ(workspace_, Directory());
}

TEST_P(FtpTree, TheSecondOfTwoCaseTwinsStopsTheDownloadAndTheFirstStays) {
    ASSERT_TRUE(WriteBytes(LocalFile(L"first"), "first"));
    ASSERT_TRUE(WriteBytes(LocalFile(L"second"), "second"));
    // Files, letters beyond ASCII, and folders (each holding x.txt) twin alike.
    std::vector<std::wstring> order;
    std::string firstContent;
    for (const auto& [folder, one, other] : {std::tuple{L"accent-twins", L"caf\u00e9.txt", L"CAF\u00c9.txt"},
                                             std::tuple{L"folder-twins", L"D", L"d"},
                                             std::tuple{L"twins", L"Readme.txt", L"README.TXT"}}) {
        SCOPED_TRACE(folder);
        ASSERT_EQ(S_OK, SetDirectory(workspace_));  // a failed download leaves the directory it was in
        const bool folders = std::wstring(one) == L"D";
        ASSERT_EQ(S_OK, CreateDirectory(folder));
        for (const auto& [twin, content] : {std::pair{one, L"first"}, std::pair{other, L"second"}}) {
            if (folders) ASSERT_EQ(S_OK, CreateDirectory(folder + (L"/" + std::wstring(twin))));
            ASSERT_EQ(S_OK, PutFile(LocalFile(content), folder + (L"/" + std::wstring(twin)) + (folders ? L"/x.txt" : L"")));
        }
        order = ListedNames(Remote(folder));
        ASSERT_EQ(2u, order.size());
        firstContent = order[0] == one ? "first" : "second";
        // The local file system takes both names for one entry: the second twin
        // stops the operation before anything is written for it, with overwrite
        // or without, and the first twin's file stays.
        for (VARIANT_BOOL overwrite : {VARIANT_FALSE, VARIANT_TRUE}) {
            const std::wstring target = LocalFile(std::wstring(folder) + (overwrite ? L"-replace" : L"-keep"));
            ExpectRaised(kGetFile, GetDirectory(Remote(folder), target, overwrite, VARIANT_TRUE), kGetFileMessage,
                         L"GetFile error code: 80 ");
            const Tree kept = Read(target);
            ASSERT_EQ(folders ? 2u : 1u, kept.size());
            EXPECT_EQ(order[0] + (folders ? L"\\" : L""), kept.begin()->first);
            EXPECT_EQ(firstContent, kept.rbegin()->second);
        }
    }
    // A file that was there before the call is still replaced, by the first twin.
    ASSERT_TRUE(::CreateDirectoryW(LocalFile(L"stale").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(LocalFile(L"stale\\") + order[1], "stale"));
    ExpectRaised(kGetFile, GetDirectory(Remote(L"twins"), LocalFile(L"stale"), VARIANT_TRUE, VARIANT_TRUE),
                 kGetFileMessage, L"GetFile error code: 80 ");
    Tree stale = Read(LocalFile(L"stale"));
    ASSERT_EQ(1u, stale.size());
    EXPECT_EQ(firstContent, stale.begin()->second);
}

TEST_P(FtpTree, DownloadsStopBelow64Levels) {
    std::wstring path = RemoteFile(L"deep");
    ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr));
    for (int level = 1; level <= 65; ++level) {
        path += L"\\d";
        ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << level;
    }
    ExpectRaised(kSetDirectory, GetDirectory(Remote(L"deep"), LocalFile(L"deep"), VARIANT_FALSE, VARIANT_TRUE),
                 L"Error setting directory.", L"GetDirectory error code: 1921 ");
    std::wstring deepest = LocalFile(L"deep");
    for (int level = 1; level <= 63; ++level) deepest += L"\\d";
    EXPECT_TRUE(FileExists(deepest)) << "64 levels were taken";
    EXPECT_FALSE(FileExists(deepest + L"\\d"));
    EXPECT_EQ(workspace_, Directory()) << "each level went back to where it started";
}

// scripts/test made this folder: inner\back is a link to its parent.
TEST_P(FtpTree, AFolderReachedAgainThroughALinkIsUploadedOnce) {
    const std::wstring looped = Scratch() + L"\\fixtures\\looped";
    ASSERT_TRUE(FileExists(looped + L"\\inner\\back\\inner")) << "the link fixture is missing";
    ASSERT_EQ(S_OK, CreateDirectory(L"looped"));
    ASSERT_EQ(S_OK, PutDirectory(looped, Remote(L"looped"), VARIANT_TRUE));
    EXPECT_EQ((Tree{{L"top.txt", "top"}, {L"inner\\", ""}, {L"inner\\inner.txt", "inner"}}), Read(RemoteFile(L"looped")));
    EXPECT_EQ(workspace_, Directory());
}

INSTANTIATE_FOR_EVERY_SERVER_PASSIVE(FtpTree);

}  // namespace
