#include "machine/cpuid_dump.h"

#include "tests/machine/cpuid_files.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

namespace vexa::machine {
namespace {

CpuidRegs at(const CpuidLeaves& cpu, uint32_t leaf, uint32_t subleaf = 0) {
    const auto it = cpu.find(CpuidKey{leaf, subleaf});
    return it == cpu.end() ? CpuidRegs{0xDEAD, 0xDEAD, 0xDEAD, 0xDEAD} : it->second;
}

CpuidDump parseOk(std::string_view text) {
    CpuidDump dump;
    std::string error;
    EXPECT_TRUE(parseCpuidDump(text, dump, error)) << error;
    return dump;
}

// Each dialect, reduced to two processors with leaf 0 and leaf 1.
struct DialectCase {
    const char* name;
    const char* text;
};

const DialectCase kDialects[] = {
    {"A", "------[ Logical CPU #0 ]------\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69\n"
          "CPUID 00000001: 000106A5-00100800-0098E3FD-BFEBFBFF\n"
          "------[ Logical CPU #1 ]------\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69\n"
          "CPUID 00000001: 000106A5-01100800-0098E3FD-BFEBFBFF\n"},
    {"B", "------[ CPUID Registers / Logical CPU #0 ]------\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69 [GenuineIntel]\n"
          "CPUID 00000001: 000106A5-00100800-0098E3FD-BFEBFBFF\n"
          "------[ CPUID Registers / Logical CPU #1 ]------\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69 [GenuineIntel]\n"
          "CPUID 00000001: 000106A5-01100800-0098E3FD-BFEBFBFF [note] [x]\n"},
    {"C", "CPU#000 AffMask: 0x0000000000000001\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69\n"
          "CPUID 00000001: 000106A5-00100800-0098E3FD-BFEBFBFF\n"
          "CPU#001 AffMask: 0x0000000000000002\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69\n"
          "CPUID 00000001: 000106A5-01100800-0098E3FD-BFEBFBFF\n"},
    {"D", "_________________ Logical CPU #0 _________________\n"
          "basic_cpuid[0]=0000000b 756e6547 6c65746e 49656e69\n"
          "basic_cpuid[1]=000106a5 00100800 0098e3fd bfebfbff\n"
          "_________________ Logical CPU #1 _________________\n"
          "basic_cpuid[0]=0000000b 756e6547 6c65746e 49656e69\n"
          "basic_cpuid[1]=000106a5 01100800 0098e3fd bfebfbff\n"},
    {"E", "CPUID Registers (CPU #1):\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69\n"
          "CPUID 00000001: 000106A5-00100800-0098E3FD-BFEBFBFF\n"
          "CPUID Registers (CPU #2):\n"
          "CPUID 00000000: 0000000B-756E6547-6C65746E-49656E69\n"
          "CPUID 00000001: 000106A5-01100800-0098E3FD-BFEBFBFF\n"},
    {"no colon, lower case, CRLF, blank lines",
     "------[ Logical CPU #0 ]------\r\n"
     "cpuid 00000000 0000000b-756e6547-6c65746e-49656e69\r\n"
     "\r\n"
     "CPUID 00000001 000106a5-00100800-0098e3fd-bfebfbff\r\n"
     "   \r\n"
     "------[ Logical CPU #1 ]------\r\n"
     "\r\n"
     "CPUID 00000000 0000000B-756E6547-6C65746E-49656E69\r\n"
     "CPUID 00000001 000106A5-01100800-0098E3FD-BFEBFBFF\r\n"},
};

TEST(CpuidDumpParser, ReadsEveryDialect) {
    for (const DialectCase& dialect : kDialects) {
        SCOPED_TRACE(dialect.name);
        const CpuidDump dump = parseOk(dialect.text);
        ASSERT_EQ(dump.processors.size(), 2u);
        EXPECT_EQ(dump.skippedLines, 0u);
        EXPECT_EQ(at(dump.processors[0], 0), (CpuidRegs{0xB, 0x756E6547, 0x6C65746E, 0x49656E69}));
        EXPECT_EQ(at(dump.processors[0], 1).ebx, 0x00100800u);
        EXPECT_EQ(at(dump.processors[1], 1).ebx, 0x01100800u);
        EXPECT_EQ(dump.processors[0].size(), 2u);
    }
}

TEST(CpuidDumpParser, SubleafMarkersAndRepeatedLeaves) {
    const CpuidDump dump = parseOk(
        "CPUID 00000004: 1C004121-01C0003F-0000003F-00000000 [SL 00] [L1D: 32 KB]\n"
        "CPUID 00000004: 1C03C163-03C0003F-00001FFF-00000006 [SL 0A]\n"
        "CPUID 00000002: 00000001-00000000-00000000-00000000\n"
        "CPUID 00000002: 00000002-00000000-00000000-00000000\n"
        "CPUID 00000002: 00000003-00000000-00000000-00000000\n"
        "CPUID 80000002: 65746E49-2952286C-726F4320-4D542865 [Intel(R) Core(TM]\n");
    ASSERT_EQ(dump.processors.size(), 1u);
    const CpuidLeaves& cpu = dump.processors[0];
    EXPECT_EQ(at(cpu, 4, 0).eax, 0x1C004121u);
    EXPECT_EQ(at(cpu, 4, 0xA).eax, 0x1C03C163u);  // the marker is hex
    EXPECT_EQ(at(cpu, 2, 0).eax, 1u);             // unmarked repeats count up
    EXPECT_EQ(at(cpu, 2, 1).eax, 2u);
    EXPECT_EQ(at(cpu, 2, 2).eax, 3u);
    EXPECT_EQ(at(cpu, 0x80000002).ebx, 0x2952286Cu);
}

TEST(CpuidDumpParser, NativeSubleafArraysWinOverPlainEntries) {
    // The plain entry comes first in one case and last in the other.
    for (const bool plainFirst : {true, false}) {
        const std::string plain = "basic_cpuid[11]=00000001 00000002 00000100 00000003\n";
        const std::string arrays =
            "intel_fn11[0]=00000001 00000002 00000100 00000005\n"
            "intel_fn11[1]=00000004 00000008 00000201 00000005\n"
            "intel_fn4[2]=1c004143 01c0003f 000001ff 00000000\n"
            "amd_fn8000001dh[1]=00000122 01c0003f 0000003f 00000000\n"
            "ext_cpuid[8]=00003024 00000000 00000000 00000000\n";
        const CpuidDump dump = parseOk(plainFirst ? plain + arrays : arrays + plain);
        const CpuidLeaves& cpu = dump.processors.at(0);
        EXPECT_EQ(at(cpu, 0xB, 0).edx, 5u) << "plain first: " << plainFirst;
        EXPECT_EQ(at(cpu, 0xB, 1).ebx, 8u);
        EXPECT_EQ(at(cpu, 4, 2).ecx, 0x1FFu);
        EXPECT_EQ(at(cpu, 0x8000001D, 1).eax, 0x122u);
        EXPECT_EQ(at(cpu, 0x80000008).eax, 0x3024u);
    }
}

TEST(CpuidDumpParser, StopsAtTheEightyDashLine) {
    const CpuidDump dump = parseOk(
        "CPUID 00000000: 00000001-756E6547-6C65746E-49656E69\n" + std::string(80, '-') +
        "\nCPUID 00000001: 000106A5-00100800-0098E3FD-BFEBFBFF\nx86\n");
    ASSERT_EQ(dump.processors.size(), 1u);
    EXPECT_EQ(dump.processors[0].size(), 1u);
    EXPECT_EQ(dump.skippedLines, 0u);
    // 79 or 81 dashes are not the marker (they are garbage lines).
    const CpuidDump notEnd = parseOk(std::string(79, '-') + "\nCPUID 00000000: 00000001-0-0-0\n" +
                                     std::string(81, '-') + "\nCPUID 00000001: 1-2-3-4\n");
    EXPECT_EQ(notEnd.processors.at(0).size(), 2u);
    EXPECT_EQ(notEnd.skippedLines, 2u);
}

TEST(CpuidDumpParser, CountsGarbageLinesAndRejectsDumpsWithoutLeaves) {
    const CpuidDump dump = parseOk(
        "hello\n"
        "CPUID 00000000: 00000001-756E6547-6C65746E-49656E69\n"
        "CPUID 00000001: 000106A5-00100800-0098E3FD\n"          // three registers
        "CPUID 00000001: 000106A5-00100800-0098E3FD-1BFEBFBFF\n"  // nine digits
        "basic_cpuid[1]=000106a5 00100800 0098e3fd\n"
        "unknown_cpuid[1]=000106a5 00100800 0098e3fd bfebfbff\n"
        "basic_cpuid[x]=000106a5 00100800 0098e3fd bfebfbff\n");
    EXPECT_EQ(dump.processors.at(0).size(), 1u);
    EXPECT_EQ(dump.skippedLines, 6u);
    EXPECT_EQ(dump.firstSkippedLine, 1u);
    EXPECT_EQ(dump.firstSkippedText, "\"hello\"");

    for (const char* text : {"", "\n\n", "------[ Logical CPU #0 ]------\n", "garbage\n\x01\x02\xff",
                             "CPUID 0000", "basic_cpuid[0]=0000000b 756e6547"}) {
        CpuidDump empty;
        std::string error;
        EXPECT_FALSE(parseCpuidDump(text, empty, error)) << text;
        EXPECT_NE(error.find("no CPUID leaf"), std::string::npos) << error;
    }
}

TEST(CpuidDumpParser, EveryTruncationOfARealDumpIsHandled) {
    const std::string text = test::readFile(test::dataPath("cpuid/intel-skylake/intel-core-i7-6700k-cpu.test"));
    ASSERT_FALSE(text.empty());
    // Cut anywhere inside the register part: never a crash, and whatever
    // is returned is a prefix of the full parse.
    CpuidDump full = parseOk(text);
    const size_t end = text.find(std::string(80, '-'));
    for (size_t cut = 0; cut < end; cut += 7) {
        CpuidDump dump;
        std::string error;
        if (!parseCpuidDump(std::string_view(text).substr(0, cut), dump, error)) continue;
        ASSERT_LE(dump.processors.size(), full.processors.size());
        EXPECT_LE(dump.skippedLines, 1u);  // at most the cut line
    }
}

TEST(CpuidDumpParser, LimitsTheNumberOfProcessors) {
    std::string text;
    for (size_t i = 0; i <= kMaxDumpProcessors; ++i) text += "CPU#000 AffMask: 0x1\nCPUID 0: 1-2-3-4\n";
    CpuidDump dump;
    std::string error;
    EXPECT_FALSE(parseCpuidDump(text, dump, error));
    EXPECT_NE(error.find("processors"), std::string::npos);
}

// Every real dump parses completely; CPU 0 carries the family, model and
// stepping the file records.
TEST(CpuidDumpFiles, EveryFileParsesWithTheRecordedSignature) {
    const auto files = test::cpuidFiles();
    ASSERT_EQ(files.size(), 36u);
    for (const auto& file : files) {
        SCOPED_TRACE(file.path);
        CpuidDump dump;
        std::string error;
        ASSERT_TRUE(parseCpuidDump(test::readFile(test::dataPath(file.path)), dump, error)) << error;
        EXPECT_EQ(dump.skippedLines, 0u) << "line " << dump.firstSkippedLine << ": " << dump.firstSkippedText;
        const uint32_t signature = at(dump.processors.at(0), 1).eax;
        EXPECT_EQ((signature >> 8) & 0xF, file.family);
        EXPECT_EQ((signature >> 4) & 0xF, file.model);
        EXPECT_EQ(signature & 0xF, file.stepping);
    }
}

TEST(CpuidDumpFiles, QuirksOfParticularFiles) {
    const auto load = [](const char* path) {
        CpuidDump dump;
        std::string error;
        EXPECT_TRUE(parseCpuidDump(test::readFile(test::dataPath(path)), dump, error)) << error;
        return dump;
    };
    // Lower-case hex and VIA's Centaur leaves.
    const CpuidDump via = load("cpuid/via-c3/via-nehemiah.test");
    EXPECT_EQ(at(via.processors.at(0), 0xC0000000).eax, 0xC0000001u);
    // Lines without the colon.
    const CpuidDump turion = load("cpuid/amd-fam11h/amd-turion-x2-ultra-dual-core-mobile-zm-82.test");
    ASSERT_EQ(turion.processors.size(), 2u);
    EXPECT_EQ(at(turion.processors[1], 1).ebx, 0x01020800u);
    EXPECT_EQ(at(turion.processors[0], 0x80000008).ecx, 0x1001u);
    // Format E lists leaf 4 three times without markers.
    const CpuidDump core2 = load("cpuid/intel-core2/intel-core2-cpu-6300.test");
    ASSERT_EQ(core2.processors.size(), 2u);
    EXPECT_EQ(at(core2.processors[0], 4, 2).eax, 0x04004143u);
    EXPECT_EQ(core2.processors[0].count(CpuidKey{4, 3}), 0u);
    // The native dialect's leaf 0xB comes from intel_fn11.
    const CpuidDump i7 = load("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test");
    ASSERT_EQ(i7.processors.size(), 1u);
    EXPECT_EQ(at(i7.processors[0], 0xB, 1), (CpuidRegs{4, 8, 0x201, 3}));
    EXPECT_EQ(at(i7.processors[0], 4, 3).eax, 0x1C03C163u);
}

} // namespace
} // namespace vexa::machine
