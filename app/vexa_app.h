// The application object: it owns the process. Construction fixes every
// default, creates the query layer and reads the program's own version;
// InitInstance reads the settings, parses the command line and runs either
// the window mode or one batch job (text, HTML or console report, core
// enable mask, driver removal); ExitInstance undoes everything in reverse.
//
// A batch run that fails (the driver, the scan or the report) says why on
// standard error and exits with 1, as does any run whose settings file
// cannot be written; a batch run ended by SIGTERM, SIGINT or SIGHUP shuts
// down as always and exits with 128 + the signal (app/batch_signals.h).
//
// The window mode's screens (splash, main window, the user fonts) come from
// the window layer the vexa program installs (app/window_layer.h); batch
// runs never touch it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "app/settings.h"
#include "platform/win_types.h"

class BatchStopSignals;
class CInfoParser;
class CLocalInfoParser;
class WindowLayer;
struct FileVersionInfo;

enum BatchModes : int {
    BATCH_WINDOW = 0,
    BATCH_TEXT_REPORT = 1,
    BATCH_HTML_REPORT = 2,
    BATCH_CONSOLE_REPORT = 3,
    BATCH_CORE_MASK = 4,
    BATCH_REMOVE_DRIVER = 5,
};

// The refresher's stop flag: written once by the main thread, polled by
// the refresher.
extern std::atomic<int> g_bStopRefresh;

class CvexaApp {
public:
    static constexpr size_t kPathChars = 512;
    static constexpr size_t kVersionChars = 16;
    static constexpr size_t kValidationIdChars = 32;
    // The record's fields are held to kValidationFieldBytes; its digest
    // block follows them, so the buffer has room for both.
    static constexpr size_t kValidationFieldBytes = 16384;
    static constexpr size_t kValidationRecordBytes = kValidationFieldBytes + 48;
    static constexpr size_t kValidationDumpBytes = 16384;

    CvexaApp();
    ~CvexaApp();
    CvexaApp(const CvexaApp&) = delete;
    CvexaApp& operator=(const CvexaApp&) = delete;

    // Settings, command line (the program's arguments as one text), then
    // the window mode (returns 0) or the batch job (returns 1).
    BOOL InitInstance(const wchar_t* commandLine);
    // Settings written, refresher stopped, library closed and driver
    // removed; the process's exit code: 0, 1 after a failure, 128 + the
    // signal that stopped a batch run.
    int ExitInstance();

    // The options, searched anywhere in the line: "-txt=NAME" (else
    // "-html=NAME", else "-console"), "-core=N", "-coremask=HEX",
    // "-removeservice"; the later two replace an earlier batch mode.
    void ParseCommandLine(const wchar_t* commandLine);
    // The start-up sequence: driver, scan, error boxes, batch work, update
    // check.
    void InitAndRun();
    // Splash during the start-up, refresher thread, modal main window;
    // without a window layer or a display only a box says why not.
    void RunWindowMode();
    // 1 when it started the refresher, 0 when one runs or none could start.
    int StartRefreshThread();
    void StopRefreshThread();

    // vexa.ini in the program folder, which both make the current
    // directory for the rest of the run.
    void ReadIni();
    void WriteIni();

    // The four version words of the program file's fixed version
    // information (0xFFFFFFFF each without a version resource).
    static void ReadVersionInfo(FileVersionInfo* info, const char* path);
    // Fetches the maker's version file and shows the update dialog when it
    // names a newer version (app/update_check.h). Silent (0) at start-up;
    // verbose (1) from the Tools menu, where an up-to-date program and a
    // failed connection are reported in a box.
    void CheckForUpdate(int verbose = 0);

    CLocalInfoParser* LocalInfoParser() const;

    // ---- Fields, in the application's declaration order ----
    HANDLE m_hRefreshThread = nullptr;
    CInfoParser* m_pInfoParser = nullptr;  // a CLocalInfoParser; owned
    wchar_t m_szProgramFolder[kPathChars] = {};
    wchar_t m_szBatchReportPath[kPathChars] = {};
    int m_bBatch = 0;
    int BatchMode = BATCH_WINDOW;
    int m_iSelectedCore = 0;
    uint32_t m_dwCoreEnableMask = 0xFFFFFFFF;
    int g_bNoValidation = 0;  // the validation record must not be submitted or saved
    wchar_t m_szValidationId[kValidationIdChars] = {};
    std::unique_ptr<uint8_t[]> m_pValidationRecord;
    int m_iValidationRecordLength = 0;
    std::unique_ptr<uint8_t[]> m_pValidationDump;
    wchar_t m_szValidationUserName[kPathChars] = {};
    wchar_t m_szValidationEmail[kPathChars] = {};
    int m_bValidationPublish = 1;
    float m_fValidationValue1 = -1.0f;
    float m_fValidationValue2 = -1.0f;
    FileVersionInfo* m_pVersionInfo = nullptr;  // owned
    wchar_t m_szVersion[kVersionChars] = {};
    VexaSettings m_Settings;
    // The window mode's screens; not owned, set by the vexa program.
    WindowLayer* m_pWindowLayer = nullptr;

private:
    void FindProgramFolder();
    void EnterProgramFolder();
    void ReportInitError(int error);
    // The reason on standard error; the run then exits with 1.
    void ReportFailure(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // A stop signal came during a batch run: what is left is the shut-down.
    bool StopRequested() const;
    void RunBatchJob();
    void WriteFileReport();
    void WriteConsoleReport();
    void SetCoreEnableMask();

    std::unique_ptr<BatchStopSignals> m_pStopSignals;  // while a batch run lasts
    int m_bRunFailed = 0;
};
