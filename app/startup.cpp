// The start-up sequence and the batch jobs. Failures of the driver
// installation or of the scan never stop the start-up: the batch job runs,
// or the window opens, with whatever was detected; a batch run reports them
// and exits with 1. A stop signal ends a batch run at the next step.
#include <cstdio>

#include "app/info_parser.h"
#include "app/local_info_parser.h"
#include "app/progress.h"
#include "app/startup_messages.h"
#include "app/vexa_app.h"
#include "platform/console.h"
#include "platform/modules.h"
#include "platform/safe_file.h"
#include "platform/text.h"
#include "sdk/core/report_generator.h"

namespace {

// The document head every batch report shares after its title.
void WriteBinariesBlock(CReportGenerator* report, const wchar_t* version) {
    report->PrintTitleW(L"Binaries");
    report->PrintFieldW(L"Vexa version", L"\t\t\t", L"%s", version);
    report->PrintBlankLine();
}

} // namespace

void CvexaApp::InitAndRun() {
    ProgressStep();
    int initError = 0;
    if (!m_pInfoParser->Init(&initError)) {
        g_bNoValidation = 1;
        if (!m_bBatch) ShowInitErrorBox(initError, LocalInfoParser()->GetDriverLogPath());
        else ReportFailure("the driver is not available (error 0x%X (%d)); the run goes on without hardware access",
                           static_cast<unsigned>(initError), initError);
    }
    if (StopRequested()) return;
    int scanError = 0, scanDetail = 0;
    if (!m_pInfoParser->Scan(&scanError, &scanDetail)) {
        ShowScanErrorBox(scanError, scanDetail);  // without a window, on standard error
        if (m_bBatch) m_bRunFailed = 1;
    }
    if (StopRequested()) return;
    if (m_bBatch) RunBatchJob();
    if (m_Settings.CheckUpdates) {
        ProgressStepText(L"업데이트 확인");
        CheckForUpdate();
    }
    ProgressStep();
}

void CvexaApp::RunBatchJob() {
    switch (BatchMode) {
    case BATCH_TEXT_REPORT:
    case BATCH_HTML_REPORT: WriteFileReport(); return;
    case BATCH_CONSOLE_REPORT: WriteConsoleReport(); return;
    case BATCH_CORE_MASK: SetCoreEnableMask(); return;
    case BATCH_REMOVE_DRIVER: m_pInfoParser->RemoveDriver(); return;
    default: return;
    }
}

// The report file, relative to the program folder, replaces an old one only
// when written whole (platform/safe_file.h); one that cannot be written, or
// a run stopped meanwhile, leaves the old file as it was.
void CvexaApp::WriteFileReport() {
    char path[kPathChars * 4];
    vexa::platform::wideToNarrow(m_szBatchReportPath, path, sizeof path);
    vexa::platform::SafeFileWriter file(path);
    if (!file.isOpen()) {
        ReportFailure("%s", file.error().c_str());
        return;
    }
    const bool html = BatchMode == BATCH_HTML_REPORT;
    CReportGenerator* report = html ? static_cast<CReportGenerator*>(new CReportGenerator_HTML(file.stream()))
                                    : new CReportGenerator_TXT(file.stream());
    report->BeginDocument();
    if (html) {
        report->PrintTitleW(L"Vexa");
        report->PrintBlankLine();
    } else {
        report->PrintTitleW(L"Vexa TXT Report");
    }
    WriteBinariesBlock(report, m_szVersion);
    m_pInfoParser->WriteReport(report);
    report->EndDocument();
    delete report;
    if (StopRequested()) return;
    if (!file.commit()) ReportFailure("%s", file.error().c_str());
}

// The console of the parent process; without one nothing is written.
void CvexaApp::WriteConsoleReport() {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    const auto attach = kernel32 ? vexa::platform::lookup<decltype(&AttachConsole)>(kernel32, "AttachConsole")
                                 : nullptr;
    HANDLE console = attach && attach(ATTACH_PARENT_PROCESS) == 1 ? GetStdHandle(STD_OUTPUT_HANDLE) : nullptr;
    if (console) {
        CReportGenerator* report = new CReportGenerator_Console(console);
        report->BeginDocument();
        report->PrintTitleW(L"Vexa Console Report");
        WriteBinariesBlock(report, m_szVersion);
        m_pInfoParser->WriteConsoleReport(report);
        report->EndDocument();
        delete report;
    }
    if (kernel32) FreeLibrary(kernel32);
}

void CvexaApp::SetCoreEnableMask() {
    if (m_pInfoParser->SetCoreEnableMask(0, static_cast<int>(m_dwCoreEnableMask))) ShowCoreMaskSetBox();
}
