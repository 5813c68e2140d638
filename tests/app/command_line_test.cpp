// The command line: which batch job an option line selects, with which
// report path, core and mask.
#include <gtest/gtest.h>

#include <string>

#include "app/vexa_app.h"

namespace {

struct Case {
    const char* name;
    std::wstring line;
    int batch;
    int mode;
    std::wstring path;
    int core = 0;
    uint32_t mask = 0xFFFFFFFF;
};

void PrintTo(const Case& row, std::ostream* out) { *out << row.name; }

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, SelectsJobPathCoreAndMask) {
    const Case& c = GetParam();
    CvexaApp app;
    app.ParseCommandLine(c.line.c_str());
    EXPECT_EQ(app.m_bBatch, c.batch);
    EXPECT_EQ(app.BatchMode, c.mode);
    EXPECT_EQ(std::wstring(app.m_szBatchReportPath), c.path);
    EXPECT_EQ(app.m_iSelectedCore, c.core);
    EXPECT_EQ(app.m_dwCoreEnableMask, c.mask);
}

const std::wstring kLongName(600, L'r');

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLine,
    ::testing::Values(
        Case{"nothing_opens_the_window", L"", 0, BATCH_WINDOW, L"vexa"},
        Case{"text_report", L"-txt=r", 1, BATCH_TEXT_REPORT, L"r.txt"},
        Case{"text_report_without_name", L"-txt=", 1, BATCH_TEXT_REPORT, L"vexa.txt"},
        Case{"text_report_name_ends_at_white_space", L"-txt=my report", 1, BATCH_TEXT_REPORT, L"my.txt"},
        Case{"extension_always_appended", L"-txt=report.txt", 1, BATCH_TEXT_REPORT, L"report.txt.txt"},
        Case{"html_report", L"-html=r", 1, BATCH_HTML_REPORT, L"r.htm"},
        Case{"text_wins_over_html", L"-html=b -txt=a", 1, BATCH_TEXT_REPORT, L"a.txt"},
        Case{"console", L"-console", 1, BATCH_CONSOLE_REPORT, L"vexa"},
        Case{"report_wins_over_console", L"-console -html=x", 1, BATCH_HTML_REPORT, L"x.htm"},
        Case{"option_inside_a_word", L"x-consolex", 1, BATCH_CONSOLE_REPORT, L"vexa"},
        Case{"core_is_no_batch_run", L"-core=2", 0, BATCH_WINDOW, L"vexa", 2},
        Case{"core_without_number", L"-core=x", 0, BATCH_WINDOW, L"vexa", 0},
        Case{"mask_replaces_console", L"-console -coremask=3", 1, BATCH_CORE_MASK, L"vexa", 0, 3},
        Case{"mask_in_hex", L"-coremask=Fe", 1, BATCH_CORE_MASK, L"vexa", 0, 0xFE},
        Case{"mask_beyond_32_bits_saturates", L"-coremask=123456789", 1, BATCH_CORE_MASK, L"vexa", 0, 0xFFFFFFFF},
        Case{"core_and_mask", L"-core=1 -coremask=5", 1, BATCH_CORE_MASK, L"vexa", 1, 5},
        Case{"removeservice_wins", L"-txt=a -coremask=3 -removeservice", 1, BATCH_REMOVE_DRIVER, L"a.txt", 0, 3},
        // The path buffer holds 511 characters: a longer name is cut, its
        // extension with it.
        Case{"long_name_is_cut", L"-txt=" + kLongName, 1, BATCH_TEXT_REPORT, std::wstring(511, L'r')},
        Case{"name_that_leaves_room_for_part_of_the_extension", L"-txt=" + std::wstring(509, L'r'), 1,
             BATCH_TEXT_REPORT, std::wstring(509, L'r') + L".t"}),
    [](const ::testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });

} // namespace
