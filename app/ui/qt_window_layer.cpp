#include "app/ui/qt_window_layer.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/progress.h"
#include "app/startup_messages.h"
#include "app/ui/main_dialog.h"
#include "app/ui/message_box_dialog.h"
#include "app/ui/update_dialog.h"
#include "app/ui/user_fonts.h"
#include "app/ui/wait_dialog.h"
#include "app/vexa_app.h"
#include "platform/shell.h"

namespace vexa::ui {
namespace {

// Qt keeps references to these for the application's lifetime.
int g_argc = 1;
char g_programName[] = "vexa";
char g_platformOption[] = "-platform";
std::string g_platforms;
char* g_argv[] = {g_programName, nullptr, nullptr, nullptr};

// Qt ends the process when none of the window systems it is told to try
// opens (an X server that is gone, a DISPLAY naming nothing). This one,
// tried last, always opens: when Qt ends up on it, no display was there.
constexpr char kFallbackPlatform[] = "minimal";

bool ListsPlatform(const std::string& list, const std::string& name) {
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(';', start), list.size());
        if (list.compare(start, end - start, name) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// The window systems to try, in order: those QT_QPA_PLATFORM names, else
// X11 and Wayland as their variables say (Wayland first in a Wayland
// session).
std::string WantedPlatforms() {
    if (IsSet("QT_QPA_PLATFORM")) return std::getenv("QT_QPA_PLATFORM");
    const bool x11 = IsSet("DISPLAY"), wayland = IsSet("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool waylandFirst = wayland && session && std::strcmp(session, "wayland") == 0;
    std::string list = waylandFirst ? "wayland" : "";
    if (x11) list += list.empty() ? "xcb" : ";xcb";
    if (wayland && !waylandFirst) list += list.empty() ? "wayland" : ";wayland";
    return list;
}

int g_closePipe = -1;  // the write end, for the signal handler

void OnCloseSignal(int) {
    const int saved = errno;
    if (g_closePipe >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(g_closePipe, &byte, 1);
    }
    errno = saved;
}

} // namespace

// The signals that end the program are turned into a byte on a pipe, which
// the main window's event loop reads: a signal handler may do no more.
class QtWindowLayer::CloseSignals {
public:
    static constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

    CloseSignals() {
        if (pipe2(m_Pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        g_closePipe = m_Pipe[1];
        struct sigaction action {};
        action.sa_handler = OnCloseSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &m_Saved[i]);
    }
    ~CloseSignals() {
        if (m_Pipe[0] < 0) return;
        for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &m_Saved[i], nullptr);
        g_closePipe = -1;
        close(m_Pipe[0]);
        close(m_Pipe[1]);
    }
    CloseSignals(const CloseSignals&) = delete;
    CloseSignals& operator=(const CloseSignals&) = delete;

    int ReadEnd() const { return m_Pipe[0]; }

private:
    int m_Pipe[2] = {-1, -1};
    std::array<struct sigaction, kSignals.size()> m_Saved{};
};

QtWindowLayer::QtWindowLayer() = default;

QtWindowLayer::~QtWindowLayer() { Close(); }

bool QtWindowLayer::WindowSystemPresent() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (platform && *platform) || platform::displayPresent();
}

bool QtWindowLayer::Open(CvexaApp& app) {
    if (m_pQt) return true;
    if (!WindowSystemPresent()) {
        ShowNoDisplayBox();
        return false;
    }
    m_pApp = &app;
    const std::string wanted = WantedPlatforms();
    g_platforms = wanted + ";" + kFallbackPlatform;
    g_argc = 3;
    g_argv[1] = g_platformOption;
    g_argv[2] = g_platforms.data();
    m_pCloseSignals = std::make_unique<CloseSignals>();
    m_pQt = std::make_unique<QApplication>(g_argc, g_argv);
    if (QGuiApplication::platformName() == QLatin1String(kFallbackPlatform) &&
        !ListsPlatform(wanted, kFallbackPlatform)) {
        m_pQt.reset();
        m_pCloseSignals.reset();
        m_pApp = nullptr;
        ShowNoDisplayBox();
        return false;
    }
    QApplication::setApplicationName(QStringLiteral("Vexa"));
    m_pFonts = std::make_unique<UserFonts>(MakeUserFonts(app.m_Settings));
    InstallMessageBoxDialogs();
    return true;
}

void QtWindowLayer::ShowWaitDialog() {
    if (!m_pQt) return;
    m_pWaitDialog = std::make_unique<CWaitDialog>(*m_pApp, *m_pFonts);
    m_pWaitDialog->ShowNow();
    g_pWaitDialog = m_pWaitDialog.get();
}

void QtWindowLayer::DestroyWaitDialog() {
    g_pWaitDialog = nullptr;
    m_pWaitDialog.reset();
}

void QtWindowLayer::RunMainWindow() {
    if (!m_pQt) return;
    CvexaDlg window(*m_pApp, *m_pFonts);
    std::unique_ptr<QSocketNotifier> closing;
    if (m_pCloseSignals && m_pCloseSignals->ReadEnd() >= 0) {
        closing = std::make_unique<QSocketNotifier>(m_pCloseSignals->ReadEnd(), QSocketNotifier::Read);
        const int readEnd = m_pCloseSignals->ReadEnd();
        QObject::connect(closing.get(), &QSocketNotifier::activated, &window, [&window, readEnd] {
            char bytes[16];
            while (read(readEnd, bytes, sizeof bytes) > 0) {
            }
            window.reject();
        });
    }
    window.exec();
}

void QtWindowLayer::RunUpdateDialog(CvexaApp& app, const int program[4], const int offered[4]) {
    if (!m_pQt || !m_pFonts) return;
    CUpdateDlg dialog(app, *m_pFonts, program, offered);
    dialog.exec();
}

void QtWindowLayer::Close() {
    DestroyWaitDialog();
    if (!m_pQt) return;
    RemoveMessageBoxDialogs();
    m_pFonts.reset();
    m_pQt.reset();
    m_pCloseSignals.reset();
    m_pApp = nullptr;
}

} // namespace vexa::ui
