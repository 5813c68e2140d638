// The update dialog (template 260, "Vexa 업데이트"): the program's version
// and the newer one the maker's version file offers, the update picture
// (bitmap 261 over placeholder 1037), the button that opens the version
// history (1030) and the check box of the CheckUpdates setting (1031),
// which OK and closing store and the history button leaves as it was.
#pragma once

#include <QImage>

#include "app/ui/dialog.h"

class CvexaApp;
class QCheckBox;

namespace vexa::ui {

struct UserFonts;

class CUpdateDlg : public Dialog {
public:
    static constexpr int kTemplateId = 260;
    static constexpr int IDC_UPDATE = 1030;
    static constexpr int IDC_CHECK_AT_START = 1031;
    static constexpr int IDC_AVAILABLE = 1032;
    static constexpr int IDC_CURRENT_LABEL = 1033;
    static constexpr int IDC_CURRENT = 1034;
    static constexpr int IDC_LATEST_LABEL = 1035;
    static constexpr int IDC_LATEST = 1036;
    static constexpr int IDC_PICTURE = 1037;

    CUpdateDlg(CvexaApp& app, const UserFonts& fonts, const int program[4], const int offered[4]);

    void OnCommand(int id) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildTemplate();
    void OnInitDialog();
    void StoreCheckBox();

    CvexaApp& m_App;
    const UserFonts& m_Fonts;
    int m_nProgram[4];
    int m_nOffered[4];
    QImage m_Bitmap;
    QImage m_Mask;
    QCheckBox* m_pCheckBox = nullptr;
};

} // namespace vexa::ui
