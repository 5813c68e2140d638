// CACPIInterface::Init through the firmware-table function: the PM timer
// and the HPET of the x58 sample registered as timers, the FADT and HPET
// rules on other tables, the board record, and this host's own tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/timer.h"
#include "tests/sdk/system/acpi_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

constexpr uint32_t kAllFeatures = 0x7FFFFFFF;
constexpr uint32_t kX58Facs = 0xBF78E000;
constexpr double kX58HpetFrequency = 1e15 / 69841279;

std::vector<CTimer*> Timers() {
    std::vector<CTimer*> timers;
    CTListIterator<CTimer> it(GetSDK()->m_pTimers);
    for (CTimer* timer = it.GetFirst(); timer; timer = it.GetNext()) timers.push_back(timer);
    return timers;
}

using AcpiFirmwareTables = AcpiOnMachine;

TEST_F(AcpiFirmwareTables, X58PmTimerAndHpetBecomeTimersOfTheRoot) {
    install(loadMachine(sourcePath("machines/x58-nehalem")));
    GetSDK()->m_pDriver = &lockedDriver();  // reads the PM timer and the HPET
    hw().setLogging(true);
    BRENIKSDK* sdk = GetSDK();
    ASSERT_EQ(sdk->CreateACPIInterface(0x1234, 0x56, kAllFeatures), 1);
    CACPIInterface* acpi = sdk->m_pACPI;
    ASSERT_TRUE(acpi);
    EXPECT_EQ(sdk->FindInterface(INTERFACE_ACPI), acpi);

    auto* pm = static_cast<CACPITimer*>(sdk->GetACPITimer());
    ASSERT_TRUE(pm);
    EXPECT_EQ(acpi->m_pPMTimer, pm);
    EXPECT_EQ(pm->m_pPortSpace->GetBaseLow(), 0x808u);
    EXPECT_EQ(pm->m_pPortSpace, sdk->FindIOSpace(0, 0x808, IOSPACE_PORT));
    EXPECT_DOUBLE_EQ(pm->m_dFrequency, CACPITimer::kFrequency);

    auto* hpet = static_cast<CHPETTimer*>(sdk->GetHPETTimer());
    ASSERT_TRUE(hpet);
    EXPECT_DOUBLE_EQ(hpet->m_dFrequency, kX58HpetFrequency);
    ASSERT_TRUE(hpet->m_pMemorySpace);
    EXPECT_EQ(hpet->m_pMemorySpace, sdk->FindIOSpace(0, 0xFED00000, IOSPACE_MEMORY));
    EXPECT_EQ(hpet->m_pMemorySpace->GetSize(), 0xFFFFFFFFu);
    EXPECT_EQ(Timers(), (std::vector<CTimer*>{pm, hpet}));
    EXPECT_GT(hpet->Read(), 0.0);

    EXPECT_EQ(acpi->m_dwFACSAddress, kX58Facs);
    EXPECT_EQ(acpi->m_dwPM1aEventBlock, 0x800u);
    EXPECT_FALSE(acpi->m_pBoardRecord);
    EXPECT_FALSE(acpi->m_pRSDP);
    EXPECT_FALSE(acpi->m_pRSDT);
    // The tables came from the firmware: physical memory was touched only
    // for the HPET's registers.
    for (const auto& access : accesses(machine::AccessKind::Memory)) {
        EXPECT_GE(access.address, 0xFED00000u);
        EXPECT_LT(access.address, 0xFED00400u);
    }
}

TEST_F(AcpiFirmwareTables, OnThisHostTheTablesAreReadWithoutErrorAndGiveNoTimer) {
    machine::ScopedMachine host(nullptr);
    std::ifstream facpFile("/sys/firmware/acpi/tables/FACP", std::ios::binary);
    if (!facpFile) GTEST_SKIP() << "this host publishes no readable FADT";
    const Bytes facp{std::istreambuf_iterator<char>(facpFile), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(GetSDK()->GetDriver());

    CACPIInterface acpi(0xFFFFFFFF, 0xFFFFFFFF, kAllFeatures);
    EXPECT_EQ(acpi.Init(), 1);
    // Without a driver neither the PM timer nor an HPET can be read, so
    // neither is registered; a hardware-reduced FADT has no PM timer at all.
    EXPECT_FALSE(acpi.m_pPMTimer);
    EXPECT_EQ(GetSDK()->m_pTimers->GetCount(), 0u);
    EXPECT_FALSE(acpi.m_pRSDP);
    const auto fields = ReadACPIFADT(ACPITableView(facp));
    if (fields) {
        EXPECT_EQ(acpi.m_dwPM1aEventBlock, fields->pm1aEventBlock.value_or(CACPIInterface::kUnknown));
        const uint32_t facs = fields->firmwareControl.value_or(0);
        EXPECT_EQ(acpi.m_dwFACSAddress, facs ? facs : CACPIInterface::kUnknown);
    }
    const bool hardwareReduced = facp.size() >= 116 && (LittleEndian32(facp, 112) & (1u << 20));
    if (fields && hardwareReduced) {
        EXPECT_EQ(fields->pmTimerBlock.value_or(0), 0u);
        EXPECT_EQ(acpi.m_dwFACSAddress, CACPIInterface::kUnknown);
        EXPECT_EQ(acpi.AcquireGlobalLock(10), 0);
    }
}

// ---- The FADT ----

struct FadtCase {
    const char* name;
    Bytes fadt;
    uint32_t boardHash;
    uint32_t flags;
    bool timer;
    uint32_t facs, pm1a;
};

TEST_F(AcpiFirmwareTables, WhatEachFadtGives) {
    constexpr uint32_t U = CACPIInterface::kUnknown;
    const FadtCase cases[] = {
        {"revision 1", Fadt(1, 116, 0x808), 0, kAllFeatures, true, kX58Facs, 0x800},
        {"revision 4 below 300 bytes", Fadt(4, 244, 0x808), 0, kAllFeatures, true, kX58Facs, 0x800},
        {"revision 2 of 300 bytes", Fadt(2, 300, 0x808), 0, kAllFeatures, true, kX58Facs, 0x800},
        {"revision 3 of 300 bytes is ignored", Fadt(3, 300, 0x808), 0, kAllFeatures, false, U, U},
        {"revision 5 of 400 bytes is ignored", Fadt(5, 400, 0x808), 0, kAllFeatures, false, U, U},
        {"flags without the PM timer", Fadt(1, 116, 0x808), 0, kAllFeatures & ~0x4000u, false, kX58Facs, 0x800},
        {"board 0x8014E67A", Fadt(1, 116, 0x808), 0x8014E67A, kAllFeatures, false, kX58Facs, 0x800},
        {"board 0xA758B28A", Fadt(1, 116, 0x808), 0xA758B28A, kAllFeatures, false, kX58Facs, 0x800},
        {"board 0x35580 reads no table", Fadt(1, 116, 0x808), 0x35580, kAllFeatures, false, U, U},
        {"board 0x5685A0 reads no table", Fadt(1, 116, 0x808), 0x5685A0, kAllFeatures, false, U, U},
        {"no PM timer block", Fadt(1, 116, 0), 0, kAllFeatures, false, kX58Facs, 0x800},
        {"a PM timer block beyond the ports", Fadt(1, 116, 0x10808), 0, kAllFeatures, false, kX58Facs, 0x800},
        {"no FACS", Fadt(1, 116, 0x808, 0), 0, kAllFeatures, true, U, 0x800},
        {"cut before PM_TMR_BLK", Fadt(1, 64, 0x808), 0, kAllFeatures, false, kX58Facs, 0x800},
    };
    for (const FadtCase& c : cases) {
        SCOPED_TRACE(c.name);
        AcpiImage image;
        image.manifest = R"({"ports": {"acpi_pm_timer": "0x808"}})";
        image.tables["facp.dat"] = c.fadt;
        Boot(image);
        CACPIInterface acpi(c.boardHash, 0, c.flags);
        EXPECT_EQ(acpi.Init(), 1);
        EXPECT_EQ(acpi.m_pPMTimer != nullptr, c.timer);
        EXPECT_EQ(GetSDK()->GetACPITimer(), acpi.m_pPMTimer);
        EXPECT_EQ(acpi.m_dwFACSAddress, c.facs);
        EXPECT_EQ(acpi.m_dwPM1aEventBlock, c.pm1a);
        NextCase();
    }
}

TEST_F(AcpiFirmwareTables, APmTimerThatCannotBeReadIsDiscarded) {
    AcpiImage image;
    image.manifest = R"({"ports": {"acpi_pm_timer": "0x808"}})";
    image.tables["facp.dat"] = Fadt(1, 116, 0x808);
    Boot(image, false);  // no driver: the first reading fails
    CACPIInterface acpi(0, 0, kAllFeatures);
    EXPECT_EQ(acpi.Init(), 1);
    EXPECT_FALSE(acpi.m_pPMTimer);
    EXPECT_FALSE(GetSDK()->GetACPITimer());
    EXPECT_EQ(acpi.m_dwFACSAddress, kX58Facs);
}

// ---- The HPET ----

TEST_F(AcpiFirmwareTables, HpetTablesThatGiveNoTimer) {
    struct Case {
        const char* name;
        Bytes table;
        std::string manifest;
        std::map<std::string, std::string> files;
    };
    const std::string hpetDevice = R"({"memory_devices": {"hpet": "0xFED00000"}})";
    const std::string plainMemory =
        R"({"memory": [{"base": "0xFED00000", "size": "0x400", "file": "hpet.bin"}]})";
    const Case cases[] = {
        {"an I/O-space address", HpetTable(1, 0xFED00000), hpetDevice, {}},
        {"base 0", HpetTable(0, 0), hpetDevice, {}},
        {"base 0 in the low dword", HpetTable(0, 0x100000000ull), hpetDevice, {}},
        {"cut before the address", TableBuilder("HPET", 1, 44).Build(), hpetDevice, {}},
        {"nothing answers at the base", HpetTable(0, 0xFEB00000), hpetDevice, {}},
        {"a period of 0", HpetTable(0, 0xFED00000), plainMemory, {{"hpet.bin", HpetCapabilities(0)}}},
        {"a period above 100 ns", HpetTable(0, 0xFED00000), plainMemory,
         {{"hpet.bin", HpetCapabilities(100000001)}}},
        {"a negative period", HpetTable(0, 0xFED00000), plainMemory,
         {{"hpet.bin", HpetCapabilities(0xFFFFFFFF)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AcpiImage image;
        image.manifest = c.manifest;
        image.tables["hpet.dat"] = c.table;
        image.files = c.files;
        Boot(image);
        CACPIInterface acpi(0, 0, kAllFeatures);
        EXPECT_EQ(acpi.Init(), 1);
        EXPECT_FALSE(GetSDK()->GetHPETTimer());
        EXPECT_EQ(GetSDK()->m_pTimers->GetCount(), 0u);
        NextCase();
    }
}

TEST_F(AcpiFirmwareTables, TheLongestPeriodStillGivesATimer) {
    AcpiImage image;
    image.manifest = R"({"memory": [{"base": "0xFED00000", "size": "0x400", "file": "hpet.bin"}]})";
    image.tables["hpet.dat"] = HpetTable(0, 0xFED00000);
    image.files["hpet.bin"] = HpetCapabilities(100000000);
    Boot(image);
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.Init();
    CTimer* hpet = GetSDK()->GetHPETTimer();
    ASSERT_TRUE(hpet);
    EXPECT_DOUBLE_EQ(hpet->m_dFrequency, 1e7);
}

TEST_F(AcpiFirmwareTables, AnHpetSpaceRegisteredBeforeIsReused) {
    AcpiImage image = X58AcpiImage();
    Boot(image);
    auto* registered = new CMemoryIOSpace(0, 0xFED00000, 0x400);
    GetSDK()->m_pIOSpaces->AddTail(registered);
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.Init();
    auto* hpet = static_cast<CHPETTimer*>(GetSDK()->GetHPETTimer());
    ASSERT_TRUE(hpet);
    EXPECT_EQ(hpet->m_pMemorySpace, registered);
    // Only the PM timer's port space was added.
    EXPECT_EQ(GetSDK()->m_pIOSpaces->GetCount(), 2u);
}

// ---- The board record ----

TEST_F(AcpiFirmwareTables, BoardRecordFromTheOemTable) {
    TableBuilder tamg("TAMG", 1, 160);
    tamg.Text(93, "ESDT").Byte(93 + 26, 0x90).Byte(93 + 27, 0x02).Byte(93 + 28, 0x05).Byte(93 + 29, 0x06);
    AcpiImage image;
    image.tables["tamg.dat"] = tamg.Build();
    Boot(image);
    CACPIInterface acpi(0, 0, kAllFeatures);
    acpi.Init();
    ASSERT_TRUE(acpi.m_pBoardRecord);
    const ACPIBoardRecord& record = *acpi.m_pBoardRecord;
    EXPECT_EQ(std::string(record.begin(), record.begin() + 4), "ESDT");
    EXPECT_EQ((std::vector<uint8_t>(record.begin() + 26, record.begin() + 30)),
              (std::vector<uint8_t>{0x90, 0x02, 0x05, 0x06}));
}

TEST_F(AcpiFirmwareTables, NoBoardRecordWithoutTheMarkOrBeyondTheBuffer) {
    for (const auto& [name, table] : std::vector<std::pair<std::string, Bytes>>{
             {"no mark", TableBuilder("TAMG", 1, 160).Text(100, "ESD").Build()},
             // The function needs more room than the 4096-byte buffer has
             // and writes nothing.
             {"a table of 5000 bytes", TableBuilder("TAMG", 1, 5000).Text(64, "ESDT").Build()},
         }) {
        SCOPED_TRACE(name);
        AcpiImage image;
        image.tables["tamg.dat"] = table;
        Boot(image);
        CACPIInterface acpi(0, 0, kAllFeatures);
        acpi.Init();
        EXPECT_FALSE(acpi.m_pBoardRecord);
        NextCase();
    }
}

} // namespace
} // namespace vexa::test
