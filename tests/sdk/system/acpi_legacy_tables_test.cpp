// CACPIInterface::Init where kernel32 has no firmware-table function: the
// root pointer found in physical memory through the driver, the RSDT
// copied and followed, and the x58 sample's tables laid out in memory as
// its firmware places them.
#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/timer.h"
#include "tests/sdk/system/acpi_test_support.h"

namespace vexa::test {
namespace {

constexpr uint32_t kAllFeatures = 0x7FFFFFFF;
constexpr uint32_t kBiosArea = 0xE0000;
constexpr uint32_t kBiosAreaSize = 0x20000;
// Where the x58 firmware keeps its tables (its RSDT's address and the
// table addresses in it).
constexpr uint32_t kTablesBase = 0xBF780000;
constexpr uint32_t kTablesSize = 0x10000;

// A physical-memory layout: the BIOS area, optionally the first kilobyte,
// each with a root pointer where a test puts one, and the tables area with
// tables at chosen addresses.
class Layout {
public:
    // A root pointer to the RSDT at `rsdt`, at `address` (in the first
    // kilobyte or in the BIOS area).
    Layout& RootPointer(uint32_t address, uint32_t rsdt, bool validChecksum = true) {
        Bytes rsdp = {'R', 'S', 'D', ' ', 'P', 'T', 'R', ' ', 0, 'A', '_', 'M', 'I', '_', 0, 0};
        for (int i = 0; i < 4; ++i) rsdp.push_back(static_cast<uint8_t>(rsdt >> (8 * i)));
        uint8_t sum = 0;
        for (uint8_t byte : rsdp) sum = static_cast<uint8_t>(sum + byte);
        rsdp[8] = static_cast<uint8_t>(-sum + (validChecksum ? 0 : 1));
        if (address < kLowMemorySize) {
            if (low_.empty()) low_.assign(kLowMemorySize, '\0');
            low_.replace(address, rsdp.size(), AsText(rsdp));
        } else {
            bios_.replace(address - kBiosArea, rsdp.size(), AsText(rsdp));
        }
        return *this;
    }
    Layout& Table(uint32_t address, const Bytes& table) {
        tables_.replace(address - kTablesBase, table.size(), AsText(table));
        return *this;
    }
    // An RSDT at `address` listing `entries`; its length says `stated`
    // entries when that is given.
    Layout& Rsdt(uint32_t address, const std::vector<uint32_t>& entries, int stated = -1) {
        const size_t count = stated < 0 ? entries.size() : static_cast<size_t>(stated);
        TableBuilder rsdt("RSDT", 1, 36 + 4 * entries.size());
        for (size_t i = 0; i < entries.size(); ++i) rsdt.Dword(36 + 4 * i, entries[i]);
        return Table(address, rsdt.StatedLength(static_cast<uint32_t>(36 + 4 * count)).Build());
    }

    AcpiImage Image() const {
        AcpiImage image;
        image.manifest = std::string(R"({"ports": {"acpi_pm_timer": "0x808"}, "memory_devices": {"hpet": "0xFED00000"},
                                         "memory": [)") +
                         (low_.empty() ? "" : R"({"base": "0", "size": "0x400", "file": "low.bin"}, )") +
                         R"({"base": "0xE0000", "size": "0x20000", "file": "bios.bin"},
                            {"base": "0xBF780000", "size": "0x10000", "file": "tables.bin"}]})";
        if (!low_.empty()) image.files["low.bin"] = low_;
        image.files["bios.bin"] = bios_;
        image.files["tables.bin"] = tables_;
        return image;
    }

private:
    static constexpr uint32_t kLowMemorySize = 1024;
    std::string low_;
    std::string bios_ = std::string(kBiosAreaSize, '\0');
    std::string tables_ = std::string(kTablesSize, '\0');
};

// The x58 tables at the addresses its RSDT names, in its RSDT's order, and
// a root pointer to its RSDT where the firmware would put one.
Layout X58Layout(uint32_t rootPointer = 0xF9E10, bool validChecksum = true) {
    const Bytes rsdt = X58Table("rsdt.dat");
    Layout layout;
    layout.RootPointer(rootPointer, kTablesBase, validChecksum).Table(kTablesBase, rsdt);
    const char* files[] = {"facp.dat", "hpet.dat", "mcfg.dat"};
    EXPECT_EQ(rsdt.size(), 36 + 4 * std::size(files));
    for (size_t i = 0; i < std::size(files); ++i) layout.Table(LittleEndian32(rsdt, 36 + 4 * i), X58Table(files[i]));
    return layout;
}

Bytes Copy(const std::array<uint8_t, CACPIInterface::kRSDTCopySize>& rsdt) { return Bytes(rsdt.begin(), rsdt.end()); }

class AcpiLegacyTables : public AcpiOnMachine {
protected:
    void SetUp() override {
        AcpiOnMachine::SetUp();
        platform::testing::hideExport("kernel32.dll", "GetSystemFirmwareTable");
    }
    void TearDown() override {
        platform::testing::restoreLibraries();
        platform::testing::overrideWindowsIdentity(std::nullopt);
        AcpiOnMachine::TearDown();
    }
};

TEST_F(AcpiLegacyTables, X58TablesFromPhysicalMemory) {
    Boot(X58Layout().Image());
    CACPIInterface acpi(0, 0, kAllFeatures);
    EXPECT_EQ(acpi.Init(), 1);
    ASSERT_TRUE(acpi.m_pRSDP);
    EXPECT_EQ(std::string(acpi.m_pRSDP->begin(), acpi.m_pRSDP->begin() + 8), "RSD PTR ");
    ASSERT_TRUE(acpi.m_pRSDT);
    const Bytes rsdt = X58Table("rsdt.dat");
    EXPECT_TRUE(std::equal(rsdt.begin(), rsdt.end(), acpi.m_pRSDT->begin()));

    auto* pm = static_cast<CACPITimer*>(GetSDK()->GetACPITimer());
    ASSERT_TRUE(pm);
    EXPECT_EQ(acpi.m_pPMTimer, pm);
    EXPECT_EQ(pm->m_pPortSpace->GetBaseLow(), 0x808u);
    CTimer* hpet = GetSDK()->GetHPETTimer();
    ASSERT_TRUE(hpet);
    EXPECT_DOUBLE_EQ(hpet->m_dFrequency, 1e15 / 69841279);
    EXPECT_EQ(acpi.m_dwFACSAddress, 0xBF78E000u);
    EXPECT_EQ(acpi.m_dwPM1aEventBlock, 0x800u);
}

TEST_F(AcpiLegacyTables, TheRootPointerInTheFirstKilobyteComesFirst) {
    // Low memory points at an RSDT that lists no tables.
    Layout layout = X58Layout();
    layout.RootPointer(0x40, kTablesBase + 0x8000).Rsdt(kTablesBase + 0x8000, {});
    Boot(layout.Image());
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.Init();
    ASSERT_TRUE(acpi.m_pRSDT);
    EXPECT_EQ(LittleEndian32(Copy(*acpi.m_pRSDT), 4), 36u);
    EXPECT_FALSE(acpi.m_pPMTimer);
    EXPECT_EQ(GetSDK()->m_pTimers->GetCount(), 0u);
}

TEST_F(AcpiLegacyTables, NoRootPointerNoTables) {
    struct Case {
        const char* name;
        uint32_t address;
        bool validChecksum;
    };
    for (const Case& c : {Case{"not on a 16-byte boundary", 0xF9E18, true}, Case{"a bad checksum", 0xF9E10, false}}) {
        SCOPED_TRACE(c.name);
        Boot(X58Layout(c.address, c.validChecksum).Image());
        CACPIInterface acpi(0, 0, kAllFeatures);
        EXPECT_EQ(acpi.Init(), 1);
        EXPECT_FALSE(acpi.m_pRSDP);
        EXPECT_FALSE(acpi.m_pRSDT);
        EXPECT_EQ(GetSDK()->m_pTimers->GetCount(), 0u);
        NextCase();
    }
}

TEST_F(AcpiLegacyTables, AnRsdtAnnouncingMoreThanItsCopyIsFollowedOnlyThroughTheCopy) {
    const uint32_t fadt = kTablesBase + 0x200, hpet = kTablesBase + 0x9000;
    std::vector<uint32_t> entries(17, kTablesBase + 0x6000);  // 17 entries of a table without use
    entries[3] = fadt;
    entries.push_back(hpet);  // entry 18: beyond the copy
    Layout layout;
    layout.RootPointer(0x100, kTablesBase)
        .Rsdt(kTablesBase, entries)
        .Table(kTablesBase + 0x6000, TableBuilder("SSDT", 1, 64).Build())
        .Table(fadt, X58Table("facp.dat"))
        .Table(hpet, X58Table("hpet.dat"));
    Boot(layout.Image());
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.Init();
    ASSERT_TRUE(acpi.m_pRSDT);
    EXPECT_EQ(LittleEndian32(Copy(*acpi.m_pRSDT), 4), 36u + 4 * 18);
    EXPECT_TRUE(GetSDK()->GetACPITimer());
    EXPECT_FALSE(GetSDK()->GetHPETTimer());
}

TEST_F(AcpiLegacyTables, EntriesThatCannotBeReadAreSkipped) {
    const uint32_t big = kTablesBase + 0x1000, outside = 0x00200000, hpet = kTablesBase + 0x9000,
                   truncated = kTablesBase + 0xFFF0, fadt = kTablesBase + 0x200;
    Layout layout;
    layout.RootPointer(0x100, kTablesBase)
        .Rsdt(kTablesBase, {outside, big, truncated, hpet, fadt})
        .Table(big, TableBuilder("FACP", 1, 36).StatedLength(4097).Build())
        .Table(truncated, TableBuilder("TAMG", 1, 16).StatedLength(0x40).Build())
        .Table(hpet, X58Table("hpet.dat"))
        .Table(fadt, X58Table("facp.dat"));
    Boot(layout.Image());
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.Init();
    EXPECT_TRUE(GetSDK()->GetHPETTimer());
    EXPECT_TRUE(GetSDK()->GetACPITimer());
    EXPECT_FALSE(acpi.m_pBoardRecord);
}

// The legacy path keeps the PM timer without reading it first, so a port
// field no port can have must not become a timer.
TEST_F(AcpiLegacyTables, APmTimerBlockBeyondThePortsGivesNoTimer) {
    const uint32_t fadt = kTablesBase + 0x200;
    Layout layout;
    layout.RootPointer(0xF9E10, kTablesBase).Rsdt(kTablesBase, {fadt}).Table(fadt, Fadt(1, 116, 0x10808));
    Boot(layout.Image());
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.Init();
    EXPECT_FALSE(acpi.m_pPMTimer);
    EXPECT_FALSE(GetSDK()->GetACPITimer());
    EXPECT_EQ(acpi.m_dwFACSAddress, 0xBF78E000u);
}

TEST_F(AcpiLegacyTables, NothingOnIA64OrWithoutADriver) {
    {
        SCOPED_TRACE("IA-64");
        Boot(X58Layout().Image());
        machine::WindowsIdentity itanium;
        itanium.processorArchitecture = 6;
        platform::testing::overrideWindowsIdentity(itanium);
        hw().setLogging(true);
        CACPIInterface acpi(0, 0, kAllFeatures);
        EXPECT_EQ(acpi.Init(), 1);
        EXPECT_FALSE(acpi.m_pRSDP);
        EXPECT_TRUE(accesses(machine::AccessKind::Memory).empty());
        platform::testing::overrideWindowsIdentity(std::nullopt);
        NextCase();
    }
    SCOPED_TRACE("no driver");
    Boot(X58Layout().Image(), false);
    GetSDK()->m_pDriver = nullptr;
    CACPIInterface acpi(0, 0, kAllFeatures);
    EXPECT_EQ(acpi.Init(), 1);
    EXPECT_FALSE(acpi.m_pRSDP);
    EXPECT_EQ(GetSDK()->m_pTimers->GetCount(), 0u);
}

} // namespace
} // namespace vexa::test
