// The window's library (vexa_window.so, Qt) loaded only when the window
// mode opens its layer: batch runs map no window system libraries at all.
//
// The library is taken from the folder of the program file itself
// (/proc/self/exe), by absolute path and never from a search path, since
// the program runs as root; a library that another user could have
// written or replaced is refused. It exports one C factory that makes the
// window layer; it finds the application's objects (the library root, the
// settings) in the program, which exports them, so there is one copy of
// each.
#pragma once

#include <memory>
#include <string>

#include "app/window_layer.h"

// The factory the window's library exports.
extern "C" WindowLayer* VexaCreateWindowLayer();
using CreateWindowLayerFunction = decltype(&VexaCreateWindowLayer);

class WindowModule final : public WindowLayer {
public:
    static constexpr char kFileName[] = "vexa_window.so";
    static constexpr char kFactoryName[] = "VexaCreateWindowLayer";

    WindowModule();
    ~WindowModule() override;

    // Loads the library on the first call; when it cannot be loaded, says
    // why in a box and returns false.
    bool Open(CvexaApp& app) override;
    void ShowWaitDialog() override;
    void DestroyWaitDialog() override;
    void RunMainWindow() override;
    void Close() override;
    void RunUpdateDialog(CvexaApp& app, const int program[4], const int offered[4]) override;

    // True when the window mode wanted the library and could not load it.
    bool LoadFailed() const { return m_bLoadFailed; }

private:
    // The layer the library makes; empty with `error` set when it cannot.
    static std::unique_ptr<WindowLayer> Load(std::string& error);

    std::unique_ptr<WindowLayer> m_pLayer;
    bool m_bLoadFailed = false;
};
