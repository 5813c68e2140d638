// The window mode's screens: the start-up splash and the modal main window.
// The vexa program provides them with Qt (app/ui) and hands them to the
// application object before it starts; the application library itself
// never touches a window system, so batch runs and the start-up's tests
// need no display.
#pragma once

class CvexaApp;

class WindowLayer {
public:
    virtual ~WindowLayer() = default;

    // Opens the window system and makes the user fonts from the settings;
    // false, after a box that says why, when the window cannot open (no
    // display to open, no window library).
    virtual bool Open(CvexaApp& app) = 0;
    // The start-up splash: shown before the start-up sequence, which moves
    // its bar (g_pWaitDialog), and destroyed after it. The start-up runs
    // without it when it cannot be shown.
    virtual void ShowWaitDialog() = 0;
    virtual void DestroyWaitDialog() = 0;
    // The main window, modal: returns when it has been closed.
    virtual void RunMainWindow() = 0;
    // Undoes Open; nothing of the window system remains.
    virtual void Close() = 0;
    // The update dialog, modal, with the program's and the version file's
    // four version words; nothing while no window system is open.
    virtual void RunUpdateDialog(CvexaApp& /*app*/, const int /*program*/[4], const int /*offered*/[4]) {}
};
