// The WinINet-shaped HTTP client against a local server: the reply read in
// pieces, WinINet's error numbers for refused connections, bad addresses
// and bad handles, the bound on what a reply keeps, and the request made in
// steps (a POST with its headers, body and credentials).
#include "platform/internet.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/modules.h"
#include "tests/support/local_http_server.h"

namespace {

using vexa::test::LocalHttpServer;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string ReadAll(HINTERNET reply, DWORD piece) {
    std::string body;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        EXPECT_TRUE(InternetReadFile(reply, buffer, piece, &got));
        if (got == 0) return body;
        body.append(buffer, got);
    }
}

TEST(Internet, ReadsTheReplyInPiecesWhateverItsStatus) {
    for (int status : {200, 404}) {
        LocalHttpServer server("0123456789abcdef", status);
        HINTERNET session = InternetOpenW(L"Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        ASSERT_TRUE(session);
        HINTERNET reply = InternetOpenUrlW(session, Wide(server.base() + "/a/b.ver").c_str(), nullptr, DWORD(-1),
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_ASCII, 0);
        ASSERT_TRUE(reply) << GetLastError();
        EXPECT_EQ(ReadAll(reply, 5), "0123456789abcdef");
        EXPECT_TRUE(InternetCloseHandle(reply));
        EXPECT_TRUE(InternetCloseHandle(session));
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(server.requests()[0].path, "/a/b.ver");
        EXPECT_EQ(server.requests()[0].agent, "Agent");
    }
}

TEST(Internet, KeepsAtMostTheBoundOfALongReply) {
    LocalHttpServer server(std::string(vexa::platform::kMaxResponseBytes + 1000, 'z'));
    HINTERNET session = InternetOpenW(L"Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET reply = InternetOpenUrlW(session, Wide(server.base() + "/").c_str(), nullptr, 0, 0, 0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(ReadAll(reply, 4096).size(), vexa::platform::kMaxResponseBytes);
    InternetCloseHandle(reply);
    InternetCloseHandle(session);
}

TEST(Internet, FailuresGiveWinInetErrorNumbers) {
    vexa::test::RefusingPort port;
    HINTERNET session = InternetOpenW(L"Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    struct Case {
        std::wstring url;
        DWORD error;
    };
    const Case cases[] = {
        {Wide(port.base() + "/x"), ERROR_INTERNET_CANNOT_CONNECT},
        {L"ftp://127.0.0.1/x", ERROR_INTERNET_UNRECOGNIZED_SCHEME},
        {L"http://", ERROR_INTERNET_INVALID_URL},
        {L"http://" + std::wstring(3000, L'a'), ERROR_INTERNET_INVALID_URL},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(InternetOpenUrlW(session, c.url.c_str(), nullptr, 0, 0, 0), nullptr);
        EXPECT_EQ(GetLastError(), c.error) << std::string(c.url.begin(), c.url.begin() + std::min<size_t>(40, c.url.size()));
    }
    InternetCloseHandle(session);

    DWORD got = 7;
    char byte;
    EXPECT_FALSE(InternetReadFile(session, &byte, 1, &got));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(session));
    EXPECT_EQ(InternetOpenUrlW(session, L"http://127.0.0.1/", nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(InternetOpenW(L"Agent", 3, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Internet, OfferedByTheInternetLibrary) {
    HMODULE wininet = LoadLibraryA("WININET");
    ASSERT_TRUE(wininet);
    for (const char* name : {"InternetOpenW", "InternetOpenUrlW", "InternetReadFile", "InternetCloseHandle",
                             "InternetOpenA", "InternetConnectA", "HttpOpenRequestA", "HttpSendRequestA",
                             "InternetSetOptionA", "InternetQueryOptionA"})
        EXPECT_TRUE(GetProcAddress(wininet, name)) << name;
    FreeLibrary(wininet);
}

INTERNET_PORT PortOf(const std::string& base) { return INTERNET_PORT(std::stoi(base.substr(base.rfind(':') + 1))); }

TEST(InternetRequest, PostsTheBodyWithItsHeadersAndCredentials) {
    LocalHttpServer server("0,ID");
    HINTERNET session = InternetOpenA("AgentA", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_TRUE(session);
    DWORD timeout = 60000, length = sizeof timeout;
    EXPECT_TRUE(InternetSetOptionA(session, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout));
    DWORD read = 0;
    EXPECT_TRUE(InternetQueryOptionA(session, INTERNET_OPTION_SEND_TIMEOUT, &read, &length));
    EXPECT_EQ(read, 60000u);
    HINTERNET connection = InternetConnectA(session, "127.0.0.1", PortOf(server.base()), "user", "secret",
                                            INTERNET_SERVICE_HTTP, 0, 1);
    ASSERT_TRUE(connection) << GetLastError();
    HINTERNET request = HttpOpenRequestA(connection, "POST", "form.php", nullptr, nullptr, nullptr, INTERNET_FLAG_RELOAD, 1);
    ASSERT_TRUE(request) << GetLastError();
    std::string body = "a=1&b=" + std::string(300000, 'x');  // larger than one read of the server
    ASSERT_TRUE(HttpSendRequestA(request, "Content-Type: application/x-www-form-urlencoded; charset=utf-8", DWORD(-1),
                                 body.data(), DWORD(body.size())))
        << GetLastError();
    EXPECT_EQ(ReadAll(request, 1), "0,ID");
    for (HINTERNET handle : {request, connection, session}) EXPECT_TRUE(InternetCloseHandle(handle));

    ASSERT_EQ(server.requests().size(), 1u);
    const LocalHttpServer::Request got = server.requests()[0];
    EXPECT_EQ(got.method, "POST");
    EXPECT_EQ(got.path, "/form.php");
    EXPECT_EQ(got.agent, "AgentA");
    EXPECT_EQ(got.contentType, "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(got.authorization, "Basic dXNlcjpzZWNyZXQ=");  // "user:secret"
    EXPECT_EQ(got.body, body);
}

TEST(InternetRequest, FailuresOfTheStepsGiveWinInetErrorNumbers) {
    vexa::test::RefusingPort port;
    HINTERNET session = InternetOpenA("Agent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_TRUE(session);
    HINTERNET connection =
        InternetConnectA(session, "127.0.0.1", PortOf(port.base()), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1);
    HINTERNET request = HttpOpenRequestA(connection, "POST", "x.php", nullptr, nullptr, nullptr, 0, 1);
    ASSERT_TRUE(request);
    EXPECT_FALSE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);

    struct Case {
        const char* host;
        DWORD service;
        DWORD error;
    };
    const std::string longHost(300, 'a');
    for (const Case& c : {Case{"bad host/x", INTERNET_SERVICE_HTTP, ERROR_INTERNET_INVALID_URL},
                          Case{longHost.c_str(), INTERNET_SERVICE_HTTP, ERROR_INTERNET_INVALID_URL},
                          Case{"", INTERNET_SERVICE_HTTP, ERROR_INTERNET_INVALID_URL},
                          Case{"127.0.0.1", 1, ERROR_INVALID_PARAMETER}}) {
        EXPECT_EQ(InternetConnectA(session, c.host, 80, nullptr, nullptr, c.service, 0, 1), nullptr);
        EXPECT_EQ(GetLastError(), c.error) << c.host;
    }
    EXPECT_EQ(HttpOpenRequestA(session, "POST", "x", nullptr, nullptr, nullptr, 0, 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    EXPECT_EQ(HttpOpenRequestA(connection, "POST", "a b", nullptr, nullptr, nullptr, 0, 1), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    DWORD value = 0, length = 2;
    EXPECT_FALSE(InternetSetOptionA(session, 99, &value, sizeof value));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_OPTION);
    EXPECT_FALSE(InternetQueryOptionA(session, INTERNET_OPTION_SEND_TIMEOUT, &value, &length));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(length, sizeof(DWORD));
    EXPECT_FALSE(InternetSetOptionA(request, INTERNET_OPTION_SEND_TIMEOUT, &value, sizeof value));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    for (HINTERNET handle : {request, connection, session}) EXPECT_TRUE(InternetCloseHandle(handle));
    EXPECT_FALSE(HttpSendRequestA(request, nullptr, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

} // namespace
