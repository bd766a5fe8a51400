// Opening and closing connections against the real servers named in
// QUORLIN_FTP_SERVERS, passive and active.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

// The server side of every open session.
int ServerSessions(int port) { return TcpConnections(port, MIB_TCP_STATE_ESTAB, false); }

class FtpConnection : public ::testing::TestWithParam<ServerMode> {};

TEST_P(FtpConnection, GoodLoginOpensAndClosesTwiceHarmlessly) {
    auto [server, passive] = GetParam();
    HRESULT opened = E_FAIL;
    ComPtr<_FTP> ftp = ConnectedFtp(server, passive, FtpPassword(), opened);
    ASSERT_EQ(S_OK, opened) << TakeError().description.size();
    // A second opening is a no-op, even after URL changed.
    VARIANT other = Text(L"no.such.host.invalid");
    ftp->put_URL(&other);
    VariantClear(&other);
    EXPECT_EQ(S_OK, ftp->OpenConnection());
    EXPECT_EQ(1, ServerSessions(server.port));
    EXPECT_EQ(S_OK, ftp->CloseConnection());
    EXPECT_EQ(S_OK, ftp->CloseConnection());
}

TEST_P(FtpConnection, RefusedLoginRaisesTheOpeningErrorWithTheErrorText) {
    auto [server, passive] = GetParam();
    HRESULT opened = S_OK;
    ComPtr<_FTP> ftp = ConnectedFtp(server, passive, L"wrong-password", opened);
    EXPECT_EQ(static_cast<HRESULT>(0x80040202), opened);
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.FTP", error.source);
    const std::wstring message = L"Error opening FTP connection.";
    ASSERT_EQ(message, error.description.substr(0, message.size()));
    std::wstring text = error.description.substr(message.size());
    // Either the server's reply (extended error) or "OpenConnection error code: N Message: ...".
    EXPECT_TRUE(text.rfind(L"OpenConnection error code: ", 0) == 0 || text.rfind(L"5", 0) == 0) << "error text";
    EXPECT_EQ(S_OK, ftp->CloseConnection());
}

TEST_P(FtpConnection, ReleasingAnOpenObjectEndsTheSession) {
    auto [server, passive] = GetParam();
    HRESULT opened = E_FAIL;
    ComPtr<_FTP> ftp = ConnectedFtp(server, passive, FtpPassword(), opened);
    ASSERT_EQ(S_OK, opened);
    ASSERT_EQ(1, ServerSessions(server.port));
    ftp.Reset();
    int sessions = -1;
    for (int wait = 0; wait < 50 && sessions != 0; ++wait) {
        sessions = ServerSessions(server.port);
        if (sessions != 0) Sleep(100);
    }
    EXPECT_EQ(0, sessions);
}

TEST_P(FtpConnection, ClosedObjectReconnectsWithCurrentSettings) {
    auto [server, passive] = GetParam();
    HRESULT opened = E_FAIL;
    ComPtr<_FTP> ftp = ConnectedFtp(server, passive, FtpPassword(), opened);
    ASSERT_EQ(S_OK, opened);
    ASSERT_EQ(S_OK, ftp->CloseConnection());
    VARIANT wrong = Text(L"wrong-password");
    ftp->put_Password(&wrong);
    VariantClear(&wrong);
    EXPECT_EQ(static_cast<HRESULT>(0x80040202), ftp->OpenConnection());
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpConnection, ::testing::ValuesIn(ServerModes()),
                         [](const ::testing::TestParamInfo<ServerMode>& info) { return ServerModeName(info.param); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FtpConnection);

}  // namespace
