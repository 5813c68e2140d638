// The window mode: the splash follows the start-up's progress, and the
// vexa program opens its window on a display, refreshes it and ends
// cleanly when asked to close; without a display it says so and installs
// nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLabel>
#include <QProgressBar>

#include <chrono>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/progress.h"
#include "app/ui/wait_dialog.h"
#include "platform/object_namespace.h"
#include "tests/support/test_paths.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
namespace fs = std::filesystem;

TEST(Splash, FollowsTheStartUpSteps) {
    vexa::test::FakeApplication fake;
    std::wcscpy(fake.app.m_szVersion, L"1.71.0");
    CWaitDialog splash(fake.app, fake.fonts);
    auto* bar = splash.Item<QProgressBar>(CWaitDialog::IDC_PROGRESS);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    ASSERT_TRUE(splash.Item<QLabel>(CWaitDialog::IDC_PICTURE));
    EXPECT_FALSE(splash.Item<QLabel>(CWaitDialog::IDC_PICTURE)->pixmap().isNull());

    g_nProgressSteps = 0;
    g_pWaitDialog = &splash;
    for (int i = 0; i < 20; ++i) ProgressStep();
    EXPECT_EQ(bar->value(), 50);
    EXPECT_EQ(splash.GetDlgItemText(CWaitDialog::IDC_STATUS), QString());
    ProgressStepText(L"메모리");
    EXPECT_EQ(bar->value(), 52);
    EXPECT_EQ(splash.GetDlgItemText(CWaitDialog::IDC_STATUS), QStringLiteral("메모리"));
    EXPECT_EQ(splash.GetDlgItemText(CWaitDialog::IDC_VERSION), QStringLiteral("버전 1.71.0.x32"));
    for (int i = 0; i < 25; ++i) ProgressStep();
    EXPECT_EQ(bar->value(), 100);
    EXPECT_EQ(splash.GetDlgItemText(CWaitDialog::IDC_STATUS), QStringLiteral("메모리")) << "kept without a text";
    g_pWaitDialog = nullptr;
}

// What else to run the program with: another program file, arguments,
// more environment variables.
struct Launch {
    std::string program = VEXA_PROGRAM;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
};

// The vexa program in a folder of its own, on the x58 sample.
class VexaProcess {
public:
    VexaProcess() {
        root_ = fs::temp_directory_path() / ("window-" + std::to_string(getpid()));
        fs::create_directories(root_ / "program");
        fs::create_directories(root_ / "temp");
    }
    ~VexaProcess() {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // `platform`: the Qt platform to give it, or none at all; `display`:
    // an X display to name, or none.
    bool Start(const char* platform, const char* display = nullptr, const Launch& launch = {}) {
        std::vector<std::string> environment = {
            "PATH=/usr/bin:/bin", "VEXA_PROGRAM_DIR=" + (root_ / "program").string(),
            "TMPDIR=" + (root_ / "temp").string(), "VEXA_MACHINE=" + vexa::test::sourcePath("machines/x58-nehalem")};
        if (const char* objects = std::getenv("VEXA_NAMESPACE")) environment.push_back(std::string("VEXA_NAMESPACE=") + objects);
        if (platform) environment.push_back(std::string("QT_QPA_PLATFORM=") + platform);
        if (const char* web = std::getenv("VEXA_WEB_BASE")) environment.push_back(std::string("VEXA_WEB_BASE=") + web);
        if (display) environment.push_back(std::string("DISPLAY=") + display);
        environment.insert(environment.end(), launch.environment.begin(), launch.environment.end());
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::vector<std::string> arguments = {launch.program};
        arguments.insert(arguments.end(), launch.arguments.begin(), launch.arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        const std::string err = (root_ / "stderr").string();
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int spawned = posix_spawn(&child_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0;
    }

    // Waits (at most a minute) for the condition while the program runs.
    template <class Condition>
    bool WaitFor(Condition done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    }

    // Waits for the end; -1 when it had to be killed.
    int Wait() {
        int status = 0;
        bool ended = false;
        WaitFor([&] { return ended = ended || waitpid(child_, &status, WNOHANG) == child_; });
        if (!ended) return -1;
        child_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Signal(int number) { kill(child_, number); }
    fs::path Program(const char* name) const { return root_ / "program" / name; }
    fs::path Root() const { return root_; }
    fs::path Temp() const { return root_ / "temp"; }
    std::string Errors() const { return vexa::test::readFile((root_ / "stderr").string()); }

private:
    fs::path root_;
    pid_t child_ = -1;
};

bool DriverServiceInstalled() { return fs::exists(vexa::platform::objectPath("service", "vexa138")); }

// The window opens after the start-up (the driver is installed by then);
// a termination signal closes it like its close button.
TEST(WindowMode, ClosesCleanlyWhenAsked) {
    VexaProcess vexa;
    ASSERT_TRUE(vexa.Start("offscreen"));
    ASSERT_TRUE(vexa.WaitFor(DriverServiceInstalled)) << vexa.Errors();
    vexa.Signal(SIGTERM);
    EXPECT_EQ(vexa.Wait(), 0) << vexa.Errors();
    EXPECT_TRUE(fs::exists(vexa.Program("vexa.ini"))) << "settings written";
    EXPECT_FALSE(DriverServiceInstalled()) << "driver removed";
    EXPECT_FALSE(fs::exists(vexa.Temp() / "vexa138")) << "the driver's files removed";
}

// No display at all, or one that names no server (an X server that has
// gone): the program says so, ends normally and installs nothing.
TEST(WindowMode, WithoutDisplaySaysSoAndInstallsNothing) {
    struct Case {
        const char* platform;
        const char* display;
    };
    // No X server listens on display 4093 (no socket of that number).
    const Case cases[] = {{nullptr, nullptr}, {nullptr, ":4093"}, {"xcb", ":4093"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.platform ? c.platform : "-") + " " + (c.display ? c.display : "-"));
        VexaProcess vexa;
        ASSERT_TRUE(vexa.Start(c.platform, c.display));
        EXPECT_EQ(vexa.Wait(), 0) << vexa.Errors();
        EXPECT_NE(vexa.Errors().find("No display to open the window on"), std::string::npos) << vexa.Errors();
        EXPECT_FALSE(DriverServiceInstalled());
        EXPECT_TRUE(fs::exists(vexa.Program("vexa.ini")));
    }
}

// A batch run loads no window system library: neither the window's own
// library nor Qt (the dynamic loader lists every file it loads).
TEST(WindowLibrary, BatchRunLoadsNone) {
    VexaProcess vexa;
    ASSERT_TRUE(vexa.Start("offscreen", nullptr, {.arguments = {"-console"}, .environment = {"LD_DEBUG=files"}}));
    EXPECT_EQ(vexa.Wait(), 0);
    const std::string loaded = vexa.Errors();
    EXPECT_NE(loaded.find("libc.so"), std::string::npos) << "the loader lists its files";
    EXPECT_EQ(loaded.find("libQt6"), std::string::npos);
    EXPECT_EQ(loaded.find("vexa_window"), std::string::npos);
}

// The window's library next to the program is missing, not a library, or
// writable by any user: the window mode says so and fails, writes its
// settings and installs nothing.
TEST(WindowLibrary, UnusableLibrarySaysSoAndFails) {
    const fs::path built = fs::path(VEXA_PROGRAM).parent_path() / "vexa_window.so";
    struct Case {
        const char* name;
        void (*place)(const fs::path& original, const fs::path& library);
        const char* reason;
    };
    const Case cases[] = {
        {"missing", [](const fs::path&, const fs::path&) {}, "No such file"},
        {"not a library",
         [](const fs::path&, const fs::path& library) {
             std::ofstream(library) << "not a library";
             fs::permissions(library, fs::perms::owner_all);
         },
         "vexa_window.so"},
        {"writable by any user",
         [](const fs::path& original, const fs::path& library) {
             fs::copy_file(original, library);
             fs::permissions(library, fs::perms::all);
         },
         "writable by other users"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VexaProcess vexa;
        const fs::path folder = vexa.Root() / "bin";
        fs::create_directories(folder);
        fs::copy_file(VEXA_PROGRAM, folder / "vexa");
        c.place(built, folder / "vexa_window.so");
        ASSERT_TRUE(vexa.Start("offscreen", nullptr, {.program = (folder / "vexa").string()}));
        EXPECT_EQ(vexa.Wait(), 1) << vexa.Errors();
        EXPECT_NE(vexa.Errors().find("The window cannot be opened"), std::string::npos) << vexa.Errors();
        EXPECT_NE(vexa.Errors().find(c.reason), std::string::npos) << vexa.Errors();
        EXPECT_EQ(vexa.Errors().find("No display"), std::string::npos) << vexa.Errors();
        EXPECT_FALSE(DriverServiceInstalled());
        EXPECT_TRUE(fs::exists(vexa.Program("vexa.ini")));
    }
}

} // namespace
