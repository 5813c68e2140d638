// The application object's construction, start and end, its program folder,
// version and settings file.
#include "app/vexa_app.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "app/batch_signals.h"
#include "app/local_info_parser.h"
#include "app/settings_file.h"
#include "platform/environment.h"
#include "platform/modules.h"
#include "platform/text.h"
#include "sdk/core/file_version.h"
#include "sdk/core/helpers.h"

namespace {

constexpr size_t kNarrowPathBytes = CvexaApp::kPathChars * 4;  // UTF-8 of 511 wide characters
constexpr wchar_t kUnknownVersion[] = L"n.a";

// The text into the wide buffer when it fits whole; a path cut short
// would name another folder.
bool CopyWholePath(const char* path, wchar_t (&folder)[CvexaApp::kPathChars]) {
    wchar_t wide[kNarrowPathBytes];
    vexa::platform::narrowToWide(path, wide, kNarrowPathBytes);
    if (std::wcslen(wide) >= CvexaApp::kPathChars || std::strlen(path) >= kNarrowPathBytes - 1) return false;
    std::wcscpy(folder, wide);
    return true;
}

} // namespace

CvexaApp::CvexaApp() {
    m_pInfoParser = new CLocalInfoParser(m_Settings, g_bNoValidation);
    FindProgramFolder();
    std::wcscpy(m_szVersion, kUnknownVersion);
    m_pValidationRecord = std::make_unique<uint8_t[]>(kValidationRecordBytes);
    m_pValidationDump = std::make_unique<uint8_t[]>(kValidationDumpBytes);
    m_pVersionInfo = new FileVersionInfo;
    char program[kNarrowPathBytes] = {};
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length > 0 && length < sizeof program) {
        ReadVersionInfo(m_pVersionInfo, program);
    } else {
        m_pVersionInfo->Init();
    }
    if (m_pVersionInfo->Major != 0xFFFFFFFF)
        FormatStringW(m_szVersion, kVersionChars, L"%d.%d%d.%d", static_cast<int>(m_pVersionInfo->Major),
                      static_cast<int>(m_pVersionInfo->Minor), static_cast<int>(m_pVersionInfo->Build),
                      static_cast<int>(m_pVersionInfo->Revision));
}

// What ExitInstance has not released yet.
CvexaApp::~CvexaApp() {
    StopRefreshThread();
    delete m_pInfoParser;
    delete m_pVersionInfo;
}

CLocalInfoParser* CvexaApp::LocalInfoParser() const { return static_cast<CLocalInfoParser*>(m_pInfoParser); }

void CvexaApp::ReadVersionInfo(FileVersionInfo* info, const char* path) { GetFileVersionInfoStrings(path, info); }

// The folder of the program file, unless VEXA_PROGRAM_DIR names another;
// the current directory when neither can be had.
void CvexaApp::FindProgramFolder() {
    if (const char* chosen = std::getenv("VEXA_PROGRAM_DIR"); chosen && *chosen) {
        // Kept absolute: the folder is entered again later, from inside it.
        char* absolute = realpath(chosen, nullptr);
        const bool copied = CopyWholePath(absolute ? absolute : chosen, m_szProgramFolder);
        std::free(absolute);
        if (copied) return;
    }
    char path[kNarrowPathBytes];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length > 0 && length < sizeof path) {
        if (char* name = std::strrchr(path, '/')) {
            *name = '\0';
            if (CopyWholePath(path[0] ? path : "/", m_szProgramFolder)) return;
        }
    }
    const DWORD current = GetCurrentDirectoryA(sizeof path, path);
    if (current > 0 && current < sizeof path && CopyWholePath(path, m_szProgramFolder)) return;
    m_szProgramFolder[0] = L'\0';
}

void CvexaApp::EnterProgramFolder() {
    char folder[kNarrowPathBytes];
    vexa::platform::wideToNarrow(m_szProgramFolder, folder, sizeof folder);
    if (folder[0]) SetCurrentDirectoryA(folder);
}

void CvexaApp::ReadIni() {
    EnterProgramFolder();
    ReadSettingsFile(kSettingsFileName, m_Settings);
}

void CvexaApp::WriteIni() {
    EnterProgramFolder();
    FileVersionInfo unknown;
    unknown.Init();
    std::string error;
    if (!WriteSettingsFile(kSettingsFileName, m_Settings, m_pVersionInfo ? *m_pVersionInfo : unknown, &error))
        ReportFailure("%s", error.c_str());
}

void CvexaApp::ReportFailure(const char* format, ...) {
    m_bRunFailed = 1;
    va_list args;
    va_start(args, format);
    std::fputs("vexa: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

bool CvexaApp::StopRequested() const { return m_pStopSignals && BatchStopSignals::Received() != 0; }

// The two user fonts are made from the font settings by the window layer
// when the window mode opens it: batch runs have no use for them.
BOOL CvexaApp::InitInstance(const wchar_t* commandLine) {
    ReadIni();
    ParseCommandLine(commandLine);
    if (m_bBatch) {
        m_pStopSignals = std::make_unique<BatchStopSignals>();
        InitAndRun();
        return 1;
    }
    RunWindowMode();
    return 0;
}

int CvexaApp::ExitInstance() {
    WriteIni();
    StopRefreshThread();
    if (m_pInfoParser) m_pInfoParser->Close();
    delete m_pVersionInfo;
    m_pVersionInfo = nullptr;
    m_pValidationRecord.reset();
    m_pValidationDump.reset();
    delete m_pInfoParser;
    m_pInfoParser = nullptr;
    const int stopSignal = StopRequested() ? BatchStopSignals::Received() : 0;
    m_pStopSignals.reset();
    if (stopSignal) {
        std::fprintf(stderr, "vexa: stopped by signal %d (%s)\n", stopSignal, strsignal(stopSignal));
        return 128 + stopSignal;
    }
    return m_bRunFailed ? 1 : 0;
}

