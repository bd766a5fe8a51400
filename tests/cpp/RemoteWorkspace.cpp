#include "RemoteWorkspace.h"

void RemoteWorkspace::SetUp() {
    HRESULT opened = E_FAIL;
    ftp_ = ConnectedFtp(Server(), std::get<1>(GetParam()), FtpPassword(), opened);
    ASSERT_EQ(S_OK, opened);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    // A parameterized test's name ends in "/<instance>"; the folder takes the part before it.
    std::string testName = test->name();
    std::string name = testName.substr(0, testName.find('/')) + "-" + ServerModeName(GetParam());
    // A second run in the same folders (under another code page) tags its own.
    const std::wstring tag = EnvText("QUORLIN_WORKSPACE_TAG");
    if (!tag.empty()) name += "-" + std::string(tag.begin(), tag.end());
    name_.assign(name.begin(), name.end());
    loginDirectory_ = Directory();
    ASSERT_EQ(S_OK, CreateDirectory(name_)) << "leftover from an earlier run?";
    ASSERT_EQ(S_OK, SetDirectory(name_));
    remoteFolder_ = FtpHomeWindows() + L"\\" + name_;
    localFolder_ = Scratch() + L"\\" + name_;
    ASSERT_TRUE(::CreateDirectoryW(localFolder_.c_str(), nullptr));
}

std::wstring RemoteWorkspace::Directory() {
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(S_OK, ftp_->get_Directory(&value));
    EXPECT_EQ(VT_BSTR, V_VT(&value));
    std::wstring text = ReadText(value);
    VariantClear(&value);
    return text;
}

HRESULT RemoteWorkspace::SetDirectory(const std::wstring& directory) {
    TextArgument argument(directory);
    return ftp_->put_Directory(&argument);
}

HRESULT RemoteWorkspace::CreateDirectory(const std::wstring& name) {
    TextArgument argument(name);
    return ftp_->CreateDirectory(&argument);
}

HRESULT RemoteWorkspace::RemoveDirectory(const std::wstring& name) {
    TextArgument argument(name);
    return ftp_->RemoveDirectory(&argument);
}

HRESULT RemoteWorkspace::RenameFile(const std::wstring& from, const std::wstring& to) {
    TextArgument oldName(from), newName(to);
    return ftp_->RenameFile(&oldName, &newName);
}

HRESULT RemoteWorkspace::DeleteFile(const std::wstring& path) {
    TextArgument argument(path);
    return ftp_->DeleteFile(&argument);
}

HRESULT RemoteWorkspace::PutFile(const std::wstring& local, const std::wstring& remote) {
    TextArgument localPath(local), remotePath(remote);
    return ftp_->PutFile(&localPath, &remotePath);
}

HRESULT RemoteWorkspace::GetFile(const std::wstring& remote, const std::wstring& local, VARIANT_BOOL overwrite) {
    TextArgument remotePath(remote), localPath(local);
    return ftp_->GetFile(&remotePath, &localPath, &overwrite);
}

void RemoteWorkspace::SetTransferType(LONG type) {
    Ftp_Transfer_Type value = static_cast<Ftp_Transfer_Type>(type);
    EXPECT_EQ(S_OK, ftp_->put_TransferType(&value));
}
