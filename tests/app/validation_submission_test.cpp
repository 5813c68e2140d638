// The online validation against a local server: the submission's body
// (names as they are, bounded; the record that OpenSSL decrypts), the
// reply's code and id, the id's page, the compressed dump that Python's
// zlib inflates, the failures of the network steps, and a virtual machine
// that refuses both the submission and the file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "app/local_info_parser.h"
#include "app/validation_file.h"
#include "app/validation_submission.h"
#include "machine/machine.h"
#include "platform/modules.h"
#include "platform/internet.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "sdk/core/report_generator.h"
#include "tests/app/app_test_support.h"
#include "tests/app/validation_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/local_http_server.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::Decrypt;
using vexa::test::HexToBytes;
using vexa::test::kRecordKeyHex;
using vexa::test::LocalHttpServer;
using vexa::test::SplitFields;
using vexa::test::ValidationApp;
using namespace vexa::validation;

// The lines of a dump report too varied to shrink much: its compressed
// form is larger than a buffer of 100 KB.
std::vector<std::string> LargeDumpLines() {
    std::vector<std::string> lines;
    uint32_t state = 12345;
    for (int i = 0; i < 16000; ++i) {
        state = state * 1103515245u + 12345u;
        lines.push_back("Register " + std::to_string(state) + "\t" + std::to_string(state >> 7) + "\n");
    }
    return lines;
}

std::string LargeDumpReport() {
    std::string text;
    for (const std::string& line : LargeDumpLines()) text += line;
    return text;
}

// The query layer whose dump report is those lines.
class DumpQueries : public CLocalInfoParser {
public:
    using CLocalInfoParser::CLocalInfoParser;
    void WriteDumpReport(CReportGenerator* report) override {
        for (const std::string& line : LargeDumpLines()) report->Print("%s", line.c_str());
    }
};

// The application pointed at the server, with the clock stopped (the
// submission's pause passes at once).
struct OnlineValidation {
    explicit OnlineValidation(const std::string& reply) : server(reply) {
        setenv("VEXA_VALIDATION_BASE", server.base().c_str(), 1);
    }
    std::string Field(size_t request, const std::string& name) const {
        const std::string body = server.requests().at(request).body;
        const size_t start = body.find(name + "=");
        if (start == std::string::npos) return "(missing)";
        const size_t value = start + name.size() + 1;
        return body.substr(value, body.find('&', value) - value);
    }
    vexa::test::ManualClockGuard clock;
    LocalHttpServer server;
    ValidationApp v;
    vexa::test::ShellRecorder shell{42};
};

TEST(ValidationBodies, NamesAsTheyAreBoundedAtACharacterBoundary) {
    struct Case {
        std::wstring name, email;
        int publish;
        std::string expected;
    };
    const Case cases[] = {
        {L"A&B=C", L"a@b.example", 0, "user_name=A&B=C&user_email=a@b.example&raw_vvf=REC0105&publish=0&send=ok"},
        {L"홍길동", L"메일@예.example", 1,
         "user_name=홍길동&user_email=메일@예.example&raw_vvf=REC0105&publish=1&send=ok"},
        {L"", L"", 7, "user_name=&user_email=&raw_vvf=REC0105&publish=0&send=ok"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SubmissionBody(c.name.c_str(), c.email.c_str(), "REC0105", c.publish), c.expected);

    // 300 Korean syllables are 900 bytes: 85 whole ones fit 255 bytes.
    const std::wstring longName(300, L'한');
    const std::string body = SubmissionBody(longName.c_str(), longName.c_str(), "R", 1);
    std::string expectedName;
    for (int i = 0; i < 85; ++i) expectedName += "한";
    EXPECT_EQ(body, "user_name=" + expectedName + "&user_email=" + expectedName + "&raw_vvf=R&publish=1&send=ok");

    const uint8_t bytes[] = {0x78, 0x9C, 0x03, 0x00};
    EXPECT_EQ(DumpBody(L"ABC", bytes, sizeof bytes), "raw_id=ABC&raw_dump=789c0300");
    EXPECT_EQ(DumpBody(std::wstring(40, L'Z').c_str(), bytes, 0), "raw_id=" + std::string(31, 'Z') + "&raw_dump=");
}

TEST(ValidationReply, CodeAndBoundedId) {
    struct Case {
        std::string reply;
        int code;
        std::string id;
    };
    const Case cases[] = {
        {"0,ABC", 0, "ABC"},
        {"0,ABC DEF\r\n", 0, "ABC"},
        {"8,x", 8, "x"},
        {"  12", 12, ""},
        {"0", 0, ""},
        {"0,", 0, ""},
        {"ABC,0", 99, ""},
        {"", 99, ""},
        {"-3,Q", -3, "Q"},
        {"99999999999999,Q", 2147483647, "Q"},
        {"0," + std::string(100, 'i'), 0, std::string(31, 'i')},
    };
    for (const Case& c : cases) {
        std::string id = "stale";
        EXPECT_EQ(ParseServiceReply(c.reply.c_str(), id), c.code) << c.reply;
        EXPECT_EQ(id, c.id) << c.reply;
    }
}

// The x58 sample's record goes to "vvf.php"; the reply's id becomes the
// validation id and its page opens; the dump follows under that id.
TEST(ValidationOnline, SubmitsTheRecordThenTheDump) {
    OnlineValidation online("0,ABC");
    std::string error;
    vexa::machine::ScopedMachine machine(vexa::machine::loadImage(vexa::test::sourcePath("machines/x58-nehalem"), error));
    ValidationApp& v = online.v;
    delete v.app.m_pInfoParser;
    v.app.m_pInfoParser = new DumpQueries(v.app.m_Settings, v.app.g_bNoValidation);
    CLocalInfoParser& queries = *v.app.LocalInfoParser();
    int status = 0, detail = 0;
    ASSERT_EQ(queries.Init(&status), 1);
    ASSERT_EQ(queries.Scan(&status, &detail), 1);

    ASSERT_EQ(SubmitValidation(v.app, L"홍길동", L"hong@example.org", 1), 0);
    EXPECT_STREQ(v.app.m_szValidationId, L"ABC");
    ASSERT_EQ(online.shell.requests().size(), 1u);
    EXPECT_EQ(online.shell.requests()[0].file, vexa::platform::toWide(online.server.base() + "/ABC"));
    UploadValidationDump(v.app);
    queries.Close();

    const std::vector<LocalHttpServer::Request> requests = online.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const LocalHttpServer::Request& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.agent, "VEXA154");
        EXPECT_EQ(request.contentType, "application/x-www-form-urlencoded; charset=utf-8");
        EXPECT_EQ(request.authorization, "Basic d3V6bzp3dXpv");  // "wuzo:wuzo"
    }
    EXPECT_EQ(requests[0].path, "/vvf.php");
    EXPECT_EQ(online.Field(0, "user_name"), "홍길동");
    EXPECT_EQ(online.Field(0, "user_email"), "hong@example.org");
    EXPECT_EQ(online.Field(0, "publish"), "1");
    EXPECT_EQ(requests[0].body.substr(requests[0].body.size() - 8), "&send=ok");
    const std::string record = online.Field(0, "raw_vvf");
    ASSERT_GT(record.size(), 8u);
    EXPECT_EQ(record.substr(record.size() - 8), "06100905");
    const std::string plain = Decrypt(Decrypt(HexToBytes(record.substr(0, record.size() - 8)), kRecordKeyHex));
    const std::vector<std::string> fields = SplitFields(plain.substr(0, plain.size() - 48));
    ASSERT_EQ(fields.size(), 96u);
    EXPECT_EQ(fields[1], "Intel Core i7 920");

    EXPECT_EQ(requests[1].path, "/dump.php");
    EXPECT_EQ(online.Field(1, "raw_id"), "ABC");
    const std::string compressed = HexToBytes(online.Field(1, "raw_dump"));
    EXPECT_GT(compressed.size(), 102400u) << "more than a buffer of 100 KB";
    const std::string inflated = vexa::test::Inflate(compressed);
    EXPECT_EQ(inflated.size(), LargeDumpReport().size());
    EXPECT_TRUE(inflated == LargeDumpReport()) << "the dump report, byte for byte";
}

TEST(ValidationOnline, ServiceCodesKeepTheId) {
    struct Case {
        const char* reply;
        int result;
    };
    for (const Case& c : {Case{"8,x", 8}, Case{"Error", 99}, Case{"", -1}, Case{"5,Z", 5}}) {
        OnlineValidation online(c.reply);
        std::wcscpy(online.v.app.m_szValidationId, L"OLD");
        EXPECT_EQ(SubmitValidation(online.v.app, L"name", L"mail", 0), c.result) << c.reply;
        EXPECT_STREQ(online.v.app.m_szValidationId, L"OLD") << c.reply;
        EXPECT_TRUE(online.shell.requests().empty()) << c.reply;
        ASSERT_EQ(online.server.requests().size(), 1u);
        EXPECT_EQ(online.Field(0, "publish"), "0");
    }
}

TEST(ValidationOnline, FailedStepsGiveTheirErrors) {
    vexa::test::ManualClockGuard clock;
    ValidationApp v;
    const vexa::test::RefusingPort refusing;
    setenv("VEXA_VALIDATION_BASE", refusing.base().c_str(), 1);
    EXPECT_EQ(SubmitValidation(v.app, L"n", L"m", 1), int(ERROR_INTERNET_CANNOT_CONNECT));

    LocalHttpServer server("0,ABC");
    setenv("VEXA_VALIDATION_BASE", server.base().c_str(), 1);
    for (const char* missing : {"InternetQueryOptionA", "HttpSendRequestA"}) {
        vexa::platform::testing::hideExport("wininet.dll", missing);
        EXPECT_EQ(SubmitValidation(v.app, L"n", L"m", 1), -1) << missing;
        vexa::platform::testing::restoreLibraries();
    }
    vexa::platform::testing::hideLibrary("wininet.dll");
    EXPECT_EQ(SubmitValidation(v.app, L"n", L"m", 1), -1);
    vexa::platform::testing::restoreLibraries();
    vexa::platform::testing::hideExport("wininet.dll", "InternetReadFile");
    UploadValidationDump(v.app);
    vexa::platform::testing::restoreLibraries();
    EXPECT_TRUE(server.requests().empty());
    EXPECT_STREQ(v.app.m_szValidationId, L"");
}

// A VMware machine: the scan forbids the validation, so neither a
// submission nor a file leaves the program.
TEST(ValidationOnline, VirtualMachineRefusesToSubmitOrSave) {
    OnlineValidation online("0,ABC");
    vexa::test::ImageDir image;
    image.write("machine.json", R"({"vm": "vmware"})");
    image.write("cpuid.txt", vexa::test::readFile(vexa::test::sourcePath("machines/x58-nehalem/cpuid.txt")));
    vexa::machine::ScopedMachine machine(image.load());
    vexa::test::ProgramFolder folder;
    CLocalInfoParser& queries = *online.v.app.LocalInfoParser();
    int status = 0, detail = 0;
    ASSERT_EQ(queries.Init(&status), 1);
    ASSERT_EQ(queries.Scan(&status, &detail), 1);
    ASSERT_EQ(online.v.app.g_bNoValidation, 1);

    EXPECT_EQ(SubmitValidation(online.v.app, L"name", L"mail", 1), -1);
    const std::string path = folder.file("vexa.vvf");
    WriteValidationFile(online.v.app, vexa::platform::toWide(path).c_str());
    queries.Close();
    struct stat info;
    EXPECT_NE(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(online.server.requests().empty());
    EXPECT_STREQ(online.v.app.m_szValidationId, L"");
}

} // namespace
