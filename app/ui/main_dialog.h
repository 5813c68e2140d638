// The main window (template 102, "Vexa"): the tab control with the seven
// pages, the Tools menu button, the validation button, the version label
// and OK. Once a second, while the library lock is free, it refreshes the
// visible page and its title; minimised, its title shows the selected
// core's clock instead. The core menu's commands (4096-4128) select the
// core.
#pragma once

#include <QFont>

#include <string>

#include "app/ui/dialog.h"

class CvexaApp;

namespace vexa::ui {

class CMenuButton;
class CMyTabCtl;
struct UserFonts;

class CvexaDlg : public Dialog {
public:
    static constexpr int kTemplateId = 102;
    static constexpr int IDC_TAB = 1000;
    static constexpr int IDC_VERSION = 1002;
    static constexpr int IDC_VALIDATE = 1003;
    static constexpr int IDC_TOOLS = 1029;
    // The Tools menu.
    static constexpr int ID_DRIVER_UPDATE = 1500;
    static constexpr int ID_BIOS_UPDATE = 1501;
    static constexpr int ID_SAVE_TXT_REPORT = 1503;
    static constexpr int ID_SAVE_HTML_REPORT = 1504;
    static constexpr int ID_CHECK_UPDATE = 1505;
    static constexpr int ID_ANDROID_INFO = 1506;
    static constexpr int ID_SELECT_CORE_FIRST = 4096;
    static constexpr int ID_SELECT_CORE_LAST = 4128;
    static constexpr int kRefreshTimer = 0;
    static constexpr int kRefreshPeriodMs = 1000;
    static constexpr int kTimerLockTimeoutMs = 100;
    // The system commands the window tells apart.
    static constexpr UINT SC_MINIMIZE = 0xF020;
    static constexpr UINT SC_RESTORE = 0xF120;
    static constexpr int kCaptureNameChars = 256;

    CvexaDlg(CvexaApp& app, const UserFonts& fonts);
    ~CvexaDlg() override;

    void OnCommand(int id) override;
    void OnSysCommand(UINT command);
    void OnTabChange();
    CMyTabCtl* TabCtl() const { return m_pTabCtl; }
    CMenuButton* ToolsButton() const { return m_pToolsButton; }
    bool IsMinimizedFlag() const { return m_bMinimized != 0; }
    // The capture file F5 writes for the tab control's focused item.
    std::wstring CaptureFileName() const;
    // The validation file F7 writes: "vexa-%d.vvf" with processor 0's
    // core clock in whole MHz.
    std::wstring ValidationFileName() const;
    void OnValidate();
    void OnSaveTXTReport();
    // Every key press of the window and its controls, before they get it;
    // it is always passed on.
    void PreTranslateMessage(int key);

protected:
    void OnTimer(int id) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool OnWindowMessage(const WindowMessageEvent& message, LRESULT& result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTemplate();
    void OnInitDialog();
    int CoreClockMHz() const;
    void ShowClockTitle();
    void ShowTitle();
    void RegisterDisplayNotification();
    void CaptureToFile();

    CvexaApp& m_App;
    const UserFonts& m_Fonts;
    CMyTabCtl* m_pTabCtl = nullptr;
    QFont m_DialogFont;
    CMenuButton* m_pToolsButton = nullptr;
    int m_bMinimized = 0;
    void* m_hDeviceNotify = nullptr;
    const QEvent* m_pLastKey = nullptr;  // the key press already seen
};

} // namespace vexa::ui
