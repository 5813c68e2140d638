// The about page (template 134), the seventh tab: the program's version,
// the maker's links and two logos (the maker's, 209, and the Android
// page's phone, 275, each under an invisible link area), the Windows and
// DirectX versions, and the buttons that save the text or HTML report and
// open the validation. Filled once; it ignores the periodic refresh.
#pragma once

#include <QImage>

#include "app/ui/page.h"

namespace vexa::ui {

class CHyperLink;
class CHyperLink2;

class CAboutDlg : public Page {
public:
    static constexpr int kTemplateId = 134;
    static constexpr int IDC_WINDOWS_VERSION = 1200;
    static constexpr int IDC_VERSION = 1201;
    static constexpr int IDC_WINDOWS_BUILD = 1202;
    static constexpr int IDC_SAVE_TXT = 1203;
    static constexpr int IDC_SAVE_HTML = 1205;
    static constexpr int IDC_ABOUT_GROUP = 1220;
    static constexpr int IDC_WINDOWS_GROUP = 1221;
    static constexpr int IDC_TOOLS_GROUP = 1222;
    static constexpr int IDC_RELEASE_DATE = 1223;
    static constexpr int IDC_AUTHOR = 1224;
    static constexpr int IDC_RELEASE_LABEL = 1225;
    static constexpr int IDC_SERVICES_LINK = 1229;
    static constexpr int IDC_FREEWARE = 1234;
    static constexpr int IDC_VALIDATE = 1235;
    static constexpr int IDC_VALIDATION_LABEL = 1236;
    static constexpr int IDC_MAGAZINE_LINK = 1237;
    static constexpr int IDC_DIRECTX_VERSION = 1238;
    static constexpr int IDC_MAKER_LOGO = 1239;
    static constexpr int IDC_ANDROID_LOGO = 1039;
    static constexpr int IDC_MAKER_LINK = 1121;

    CAboutDlg(const PageContext& context, QWidget* parent);
    void OnInitDialog() override;
    void OnCommand(int id) override;

protected:
    void FillFromQueries() override;
    void paintEvent(QPaintEvent* event) override;

private:
    void BuildTemplate();

    CHyperLink* m_pMagazineLink = nullptr;
    CHyperLink* m_pServicesLink = nullptr;
    CHyperLink* m_pMakerLink = nullptr;
    CHyperLink2* m_pMakerLogoLink = nullptr;
    CHyperLink2* m_pAndroidLink = nullptr;
    QImage m_MakerLogo;
    QImage m_AndroidLogo;
    QImage m_MakerLogoMask;
    QImage m_AndroidLogoMask;
};

} // namespace vexa::ui
