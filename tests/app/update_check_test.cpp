// The update check against a version file served by a local HTTP server
// (VEXA_WEB_BASE points the program at it): which files offer an update,
// what the silent and the verbose check report, and how much of the reply
// is read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/maker_site.h"
#include "app/update_check.h"
#include "app/vexa_app.h"
#include "app/window_layer.h"
#include "platform/testing.h"
#include "sdk/core/file_version.h"
#include "tests/app/app_test_support.h"
#include "tests/support/local_http_server.h"

namespace {

using vexa::test::LocalHttpServer;
using vexa::test::MessageBoxRecorder;

constexpr wchar_t kUpToDate[] = L"이미 최신버전의 Vexa를 사용중 입니다.";

// Records the update dialogs the check asks for.
class RecordingLayer : public WindowLayer {
public:
    struct Shown {
        std::vector<int> program;
        std::vector<int> offered;
    };
    bool Open(CvexaApp&) override { return true; }
    void ShowWaitDialog() override {}
    void DestroyWaitDialog() override {}
    void RunMainWindow() override {}
    void Close() override {}
    void RunUpdateDialog(CvexaApp&, const int program[4], const int offered[4]) override {
        dialogs.push_back({{program, program + 4}, {offered, offered + 4}});
    }
    std::vector<Shown> dialogs;
};

struct Outcome {
    std::vector<int> dialogOffers;        // empty: no dialog
    const wchar_t* boxText = nullptr;     // null: no box
};

struct UpdateCase {
    const char* name;
    std::string file;
    std::vector<int> program;
    int verbose;
    Outcome expected;
};

std::ostream& operator<<(std::ostream& out, const UpdateCase& c) { return out << c.name; }

class UpdateCheck : public ::testing::TestWithParam<UpdateCase> {};

void SetProgramVersion(CvexaApp& app, const std::vector<int>& words) {
    app.m_pVersionInfo->Major = uint32_t(words[0]);
    app.m_pVersionInfo->Minor = uint32_t(words[1]);
    app.m_pVersionInfo->Build = uint32_t(words[2]);
    app.m_pVersionInfo->Revision = uint32_t(words[3]);
}

TEST_P(UpdateCheck, AgainstLocalServer) {
    const UpdateCase& c = GetParam();
    LocalHttpServer server(c.file);
    setenv(vexa::site::kWebBaseVariable, server.base().c_str(), 1);
    CvexaApp app;
    RecordingLayer layer;
    app.m_pWindowLayer = &layer;
    SetProgramVersion(app, c.program);
    MessageBoxRecorder boxes;

    app.CheckForUpdate(c.verbose);

    const std::vector<LocalHttpServer::Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/medias/files/softwares/brenik.ver");
    EXPECT_EQ(requests[0].agent, "Brenik");
    if (c.expected.dialogOffers.empty()) {
        EXPECT_TRUE(layer.dialogs.empty());
    } else {
        ASSERT_EQ(layer.dialogs.size(), 1u);
        EXPECT_EQ(layer.dialogs[0].program, c.program);
        EXPECT_EQ(layer.dialogs[0].offered, c.expected.dialogOffers);
    }
    if (!c.expected.boxText) {
        EXPECT_TRUE(boxes.boxes().empty());
    } else {
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, c.expected.boxText);
        EXPECT_EQ(boxes.boxes()[0].caption, L"Vexa 정보");
        EXPECT_EQ(boxes.boxes()[0].type, MB_OK | MB_ICONASTERISK);
    }
}

const std::vector<int> k1710 = {1, 7, 1, 0};

// 512 bytes: the header, filler entries and this program's entry at the
// very end of the one read.
std::string FileFillingTheRead(const std::string& entry) {
    std::string file = "[BRENIK_VER];";
    while (file.size() + entry.size() + 2 <= vexa::update::kMaxReplyBytes) file += "x;";
    file.append(vexa::update::kMaxReplyBytes - entry.size() - file.size(), 'y');
    file += entry;
    return file;
}

INSTANTIATE_TEST_SUITE_P(
    VersionFiles, UpdateCheck,
    ::testing::Values(
        UpdateCase{"Newer", "[BRENIK_VER];vexa=1.7.2.0;", k1710, 0, {{1, 7, 2, 0}}},
        UpdateCase{"NewerVerbose", "[BRENIK_VER];vexa=1.7.2.0;", k1710, 1, {{1, 7, 2, 0}}},
        UpdateCase{"SameSilent", "[BRENIK_VER];vexa=1.7.1.0;", k1710, 0, {}},
        UpdateCase{"SameVerbose", "[BRENIK_VER];vexa=1.7.1.0;", k1710, 1, {{}, kUpToDate}},
        UpdateCase{"NoFinalSemicolon", "[BRENIK_VER];vexa=1.7.2.0", k1710, 1, {}},
        UpdateCase{"HeaderJoinsFirstEntry", "[BRENIK_VER]vexa=1.7.2.0;", k1710, 1, {}},
        UpdateCase{"MissingHeader", "vexa=1.7.2.0;", k1710, 1, {}},
        UpdateCase{"OtherHeader", "[OTHER_VER];vexa=1.7.2.0;", k1710, 1, {}},
        UpdateCase{"OtherProductsFirst", "[BRENIK_VER];\r\ncpu=9.9.9.9;\r\nvexa=1.7.2.0;\r\n", k1710, 0, {{1, 7, 2, 0}}},
        UpdateCase{"LineBreaksInsideEntry", "[BRENIK_VER];ve\r\nxa=1.7.\n2.0;", k1710, 0, {{1, 7, 2, 0}}},
        UpdateCase{"FirstVexaEntryDecides", "[BRENIK_VER];vexa=bad;vexa=9.0.0.0;", k1710, 1, {}},
        UpdateCase{"SameNumberOtherWords", "[BRENIK_VER];vexa=2.0.0.0;", {1, 10, 0, 0}, 1, {{}, kUpToDate}},
        UpdateCase{"CarriesIntoNextWord", "[BRENIK_VER];vexa=1.10.0.0;", {1, 9, 9, 9}, 0, {{1, 10, 0, 0}}},
        UpdateCase{"ZeroByteEndsText", std::string("[BRENIK_VER];\0vexa=1.7.2.0;", 27), k1710, 1, {}},
        UpdateCase{"EntryEndsTheRead", FileFillingTheRead("vexa=1.7.2.0;"), k1710, 0, {{1, 7, 2, 0}}},
        UpdateCase{"EntryBeyondTheRead", FileFillingTheRead("") + "vexa=1.7.2.0;", k1710, 1, {}},
        UpdateCase{"HugeNumbersDoNotWrap", "[BRENIK_VER];vexa=99999999999.0.0.0;", k1710, 0, {{2147483647, 0, 0, 0}}},
        UpdateCase{"EmptyReply", "", k1710, 1, {}}),
    [](const ::testing::TestParamInfo<UpdateCase>& row) { return std::string(row.param.name); });

// An unreachable server is reported only when asked from the menu, with
// WinINet's error number for a refused connection.
TEST(UpdateCheckConnection, UnreachableServerSilentlyAndVerbosely) {
    vexa::test::RefusingPort port;
    setenv(vexa::site::kWebBaseVariable, port.base().c_str(), 1);
    for (int verbose : {0, 1}) {
        CvexaApp app;
        RecordingLayer layer;
        app.m_pWindowLayer = &layer;
        MessageBoxRecorder boxes;
        app.CheckForUpdate(verbose);
        EXPECT_TRUE(layer.dialogs.empty());
        if (!verbose) {
            EXPECT_TRUE(boxes.boxes().empty());
            continue;
        }
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, L"Server Connection Error [12029]");
        EXPECT_EQ(boxes.boxes()[0].caption, L"Vexa Error");
        EXPECT_EQ(boxes.boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    }
}

TEST(UpdateCheckConnection, MissingInternetLibraryEndsSilently) {
    vexa::test::RefusingPort port;
    setenv(vexa::site::kWebBaseVariable, port.base().c_str(), 1);
    vexa::platform::testing::hideExport("wininet.dll", "InternetReadFile");
    CvexaApp app;
    MessageBoxRecorder boxes;
    app.CheckForUpdate(1);
    EXPECT_TRUE(boxes.boxes().empty());
    vexa::platform::testing::restoreLibraries();
}

TEST(UpdateCheckText, IsPrefixOf) {
    EXPECT_EQ(vexa::update::IsPrefixOf("[BRENIK_VER];", "[BRENIK_VER]"), 1);
    EXPECT_EQ(vexa::update::IsPrefixOf("[BRENIK_VER]", "[BRENIK_VER]"), 1);
    EXPECT_EQ(vexa::update::IsPrefixOf("[BRENIK_VE", "[BRENIK_VER]"), 0);
    EXPECT_EQ(vexa::update::IsPrefixOf("", "[BRENIK_VER]"), 0);
}

} // namespace
