// Reading ACPI tables from untrusted bytes: a table is no longer than its
// length field and the bytes at hand allow, fields past its end are
// unknown, and no search or walk leaves it.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "sdk/system/acpi_tables.h"
#include "tests/sdk/system/acpi_test_support.h"

namespace vexa::test {
namespace {

std::span<const uint8_t> Span(const Bytes& bytes) { return bytes; }

TEST(AcpiTableView, ATableIsCutToItsLengthFieldAndToTheBytesAtHand) {
    struct Case {
        const char* name;
        size_t available;
        uint32_t stated;
        size_t size;  // 0: an empty view
    };
    const Case cases[] = {
        {"exact", 64, 64, 64},
        {"more bytes than the table", 64, 40, 40},
        {"a length beyond the bytes", 64, 4096, 64},
        {"a length below the header", 64, 35, 0},
        {"a length of 0", 64, 0, 0},
        {"bytes shorter than the header", 35, 35, 0},
        {"no bytes", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes = TableBuilder("TEST", 1, std::max<size_t>(c.available, 36)).StatedLength(c.stated).Build();
        bytes.resize(c.available);
        const ACPITableView view(Span(bytes));
        EXPECT_EQ(view.Size(), c.size);
        EXPECT_EQ(view.IsEmpty(), c.size == 0);
        EXPECT_EQ(view.Signature(), c.size ? 0x54534554u : 0u);
        if (c.size) {
            EXPECT_TRUE(view.Dword(c.size - 4).has_value());
            EXPECT_FALSE(view.Dword(c.size - 3).has_value());
            EXPECT_FALSE(view.Byte(c.size).has_value());
        }
    }
}

TEST(AcpiFadt, FieldsOfTheLayoutsItReads) {
    struct Case {
        const char* name;
        uint8_t revision;
        size_t length;
        bool read;
        std::optional<uint32_t> facs, pm1a, timer;
    };
    const Case cases[] = {
        {"revision 1, 132 bytes", 1, 132, true, 0xBF78E000, 0x800, 0x808},
        {"revision 2 of 300 bytes", 2, 300, true, 0xBF78E000, 0x800, 0x808},
        {"revision 4 of 244 bytes", 4, 244, true, 0xBF78E000, 0x800, 0x808},
        {"revision 3 of 300 bytes", 3, 300, false, {}, {}, {}},
        {"revision 6 of 276 bytes", 6, 276, true, 0xBF78E000, 0x800, 0x808},
        {"cut before PM_TMR_BLK", 1, 79, true, 0xBF78E000, 0x800, {}},
        {"cut before PM1a_EVT_BLK", 1, 59, true, 0xBF78E000, {}, {}},
        {"only the header", 1, 36, true, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes fadt = Fadt(c.revision, c.length, 0x808);
        const auto fields = ReadACPIFADT(ACPITableView(Span(fadt)));
        ASSERT_EQ(fields.has_value(), c.read);
        if (!fields) continue;
        EXPECT_EQ(fields->firmwareControl, c.facs);
        EXPECT_EQ(fields->pm1aEventBlock, c.pm1a);
        EXPECT_EQ(fields->pmTimerBlock, c.timer);
    }
    EXPECT_FALSE(ReadACPIFADT(ACPITableView({})).has_value());
}

TEST(AcpiHpet, BaseAddressAndPlausiblePeriods) {
    const Bytes hpet = HpetTable(0, 0x1FED00000ull);
    const auto base = ReadACPIHPETBase(ACPITableView(Span(hpet)));
    ASSERT_TRUE(base);
    EXPECT_TRUE(base->IsSystemMemory());
    EXPECT_EQ(base->high, 1u);
    EXPECT_EQ(base->low, 0xFED00000u);

    const Bytes io = HpetTable(1, 0xFED00000);
    EXPECT_FALSE(ReadACPIHPETBase(ACPITableView(Span(io)))->IsSystemMemory());

    const Bytes cut = TableBuilder("HPET", 1, 51).Build();  // the address's high dword is missing
    EXPECT_FALSE(ReadACPIHPETBase(ACPITableView(Span(cut))).has_value());

    for (const auto& [period, plausible] : std::vector<std::pair<uint32_t, bool>>{
             {0, false}, {1, true}, {69841279, true}, {100000000, true}, {100000001, false}, {0x80000000, false}})
        EXPECT_EQ(IsPlausibleHPETPeriod(period), plausible) << period;
}

TEST(AcpiBoardRecord, TheFortyEightBytesFromTheFirstMarkInsideTheTable) {
    struct Case {
        const char* name;
        size_t tableLength;
        uint32_t stated;
        std::vector<size_t> marks;
        std::optional<size_t> found;
    };
    const Case cases[] = {
        {"at an odd offset", 200, 200, {77}, 77},
        {"the first of two", 200, 200, {61, 90}, 61},
        {"none", 200, 200, {}, {}},
        {"48 bytes reach the end exactly", 200, 200, {152}, 152},
        {"one byte short of a record", 200, 200, {153}, {}},
        {"a mark past the stated length", 200, 120, {100}, {}},
        {"a mark in the header", 100, 100, {0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableBuilder builder("TAMG", 1, c.tableLength);
        for (size_t mark : c.marks) builder.Text(mark, "ESDT");
        Bytes table = builder.StatedLength(c.stated).Build();
        for (size_t i = 0; i < table.size(); ++i)
            if (i >= 36 && table[i] == 0) table[i] = static_cast<uint8_t>(i);  // recognisable bytes
        for (size_t mark : c.marks) std::copy_n("ESDT", 4, table.begin() + mark);
        const auto record = FindACPIBoardRecord(ACPITableView(Span(table)));
        ASSERT_EQ(record.has_value(), c.found.has_value());
        if (record) {
            EXPECT_TRUE(std::equal(record->begin(), record->end(), table.begin() + *c.found));
        }
    }
}

TEST(AcpiRootPointer, OnASixteenByteBoundaryWithAValidChecksum) {
    auto rootPointer = [](uint8_t fix) {
        Bytes rsdp = {'R', 'S', 'D', ' ', 'P', 'T', 'R', ' ', 0, 'A', '_', 'M', 'I', '_', 0, 0, 0, 0, 0x78, 0xBF};
        uint8_t sum = 0;
        for (uint8_t byte : rsdp) sum = static_cast<uint8_t>(sum + byte);
        rsdp[8] = static_cast<uint8_t>(-sum + fix);
        return rsdp;
    };
    struct Case {
        const char* name;
        size_t at;
        uint8_t checksumError;
        size_t blockSize;
        std::optional<size_t> found;
    };
    const Case cases[] = {
        {"aligned", 0x230, 0, 1024, 0x230},
        {"not aligned", 0x238, 0, 1024, {}},
        {"bad checksum", 0x230, 1, 1024, {}},
        {"the last paragraph", 1024 - 32, 0, 1024, 1024 - 32},
        {"cut by the end of the block", 1008, 0, 1024, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes block(c.blockSize + 32, 0);
        const Bytes rsdp = rootPointer(c.checksumError);
        std::copy(rsdp.begin(), rsdp.end(), block.begin() + c.at);
        block.resize(c.blockSize);
        EXPECT_EQ(FindACPIRootPointer(block), c.found);
    }
}

TEST(AcpiRsdt, EntriesNeverReadPastTheCopy) {
    TableBuilder rsdt("RSDT", 1, 104);
    for (uint32_t i = 0; i < 17; ++i) rsdt.Dword(36 + 4 * i, 0x1000 * (i + 1));
    struct Case {
        const char* name;
        uint32_t stated;
        size_t entries;
    };
    const Case cases[] = {
        {"17 entries", 104, 17},
        {"announcing 40", 36 + 40 * 4, 17},
        {"announcing 2", 44, 2},
        {"a length with a partial entry", 42, 1},
        {"no entries", 36, 0},
        {"a length below the header", 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes copy = rsdt.StatedLength(c.stated).Build();
        const std::vector<uint32_t> entries = ACPIRSDTEntries(ACPITableView(Span(copy)));
        ASSERT_EQ(entries.size(), c.entries);
        for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i], 0x1000 * (i + 1));
    }
}

} // namespace
} // namespace vexa::test
