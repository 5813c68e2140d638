// The browser's registration below HKEY_CLASSES_ROOT, the command of a
// desktop entry, and starting a command line with WinExec (never for real:
// a starter sees the arguments).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/internal/browser_command.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace {

std::optional<std::string> DefaultValue(const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_QUERY_VALUE, &key) != LONG(ERROR_SUCCESS)) return std::nullopt;
    char value[64] = {};
    DWORD size = sizeof value, type = 0;
    const LONG result = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != LONG(ERROR_SUCCESS)) return std::nullopt;
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, std::string(value).size() + 1);
    return std::string(value);
}

struct BrowserReplaced {
    explicit BrowserReplaced(std::optional<std::string> command) {
        vexa::platform::testing::setBrowserCommand(std::optional<std::optional<std::string>>(command));
    }
    ~BrowserReplaced() { vexa::platform::testing::setBrowserCommand(std::nullopt); }
};

TEST(BrowserRegistration, ClassesRootNamesTheBrowsersCommand) {
    BrowserReplaced browser(std::string("\"/opt/web browser/run\" \"%1\""));
    EXPECT_EQ(DefaultValue(".htm"), "htmlfile");
    EXPECT_EQ(DefaultValue("HTMLFILE\\shell\\open\\command"), "\"/opt/web browser/run\" \"%1\"");
    EXPECT_EQ(DefaultValue("http\\shell\\open\\command"), "\"/opt/web browser/run\" \"%1\"");
    EXPECT_EQ(DefaultValue("ftp\\shell\\open\\command"), std::nullopt);

    HKEY http = nullptr, command = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "http", 0, KEY_READ, &http), LONG(ERROR_SUCCESS));
    ASSERT_EQ(RegOpenKeyExA(http, "shell\\open\\command", 0, KEY_READ, &command), LONG(ERROR_SUCCESS));
    char small[4];
    DWORD size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(command, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              LONG(ERROR_MORE_DATA));
    EXPECT_EQ(size, 28u);
    EXPECT_EQ(RegQueryValueExA(command, "Other", nullptr, nullptr, nullptr, &size), LONG(ERROR_FILE_NOT_FOUND));
    RegCloseKey(command);
    RegCloseKey(http);
}

TEST(BrowserRegistration, WithoutBrowserTheKeysAreMissing) {
    BrowserReplaced browser(std::nullopt);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_READ, &key), LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", 0, KEY_READ, &key),
              LONG(ERROR_FILE_NOT_FOUND));
}

TEST(BrowserRegistration, CommandOfADesktopEntry) {
    struct Case {
        const char* exec;
        const char* command;
    };
    const Case cases[] = {
        {"/usr/lib/firefox-esr/firefox-esr %u", "/usr/lib/firefox-esr/firefox-esr \"%1\""},
        {"chromium %U", "chromium \"%1\""},
        {"browser --name %c --icon %i %F", "browser --name  --icon  \"%1\""},
        {"browser --percent=100%%", "browser --percent=100% \"%1\""},
        {"browser", "browser \"%1\""},
    };
    for (const Case& c : cases) EXPECT_EQ(vexa::platform::commandFromDesktopExec(c.exec), c.command) << c.exec;
}

TEST(WinExec, SplitsTheCommandLineAsWindowsDoes) {
    std::vector<std::string> seen;
    vexa::platform::testing::setProgramStarter([&](const std::vector<std::string>& arguments) {
        seen = arguments;
        return UINT(33);
    });
    EXPECT_EQ(WinExec("\"/opt/web browser/run\"  http://a.example/x?y=1", SW_SHOW), 33u);
    EXPECT_EQ(seen, (std::vector<std::string>{"/opt/web browser/run", "http://a.example/x?y=1"}));
    EXPECT_EQ(WinExec("run \"\" \"two words\"", SW_SHOW), 33u);
    EXPECT_EQ(seen, (std::vector<std::string>{"run", "", "two words"}));
    seen.clear();
    EXPECT_EQ(WinExec("   ", SW_SHOW), ERROR_BAD_FORMAT);
    EXPECT_EQ(WinExec(nullptr, SW_SHOW), ERROR_BAD_FORMAT);
    EXPECT_TRUE(seen.empty());
    vexa::platform::testing::setProgramStarter(nullptr);
}

} // namespace
