// The start-up sequence's boxes and steps, the progress count and the
// refresher thread.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/progress.h"
#include "app/startup_messages.h"
#include "app/vexa_app.h"
#include "sdk/core/file_version.h"
#include "tests/app/app_test_support.h"

namespace {

using vexa::test::MessageBoxRecorder;
using vexa::test::ShellRecorder;

constexpr wchar_t kDriverErrorText[] =
    L"A previous version of the device driver is already running. This program requires driver version 1.37.";

TEST(StartupMessages, ScanErrors) {
    struct Case {
        int error;
        int detail;
        const wchar_t* text;
        const wchar_t* caption;
    };
    const Case cases[] = {
        {8, 6, L"Mutex not created", L"Vexa Error"},
        {8, 0x102, L"Mutex locked", L"Vexa Error"},
        {8, 0x80, L"Mutex locked", L"Vexa Error"},
        {16, 0, kDriverErrorText, L"Driver Error"},
        {5, 0, L"The error code 0x5 (5) occured during parsing.", L"Vexa Driver Error"},
        {0x5003, 0, L"The error code 0x5003 (20483) occured during parsing.", L"Vexa Driver Error"},
    };
    for (const Case& c : cases) {
        MessageBoxRecorder boxes;
        ShowScanErrorBox(c.error, c.detail);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, c.text);
        EXPECT_EQ(boxes.boxes()[0].caption, c.caption);
        EXPECT_EQ(boxes.boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    }
}

TEST(StartupMessages, InitErrorOffersTheDriverLog) {
    const std::wstring question =
        L"The error code 0x5 (5) occured during initialization.\nDo you want to display the error log file ?";
    {
        SCOPED_TRACE("declined");
        MessageBoxRecorder boxes;  // the default answer: No
        ShellRecorder shell(42);
        ShowInitErrorBox(5, L"/tmp/vexa_driver_1.log");
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, question);
        EXPECT_EQ(boxes.boxes()[0].caption, L"Vexa Error");
        EXPECT_EQ(boxes.boxes()[0].type, MB_YESNO | MB_ICONEXCLAMATION);
        EXPECT_TRUE(shell.requests().empty());
    }
    {
        SCOPED_TRACE("opened");
        MessageBoxRecorder boxes(IDYES);
        ShellRecorder shell(42);
        ShowInitErrorBox(5, L"/tmp/vexa_driver_1.log");
        EXPECT_EQ(boxes.boxes().size(), 1u);
        ASSERT_EQ(shell.requests().size(), 1u);
        EXPECT_EQ(shell.requests()[0].verb, L"open");
        EXPECT_EQ(shell.requests()[0].file, L"/tmp/vexa_driver_1.log");
        EXPECT_EQ(shell.requests()[0].showCommand, SW_SHOWNORMAL);
    }
    {
        SCOPED_TRACE("shell failed");
        MessageBoxRecorder boxes(IDYES);
        ShellRecorder shell(SE_ERR_NOASSOC);
        ShowInitErrorBox(5, L"/tmp/vexa_driver_1.log");
        ASSERT_EQ(boxes.boxes().size(), 2u);
        EXPECT_EQ(boxes.boxes()[1].text, L"Unable to open /tmp/vexa_driver_1.log");
        EXPECT_EQ(boxes.boxes()[1].caption, L"Vexa Driver Error");
        EXPECT_EQ(boxes.boxes()[1].type, MB_OK | MB_ICONEXCLAMATION);
    }
}

// A driver that cannot be installed refuses the validation record; only
// the window mode asks about the log, and the scan runs either way.
TEST(Startup, DriverFailureAsksOnlyInWindowMode) {
    struct Case {
        const char* name;
        const wchar_t* commandLine;
        size_t boxes;
    };
    const Case cases[] = {{"window", L"", 1}, {"batch", L"-coremask=3", 0}};
    const std::string temp = std::filesystem::temp_directory_path().string();
    const std::string blocked = temp + "/not-a-folder";
    std::ofstream(blocked) << "x";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vexa::test::ProgramFolder folder;
        setenv("TMPDIR", blocked.c_str(), 1);  // no driver folder can be made there
        MessageBoxRecorder boxes;
        CvexaApp app;
        app.ParseCommandLine(c.commandLine);
        app.InitAndRun();
        setenv("TMPDIR", temp.c_str(), 1);
        EXPECT_EQ(app.g_bNoValidation, 1);
        ASSERT_EQ(boxes.boxes().size(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(boxes.boxes()[0].caption, L"Vexa Error");
        }
        app.ExitInstance();
    }
}

TEST(Startup, FortyStepsFillTheBar) {
    g_nProgressSteps = 0;
    for (int i = 0; i < 20; ++i) ProgressStep();
    EXPECT_EQ(ProgressBarPosition(), 50);
    for (int i = 0; i < 19; ++i) ProgressStepText(L"메모리");
    EXPECT_EQ(ProgressBarPosition(), 97);
    for (int i = 0; i < 6; ++i) ProgressStep();
    EXPECT_EQ(g_nProgressSteps, 45);
    EXPECT_EQ(ProgressBarPosition(), 100);
}

TEST(Startup, OneRefresherAtATime) {
    vexa::test::ProgramFolder folder;
    CvexaApp app;
    EXPECT_EQ(app.StartRefreshThread(), 1);
    EXPECT_EQ(app.StartRefreshThread(), 0);
    app.StopRefreshThread();
    EXPECT_EQ(app.m_hRefreshThread, nullptr);
    app.ExitInstance();
}

TEST(Startup, FileWithoutVersionResourceHasUnknownVersion) {
    const std::string path = (std::filesystem::temp_directory_path() / "plain.txt").string();
    std::ofstream(path) << "no version here";
    FileVersionInfo info;
    CvexaApp::ReadVersionInfo(&info, path.c_str());
    EXPECT_EQ(info.Major, 0xFFFFFFFFu);
    EXPECT_EQ(info.Revision, 0xFFFFFFFFu);
}

} // namespace
