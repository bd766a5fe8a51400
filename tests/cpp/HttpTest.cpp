// The HTTP object: URL splitting with its write-back through the vtable, and
// GetString against nginx (plain and TLS) and the stand-in server: bodies,
// errors, what reaches the server, and the handles after a failure.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

const HRESULT kSendRequest = static_cast<HRESULT>(0x800403E9);
const HRESULT kReadFile = static_cast<HRESULT>(0x800403EB);
const HRESULT kNoUrl = static_cast<HRESULT>(0x800403EC);
const HRESULT kOverflow = static_cast<HRESULT>(0x800A0006);

// A name that cannot resolve and is refused before any lookup leaves the
// machine: one label longer than 63 characters.
const std::wstring kUnresolvable = std::wstring(64, L'x') + L".invalid";

ComPtr<_HTTP> NewHttp() { return NewObject<_HTTP>(CLSID_HTTP); }

struct Split {
    HRESULT hr;
    std::wstring argument;  // what the caller's variable holds afterwards
    std::wstring server;
    std::wstring path;
};

Split WriteUrl(_HTTP* http, const std::wstring& url) {
    BSTR argument = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    Split split;
    split.hr = http->put_URL(&argument);
    split.argument.assign(argument, SysStringLen(argument));
    SysFreeString(argument);
    split.server = ReadProperty(&_HTTP::get_ServerName, http);
    split.path = ReadProperty(&_HTTP::get_Path, http);
    return split;
}

class HttpPages : public ::testing::Test {
protected:
    std::wstring Plain(const std::wstring& path) const { return L"127.0.0.1:" + EnvText("QUORLIN_HTTP_PORT") + path; }
    std::wstring Secure(const std::wstring& path) const {
        return L"https://127.0.0.1:" + EnvText("QUORLIN_HTTPS_PORT") + path;
    }
    std::wstring StandIn(const std::wstring& path) const {
        return L"127.0.0.1:" + EnvText("QUORLIN_STAND_IN_PORT") + path;
    }
    // Puts a page into nginx's document root.
    static void Publish(const std::wstring& name, const std::string& bytes) {
        ASSERT_TRUE(WriteBytes(EnvText("QUORLIN_WWW") + L"\\" + name, bytes));
    }
    HRESULT Fetch(const std::wstring& url, std::wstring& text) {
        WriteUrl(http_.Get(), url);
        BSTR result = nullptr;
        HRESULT hr = http_->GetString(&result);
        text.assign(result ? result : L"", result ? SysStringLen(result) : 0);
        SysFreeString(result);
        return hr;
    }
    std::wstring Fetched(const std::wstring& url) {
        std::wstring text;
        EXPECT_EQ(S_OK, Fetch(url, text)) << std::string(url.begin(), url.end());
        return text;
    }
    // The lines nginx logged since the test began (see the log format in scripts/lib/common.sh).
    std::vector<std::string> LoggedRequests() {
        std::istringstream log(ReadBytes(EnvText("QUORLIN_HTTP_LOG")).value_or(""));
        std::vector<std::string> lines;
        for (std::string line; std::getline(log, line);) lines.push_back(line);
        return std::vector<std::string>(lines.begin() + std::min(lines.size(), logStart_), lines.end());
    }
    void SetUp() override {
        http_ = NewHttp();
        logStart_ = 0;
        logStart_ = LoggedRequests().size();
    }
    // What a raised error of the HTTP object says.
    static void ExpectHttpError(HRESULT code, HRESULT got, const std::wstring& description) {
        EXPECT_EQ(code, got);
        RaisedError error = TakeError();
        EXPECT_EQ(L"Quorlin.HTTP", error.source);
        EXPECT_EQ(description, error.description.substr(0, description.size()))
            << std::string(error.description.begin(), error.description.end());
    }

    ComPtr<_HTTP> http_;
    size_t logStart_ = 0;
};

std::wstring AnsiText(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return text;
}

TEST(HttpUrl, SplitsIntoServerNameAndPathAndWritesTheRestBack) {
    ComPtr<_HTTP> http = NewHttp();
    EXPECT_EQ(L"", ReadProperty(&_HTTP::get_ServerName, http.Get()));
    EXPECT_EQ(L"", ReadProperty(&_HTTP::get_Path, http.Get()));
    EXPECT_EQ(L".88b", ReadProperty(&_HTTP::get_Version, http.Get()));
    struct Case {
        const wchar_t* url;
        const wchar_t* argument;
        const wchar_t* server;
        const wchar_t* path;
    } cases[] = {
        {L"HTTP://Host/Dir/Page?x=1", L"Host/Dir/Page?x=1", L"Host", L"/Dir/Page?x=1"},
        {L"  host  ", L"host", L"host", L"/"},
        {L"https://host:81/a", L"host:81/a", L"host:81", L"/a"},
        {L"http://", L"", L"", L"/"},
        {L"/page", L"/page", L"", L"/page"},
        {L"host/go?to=http://x", L"host/go?to=http://x", L"host", L"/go?to=http://x"},
        {L"http://https://host/x", L"host/x", L"host", L"/x"},
        {L"HtTpS://Mixed.Case/Path", L"Mixed.Case/Path", L"Mixed.Case", L"/Path"},
        {L"ftp://host/a", L"ftp://host/a", L"ftp:", L"//host/a"},
        {L"\thost\t", L"\thost\t", L"\thost\t", L"/"},  // only blanks are trimmed
    };
    for (const Case& c : cases) {
        Split split = WriteUrl(http.Get(), c.url);
        SCOPED_TRACE(std::wstring(L"URL ") + c.url);
        EXPECT_EQ(S_OK, split.hr);
        EXPECT_EQ(c.argument, split.argument);
        EXPECT_EQ(c.server, split.server);
        EXPECT_EQ(c.path, split.path);
    }
    // Empty after trimming: the argument is trimmed, the split stays.
    for (const wchar_t* empty : {L"", L"    "}) {
        Split split = WriteUrl(http.Get(), empty);
        EXPECT_EQ(S_OK, split.hr);
        EXPECT_EQ(L"", split.argument);
        EXPECT_EQ(L"\thost\t", split.server);
    }
}

TEST(HttpUrl, AFirstSlashBeyond32767CharactersOverflowsAfterTheWriteBack) {
    ComPtr<_HTTP> http = NewHttp();
    WriteUrl(http.Get(), L"kept/path");
    const std::wstring longest = std::wstring(32766, L'h') + L"/ok";  // the slash at 32767
    Split split = WriteUrl(http.Get(), L"http://" + longest);
    EXPECT_EQ(S_OK, split.hr);
    EXPECT_EQ(32766u, split.server.size());
    const std::wstring tooLong = std::wstring(32767, L'h') + L"/x";  // the slash at 32768
    split = WriteUrl(http.Get(), L" https://" + tooLong + L" ");
    EXPECT_EQ(kOverflow, split.hr);
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.HTTP", error.source);
    EXPECT_EQ(tooLong, split.argument) << "trimmed and stripped before the overflow";
    EXPECT_EQ(32766u, split.server.size()) << "the previous split stays";
}

TEST_F(HttpPages, BodiesOfEveryStatusComeBackWhole) {
    std::string big;
    for (int i = 0; i < 600000; ++i) big += static_cast<char>(0x20 + (i * 7 + i / 1000) % 0xDF);
    Publish(L"big.bin", big);
    Publish(L"empty.html", "");
    Publish(L"page.html", "<p>hello</p>\n");
    EXPECT_EQ(AnsiText(big), Fetched(Plain(L"/big.bin"))) << "many reads, byte for byte";
    EXPECT_EQ(L"", Fetched(Plain(L"/empty.html")));
    EXPECT_EQ(L"<p>hello</p>\n", Fetched(Plain(L"/page.html")));
    EXPECT_EQ(L"<p>hello</p>\n", Fetched(Plain(L"/page.html"))) << "twice in a row";
    EXPECT_EQ(L"the server failed\n", Fetched(Plain(L"/status/500")));
    EXPECT_NE(std::wstring::npos, Fetched(Plain(L"/missing.html")).find(L"404 Not Found"));
    // The stand-in's body: every byte value in turn, 400 times.
    std::string body;
    for (int i = 0; i < 400; ++i)
        for (int c = 0; c < 256; ++c) body += static_cast<char>(c);
    EXPECT_EQ(AnsiText(body), Fetched(StandIn(L"/stall"))) << "a pause inside the body";
    EXPECT_EQ(AnsiText(body + body + body), Fetched(StandIn(L"/chunked"))) << "chunks and no announced length";
    // The platform delivers bytes beyond the announced length; none of them is lost.
    EXPECT_EQ(L"01234567890123456789", Fetched(StandIn(L"/overlong")));

    const std::vector<std::string> requests = LoggedRequests();
    ASSERT_EQ(6u, requests.size());
    EXPECT_EQ("\"GET /big.bin HTTP/1.1\" agent=\"Quorlin.HTTP\" host=\"127.0.0.1:" +
                  std::string(std::getenv("QUORLIN_HTTP_PORT")) +
                  "\" ims=\"-\" inm=\"-\" cc=\"-\" pragma=\"no-cache\" status=200 port=" +
                  std::getenv("QUORLIN_HTTP_PORT"),
              requests[0]);
    for (const std::string& request : requests) EXPECT_NE(std::string::npos, request.find("ims=\"-\" inm=\"-\""));
}

TEST_F(HttpPages, FailuresCarryTheirCodesAndTexts) {
    std::wstring text;
    BSTR result = nullptr;
    ExpectHttpError(kNoUrl, http_->GetString(&result), L"No URL set.  Please ensure that the URL property is set.");
    EXPECT_EQ(nullptr, result);
    ExpectHttpError(kNoUrl, Fetch(L"   /page.html", text), L"No URL set.  Please ensure that the URL property is set.");
    // The object stayed closed: the next URL is used.
    Publish(L"after.html", "after");
    EXPECT_EQ(L"after", Fetched(Plain(L"/after.html")));

    ExpectHttpError(kSendRequest, Fetch(L"127.0.0.1:1/", text),
                    L"Error opening request received from remote server.GetString error code: 12029 Message: "
                    L"The attempt to connect to the server failed.");
    ExpectHttpError(kSendRequest, Fetch(kUnresolvable + L"/x", text),
                    L"Error opening request received from remote server.GetString error code: 12007 ");
    // A port text that is no port is part of the name, which then cannot resolve.
    for (const wchar_t* port : {L":abc", L":0", L":65536", L":", L":123456"}) {
        ExpectHttpError(kSendRequest, Fetch(std::wstring(64, L'x') + port + L"/x", text),
                        L"Error opening request received from remote server.GetString error code: 12007 ");
    }
    // A body cut short by a dropped connection is a failed read, not the page.
    ExpectHttpError(kReadFile, Fetch(StandIn(L"/drop"), text),
                    L"Error getting information out of request.GetString error code: 12030 ");
    EXPECT_EQ(L"", text);
}

TEST_F(HttpPages, AfterAFailureTheNextCallStartsAfreshWithTheCurrentUrl) {
    Publish(L"fresh.html", "fresh");
    std::wstring text;
    EXPECT_EQ(kSendRequest, Fetch(L"127.0.0.1:1/fresh.html", text));
    TakeError();
    EXPECT_EQ(L"fresh", Fetched(Plain(L"/fresh.html")));
    EXPECT_EQ(kReadFile, Fetch(StandIn(L"/drop"), text));
    TakeError();
    EXPECT_EQ(L"fresh", Fetched(Plain(L"/fresh.html")));

    // Failed calls leave no connection behind: none of the dropped ones is
    // still open here, waiting to be closed.
    const int port = std::atoi(std::getenv("QUORLIN_STAND_IN_PORT"));
    for (int call = 0; call < 1000; ++call) {
        ASSERT_EQ(kReadFile, Fetch(StandIn(L"/drop"), text)) << call;
        TakeError();
    }
    EXPECT_EQ(0, TcpConnections(port, MIB_TCP_STATE_CLOSE_WAIT, true));
}

TEST_F(HttpPages, HttpsGoesOverTlsWithTheUsualChecks) {
    Publish(L"secret.html", "over TLS");
    EXPECT_EQ(L"over TLS", Fetched(Secure(L"/secret.html")));
    std::wstring text;
    // https:// to the plain port: a TLS failure, never the page in clear.
    ExpectHttpError(kSendRequest, Fetch(L"https://" + Plain(L"/secret.html"), text),
                    L"Error opening request received from remote server.GetString error code: 12157 ");
    EXPECT_EQ(L"", text);
    // A certificate for another name.
    ExpectHttpError(kSendRequest,
                    Fetch(L"https://127.0.0.1:" + EnvText("QUORLIN_HTTPS_OTHER_NAME_PORT") + L"/secret.html", text),
                    L"Error opening request received from remote server.GetString error code: 12038 ");
    // Writing a URL without the scheme goes back to plain HTTP.
    EXPECT_EQ(L"over TLS", Fetched(L"http://" + Plain(L"/secret.html")));
    EXPECT_EQ(L"over TLS", Fetched(Secure(L"/secret.html")));
    // The TLS greeting that reached the plain port was never a GET.
    std::vector<std::string> requests;
    for (const std::string& line : LoggedRequests())
        if (line.rfind("\"GET ", 0) == 0) requests.push_back(line);
    ASSERT_EQ(3u, requests.size());
    EXPECT_NE(std::string::npos, requests[0].find("port=" + std::string(std::getenv("QUORLIN_HTTPS_PORT"))));
    EXPECT_NE(std::string::npos, requests[1].find("port=" + std::string(std::getenv("QUORLIN_HTTP_PORT"))));
}

TEST_F(HttpPages, EveryFetchReachesTheServerAndNothingIsCached) {
    Publish(L"changing.html", "first");
    EXPECT_EQ(L"first", Fetched(Plain(L"/changing.html")));
    Publish(L"changing.html", "second");
    EXPECT_EQ(L"second", Fetched(Plain(L"/changing.html")));
    EXPECT_EQ(2u, LoggedRequests().size());
    const std::wstring url = L"http://" + Plain(L"/changing.html");
    DWORD size = 0;
    EXPECT_FALSE(GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError()) << "the page is not in the platform's cache";
}

// Run by scripts/test under a multi-byte code page as well (QUORLIN_EXPECT_ACP).
TEST_F(HttpPages, TheBodyIsDecodedAsAWholeInTheAnsiCodePage) {
    if (const char* expected = std::getenv("QUORLIN_EXPECT_ACP")) ASSERT_EQ(std::strtoul(expected, nullptr, 10), GetACP());
    // Double-byte Shift-JIS characters after one single byte: every read
    // boundary at an even offset falls inside a character.
    std::string body = "A";
    while (body.size() < 600000) body += "\x82\xA0\x88\x9F";  // HIRAGANA A, a kanji
    Publish(L"multibyte.txt", body);
    EXPECT_EQ(AnsiText(body), Fetched(Plain(L"/multibyte.txt")));
}

}  // namespace
