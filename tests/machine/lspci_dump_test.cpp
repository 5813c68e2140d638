#include "machine/lspci_dump.h"

#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa::machine {
namespace {

PciDump parseFile(const char* name) {
    PciDump dump;
    std::string error;
    EXPECT_TRUE(parseLspciDump(test::readFile(test::dataPath(name)), dump, error)) << error;
    return dump;
}

const PciFunctionDump* find(const PciDump& dump, PciAddress address) {
    for (const auto& function : dump.functions)
        if (function.address == address) return &function;
    return nullptr;
}

uint32_t dword(const PciFunctionDump& function, unsigned offset) {
    return uint32_t(function.bytes[offset]) | uint32_t(function.bytes[offset + 1]) << 8 |
           uint32_t(function.bytes[offset + 2]) << 16 | uint32_t(function.bytes[offset + 3]) << 24;
}

// Counts and registers the .expect files record.
TEST(LspciDumpFiles, MatchTheRecordedFacts) {
    struct Register {
        PciAddress function;
        unsigned offset;
        uint32_t value;
    };
    struct Case {
        const char* file;
        size_t functions, extended;
        std::vector<Register> registers;
    };
    const Case cases[] = {
        {"pci/tree-asus-p6t6", 53, 19,
         {{{0, 0, 0}, 0x00, 0x34058086},
          {{0, 0x1f, 0}, 0x00, 0x3a168086},
          {{0, 0x1f, 0}, 0x40, 0x00000801},
          {{0, 0x1f, 0}, 0x48, 0x00000501},
          {{0, 0x1f, 0}, 0xF0, 0xFED1C001},
          {{0, 0x1f, 3}, 0x00, 0x3a308086},
          {{0, 0x1f, 3}, 0x20, 0x00000401},
          {{0xff, 3, 0}, 0x48, 0x00000740},
          {{0xff, 4, 0}, 0x58, 0x063F7C31}}},
        {"pci/tree-fujitsu-p8010", 22, 6,
         {{{0, 0, 0}, 0x00, 0x2a008086},
          {{0, 0, 0}, 0x48, 0xFED14001},
          {{0, 0, 0}, 0x60, 0xF8000005},
          {{0, 0x1f, 0}, 0x40, 0x00001001},
          {{0, 0x1f, 3}, 0x20, 0x000018C1},
          {{0x1c, 3, 0}, 0x00, 0x71361217}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const PciDump dump = parseFile(c.file);
        EXPECT_EQ(dump.functions.size(), c.functions);
        EXPECT_EQ(std::count_if(dump.functions.begin(), dump.functions.end(),
                                [](const auto& f) { return f.capturedLength == kPciConfigSize; }),
                  long(c.extended));
        for (const auto& f : dump.functions)
            EXPECT_TRUE(f.capturedLength == 256 || f.capturedLength == kPciConfigSize) << f.capturedLength;
        for (const Register& r : c.registers) {
            const PciFunctionDump* function = find(dump, r.function);
            ASSERT_NE(function, nullptr);
            EXPECT_EQ(dword(*function, r.offset), r.value) << std::hex << "offset 0x" << r.offset;
        }
    }
}

TEST(LspciDumpFiles, UncapturedBytesReadAllOnes) {
    const PciDump dump = parseFile("pci/tree-asus-p6t6");
    const PciFunctionDump* uhci = find(dump, PciAddress{0, 0x1a, 0});
    ASSERT_NE(uhci, nullptr);
    ASSERT_EQ(uhci->capturedLength, 256u);
    EXPECT_EQ(dword(*uhci, 0x100), 0xFFFFFFFFu);
    EXPECT_EQ(dword(*uhci, 0xFFC), 0xFFFFFFFFu);
    const PciFunctionDump* host = find(dump, PciAddress{0, 0, 0});
    EXPECT_EQ(dword(*host, 0x100), 0x15010001u);  // first extended capability
}

TEST(LspciDumpParser, DomainsVerboseLinesAndLayout) {
    PciDump dump;
    std::string error;
    ASSERT_TRUE(parseLspciDump("0000:00:1f.3 SMBus: Intel\n"
                               "\tSubsystem: ASUSTeK\n"
                               "00: 86 80 30 3a\n"
                               "\n"
                               "0001:00:00.0 Host bridge: other domain\n"
                               "00: 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11 11\n"
                               "ff:1f.7\n"
                               "ff0: 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10\n",
                               dump, error))
        << error;
    ASSERT_EQ(dump.functions.size(), 2u);
    EXPECT_EQ(dump.skippedOtherDomains, 1u);
    EXPECT_EQ(dump.functions[0].address, (PciAddress{0, 0x1f, 3}));
    EXPECT_EQ(dword(dump.functions[0], 0), 0x3a308086u);
    EXPECT_EQ(dump.functions[0].capturedLength, 4u);
    EXPECT_EQ(dump.functions[1].address, (PciAddress{0xff, 0x1f, 7}));
    EXPECT_EQ(dump.functions[1].bytes[0xFFF], 0x10);
    EXPECT_EQ(dump.functions[1].capturedLength, kPciConfigSize);
}

TEST(LspciDumpParser, RejectsMalformedTextNamingTheLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "no PCI function"},
        {"00: 86 80 30 3a\n", "line 1: register row before any function header"},
        {"00:00.0 x\n1000: 00\n", "line 2: "},
        {"00:00.0 x\n08: 00\n", "line 2: row offset"},
        {"00:00.0 x\nff0: 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 11\n", "line 2: "},
        {"00:00.0 x\n00: 8 80\n", "line 2: "},
        {"00:00.0 x\n00: 86 80 zz\n", "line 2: "},
        {"00:00.0 x\n00:\n", "line 2: "},
        {"00:20.0 x\n", "line 1: "},  // device 32
        {"00:00.8 x\n", "line 1: "},  // function 8
        {"100:00.0 x\n", "line 1: "},
        {"00:00.0 x\n00:00.0 y\n", "line 2: function listed twice"},
        {"garbage\n", "line 1: neither"},
        {"00:00.0 x\n\x01\x02\x03\xff\n", "line 2: "},
    };
    for (const Case& c : cases) {
        PciDump dump;
        std::string error;
        EXPECT_FALSE(parseLspciDump(c.text, dump, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
    }
}

TEST(LspciDumpParser, EveryTruncationOfARealDumpIsHandled) {
    const std::string text = test::readFile(test::dataPath("pci/tree-fujitsu-p8010"));
    for (size_t cut = 0; cut < text.size(); cut += 101) {
        PciDump dump;
        std::string error;
        if (parseLspciDump(std::string_view(text).substr(0, cut), dump, error)) {
            EXPECT_LE(dump.functions.size(), 22u);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

} // namespace
} // namespace vexa::machine
