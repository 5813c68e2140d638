// The start-up splash (template 136): the banner (1018, bitmap 208), the
// status text (1019), the progress bar (1001, 0 to 100) and the version
// label (1024), on white. The progress callbacks of the start-up move it
// through SetProgress while the main thread works, so it paints itself at
// once instead of waiting for an event loop.
#pragma once

#include "app/progress.h"
#include "app/ui/dialog.h"

class CvexaApp;

namespace vexa::ui {

struct UserFonts;

class CWaitDialog : public Dialog, public CWaitDialogProgress {
public:
    static constexpr int kTemplateId = 136;
    static constexpr int IDC_PROGRESS = 1001;
    static constexpr int IDC_PICTURE = 1018;
    static constexpr int IDC_STATUS = 1019;
    static constexpr int IDC_VERSION = 1024;

    CWaitDialog(const CvexaApp& app, const UserFonts& fonts);

    // The bar's position; the status text unless null; the version label
    // "버전 %s.x32" when the version text is known. Returns 0.
    int SetProgress(int position, const wchar_t* text) override;
    // Shows the splash and paints it before returning.
    void ShowNow();

protected:
    bool OnWindowMessage(const WindowMessageEvent& message, LRESULT& result) override;

private:
    void PaintNow();

    const CvexaApp& m_App;
};

} // namespace vexa::ui
