// Settings of the FTP object, early bound through the vtable and late bound
// through IDispatch.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

ComPtr<_FTP> NewFtp() { return NewObject<_FTP>(CLSID_FTP); }

TEST(FtpSettings, NewObjectHasItsDefaults) {
    ComPtr<_FTP> ftp = NewFtp();
    LONG port = 0;
    ASSERT_EQ(S_OK, ftp->get_Port(&port));
    EXPECT_EQ(21, port);
    VARIANT_BOOL passive = VARIANT_TRUE;
    ASSERT_EQ(S_OK, ftp->get_Passive(&passive));
    EXPECT_EQ(VARIANT_FALSE, passive);
    EXPECT_EQ(L"0.88.3b", ReadProperty(&_FTP::get_Version, ftp.Get()));
    EXPECT_EQ(L"", ReadProperty(&_FTP::get_URL, ftp.Get()));
    EXPECT_EQ(L"", ReadProperty(&_FTP::get_Username, ftp.Get()));
    EXPECT_EQ(L"", ReadProperty(&_FTP::get_Password, ftp.Get()));
    EXPECT_EQ(L"", ReadProperty(&_FTP::get_Proxy, ftp.Get()));
    EXPECT_EQ(S_OK, ftp->CloseConnection());
}

TEST(FtpSettings, PortRefusesZeroAndLessAndKeepsItsValue) {
    ComPtr<_FTP> ftp = NewFtp();
    for (LONG bad : {0L, -1L}) {
        LONG value = bad;
        EXPECT_EQ(static_cast<HRESULT>(0x80040201), ftp->put_Port(&value));
        RaisedError error = TakeError();
        EXPECT_EQ(L"Quorlin.FTP", error.source);
        EXPECT_EQ(L"The port number that you entered is invalid", error.description);
    }
    LONG port = 0;
    ftp->get_Port(&port);
    EXPECT_EQ(21, port);
    for (LONG good : {65535L, 70000L}) {
        LONG value = good;
        EXPECT_EQ(S_OK, ftp->put_Port(&value));
        ftp->get_Port(&port);
        EXPECT_EQ(good, port);
    }
}

TEST(FtpSettings, PortAbove65535OverflowsAtOpenAndLeavesTheObjectClosed) {
    ComPtr<_FTP> ftp = NewFtp();
    VARIANT url = Text(L"127.0.0.1"), user = Text(L"someone");
    ftp->put_URL(&url);
    ftp->put_Username(&user);
    VariantClear(&url);
    VariantClear(&user);
    LONG port = 70000;
    ftp->put_Port(&port);
    EXPECT_EQ(static_cast<HRESULT>(0x800A0006), ftp->OpenConnection());
    EXPECT_EQ(L"Overflow", TakeError().description);
    EXPECT_EQ(S_OK, ftp->CloseConnection());  // never opened: nothing to close
}

TEST(FtpSettings, TextPropertiesConvertVariants) {
    ComPtr<_FTP> ftp = NewFtp();
    VARIANT number = Number(1234);
    ASSERT_EQ(S_OK, ftp->put_URL(&number));
    EXPECT_EQ(L"1234", ReadProperty(&_FTP::get_URL, ftp.Get()));
    VARIANT spaced = Text(L"  host  ");
    ASSERT_EQ(S_OK, ftp->put_Password(&spaced));
    EXPECT_EQ(L"  host  ", ReadProperty(&_FTP::get_Password, ftp.Get()));
    VARIANT empty;
    VariantInit(&empty);
    ASSERT_EQ(S_OK, ftp->put_URL(&empty));
    EXPECT_EQ(L"", ReadProperty(&_FTP::get_URL, ftp.Get()));

    VARIANT kept = Text(L"kept");
    ftp->put_Username(&kept);
    VARIANT null;
    VariantInit(&null);
    V_VT(&null) = VT_NULL;
    EXPECT_EQ(static_cast<HRESULT>(0x800A005E), ftp->put_Username(&null));
    EXPECT_EQ(L"Invalid use of Null", TakeError().description);
    EXPECT_EQ(L"kept", ReadProperty(&_FTP::get_Username, ftp.Get()));
    VariantClear(&spaced);
    VariantClear(&kept);
}

TEST(FtpSettings, ProxyOfBlanksIsNoneOtherwiseKeptUntrimmed) {
    ComPtr<_FTP> ftp = NewFtp();
    VARIANT blanks = Text(L"   ");
    ftp->put_Proxy(&blanks);
    EXPECT_EQ(L"", ReadProperty(&_FTP::get_Proxy, ftp.Get()));
    VARIANT proxy = Text(L" proxy:8080 ");
    ftp->put_Proxy(&proxy);
    EXPECT_EQ(L" proxy:8080 ", ReadProperty(&_FTP::get_Proxy, ftp.Get()));
    VariantClear(&blanks);
    VariantClear(&proxy);
}

TEST(FtpSettings, PassiveNormalisesAnyNonZeroValue) {
    ComPtr<_FTP> ftp = NewFtp();
    for (VARIANT_BOOL value : {static_cast<VARIANT_BOOL>(1), VARIANT_TRUE}) {
        VARIANT_BOOL in = value, out = VARIANT_FALSE;
        ftp->put_Passive(&in);
        ftp->get_Passive(&out);
        EXPECT_EQ(VARIANT_TRUE, out);
    }
    VARIANT_BOOL off = VARIANT_FALSE, out = VARIANT_TRUE;
    ftp->put_Passive(&off);
    ftp->get_Passive(&out);
    EXPECT_EQ(VARIANT_FALSE, out);
}

TEST(FtpSettings, OpenConnectionValidatesUrlFirstThenUsername) {
    ComPtr<_FTP> ftp = NewFtp();
    EXPECT_EQ(static_cast<HRESULT>(0x8004020B), ftp->OpenConnection());
    EXPECT_EQ(L"Needed Property not set.  URL", TakeError().description);
    VARIANT blanks = Text(L"   "), user = Text(L"user");
    ftp->put_URL(&blanks);
    ftp->put_Username(&user);
    EXPECT_EQ(static_cast<HRESULT>(0x8004020B), ftp->OpenConnection());
    EXPECT_EQ(L"Needed Property not set.  URL", TakeError().description);
    VARIANT url = Text(L"127.0.0.1"), noUser = Text(L" ");
    ftp->put_URL(&url);
    ftp->put_Username(&noUser);
    EXPECT_EQ(static_cast<HRESULT>(0x8004020B), ftp->OpenConnection());
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.FTP", error.source);
    EXPECT_EQ(L"Needed Parameter not set.  Username", error.description);
    for (VARIANT* v : {&blanks, &user, &url, &noUser}) VariantClear(v);
}

TEST(FtpSettings, LateBoundCallsCoerceArgumentsAndReportErrors) {
    ComPtr<IDispatch> ftp = CreateByProgId(L"quorlin.FTP");
    ASSERT_TRUE(ftp);
    LateCall putPort;
    CallByName(ftp.Get(), L"Port", DISPATCH_PROPERTYPUT, {Text(L"2121")}, putPort);
    EXPECT_EQ(S_OK, putPort.hr);
    LateCall getPort;
    CallByName(ftp.Get(), L"Port", DISPATCH_PROPERTYGET, {}, getPort);
    EXPECT_EQ(2121, V_I4(&getPort.result));
    LateCall badPort;
    CallByName(ftp.Get(), L"Port", DISPATCH_PROPERTYPUT, {Text(L"abc")}, badPort);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, badPort.hr);
    LateCall zeroPort;
    CallByName(ftp.Get(), L"Port", DISPATCH_PROPERTYPUT, {Number(0)}, zeroPort);
    ASSERT_EQ(DISP_E_EXCEPTION, zeroPort.hr);
    EXPECT_EQ(static_cast<SCODE>(0x80040201), zeroPort.exception.scode);
    EXPECT_EQ(L"Quorlin.FTP", zeroPort.Source());
    EXPECT_EQ(L"The port number that you entered is invalid", zeroPort.Description());
    LateCall readTransferType;
    CallByName(ftp.Get(), L"TransferType", DISPATCH_PROPERTYGET, {}, readTransferType);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, readTransferType.hr);
    LateCall writeTransferType;
    CallByName(ftp.Get(), L"TransferType", DISPATCH_PROPERTYPUT, {Number(3)}, writeTransferType);
    EXPECT_EQ(S_OK, writeTransferType.hr);
    LateCall passive;
    CallByName(ftp.Get(), L"Passive", DISPATCH_PROPERTYPUT, {Number(1)}, passive);
    EXPECT_EQ(S_OK, passive.hr);
    LateCall readPassive;
    CallByName(ftp.Get(), L"Passive", DISPATCH_PROPERTYGET, {}, readPassive);
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&readPassive.result));
}

}  // namespace
