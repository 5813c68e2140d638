// The validation file: the record encrypted once more with the record key,
// as lower-case hexadecimal text, then the four version numbers; and the
// dump compressor. OpenSSL and zlib's own inflate read what they wrote.
#include <gtest/gtest.h>

#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/compress_buffer.h"
#include "app/local_info_parser.h"
#include "app/validation_file.h"
#include "app/validation_record.h"
#include "machine/machine.h"
#include "platform/text.h"
#include "sdk/core/file_version.h"
#include "tests/app/app_test_support.h"
#include "tests/app/validation_test_support.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::Decrypt;
using vexa::test::HexToBytes;
using vexa::test::kRecordKeyHex;
using vexa::test::readFile;
using vexa::test::SplitFields;
using vexa::test::ValidationApp;

TEST(ValidationText, RecordDigitsThenVersionNumbers) {
    struct Case {
        uint32_t words[4];
        const char* numbers;
    };
    const Case cases[] = {
        {{1, 5, 4, 0}, "06100905"},
        {{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, "04040404"},
        {{95, 120, 0, 7}, "10120512"},  // 100 and 125 keep their first two digits
    };
    for (const Case& c : cases) {
        ValidationApp v;
        FileVersionInfo& version = *v.app.m_pVersionInfo;
        version.Major = c.words[0], version.Minor = c.words[1], version.Build = c.words[2], version.Revision = c.words[3];
        v.app.m_iValidationRecordLength = 3008;
        std::memset(v.app.m_pValidationRecord.get(), 0xA5, 3008);
        v.app.m_pValidationRecord[0] = 0x0F;
        const std::string text = vexa::validation::ValidationText(v.app);
        ASSERT_EQ(text.size(), 6024u);
        EXPECT_EQ(text.substr(0, 4), "0fa5");
        EXPECT_EQ(text.substr(6016), c.numbers);
    }
}

// The file of a record built on the x58 sample decrypts, with the record
// key and then the field key, to its 96 fields and the digest block.
TEST(ValidationFile, WritesTheDoublyEncryptedRecord) {
    vexa::test::ProgramFolder folder;
    std::string error;
    vexa::machine::ScopedMachine machine(vexa::machine::loadImage(vexa::test::sourcePath("machines/x58-nehalem"), error));
    ValidationApp v;
    CLocalInfoParser& queries = *v.app.LocalInfoParser();
    int status = 0, detail = 0;
    ASSERT_EQ(queries.Init(&status), 1);
    ASSERT_EQ(queries.Scan(&status, &detail), 1);
    const std::string path = folder.file("vexa-2667.vvf");
    WriteValidationFile(v.app, vexa::platform::toWide(path).c_str());
    queries.Close();

    const std::string file = readFile(path);
    ASSERT_EQ(file.size(), size_t(2 * v.app.m_iValidationRecordLength + 8));
    EXPECT_EQ(file.find_first_not_of("0123456789abcdef"), std::string::npos) << "lower-case digits only";
    EXPECT_EQ(file.substr(file.size() - 8), "06100905");
    const std::string fields = Decrypt(Decrypt(HexToBytes(file.substr(0, file.size() - 8)), kRecordKeyHex));
    const std::vector<std::string> plain = SplitFields(fields.substr(0, fields.size() - 48));
    ASSERT_EQ(plain.size(), 96u);
    EXPECT_EQ(plain[0], "1-4-8");
    EXPECT_EQ(plain[37], "Kingston");
}

TEST(ValidationFile, NothingIsWrittenWhenValidationIsForbiddenOrTheNameIsALink) {
    vexa::test::ProgramFolder folder;
    ValidationApp v;
    v.app.g_bNoValidation = 1;
    const std::string path = folder.file("forbidden.vvf");
    WriteValidationFile(v.app, vexa::platform::toWide(path).c_str());
    struct stat info;
    EXPECT_NE(lstat(path.c_str(), &info), 0);

    v.app.g_bNoValidation = 0;
    const std::string target = folder.file("target"), link = folder.file("link.vvf");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    WriteValidationFile(v.app, vexa::platform::toWide(link).c_str());
    EXPECT_NE(lstat(target.c_str(), &info), 0) << "never written through a link";
}

std::string Inflate(const std::vector<uint8_t>& compressed, size_t length, size_t expected) {
    std::string out(expected + 16, '\0');
    uLongf outLength = uLongf(out.size());
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &outLength, compressed.data(), uLong(length)), Z_OK);
    out.resize(outLength);
    return out;
}

TEST(CompressBuffer, ZlibStreamsAndTheRestartedOutput) {
    std::vector<uint8_t> out(64);
    uint32_t length = uint32_t(out.size());
    ASSERT_EQ(CompressBuffer(nullptr, 0, out.data(), &length), 0);
    EXPECT_EQ(length, 8u) << "an empty input is a complete 8-byte stream";
    EXPECT_EQ(Inflate(out, length, 0), "");

    std::string report;
    for (int i = 0; i < 2000; ++i) report += "Line " + std::to_string(i * 7919 % 10007) + " of the dump report\n";
    std::vector<uint8_t> big(report.size());
    length = uint32_t(big.size());
    ASSERT_EQ(CompressBuffer(reinterpret_cast<const uint8_t*>(report.data()), uint32_t(report.size()), big.data(),
                             &length),
              0);
    EXPECT_EQ(Inflate(big, length, report.size()), report);

    std::vector<uint8_t> small(256);
    length = uint32_t(small.size());
    EXPECT_EQ(CompressBuffer(reinterpret_cast<const uint8_t*>(report.data()), uint32_t(report.size()), small.data(),
                             &length),
              Z_BUF_ERROR);
    EXPECT_GT(length, small.size()) << "the count covers every pass";
}

} // namespace
