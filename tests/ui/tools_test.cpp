// The main window's keys and Tools commands: F5 writes the window's picture
// as "<tab>.bmp" (checked with Python's imaging library, an independent
// BMP decoder), F6 puts it on the clipboard, the BMP layouts at 8, 16, 24
// and 32 bits, the Tools links and update check, the registered message,
// the device notification, and links opened through the browser's
// registry command when the shell cannot.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTabBar>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/maker_site.h"
#include "app/ui/capture.h"
#include "app/ui/hyperlink.h"
#include "app/ui/main_dialog.h"
#include "app/ui/my_tab_ctl.h"
#include "platform/registry.h"
#include "platform/user32.h"
#include "tests/app/app_test_support.h"
#include "tests/support/local_http_server.h"
#include "tests/ui/ui_test_support.h"

namespace {

using namespace vexa::ui;
using vexa::test::FakeApplication;
using vexa::test::MessageBoxRecorder;
using vexa::test::ShellRecorder;
namespace fs = std::filesystem;

// Debian's interpreter, where python3-pil (installed by the setup) is.
constexpr char kPython[] = "/usr/bin/python3";

// A fresh current directory for the test.
class CurrentFolder {
public:
    CurrentFolder() : path_(fs::temp_directory_path() / "program") {
        fs::create_directories(path_);
        fs::current_path(path_);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct Decoded {
    bool ok = false;
    std::string format;
    int width = 0, height = 0;
    std::string mode;
    std::vector<std::vector<int>> pixels;  // RGB at the asked points
};

// The file as Python's imaging library reads it, with the colours at the
// points asked for.
Decoded DecodeWithPython(const fs::path& file, const std::vector<std::pair<int, int>>& points) {
    std::ostringstream script;
    script << "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]); im.load()\n"
           << "print(im.format, im.size[0], im.size[1], im.mode)\nrgb = im.convert('RGB')\n";
    for (const auto& [x, y] : points) script << "print(*rgb.getpixel((" << x << ", " << y << ")))\n";
    const fs::path scriptFile = fs::temp_directory_path() / "decode.py";
    std::ofstream(scriptFile) << script.str();
    const std::string command = std::string(kPython) + " " + scriptFile.string() + " " + file.string() + " 2>&1";
    Decoded decoded;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return decoded;
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    decoded.ok = pclose(pipe) == 0;
    std::istringstream lines(output);
    lines >> decoded.format >> decoded.width >> decoded.height >> decoded.mode;
    for (size_t i = 0; i < points.size(); ++i) {
        std::vector<int> rgb(3);
        lines >> rgb[0] >> rgb[1] >> rgb[2];
        decoded.pixels.push_back(rgb);
    }
    if (!decoded.ok) ADD_FAILURE() << output;
    return decoded;
}

bool PythonImagingPresent() {
    return std::system((std::string(kPython) + " -c 'import PIL' >/dev/null 2>&1").c_str()) == 0;
}

void SendKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

struct ToolsTest : ::testing::Test {
    ToolsTest() {
        std::wcscpy(fake.app.m_szVersion, L"1.71.0");
        fake.queries->processors[0].coreMHz = {2992.5f, 3000.0f};
    }
    CvexaDlg& Window() {
        if (!window) window = std::make_unique<CvexaDlg>(fake.app, fake.fonts);
        return *window;
    }
    QWidget* TabBar() { return Window().TabCtl()->TabBar(); }

    CurrentFolder folder;
    FakeApplication fake;
    std::unique_ptr<CvexaDlg> window;
};

TEST_F(ToolsTest, F5NamesTheFileAfterTheTabAndTheCoreClock) {
    const char* names[] = {"cpu-2992.bmp", "cache.bmp", "mainboard.bmp", "memory-2992.bmp",
                           "spd.bmp",      "graphics.bmp", "snap-2992.bmp"};
    for (int tab = 0; tab < 7; ++tab) {
        Window().TabCtl()->SetCurSel(tab);
        SendKey(TabBar(), Qt::Key_F5);  // a key of a control reaches the window too
        EXPECT_TRUE(fs::is_regular_file(folder.path() / names[tab])) << names[tab];
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 7);
}

TEST_F(ToolsTest, F5WithoutAClockWritesSnapZero) {
    fake.queries->processors[0].coreMHz.clear();
    Window().TabCtl()->SetCurSel(6);
    SendKey(&Window(), Qt::Key_F5);
    EXPECT_TRUE(fs::is_regular_file(folder.path() / "snap-0.bmp"));
    Window().TabCtl()->SetCurSel(2);
    SendKey(&Window(), Qt::Key_F5);
    EXPECT_TRUE(fs::is_regular_file(folder.path() / "mainboard.bmp"));
}

// The clock is read under the library lock; while another thread keeps
// the lock, it is unknown.
TEST_F(ToolsTest, F5ReadsTheClockUnderTheLibraryLock) {
    Window();
    const int before = fake.queries->queriesWithoutLock;
    SendKey(&Window(), Qt::Key_F5);
    EXPECT_TRUE(fs::is_regular_file(folder.path() / "cpu-2992.bmp"));
    EXPECT_EQ(fake.queries->queriesWithoutLock, before);
    fake.queries->lockBusy = true;
    SendKey(&Window(), Qt::Key_F5);
    EXPECT_TRUE(fs::is_regular_file(folder.path() / "cpu-0.bmp"));
}

// The file is a BMP that an image viewer opens: the window's size and
// pixels as another decoder reads them.
TEST_F(ToolsTest, F5FileOpensInAnImageDecoder) {
    if (!PythonImagingPresent()) GTEST_SKIP() << kPython << " with PIL is not installed";
    Window().TabCtl()->SetCurSel(1);
    SendKey(&Window(), Qt::Key_F5);
    const QImage shot = Window().grab().toImage().convertToFormat(QImage::Format_RGB32);
    const std::vector<std::pair<int, int>> points = {
        {0, 0}, {shot.width() / 2, shot.height() / 2}, {shot.width() - 1, shot.height() - 1}, {20, shot.height() - 15}};
    const Decoded decoded = DecodeWithPython(folder.path() / "cache.bmp", points);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.format, "BMP");
    EXPECT_EQ(decoded.width, Window().width());
    EXPECT_EQ(decoded.height, Window().height());
    for (size_t i = 0; i < points.size(); ++i) {
        const QRgb expected = shot.pixel(points[i].first, points[i].second);
        EXPECT_EQ(decoded.pixels[i], (std::vector<int>{qRed(expected), qGreen(expected), qBlue(expected)}))
            << "at " << points[i].first << "," << points[i].second;
    }
}

TEST_F(ToolsTest, F6PutsTheWindowOnTheClipboard) {
    QApplication::clipboard()->clear();
    for (int tab : {0, 6}) {
        Window().TabCtl()->SetCurSel(tab);
        SendKey(TabBar(), Qt::Key_F6);
        const QImage image = QApplication::clipboard()->image();
        EXPECT_EQ(image.size(), Window().size());
        EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), Window().grab().toImage().convertToFormat(QImage::Format_RGB32));
        QApplication::clipboard()->clear();
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST_F(ToolsTest, F5WhoseFileCannotBeCreatedGoesToTheClipboard) {
    QApplication::clipboard()->clear();
    fs::create_directory(folder.path() / "cache.bmp");
    Window().TabCtl()->SetCurSel(1);
    SendKey(&Window(), Qt::Key_F5);
    EXPECT_TRUE(fs::is_directory(folder.path() / "cache.bmp"));
    EXPECT_EQ(QApplication::clipboard()->image().size(), Window().size());
}

// The layouts at each depth, read back by the other decoder: header
// fields, row padding, colour table and pixels.
TEST(CaptureLayout, DepthsAsAnotherDecoderReadsThem) {
    if (!PythonImagingPresent()) GTEST_SKIP() << kPython << " with PIL is not installed";
    QImage picture(401, 3, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    picture.setPixel(0, 0, qRgb(255, 0, 0));        // top left
    picture.setPixel(400, 2, qRgb(0, 255, 0));      // bottom right
    struct Case {
        int bits;
        uint32_t pixelOffset;
        uint32_t rowBytes;
    };
    for (const Case& c : {Case{32, 54, 1604}, Case{24, 54, 1204}, Case{16, 54, 804}, Case{8, 1078, 404}}) {
        const std::vector<uint8_t> dib = CCapture::BitmapToDIB(picture, c.bits);
        ASSERT_FALSE(dib.empty());
        const fs::path file = fs::temp_directory_path() / ("layout-" + std::to_string(c.bits) + ".bmp");
        FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_TRUE(out);
        EXPECT_EQ(CCapture::WriteBMP(out, dib), 1);
        std::fclose(out);

        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto le32 = [&](size_t at) { return uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24); };
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(le32(2), bytes.size());
        EXPECT_EQ(le32(10), c.pixelOffset) << c.bits;
        EXPECT_EQ(bytes.size(), c.pixelOffset + 3 * c.rowBytes) << c.bits;

        const Decoded decoded = DecodeWithPython(file, {{0, 0}, {400, 2}, {200, 1}});
        ASSERT_TRUE(decoded.ok) << c.bits;
        EXPECT_EQ(decoded.width, 401);
        EXPECT_EQ(decoded.height, 3);
        EXPECT_EQ(decoded.pixels[0], (std::vector<int>{255, 0, 0})) << c.bits;
        EXPECT_EQ(decoded.pixels[1], (std::vector<int>{0, 255, 0})) << c.bits;
        EXPECT_EQ(decoded.pixels[2], (std::vector<int>{0, 0, 255})) << c.bits;
    }
    EXPECT_EQ(CCapture::WriteBMP(nullptr, CCapture::BitmapToDIB(picture, 32)), 0);
    EXPECT_TRUE(CCapture::BitmapToDIB(QImage(), 32).empty());
}

TEST_F(ToolsTest, ToolsLinksOpenThePartnersAndTheMakersPages) {
    ShellRecorder shell(42);
    for (int command : {CvexaDlg::ID_DRIVER_UPDATE, CvexaDlg::ID_BIOS_UPDATE, CvexaDlg::ID_ANDROID_INFO})
        Window().OnCommand(command);
    ASSERT_EQ(shell.requests().size(), 3u);
    EXPECT_EQ(shell.requests()[0].file, vexa::site::PartnerAddress(L"/link/Vexa_DA"));
    EXPECT_EQ(shell.requests()[1].file, vexa::site::PartnerAddress(L"/link/Vexa_BAP"));
    EXPECT_EQ(shell.requests()[2].file, vexa::site::MakerAddress(L"/softwares/vexa-android.html"));
    for (const auto& request : shell.requests()) EXPECT_EQ(request.verb, L"open");
}

TEST_F(ToolsTest, CheckUpdateCommandReportsAFailedConnection) {
    vexa::test::RefusingPort port;
    setenv(vexa::site::kWebBaseVariable, port.base().c_str(), 1);
    MessageBoxRecorder boxes;
    Window().OnCommand(CvexaDlg::ID_CHECK_UPDATE);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, L"Server Connection Error [12029]");
}

TEST_F(ToolsTest, CloseAppMessageAndDeviceChangesAreAnsweredWithZero) {
    const UINT closeApp = RegisterWindowMessageW(L"VEXA_CLOSE_APP");
    ASSERT_NE(closeApp, 0u);
    EXPECT_EQ(SendWindowMessage(&Window(), closeApp, 1, 2), 0);
    EXPECT_EQ(SendWindowMessage(&Window(), WM_DEVICECHANGE, 0x8000, 0), 0);
    EXPECT_TRUE(Window().isVisible() || !Window().isVisible());  // still there to answer
    const auto notifications = vexa::platform::testing::deviceNotifications();
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].recipient, reinterpret_cast<HANDLE>(&Window()));
    const GUID display = {0x5B45201D, 0xF2F2, 0x4F3B, {0x85, 0xBB, 0x30, 0xFF, 0x1F, 0x95, 0x35, 0x99}};
    EXPECT_TRUE(IsEqualGUID(notifications[0].interfaceClass, display));
    window.reset();
    EXPECT_TRUE(vexa::platform::testing::deviceNotifications().empty());
}

TEST(BrowserCommandLine, CutAtThePlaceholderThenTheAddress) {
    const std::string address = "http://www.brenik.example/softwares/vexa.html";
    struct Case {
        std::string command;
        std::string line;
    };
    const Case cases[] = {
        {"\"C:\\Browser\\run.exe\" \"%1\"", "\"C:\\Browser\\run.exe\"  " + address},
        {"\"C:\\Browser\\run.exe\" -url %1 -new", "\"C:\\Browser\\run.exe\" -url  " + address},
        {"\"C:\\Browser\\run.exe\"", "\"C:\\Browser\\run.exe\" " + address},
        {"run \"%1\" %1", "run  " + address},
    };
    for (const Case& c : cases) EXPECT_EQ(BrowserCommandLine(c.command, address), c.line) << c.command;
    const std::string line = BrowserCommandLine(std::string(600, 'c'), address);
    EXPECT_EQ(line.size(), kBrowserCommandLineChars - 1);
    EXPECT_EQ(BrowserCommandLine("run", std::string(700, 'a')).size(), kBrowserCommandLineChars - 1);
}

// When the shell cannot open the address, the browser the registry names
// is started with it; nothing is started for real.
TEST(OpenURL, FallsBackToTheBrowsersRegistryCommand) {
    ShellRecorder shell(SE_ERR_NOASSOC);
    std::vector<std::vector<std::string>> started;
    vexa::platform::testing::setProgramStarter([&](const std::vector<std::string>& arguments) {
        started.push_back(arguments);
        return UINT(33);
    });
    vexa::platform::testing::setBrowserCommand(std::optional<std::optional<std::string>>(std::string("\"/opt/web browser/run\" --new \"%1\"")));
    EXPECT_EQ(OpenURL(QStringLiteral("http://www.brenik.example/x")), 33);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (std::vector<std::string>{"/opt/web browser/run", "--new", "http://www.brenik.example/x"}));

    vexa::platform::testing::setBrowserCommand(std::optional<std::optional<std::string>>(std::nullopt));
    EXPECT_EQ(OpenURL(QStringLiteral("http://www.brenik.example/x")), SE_ERR_NOASSOC);
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(shell.requests().size(), 2u);
    vexa::platform::testing::setBrowserCommand(std::nullopt);
    vexa::platform::testing::setProgramStarter(nullptr);
}

TEST(OpenURL, ShellSuccessIsTheAnswer) {
    ShellRecorder shell(42);
    std::vector<std::vector<std::string>> started;
    vexa::platform::testing::setProgramStarter([&](const std::vector<std::string>& arguments) {
        started.push_back(arguments);
        return UINT(33);
    });
    EXPECT_EQ(OpenURL(QStringLiteral("http://www.brenik.example/x")), 42);
    EXPECT_TRUE(started.empty());
    vexa::platform::testing::setProgramStarter(nullptr);
}

} // namespace
