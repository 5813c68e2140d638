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
    bool Start(const char* platform, const char* display = nullptr) {
        std::vector<std::string> environment = {
            "PATH=/usr/bin:/bin", "VEXA_PROGRAM_DIR=" + (root_ / "program").string(),
            "TMPDIR=" + (root_ / "temp").string(), "VEXA_MACHINE=" + vexa::test::sourcePath("machines/x58-nehalem")};
        if (const char* objects = std::getenv("VEXA_NAMESPACE")) environment.push_back(std::string("VEXA_NAMESPACE=") + objects);
        if (platform) environment.push_back(std::string("QT_QPA_PLATFORM=") + platform);
        if (display) environment.push_back(std::string("DISPLAY=") + display);
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = VEXA_PROGRAM;
        char* argv[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        const std::string err = (root_ / "stderr").string();
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int spawned = posix_spawn(&child_, argv[0], &actions, nullptr, argv, envp.data());
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

} // namespace
