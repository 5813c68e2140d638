// The report bodies: which sections appear, and the lines the query layer
// writes itself.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/local_info_parser.h"
#include "app/report_lines.h"
#include "app/settings.h"
#include "platform/sync.h"
#include "sdk/core/interface.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"

namespace {

struct QueryLayer {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser parser{settings, noValidation};

    void Scan() {
        int error = 0, detail = 0;
        ASSERT_EQ(parser.Scan(&error, &detail), 1);
    }
};

using Body = void (CInfoParser::*)(CReportGenerator*);

std::string Written(CInfoParser& parser, Body body) {
    CReportGenerator_Buffer buffer;
    (parser.*body)(&buffer);
    return buffer.GetText();
}

constexpr Body kBodies[] = {&CInfoParser::WriteReport, &CInfoParser::WriteConsoleReport,
                            &CInfoParser::WriteHTMLReport, &CInfoParser::WriteDumpReport,
                            &CInfoParser::WriteSummaryReport};

TEST(ReportBodies, NothingBeforeTheScan) {
    QueryLayer layer;
    for (Body body : kBodies) EXPECT_EQ(Written(layer.parser, body), "");
}

// The full report writes the monitoring title and the mainboard line even
// without monitors; the short and dump reports only with them.
TEST(ReportBodies, MonitoringTitleOnlyInTheFullReportWithoutMonitors) {
    QueryLayer layer;
    layer.settings.Sensor = 0;
    layer.Scan();
    const std::string title = "모니터링\n" + std::string(73, '-') + "\n\n";
    EXPECT_NE(Written(layer.parser, &CInfoParser::WriteReport).find(title), std::string::npos);
    EXPECT_EQ(Written(layer.parser, &CInfoParser::WriteConsoleReport).find("모니터링"), std::string::npos);
    EXPECT_EQ(Written(layer.parser, &CInfoParser::WriteDumpReport).find("모니터링"), std::string::npos);
    EXPECT_EQ(Written(layer.parser, &CInfoParser::WriteConsoleReport),
              Written(layer.parser, &CInfoParser::WriteHTMLReport));
    layer.parser.Close();
}

// A report that cannot have the library lock writes nothing; the next one
// can.
TEST(ReportBodies, NothingWithoutTheLibraryLock) {
    QueryLayer layer;
    layer.Scan();
    // The processor measurement threads wait for the library lock too; one
    // of them could be the waiter that finds it abandoned.
    if (CInterface* processors = GetSDK()->FindInterface(INTERFACE_CPU)) processors->Close();
    HANDLE mutex = GetSDK()->m_hMutex;
    std::thread([mutex] { WaitForSingleObject(mutex, INFINITE); }).join();  // abandoned
    EXPECT_EQ(Written(layer.parser, &CInfoParser::WriteReport), "");
    EXPECT_NE(Written(layer.parser, &CInfoParser::WriteReport), "");
    layer.parser.Close();
}

TEST(ReportLines, MainboardModelCarriesTheBoardKeys) {
    wchar_t text[kInfoTextChars];
    FormatMainboardModel("AB1", text);
    EXPECT_STREQ(text, L"AB1 (0x000000B4 - 0x000004DC)");
    FormatMainboardModel("", text);
    EXPECT_STREQ(text, L" (0x00000000 - 0x00000000)");
}

TEST(ReportLines, WindowsVersionJoinsNameAndBuild) {
    wchar_t text[kInfoTextChars];
    FormatWindowsVersion("Windows 7 Ultimate", "Service Pack 1 (Build 7601)", text);
    EXPECT_STREQ(text, L"Windows 7 Ultimate Service Pack 1 (Build 7601)");
    FormatWindowsVersion("", "", text);
    EXPECT_STREQ(text, L" ");
}

} // namespace
