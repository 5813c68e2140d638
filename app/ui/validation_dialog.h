// The validation dialog (template 215, "Vexa 유효성 인증"): online, the
// user's name (at most 20 characters), e-mail address (at most 50) and
// publish choice go with the validation record to the validation service;
// by hand, the validation file is saved (also with F7 in the main window)
// and the id the service gives back is typed in. What the user enters
// stays in the application object for the rest of the run. In a run that
// must not validate, the submit and save buttons do nothing.
#pragma once

#include <QImage>

#include "app/ui/dialog.h"

class CvexaApp;
class QCheckBox;
class QLineEdit;

namespace vexa::ui {

class CHyperLink;
struct UserFonts;

class CValidationDlg : public Dialog {
public:
    static constexpr int kTemplateId = 215;
    static constexpr int IDC_SAVE_FILE = 1003;
    static constexpr int IDC_ID = 1240;
    static constexpr int IDC_WEB_LINK = 1243;
    static constexpr int IDC_ID_PAGE_LINK = 1244;
    static constexpr int IDC_LOGO = 1245;
    static constexpr int IDC_MANUAL_GROUP = 1246;
    static constexpr int IDC_RECORDS_LINK = 1247;
    static constexpr int IDC_STEP1 = 1249;
    static constexpr int IDC_STEP2 = 1250;
    static constexpr int IDC_STEP2_END = 1251;
    static constexpr int IDC_STEP3 = 1252;
    static constexpr int IDC_ID_NOTE = 1253;
    static constexpr int IDC_LINKS_START = 1254;
    static constexpr int IDC_NAME_LABEL = 1255;
    static constexpr int IDC_SUBMIT = 1256;
    static constexpr int IDC_NAME = 1257;
    static constexpr int IDC_EMAIL = 1258;
    static constexpr int IDC_EMAIL_LABEL = 1259;
    static constexpr int IDC_ONLINE_GROUP = 1260;
    static constexpr int IDC_PUBLISH = 1261;
    static constexpr int IDC_LINKS_MIDDLE = 1262;
    static constexpr int IDC_LINKS_END = 1263;
    static constexpr int IDC_EMAIL_NOTE = 1264;
    static constexpr int kMaxNameChars = 20;
    static constexpr int kMaxEmailChars = 50;
    static constexpr int kLogoWidth = 88;
    static constexpr int kLogoHeight = 67;

    CValidationDlg(CvexaApp& app, const UserFonts& fonts, QWidget* parent);

    void OnCommand(int id) override;
    void OnSubmit();
    void OnOK();
    void OnSaveFile();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void BuildTemplate();
    void OnInitDialog();
    // The name, e-mail address and publish choice into the application,
    // when both texts are within their limits; false otherwise.
    bool StoreInputs();

    CvexaApp& m_App;
    const UserFonts& m_Fonts;
    CHyperLink* m_pIdPageLink = nullptr;
    CHyperLink* m_pWebLink = nullptr;
    CHyperLink* m_pRecordsLink = nullptr;
    QCheckBox* m_pPublish = nullptr;
    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pEmail = nullptr;
    QLineEdit* m_pId = nullptr;
    QImage m_Logo;
    QImage m_LogoMask;
};

// The online validation with the kept name, e-mail address and publish
// choice, under the wait cursor: the record, then (unless the run must not
// validate) the dump; the submission's result.
int ValidateOnline(CvexaApp& app);
// Asks for a file name ("vexa.vvf" proposed) and writes the validation
// file there; the current directory stays what it was.
void SaveValidationFile(CvexaApp& app, QWidget* owner);

} // namespace vexa::ui
