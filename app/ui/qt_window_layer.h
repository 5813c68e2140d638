// The window mode on Qt: the application object, the user fonts, message
// boxes as dialogs, the splash and the modal main window. Qt is created
// only when the window mode opens the layer; a batch run never does.
//
// Without a display (neither DISPLAY nor WAYLAND_DISPLAY set, and no
// QT_QPA_PLATFORM chosen) the layer does not open, nor when none of the
// window systems named can be reached; a box says so. While the main window
// runs, SIGTERM, SIGINT and SIGHUP close it like its close button, so the
// program ends cleanly: settings written, refresher stopped, library closed
// and driver removed.
#pragma once

#include <memory>

#include "app/window_layer.h"

class QApplication;

namespace vexa::ui {

class CWaitDialog;
struct UserFonts;

class QtWindowLayer : public WindowLayer {
public:
    QtWindowLayer();
    ~QtWindowLayer() override;

    bool Open(CvexaApp& app) override;
    void ShowWaitDialog() override;
    void DestroyWaitDialog() override;
    void RunMainWindow() override;
    void Close() override;
    void RunUpdateDialog(CvexaApp& app, const int program[4], const int offered[4]) override;

    // True when Qt can be given a window system here.
    static bool WindowSystemPresent();

private:
    class CloseSignals;

    CvexaApp* m_pApp = nullptr;
    std::unique_ptr<QApplication> m_pQt;
    std::unique_ptr<UserFonts> m_pFonts;
    std::unique_ptr<CWaitDialog> m_pWaitDialog;
    std::unique_ptr<CloseSignals> m_pCloseSignals;
};

} // namespace vexa::ui
