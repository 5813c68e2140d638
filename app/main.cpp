// The vexa program: selects the machine it runs on, hands the application
// object its window layer, then lets it run.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/vexa_app.h"
#include "app/window_module.h"
#include "platform/machine_selection.h"
#include "platform/object_namespace.h"
#include "platform/text.h"

namespace {

// The arguments as one command line, as the program receives it on Windows
// (without the program's own name).
std::wstring CommandLine(int argc, char** argv) {
    std::wstring line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += L' ';
        line += vexa::platform::toWide(argv[i]);
    }
    return line;
}

} // namespace

// Constructed during static initialisation, destroyed at process exit.
CvexaApp theApp;

int main(int argc, char** argv) {
    std::string error;
    if (!vexa::platform::selectMachineFromEnvironment(error)) {
        std::fprintf(stderr, "vexa: %s\n", error.c_str());
        return 2;
    }
    // A namespace folder the user names and that cannot be used ends the
    // run: its mutexes and services would otherwise silently fail.
    if (const char* objects = std::getenv("VEXA_NAMESPACE"); objects && *objects) {
        std::string reason;
        if (vexa::platform::objectNamespace(&reason).empty()) {
            std::fprintf(stderr, "vexa: %s\n", reason.c_str());
            return 2;
        }
    }
    // The window's library (and Qt) is loaded only when the window mode
    // opens the layer.
    WindowModule windowLayer;
    theApp.m_pWindowLayer = &windowLayer;
    const std::wstring commandLine = CommandLine(argc, argv);
    theApp.InitInstance(commandLine.c_str());
    const int exitCode = theApp.ExitInstance();
    theApp.m_pWindowLayer = nullptr;
    return windowLayer.LoadFailed() ? 1 : exitCode;
}
