// The DMI interface over a decoded table: structures in table order, the
// first of a type, the report section, and tables longer than its first
// buffer.
#include <gtest/gtest.h>

#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_processor.h"
#include "tests/sdk/system/dmi_test_support.h"

namespace vexa::test {
namespace {

using S = StructureBuilder;

Bytes Processor(const std::string& socketText, uint16_t speed) {
    return S(4, 0x1A).String(7, socketText).Word(0x12, 100).Word(0x16, speed).Bytes();
}

TEST(DMIInterface, FirstOfATypeAndEveryStructureInTableOrder) {
    const Bytes table = Concatenate({
        S(0xDA, 0x10).Bytes(),  // OEM type ahead of everything, skipped
        S(0, 0x12).String(4, "BIOS maker").Bytes(),
        Processor("First", 2000),
        S(126, 0x0C).String(4, "inactive").Bytes(),
        Processor("Second", 3000),
        EndOfTable(),
        S(2, 8).String(5, "Board after the end").Bytes(),  // still decoded
    });
    CDMIInterface dmi;
    ASSERT_EQ(dmi.DecodeTable(table), 1);

    std::vector<uint32_t> types;
    CTListIterator<CDMIStructure> it(dmi.m_pStructures);
    for (CDMIStructure* s = it.GetFirst(); s; s = it.GetNext()) types.push_back(s->m_dwType);
    EXPECT_EQ(types, (std::vector<uint32_t>{0, 4, 4, 2}));

    auto* processor = static_cast<CDMI_Processor*>(dmi.GetStructure(DMI_TYPE_PROCESSOR));
    ASSERT_TRUE(processor);
    EXPECT_STREQ(processor->m_Manufacturer.Get(), "First");
    auto* board = static_cast<CDMI_Baseboard*>(dmi.GetStructure(DMI_TYPE_BASEBOARD));
    ASSERT_TRUE(board);
    EXPECT_STREQ(board->m_Product.Get(), "Board after the end");
    EXPECT_FALSE(dmi.GetStructure(DMI_TYPE_SYSTEM));
    EXPECT_FALSE(dmi.GetStructure(126));

    const auto blocks = ParseReport(ReportOf(dmi));
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks[0].title, "DMI BIOS");
    EXPECT_EQ(blocks[1].Value("manufacturer"), "First");
    EXPECT_EQ(blocks[2].Value("manufacturer"), "Second");
    EXPECT_EQ(blocks[3].title, "DMI Baseboard");
}

TEST(DMIInterface, NoReportWithoutAWriterAndNothingFromAnEmptyTable) {
    CDMIInterface dmi;
    EXPECT_EQ(dmi.DecodeTable({}), 0);
    EXPECT_EQ(dmi.m_pStructures->GetCount(), 0u);
    EXPECT_EQ(ReportOf(dmi), "");
    dmi.WriteReport(nullptr);
    EXPECT_EQ(dmi.GetType(), INTERFACE_DMI);
}

TEST(DMIInterface, TablesLongerThanTheFirstBufferAreKeptWhole) {
    for (size_t size : {size_t(CDMIInterface::kInitialBufferSize) - 200, size_t(20000), size_t(70000)}) {
        uint32_t decoded = 0;
        const Bytes table = LongTable(size, decoded);
        CDMIInterface dmi;
        ASSERT_EQ(dmi.DecodeTable(table), 1);
        EXPECT_EQ(dmi.m_dwTableLength, table.size());
        auto* board = static_cast<CDMI_Baseboard*>(dmi.GetStructure(DMI_TYPE_BASEBOARD));
        ASSERT_TRUE(board) << table.size() << " bytes";
        EXPECT_STREQ(board->m_Product.Get(), "Last board");
        EXPECT_EQ(dmi.m_pStructures->GetCount(), decoded);
    }
}

} // namespace
} // namespace vexa::test
