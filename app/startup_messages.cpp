#include "app/startup_messages.h"

#include <cstdio>

#include "app/info_parser.h"
#include "app/local_info_parser.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "sdk/core/helpers.h"

namespace {

constexpr UINT kWarning = MB_ICONEXCLAMATION;
constexpr int kInvalidHandleStatus = 6;  // the library mutex does not exist

} // namespace

void ShowInitErrorBox(int error, const wchar_t* driverLogPath) {
    wchar_t text[kInfoTextChars];
    FormatStringW(text, kInfoTextChars,
                  L"The error code 0x%X (%d) occured during initialization.\n"
                  L"Do you want to display the error log file ?",
                  error, error);
    if (MessageBoxW(nullptr, text, L"Vexa Error", MB_YESNO | kWarning) != IDYES) return;
    if (ShellExecuteW(nullptr, L"open", driverLogPath, nullptr, nullptr, SW_SHOWNORMAL) > 32) return;
    FormatStringW(text, kInfoTextChars, L"Unable to open %s", driverLogPath);
    MessageBoxW(nullptr, text, L"Vexa Driver Error", MB_OK | kWarning);
}

void ReportInitErrorLine(int error) {
    std::fprintf(stderr,
                 "vexa: the driver is not available (error 0x%X (%d)); the run goes on without "
                 "hardware access\n",
                 static_cast<unsigned>(error), error);
}

void ShowScanErrorBox(int error, int detail) {
    wchar_t text[kInfoTextChars];
    switch (error) {
    case SCAN_ERROR_LIBRARY_LOCK:
        MessageBoxW(nullptr, detail == kInvalidHandleStatus ? L"Mutex not created" : L"Mutex locked", L"Vexa Error",
                    MB_OK | kWarning);
        return;
    case SCAN_ERROR_DRIVER_VERSION:
        MessageBoxW(nullptr,
                    L"A previous version of the device driver is already running. "
                    L"This program requires driver version 1.37.",
                    L"Driver Error", MB_OK | kWarning);
        return;
    default:
        FormatStringW(text, kInfoTextChars, L"The error code 0x%X (%d) occured during parsing.", error, error);
        MessageBoxW(nullptr, text, L"Vexa Driver Error", MB_OK | kWarning);
        return;
    }
}

void ShowCoreMaskSetBox() {
    MessageBoxW(nullptr, L"Core mask set, please restart Windows to validate.", L"Vexa", MB_OK | kWarning);
}

void ShowNoDisplayBox() {
    MessageBoxW(nullptr,
                L"No display to open the window on (DISPLAY or WAYLAND_DISPLAY). "
                L"Reports: -txt=NAME, -html=NAME or -console.",
                L"Vexa", MB_OK | kWarning);
}
