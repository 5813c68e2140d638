// The WinINet-shaped HTTP client against a local server: the reply read in
// pieces, WinINet's error numbers for refused connections, bad addresses
// and bad handles, and the bound on what a reply keeps.
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
    for (const char* name : {"InternetOpenW", "InternetOpenUrlW", "InternetReadFile", "InternetCloseHandle"})
        EXPECT_TRUE(GetProcAddress(wininet, name)) << name;
    FreeLibrary(wininet);
}

} // namespace
