// Message boxes never wait: without a window system each is written to
// standard error and answered with its default answer at once.
#include "platform/message_box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "tests/support/test_paths.h"

namespace {

using vexa::platform::testing::MessageBoxCall;
using vexa::platform::testing::setMessageBoxPresenter;

// Standard error redirected into a file while the object lives.
class CapturedStandardError {
public:
    CapturedStandardError() : path_((std::filesystem::temp_directory_path() / "stderr.txt").string()) {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        FILE* file = std::fopen(path_.c_str(), "w");
        dup2(fileno(file), STDERR_FILENO);
        std::fclose(file);
    }
    ~CapturedStandardError() { restore(); }
    std::string text() {
        restore();
        return vexa::test::readFile(path_);
    }

private:
    void restore() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

TEST(MessageBox, DefaultAnswerDeclines) {
    struct Case {
        UINT type;
        int answer;
    };
    const Case cases[] = {
        {MB_OK | MB_ICONEXCLAMATION, IDOK}, {MB_OKCANCEL, IDCANCEL}, {MB_ABORTRETRYIGNORE, IDABORT},
        {MB_YESNOCANCEL, IDCANCEL},         {MB_YESNO | MB_ICONQUESTION, IDNO}, {MB_RETRYCANCEL, IDCANCEL},
    };
    for (const Case& c : cases) {
        CapturedStandardError captured;
        EXPECT_EQ(MessageBoxW(nullptr, L"text", L"caption", c.type), c.answer) << c.type;
        captured.text();
    }
}

TEST(MessageBox, WithoutWindowSystemGoesToStandardError) {
    CapturedStandardError captured;
    EXPECT_EQ(MessageBoxW(nullptr, L"A previous version\nof the driver (1.37).", L"Driver Error", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"no caption", nullptr, MB_OK), IDOK);
    EXPECT_EQ(captured.text(), "Driver Error: A previous version\nof the driver (1.37).\nno caption\n");
}

TEST(MessageBox, UnknownButtonsAreRefused) {
    CapturedStandardError captured;
    EXPECT_EQ(MessageBoxW(nullptr, L"text", L"caption", 0x0F), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(captured.text(), "");
}

TEST(MessageBox, PresenterSeesEveryBoxAndMayAnswer) {
    std::vector<MessageBoxCall> boxes;
    int answer = IDYES;
    setMessageBoxPresenter([&](const MessageBoxCall& box) {
        boxes.push_back(box);
        return answer;
    });
    CapturedStandardError captured;
    EXPECT_EQ(MessageBoxW(nullptr, L"Open the log?", L"Vexa Error", MB_YESNO), IDYES);
    answer = 0;  // the default answer
    EXPECT_EQ(MessageBoxW(nullptr, L"Again?", L"Vexa Error", MB_YESNO), IDNO);
    setMessageBoxPresenter({});
    EXPECT_EQ(captured.text(), "");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"Open the log?");
    EXPECT_EQ(boxes[0].caption, L"Vexa Error");
    EXPECT_EQ(boxes[0].type, MB_YESNO);
}

// The window layer shows boxes while it runs; a box it cannot show (0)
// still reaches standard error, and a test's presenter comes first.
TEST(MessageBox, WindowPresenterShowsWhatItCan) {
    std::vector<std::wstring> shown;
    vexa::platform::setWindowMessageBoxPresenter([&](const MessageBoxCall& box) {
        shown.push_back(box.text);
        return box.caption == L"shown" ? IDYES : 0;
    });
    CapturedStandardError captured;
    EXPECT_EQ(MessageBoxW(nullptr, L"one", L"shown", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, L"two", L"not shown", MB_YESNO), IDNO);
    setMessageBoxPresenter([](const MessageBoxCall&) { return IDOK; });
    EXPECT_EQ(MessageBoxW(nullptr, L"three", L"shown", MB_OKCANCEL), IDOK);
    setMessageBoxPresenter({});
    vexa::platform::setWindowMessageBoxPresenter({});
    EXPECT_EQ(MessageBoxW(nullptr, L"four", L"shown", MB_OK), IDOK);
    EXPECT_EQ(captured.text(), "not shown: two\nshown: four\n");
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"one", L"two"}));
}

// Texts reach the box bounded, whatever their source.
TEST(MessageBox, LongTextsAreCut) {
    std::vector<MessageBoxCall> boxes;
    setMessageBoxPresenter([&](const MessageBoxCall& box) {
        boxes.push_back(box);
        return 0;
    });
    const std::wstring huge(100000, L'x');
    MessageBoxW(nullptr, huge.c_str(), huge.c_str(), MB_OK);
    setMessageBoxPresenter({});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.size(), 4096u);
    EXPECT_EQ(boxes[0].caption.size(), 4096u);
}

} // namespace
