// A fixture for tests against a real server: a logged-in FTP object whose
// remote working directory is a fresh folder of its own, made through the
// server so the FTP user may write there, and a fresh local folder.
#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

class RemoteWorkspace : public ::testing::TestWithParam<ServerMode> {
protected:
    void SetUp() override;

    const FtpServer& Server() const { return std::get<0>(GetParam()); }
    bool IsPureFtpd() const { return Server().name == "pureftpd"; }

    // The object's members with plain texts.
    std::wstring Directory();
    HRESULT SetDirectory(const std::wstring& directory);
    HRESULT CreateDirectory(const std::wstring& name);
    HRESULT RemoveDirectory(const std::wstring& name);
    HRESULT RenameFile(const std::wstring& from, const std::wstring& to);
    HRESULT DeleteFile(const std::wstring& path);
    HRESULT PutFile(const std::wstring& local, const std::wstring& remote);
    HRESULT GetFile(const std::wstring& remote, const std::wstring& local, VARIANT_BOOL overwrite);
    void SetTransferType(LONG type);

    // Windows paths: of an entry in the remote folder as the test reaches it
    // on disk, and of an entry in the local folder.
    std::wstring RemoteFile(const std::wstring& name) const { return remoteFolder_ + L"\\" + name; }
    std::wstring LocalFile(const std::wstring& name) const { return localFolder_ + L"\\" + name; }

    ComPtr<_FTP> ftp_;
    std::wstring name_;         // the folder's name, remote and local
    std::wstring loginDirectory_;
    std::wstring remoteFolder_;
    std::wstring localFolder_;
};

// Instantiates a RemoteWorkspace suite for every server, passive and active.
#define INSTANTIATE_FOR_EVERY_SERVER(suite)                                                                  \
    INSTANTIATE_TEST_SUITE_P(Servers, suite, ::testing::ValuesIn(ServerModes()),                           \
                             [](const ::testing::TestParamInfo<ServerMode>& info) {                       \
                                 return ServerModeName(info.param);                                        \
                             });                                                                           \
    GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(suite)

// The same for every server in passive mode only, for suites whose data
// connections add nothing that the transfer suites do not cover.
#define INSTANTIATE_FOR_EVERY_SERVER_PASSIVE(suite)                                                          \
    INSTANTIATE_TEST_SUITE_P(Servers, suite, ::testing::ValuesIn(PassiveServerModes()),                    \
                             [](const ::testing::TestParamInfo<ServerMode>& info) {                       \
                                 return ServerModeName(info.param);                                        \
                             });                                                                           \
    GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(suite)
