// Where CDMIInterface::Init finds the table: the firmware-table function of
// kernel32, and the scan of the BIOS area of physical memory through the
// kernel driver when that function has none; and the creator that keeps
// the interface or deletes it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/testing.h"
#include "sdk/core/sdk.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/sdk/system/dmi_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

using S = StructureBuilder;

std::string ProductOfBoard(CDMIInterface& dmi) {
    auto* board = static_cast<CDMI_Baseboard*>(dmi.GetStructure(DMI_TYPE_BASEBOARD));
    return board ? board->m_Product.Get() : "(no baseboard)";
}

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool HostPublishesSmbios() { return std::filesystem::exists("/sys/firmware/dmi/tables/DMI"); }

class DMISources : public ::testing::Test {
protected:
    void TearDown() override {
        platform::testing::restoreLibraries();
        ReleaseSDK();
    }
};

TEST_F(DMISources, FirmwareTableOfTheMachineWithoutTouchingPhysicalMemory) {
    const Bytes file = DataBytes("smbios/LenovoThinkPad-T61p.dmp");
    machine::ScopedMachine scoped(MachineWithSmbios(AsText(file)));
    scoped.get().setLogging(true);
    CDMIInterface dmi;
    ASSERT_EQ(dmi.Init(), 1);
    EXPECT_EQ(dmi.m_dwTableLength, 2437u);
    EXPECT_EQ(dmi.m_Header.tableLength, 2437u);
    EXPECT_EQ(dmi.m_Header.bcdRevision, 0u);
    EXPECT_EQ(ProductOfBoard(dmi), "64606XG");
    for (const auto& access : scoped.get().accessLog())
        EXPECT_NE(access.kind, machine::AccessKind::Memory) << std::hex << access.address;
}

TEST_F(DMISources, ATableBeyond64KBKeepsItsWholeLength) {
    uint32_t decoded = 0;
    const Bytes table = LongTable(70000, decoded);  // a bare table: the RSMB length is 32 bits
    ASSERT_GT(table.size(), 0xFFFFu);
    machine::ScopedMachine scoped(MachineWithSmbios(AsText(table)));
    CDMIInterface dmi;
    ASSERT_EQ(dmi.Init(), 1);
    EXPECT_EQ(dmi.m_dwTableLength, table.size());
    EXPECT_EQ(dmi.m_Header.tableLength, table.size() & 0xFFFF);  // what a 16-bit field keeps
    EXPECT_EQ(dmi.m_pStructures->GetCount(), decoded);
    EXPECT_EQ(ProductOfBoard(dmi), "Last board");
}

TEST_F(DMISources, WithoutTheFirmwareFunctionOrATableThereIsNoTable) {
    const Bytes file = DataBytes("smbios/LenovoThinkPad-T61p.dmp");
    machine::ScopedMachine scoped(MachineWithSmbios(AsText(file)));
    {
        platform::testing::hideExport("kernel32.dll", "GetSystemFirmwareTable");
        CDMIInterface dmi;
        EXPECT_EQ(dmi.Init(), 0);
        EXPECT_EQ(dmi.m_pStructures->GetCount(), 0u);
        platform::testing::restoreLibraries();
    }
    {
        platform::testing::hideLibrary("kernel32.dll");
        CDMIInterface dmi;
        EXPECT_EQ(dmi.Init(), 0);
        platform::testing::restoreLibraries();
    }
    CDMIInterface dmi;
    EXPECT_EQ(dmi.Init(), 1);
}

TEST_F(DMISources, OnThisHostNoSourceGivesATableAndTheCreatorKeepsNothing) {
    if (HostPublishesSmbios()) GTEST_SKIP() << "this host publishes SMBIOS tables";
    machine::ScopedMachine host(nullptr);
    ASSERT_FALSE(GetSDK()->GetDriver());
    CDMIInterface dmi;
    EXPECT_EQ(dmi.Init(), 0);
    EXPECT_EQ(dmi.m_dwTableLength, 0u);
    EXPECT_EQ(dmi.m_pStructures->GetCount(), 0u);
    EXPECT_EQ(ReportOf(dmi), "");

    BRENIKSDK* sdk = GetSDK();
    EXPECT_EQ(sdk->CreateDMIInterface(), 0);
    EXPECT_FALSE(sdk->m_pDMI);
    EXPECT_FALSE(sdk->FindInterface(INTERFACE_DMI));
}

TEST_F(DMISources, TheCreatorKeepsAnInterfaceThatFoundATable) {
    const Bytes file = DataBytes("smbios/DellPrecisionWorkStation-490.dmp");
    machine::ScopedMachine scoped(MachineWithSmbios(AsText(file)));
    BRENIKSDK* sdk = GetSDK();
    ASSERT_EQ(sdk->CreateDMIInterface(), 1);
    ASSERT_TRUE(sdk->m_pDMI);
    EXPECT_EQ(sdk->FindInterface(INTERFACE_DMI), sdk->m_pDMI);
    EXPECT_EQ(ProductOfBoard(*sdk->m_pDMI), "0GU083");
}

// ---- The scan of the BIOS area through the driver ----

constexpr uint32_t kAreaBase = 0xF0000;
constexpr size_t kAreaSize = 0x10000;

// A "_DMI_" anchor: text, checksum, table length, address, structure count,
// BCD revision.
void PutAnchor(std::string& area, size_t offset, uint16_t length, uint32_t address, uint16_t count) {
    const uint8_t anchor[15] = {'_', 'D', 'M', 'I', '_', 0, uint8_t(length), uint8_t(length >> 8),
                                uint8_t(address), uint8_t(address >> 8), uint8_t(address >> 16),
                                uint8_t(address >> 24), uint8_t(count), uint8_t(count >> 8), 0x24};
    area.replace(offset, sizeof anchor, reinterpret_cast<const char*>(anchor), sizeof anchor);
}

Bytes BoardTable(const std::string& product) {
    return Concatenate({S(0, 0x12).String(4, "Phoenix").Bytes(), S(2, 8).String(5, product).Bytes(),
                        EndOfTable()});
}

class DMILegacyScan : public KMDriverOnMachine {
protected:
    // Installs a machine whose physical memory is the BIOS area `area`, and
    // a table of the firmware when one is given; the driver the scan reads
    // through starts with the first machine.
    void Boot(const std::string& area, const Bytes& firmwareTable = {}) {
        ImageDir image;
        image.write("bios.bin", area);
        image.write("machine.json", R"({"memory": [{"base": "0xF0000", "size": "0x10000", "file": "bios.bin"}]})");
        if (!firmwareTable.empty()) image.write("smbios.bin", AsText(firmwareTable));
        install(image.load());
        if (!GetSDK()->m_pDriver) GetSDK()->m_pDriver = &lockedDriver();
    }

    void TearDown() override {
        ReleaseSDK();
        KMDriverOnMachine::TearDown();
    }

    std::string area_ = std::string(kAreaSize, '\xFF');
};

TEST_F(DMILegacyScan, FindsTheAnchorOnA16ByteBoundaryAndReadsItsTable) {
    const Bytes real = BoardTable("Legacy board");
    const Bytes decoy = BoardTable("Decoy");
    area_.replace(0x8000, real.size(), AsText(real));
    area_.replace(0x9000, decoy.size(), AsText(decoy));
    PutAnchor(area_, 0x1008, uint16_t(decoy.size()), kAreaBase + 0x9000, 3);  // not on a boundary
    PutAnchor(area_, 0x2010, uint16_t(real.size()), kAreaBase + 0x8000, 3);
    PutAnchor(area_, 0x3000, uint16_t(decoy.size()), kAreaBase + 0x9000, 3);  // a later one
    Boot(area_);

    CDMIInterface dmi;
    ASSERT_EQ(dmi.Init(), 1);
    EXPECT_EQ(ProductOfBoard(dmi), "Legacy board");
    EXPECT_EQ(std::string(dmi.m_Header.anchor, 5), "_DMI_");
    EXPECT_EQ(dmi.m_Header.tableAddress, kAreaBase + 0x8000);
    EXPECT_EQ(dmi.m_Header.tableLength, real.size());
    EXPECT_EQ(dmi.m_Header.structureCount, 3u);
    EXPECT_EQ(dmi.m_Header.bcdRevision, 0x24u);
    EXPECT_EQ(dmi.m_dwTableLength, real.size());
    EXPECT_EQ(dmi.m_pStructures->GetCount(), 2u);
}

TEST_F(DMILegacyScan, AnAnchorInTheLastParagraphIsFound) {
    const Bytes table = BoardTable("Top of the area");
    area_.replace(0x100, table.size(), AsText(table));
    PutAnchor(area_, kAreaSize - 16, uint16_t(table.size()), kAreaBase + 0x100, 3);
    Boot(area_);
    CDMIInterface dmi;
    ASSERT_EQ(dmi.Init(), 1);
    EXPECT_EQ(ProductOfBoard(dmi), "Top of the area");
}

TEST_F(DMILegacyScan, NoTableWhereTheAnchorOrItsTableCannotBeRead) {
    struct Case {
        const char* name;
        bool anchor;
        uint16_t length;
        uint32_t address;
    };
    const Case cases[] = {
        {"no anchor", false, 0, 0},
        {"a table of 0 bytes", true, 0, kAreaBase + 0x8000},
        {"a table outside physical memory", true, 64, 0x00100000},
        {"a table running past the end of memory", true, 0x200, kAreaBase + kAreaSize - 0x100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string area(kAreaSize, '\0');
        if (c.anchor) PutAnchor(area, 0x4000, c.length, c.address, 1);
        Boot(area);
        CDMIInterface dmi;
        EXPECT_EQ(dmi.Init(), 0);
        EXPECT_EQ(dmi.m_pStructures->GetCount(), 0u);
        EXPECT_EQ(dmi.m_Header.tableLength, 0u);
    }
}

TEST_F(DMILegacyScan, TheFirmwareTableComesFirst) {
    const Bytes table = BoardTable("From memory");
    area_.replace(0x8000, table.size(), AsText(table));
    PutAnchor(area_, 0x2010, uint16_t(table.size()), kAreaBase + 0x8000, 3);
    Boot(area_, BoardTable("From the firmware"));
    CDMIInterface dmi;
    ASSERT_EQ(dmi.Init(), 1);
    EXPECT_EQ(ProductOfBoard(dmi), "From the firmware");
}

} // namespace
} // namespace vexa::test
