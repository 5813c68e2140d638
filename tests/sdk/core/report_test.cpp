// The report writers: the base behaviour, the text layout of the TXT,
// console and buffer writers, and the HTML layout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/console.h"
#include "sdk/core/report_generator.h"

namespace {

std::string Repeat(const std::string& unit, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += unit;
    return out;
}

// Everything a file holds.
std::string ReadAll(FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
    return text;
}

// Sends file descriptor 1 (the console) to a temporary file until Finish.
class StdoutCapture {
public:
    StdoutCapture() : file_(std::tmpfile()) {
        std::fflush(stdout);
        saved_ = dup(1);
        dup2(fileno(file_), 1);
    }
    ~StdoutCapture() {
        Finish();
        std::fclose(file_);
    }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Puts the console back and returns what was written to it.
    std::string Finish() {
        if (saved_ >= 0) {
            std::fflush(stdout);
            dup2(saved_, 1);
            close(saved_);
            saved_ = -1;
        }
        return ReadAll(file_);
    }

private:
    FILE* file_;
    int saved_;
};

const std::string kRule = "\n" + std::string(73, '-') + "\n\n";

// ---- The base ----

TEST(ReportBaseWriter, PrintsToFileAndIgnoresLayoutOperations) {
    FILE* file = std::tmpfile();
    CReportGenerator writer(file);
    EXPECT_EQ(writer.BeginDocument(), 1);
    writer.PrintTitle("Title");
    writer.PrintTitleW(L"Title");
    writer.PrintSectionTitle("Section");
    writer.PrintField("Label", "\t", "%d", 1);
    writer.PrintFieldW(L"Label", L"\t", L"%d", 1);
    writer.PrintFieldFormatted("Label", "\t", "%d", 1);
    writer.PrintBlankLine();
    writer.EndDocument();
    writer.Print("%s=%d%%;", "load", 50);
    writer.PrintW(L"%s %hs %d\u00B0;", L"wide", "narrow", 45);
    writer.Print("%s", "%s%n%d");
    EXPECT_EQ(ReadAll(file), "load=50%;wide narrow 45\xC2\xB0;%s%n%d");
    std::fclose(file);
}

// Records the layout calls that the base turns other calls into.
class RecordingWriter : public CReportGenerator {
public:
    void PrintTitle(const char* title) override { calls.push_back(std::string("title:") + title); }
    void PrintField(const char* label, const char* pad, const char* format, ...) override {
        char value[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(value, sizeof value, format, args);
        va_end(args);
        calls.push_back(std::string("field:") + label + "|" + pad + "|" + value);
    }
    std::vector<std::string> calls;
};

TEST(ReportBaseWriter, SectionTitleAndFormattedFieldUseTheLayoutOperations) {
    RecordingWriter writer;
    writer.PrintSectionTitle("Memory");
    writer.PrintFieldFormatted("Load", "\t", "%d%% of %s", 50, "100%%");
    writer.PrintFieldFormatted("Long", "", "%s", std::string(400, 'x').c_str());
    const std::vector<std::string> expected = {
        "title:Memory",
        "field:Load|\t|50% of 100%%",  // formatted once, then passed on as a value
        "field:Long||" + std::string(255, 'x'),
    };
    EXPECT_EQ(writer.calls, expected);
}

#if defined(__x86_64__) || defined(__i386__)
// The vtable slot of a virtual member function under the Itanium C++ ABI:
// its pointer-to-member holds 1 + the slot's byte offset.
template <typename Member>
size_t VirtualSlot(Member member) {
    static_assert(sizeof member == 2 * sizeof(uintptr_t));
    uintptr_t raw[2];
    std::memcpy(raw, &member, sizeof raw);
    return (raw[0] - 1) / sizeof(void*);
}

TEST(ReportBaseWriter, VirtualOperationsKeepTheirSlotOrder) {
    // Slots 0 and 1 are the two destructor entries.
    const std::vector<size_t> slots = {
        VirtualSlot(&CReportGenerator::PrintW),
        VirtualSlot(&CReportGenerator::Print),
        VirtualSlot(&CReportGenerator::BeginDocument),
        VirtualSlot(&CReportGenerator::EndDocument),
        VirtualSlot(&CReportGenerator::PrintTitleW),
        VirtualSlot(&CReportGenerator::PrintTitle),
        VirtualSlot(&CReportGenerator::PrintSectionTitle),
        VirtualSlot(&CReportGenerator::PrintFieldW),
        VirtualSlot(&CReportGenerator::PrintField),
        VirtualSlot(&CReportGenerator::PrintFieldFormatted),
        VirtualSlot(&CReportGenerator::PrintBlankLine),
    };
    EXPECT_EQ(slots, (std::vector<size_t>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}
#endif

// ---- Writers without an output ----

TEST(ReportWriterWithoutOutput, WritesNothingAndBeginsDocument) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CReportGenerator>()> make;
    };
    const Case cases[] = {
        {"TXT", [] { return std::make_unique<CReportGenerator_TXT>(nullptr); }},
        {"HTML", [] { return std::make_unique<CReportGenerator_HTML>(nullptr); }},
        {"console null", [] { return std::make_unique<CReportGenerator_Console>(nullptr); }},
        {"console invalid",
         [] { return std::make_unique<CReportGenerator_Console>(INVALID_HANDLE_VALUE); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StdoutCapture console;
        auto writer = c.make();
        const BOOL begun = writer->BeginDocument();
        writer->PrintTitle("Title");
        writer->PrintTitleW(L"Title");
        writer->PrintField("Label", "\t", "%d", 1);
        writer->PrintFieldW(L"Label", L"\t", L"%d", 1);
        writer->PrintBlankLine();
        writer->Print("text");
        writer->PrintW(L"text");
        writer->EndDocument();
        const std::string written = console.Finish();
        EXPECT_EQ(begun, 1);
        EXPECT_EQ(written, "");
    }
}

// ---- The text layout, through each of its three writers ----

// A text-layout writer and what it has written.
class TextOutput {
public:
    virtual ~TextOutput() = default;
    virtual CReportGenerator& Writer() = 0;
    // Everything written; ends the output's use.
    virtual std::string Text() = 0;
};

class TxtOutput final : public TextOutput {
public:
    TxtOutput() : file_(std::tmpfile()), writer_(file_) {}
    ~TxtOutput() override { std::fclose(file_); }
    CReportGenerator& Writer() override { return writer_; }
    std::string Text() override { return ReadAll(file_); }

private:
    FILE* file_;
    CReportGenerator_TXT writer_;
};

class ConsoleOutput final : public TextOutput {
public:
    ConsoleOutput() : writer_(GetStdHandle(STD_OUTPUT_HANDLE)) {}
    CReportGenerator& Writer() override { return writer_; }
    std::string Text() override { return capture_.Finish(); }

private:
    StdoutCapture capture_;
    CReportGenerator_Console writer_;
};

class BufferOutput final : public TextOutput {
public:
    CReportGenerator& Writer() override { return writer_; }
    std::string Text() override {
        EXPECT_EQ(writer_.GetLength(), std::strlen(writer_.GetText()));
        return std::string(writer_.GetText(), writer_.GetLength());
    }

private:
    CReportGenerator_Buffer writer_;
};

struct TextWriterKind {
    const char* name;
    std::function<std::unique_ptr<TextOutput>()> make;
    friend void PrintTo(const TextWriterKind& kind, std::ostream* out) { *out << kind.name; }
};

class ReportTextLayout : public ::testing::TestWithParam<TextWriterKind> {
protected:
    std::string Written(const std::function<void(CReportGenerator&)>& calls) {
        auto output = GetParam().make();
        calls(output->Writer());
        return output->Text();
    }
};

struct TextLayoutCase {
    const char* name;
    std::function<void(CReportGenerator&)> calls;
    std::string expected;
};

const TextLayoutCase kTextLayoutCases[] = {
    {"title", [](CReportGenerator& w) { w.PrintTitle("Processors Information"); },
     "Processors Information" + kRule},
    {"section title", [](CReportGenerator& w) { w.PrintSectionTitle("Mainboard"); },
     "Mainboard" + kRule},
    {"wide title", [](CReportGenerator& w) { w.PrintTitleW(L"Sensors \u00B0C"); },
     "Sensors \xC2\xB0" "C" + kRule},
    {"nested field", [](CReportGenerator& w) { w.PrintField("\tName", "\t\t", "%s", "Core i7"); },
     "\tName\t\tCore i7\n"},
    {"field with values",
     [](CReportGenerator& w) { w.PrintField("Clock", "\t", "%d MHz (%.1f%%)", 3400, 99.5); },
     "Clock\t3400 MHz (99.5%)\n"},
    {"wide field with degree sign",
     [](CReportGenerator& w) {
         w.PrintFieldW(L"\tTemperature", L"\t", L"%d%sC", 45, L"\u00B0");
     },
     "\tTemperature\t45\xC2\xB0" "C\n"},
    {"narrow degree sign",
     [](CReportGenerator& w) { w.PrintField("T", "\t", "%d%sC", 45, kDegreeSign); },
     "T\t45\xC2\xB0" "C\n"},
    {"blank line", [](CReportGenerator& w) { w.PrintBlankLine(); }, "\n"},
    {"percent signs in texts",
     [](CReportGenerator& w) { w.PrintField("Label %d", "%s", "%s", "%s%n%d"); },
     "Label %d%s%s%n%d\n"},
    {"percent signs in wide texts",
     [](CReportGenerator& w) { w.PrintFieldW(L"Label %d", L"\t", L"%s", L"%s%n%d"); },
     "Label %d\t%s%n%d\n"},
    {"print", [](CReportGenerator& w) { w.Print("%s=%d", "a", 1); }, "a=1"},
    {"wide print", [](CReportGenerator& w) { w.PrintW(L"%s=%d", L"\u00E9", 1); }, "\xC3\xA9=1"},
    {"document frame writes nothing",
     [](CReportGenerator& w) {
         EXPECT_EQ(w.BeginDocument(), 1);
         w.EndDocument();
     },
     ""},
    {"value cut at 255 bytes",
     [](CReportGenerator& w) { w.PrintField("V", "", "%s", std::string(300, 'x').c_str()); },
     "V" + std::string(255, 'x') + "\n"},
    {"value cut at a character boundary",
     [](CReportGenerator& w) { w.PrintField("V", "", "%s", Repeat("\xC3\xA9", 200).c_str()); },
     "V" + Repeat("\xC3\xA9", 127) + "\n"},
    {"wide value cut at 255 characters",
     [](CReportGenerator& w) { w.PrintFieldW(L"V", L"", L"%s", std::wstring(300, L'x').c_str()); },
     "V" + std::string(255, 'x') + "\n"},
    {"converted wide value cut at 511 bytes",
     [](CReportGenerator& w) {
         w.PrintFieldW(L"V", L"", L"%s", std::wstring(300, L'\u20AC').c_str());
     },
     "V" + Repeat("\xE2\x82\xAC", 170) + "\n"},
    {"print cut at 511 bytes",
     [](CReportGenerator& w) { w.Print("%s", std::string(600, 'x').c_str()); },
     std::string(511, 'x')},
    {"print cut at a character boundary",
     [](CReportGenerator& w) { w.Print("%s", Repeat("\xC3\xA9", 300).c_str()); },
     Repeat("\xC3\xA9", 255)},
    {"overlong label keeps its value and line break",
     [](CReportGenerator& w) { w.PrintField(std::string(600, 'x').c_str(), "\t", "%d", 7); },
     std::string(511, 'x') + "7\n"},
    {"calls accumulate in order",
     [](CReportGenerator& w) {
         w.PrintTitle("Memory");
         w.PrintField("Size", "\t", "%d MB", 8192);
         w.PrintBlankLine();
     },
     "Memory" + kRule + "Size\t8192 MB\n\n"},
};

TEST_P(ReportTextLayout, WritesEachOperationAsText) {
    for (const TextLayoutCase& c : kTextLayoutCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Written(c.calls), c.expected);
    }
}

TEST_P(ReportTextLayout, FormattedFieldMatchesFieldWithFinishedValue) {
    const std::string formatted = Written([](CReportGenerator& w) {
        w.PrintFieldFormatted("\tLoad", "\t", "%d%% at %s", 50, "100%s");
    });
    const std::string finished =
        Written([](CReportGenerator& w) { w.PrintField("\tLoad", "\t", "%s", "50% at 100%s"); });
    EXPECT_EQ(formatted, finished);
    EXPECT_EQ(formatted, "\tLoad\t50% at 100%s\n");
}

INSTANTIATE_TEST_SUITE_P(
    ReportWriters, ReportTextLayout,
    ::testing::Values(TextWriterKind{"TXT", [] { return std::make_unique<TxtOutput>(); }},
                      TextWriterKind{"Console", [] { return std::make_unique<ConsoleOutput>(); }},
                      TextWriterKind{"Buffer", [] { return std::make_unique<BufferOutput>(); }}),
    [](const auto& instance) { return std::string(instance.param.name); });

TEST(ReportBufferWriter, StartsEmptyAndGrowsPastOnePrint) {
    CReportGenerator_Buffer writer;
    EXPECT_STREQ(writer.GetText(), "");
    EXPECT_EQ(writer.GetLength(), 0u);
    std::string expected;
    for (int i = 0; i < 20; ++i) {
        writer.PrintField("Line", "\t", "%d %s", i, std::string(100, 'v').c_str());
        expected += "Line\t" + std::to_string(i) + " " + std::string(100, 'v') + "\n";
    }
    EXPECT_EQ(std::string(writer.GetText()), expected);
    EXPECT_EQ(writer.GetLength(), expected.size());
}

// ---- The HTML layout ----

class ReportHtmlWriter : public ::testing::Test {
protected:
    ReportHtmlWriter() : file_(std::tmpfile()), writer_(file_) {}
    ~ReportHtmlWriter() override { std::fclose(file_); }

    // What the writer has written since the last call.
    std::string Written() {
        std::string all = ReadAll(file_);
        std::string fresh = all.substr(consumed_);
        consumed_ = all.size();
        return fresh;
    }

    static std::string FieldRow(const std::string& indent, const std::string& label,
                                const std::string& value) {
        return "<tr valign=\"top\" bgcolor=\"#FFFFFF\"><td width=\"300\"><small>" + indent + label +
               "</small></td><td valign=\"center\"><small><font color=\"#0000A0\">" + value +
               "</font></small></td></tr>\n";
    }
    static std::string TitleRow(const std::string& title) {
        return "<tr valign=\"top\" bgcolor=\"#E0E0FF\"><td width=\"300\"><small><b>" + title +
               "</b></small></td><td valign=\"center\"><small><small><font color=\"#0000A0\">"
               "&nbsp;</font></small></small></td></tr>\n";
    }

    FILE* file_;
    CReportGenerator_HTML writer_;
    size_t consumed_ = 0;
};

const std::string kIndent1 = Repeat("&nbsp;", 4);
const std::string kIndent2 = Repeat("&nbsp;", 8);

TEST_F(ReportHtmlWriter, DocumentHeadAndTail) {
    EXPECT_EQ(writer_.BeginDocument(), 1);
    const std::string head = Written();
    EXPECT_EQ(head,
              "<html><head><meta charset=\"utf-8\"><title>Vexa HTML report file</title></head><body bgcolor=FFFFFF>\n"
              "<font face=\"Verdana\" color=\"#000000\">\n"
              "<table border=0 width=\"100%\" cellspacing=\"0\" cellpadding=\"5\">\n"
              "<tr align=\"left\">\n"
              "<td>\n"
              "<p><a href=\"https://www.vexa.example/\" target=\"_blank\"><img "
              "src=\"https://www.vexa.example/images/vexa_logo.gif\" width=\"180\" "
              "height=\"66\" border=\"0\" alt=\"Vexa\"></a></p>\n"
              "</td>\n"
              "</tr>\n"
              "<tr><td><table border=\"0\" width=\"100%\" cellspacing=\"2\" cellpadding=\"2\" "
              "bgcolor=\"#FFFFFF\">\n");
    size_t tables = 0, fullWidth = 0;
    for (size_t at = 0; (at = head.find("<table ", at)) != std::string::npos; ++at) {
        ++tables;
        if (head.substr(at, head.find('>', at) - at).find("width=\"100%\"") != std::string::npos)
            ++fullWidth;
    }
    EXPECT_EQ(tables, 2u);
    EXPECT_EQ(fullWidth, 2u);

    writer_.EndDocument();
    EXPECT_EQ(Written(), "</table></td></tr>\n</font></body></html>\n");
}

TEST_F(ReportHtmlWriter, TitlesAndBlankLines) {
    writer_.PrintTitle("Processors Information");
    EXPECT_EQ(Written(), TitleRow("Processors Information"));
    writer_.PrintSectionTitle("Memory");
    EXPECT_EQ(Written(), TitleRow("Memory"));
    writer_.PrintTitleW(L"Sensors \u00B0C");
    EXPECT_EQ(Written(), TitleRow("Sensors \xC2\xB0" "C"));
    writer_.PrintBlankLine();
    EXPECT_EQ(Written(), FieldRow("", "&nbsp;", "&nbsp;"));
}

TEST_F(ReportHtmlWriter, FieldRowFollowsLeadingTabsAndIgnoresPad) {
    struct Case {
        const char* label;
        std::string indent;
    };
    for (const Case& c : {Case{"Name", ""}, Case{"\tName", kIndent1}, Case{"\t\tName", kIndent2},
                          Case{"\t\t\tName", kIndent2}, Case{"Na\tme", ""}, Case{"", ""}}) {
        SCOPED_TRACE(c.label);
        writer_.PrintField(c.label, "\t\t\t", "%d MHz", 3400);
        EXPECT_EQ(Written(), FieldRow(c.indent, c.label, "3400 MHz"));
    }
}

TEST_F(ReportHtmlWriter, WideAndFormattedFieldsGiveTheSameRow) {
    const std::string expected = FieldRow(kIndent2, "\t\tTemperature", "45\xC2\xB0" "C (50%)");
    writer_.PrintFieldW(L"\t\tTemperature", L"\t", L"%d%sC (%d%%)", 45, L"\u00B0", 50);
    EXPECT_EQ(Written(), expected);
    writer_.PrintFieldFormatted("\t\tTemperature", "\t", "%d%sC (%d%%)", 45, kDegreeSign, 50);
    EXPECT_EQ(Written(), expected);
    writer_.PrintField("\t\tTemperature", "\t", "%s", "45\xC2\xB0" "C (50%)");
    EXPECT_EQ(Written(), expected);
}

TEST_F(ReportHtmlWriter, EscapesInsertedTextsButNotItsMarkup) {
    writer_.PrintField("<script>", "", "%s", "a & \"b\" %s%n%d");
    EXPECT_EQ(Written(), FieldRow("", "&lt;script&gt;", "a &amp; &quot;b&quot; %s%n%d"));
    writer_.PrintFieldW(L"\t<b>", L"", L"%s", L"&nbsp;");
    EXPECT_EQ(Written(), FieldRow(kIndent1, "\t&lt;b&gt;", "&amp;nbsp;"));
    writer_.PrintTitle("</table>\"&");
    EXPECT_EQ(Written(), TitleRow("&lt;/table&gt;&quot;&amp;"));
}

TEST_F(ReportHtmlWriter, EscapedRowsAreWrittenWhole) {
    // A value of 255 ampersands becomes 1275 bytes; an overlong label is cut
    // to 511 bytes before escaping.
    writer_.PrintField(std::string(600, '<').c_str(), "", "%s", std::string(400, '&').c_str());
    EXPECT_EQ(Written(), FieldRow("", Repeat("&lt;", 511), Repeat("&amp;", 255)));
    writer_.PrintTitle(Repeat("\xC3\xA9", 300).c_str());
    EXPECT_EQ(Written(), TitleRow(Repeat("\xC3\xA9", 255)));
}

} // namespace
