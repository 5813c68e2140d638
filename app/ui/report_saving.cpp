#include "app/ui/report_saving.h"

#include <QApplication>
#include <QFileDialog>

#include <string>

#include "app/info_parser.h"
#include "app/vexa_app.h"
#include "platform/environment.h"
#include "platform/safe_file.h"
#include "sdk/core/report_generator.h"

namespace vexa::ui {
namespace {

constexpr DWORD kComputerNameChars = 512;
constexpr DWORD kDirectoryChars = 4096;

std::function<QString(const SaveDialogRequest&)> g_replacement;

QString ComputerName() {
    char name[kComputerNameChars] = {};
    DWORD size = kComputerNameChars;
    if (!GetComputerNameA(name, &size) || !name[0]) return QStringLiteral("vexa");
    return QString::fromUtf8(name);
}

void WriteReportBody(CvexaApp& app, CReportGenerator* report, ReportKind kind) {
    report->BeginDocument();
    if (kind == ReportKind::Text) {
        report->PrintTitleW(L"Vexa TXT Report");
    } else {
        report->PrintTitleW(L"Vexa");
        report->PrintBlankLine();
    }
    report->PrintTitleW(L"Binaries");
    report->PrintFieldW(L"Vexa version", L"\t\t\t", L"%s.x32", app.m_szVersion);
    report->PrintBlankLine();
    if (kind == ReportKind::Text) app.m_pInfoParser->WriteReport(report);
    else app.m_pInfoParser->WriteHTMLReport(report);
    report->EndDocument();
}

} // namespace

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

QString GetSaveFileName(const SaveDialogRequest& request) {
    if (g_replacement) return g_replacement(request);
    QFileDialog dialog(request.owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(request.filters);
    dialog.selectFile(request.defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

void SaveReport(CvexaApp& app, QWidget* owner, ReportKind kind) {
    char folder[kDirectoryChars] = {};
    const DWORD folderLength = GetCurrentDirectoryA(kDirectoryChars, folder);
    const bool text = kind == ReportKind::Text;
    SaveDialogRequest request;
    request.owner = owner;
    request.defaultName = ComputerName() + (text ? QStringLiteral(".txt") : QStringLiteral(".html"));
    request.filters = {text ? QStringLiteral("TXT File (*.txt)") : QStringLiteral("HTML File (*.htm)"),
                       QStringLiteral("All Files (*.*)")};
    const QString path = GetSaveFileName(request);
    if (folderLength > 0 && folderLength < kDirectoryChars) SetCurrentDirectoryA(folder);
    if (path.isEmpty() || !app.m_pInfoParser) return;

    WaitCursor wait;
    platform::SafeFileWriter file(path.toStdString());
    if (!file.isOpen()) return;
    CReportGenerator* report = text ? static_cast<CReportGenerator*>(new CReportGenerator_TXT(file.stream()))
                                    : new CReportGenerator_HTML(file.stream());
    WriteReportBody(app, report, kind);
    delete report;
    file.commit();
}

void SaveHTMLReport(CvexaApp& app, QWidget* owner) { SaveReport(app, owner, ReportKind::Html); }

namespace testing {

void setSaveDialog(std::function<QString(const SaveDialogRequest&)> dialog) { g_replacement = std::move(dialog); }

} // namespace testing
} // namespace vexa::ui
