// Opening a file with the shell: only with a display, never waited for,
// and replaceable by tests.
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace {

// Sets or removes an environment variable while the object lives.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedVariable() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::wstring ExistingFile() {
    const auto path = std::filesystem::temp_directory_path() / "driver.log";
    std::ofstream(path) << "log";
    return path.wstring();
}

TEST(Shell, WithoutDisplayNothingIsStarted) {
    ScopedVariable display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr);
    EXPECT_FALSE(vexa::platform::displayPresent());
    const std::wstring file = ExistingFile();
    struct Case {
        const char* name;
        const wchar_t* verb;
        const wchar_t* file;
        const wchar_t* parameters;
        INT_PTR result;
    };
    const Case cases[] = {
        {"no program to show it with", L"open", file.c_str(), nullptr, SE_ERR_NOASSOC},
        {"no verb means open", nullptr, file.c_str(), nullptr, SE_ERR_NOASSOC},
        {"missing file", L"open", L"/no/such/file.log", nullptr, SE_ERR_FNF},
        {"no file", L"open", nullptr, nullptr, SE_ERR_FNF},
        {"unknown verb", L"print", file.c_str(), nullptr, SE_ERR_NOASSOC},
        {"parameters", L"open", file.c_str(), L"-x", SE_ERR_NOASSOC},
        {"web address, no browser to show it", L"open", L"http://valid.vexa.example/", nullptr, SE_ERR_NOASSOC},
        {"a path that looks almost like an address", L"open", L"http:/no/such/file", nullptr, SE_ERR_FNF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShellExecuteW(nullptr, c.verb, c.file, c.parameters, nullptr, SW_SHOWNORMAL), c.result) << c.name;
}

// With a display the opener is started; here it cannot be found.
TEST(Shell, WithDisplayStartsTheOpenerWhenThereIsOne) {
    ScopedVariable display("DISPLAY", ":99");
    ScopedVariable path("PATH", std::filesystem::temp_directory_path().c_str());
    EXPECT_TRUE(vexa::platform::displayPresent());
    EXPECT_EQ(ShellExecuteW(nullptr, L"open", ExistingFile().c_str(), nullptr, nullptr, SW_SHOWNORMAL),
              SE_ERR_NOASSOC);
    EXPECT_EQ(ShellExecuteW(nullptr, L"open", L"https://valid.vexa.example/", nullptr, nullptr, SW_SHOW),
              SE_ERR_NOASSOC);
}

TEST(Shell, OpenerSeesRequestsInsteadOfTheShell) {
    std::vector<vexa::platform::testing::ShellRequest> requests;
    vexa::platform::testing::setShellOpener([&](const vexa::platform::testing::ShellRequest& request) {
        requests.push_back(request);
        return kShellExecuteStarted;
    });
    EXPECT_EQ(ShellExecuteW(nullptr, L"open", L"/tmp/x.log", nullptr, nullptr, SW_SHOWNORMAL), kShellExecuteStarted);
    vexa::platform::testing::setShellOpener({});
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, L"open");
    EXPECT_EQ(requests[0].file, L"/tmp/x.log");
    EXPECT_EQ(requests[0].showCommand, SW_SHOWNORMAL);
}

} // namespace
