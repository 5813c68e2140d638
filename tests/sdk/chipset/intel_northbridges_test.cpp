// Intel host bridges: names by device and revision id, and the memory
// controllers read through the MCHBAR window device model of simulated
// bridges. Every enable bit a decoder switches on is off again after its
// pass, and the configuration spaces end as they started.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/intel_northbridges.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/core/report_generator.h"
#include "sdk/hw/io_space.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

constexpr uint32_t kWindow = 0xFED14000;
constexpr machine::PciAddress kBridge{0, 0, 0};
constexpr machine::PciAddress kDevice6{0, 6, 0};

// "memory_devices.mchbar" of a manifest: the layout, the window base and
// its registers.
std::string Manifest(const char* layout, uint32_t base, const std::map<uint32_t, uint32_t>& registers,
                     const char* extra = "") {
    std::string text = std::string("{") + extra + "\"memory_devices\": {\"mchbar\": {\"layout\": \"" + layout +
                       "\", \"base\": " + std::to_string(base) + ", \"registers\": {";
    bool first = true;
    for (const auto& [offset, value] : registers) {
        text += (first ? "\"" : ", \"") + std::to_string(offset) + "\": " + std::to_string(value);
        first = false;
    }
    return text + "}}}}";
}

FunctionDump HostBridge(uint16_t device, uint8_t revision = 0) {
    return FunctionDump(kBridge, 0x8086, device).Class(0x06, 0x00).Byte(0x08, revision);
}

class IntelNorthBridge : public PciTest {
protected:
    void Start(const std::vector<FunctionDump>& functions, const std::string& manifest) {
        machine_ = &startImage(LspciText(functions), manifest);
        for (machine::PciAddress fn : {kBridge, kDevice6}) before_[fn] = Config(fn);
        record();
    }

    CChipsetInterface* Detect() {
        if (!scannedPCI()) return nullptr;
        EXPECT_EQ(sdk().CreateChipsetInterface(), 1);
        return sdk().m_pChipset;
    }

    std::vector<uint8_t> Config(machine::PciAddress fn) {
        std::vector<uint8_t> bytes(256);
        machine_->readPciConfig(fn, 0, bytes);
        return bytes;
    }

    uint32_t Dword(machine::PciAddress fn, unsigned offset) {
        const std::vector<uint8_t> bytes = Config(fn);
        return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
               uint32_t(bytes[offset + 3]) << 24;
    }

    // The configuration dwords written at that register, in order.
    std::vector<uint32_t> WritesAt(machine::PciAddress fn, unsigned offset) {
        std::vector<uint32_t> values;
        for (const machine::Access& a : ofKind(machine_->accessLog(), machine::AccessKind::PciConfig))
            if (a.dir == machine::AccessDir::Write && a.address == machine::pciLinear(fn, offset))
                values.push_back(uint32_t(a.value));
        return values;
    }

    size_t WindowReads() {
        size_t reads = 0;
        for (const machine::Access& a : ofKind(machine_->accessLog(), machine::AccessKind::Memory))
            if (a.address >= kWindow && a.address < kWindow + 0x8000) ++reads;
        return reads;
    }

    // Every configuration byte of the bridge and device 6 as it started.
    void ExpectRestored() {
        for (const auto& [fn, bytes] : before_) EXPECT_EQ(Config(fn), bytes) << int(fn.device);
    }

    static std::string ReportOf(CChipsetInterface& chipset) {
        CReportGenerator_Buffer report;
        chipset.WriteReport(&report);
        return report.GetText();
    }

    machine::Machine* machine_ = nullptr;
    std::map<machine::PciAddress, std::vector<uint8_t>> before_;
};

// P965 whose firmware left the window off: switched on for the pass,
// decoded, and off again; no MCHBAR dump then.
TEST_F(IntelNorthBridge, P965WindowOffIsDecodedAndSwitchedOffAgain) {
    Start({HostBridge(0x29A0, 2).Dword(0x48, kWindow).Dword(0xE4, 1u << 3)},
          Manifest("bar48", kWindow,
                   {{0xC00, 0x32},        // bus code 2, DRAM code 3: "1:2"
                    {0x260, 0x00100000},  // channel A populated
                    {0x660, 0x00100000},  // channel B populated
                    {0x110, 0x00000000},  // symmetric
                    {0x29C, 2u << 17},    // CL 5
                    {0x250, (15u << 11) | (5u << 29)},  // tRAS 15, tRP 5 (bits 16:13 at 0x252)
                    {0x258, 5u << 16},    // tRCD 5
                    {0x244, 0}}));        // command rate 2
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    const CNorthBridge& bridge = *chipset->m_pNorthBridge;
    EXPECT_STREQ(bridge.m_szModel, "P965/G965");
    EXPECT_STREQ(bridge.m_szRevision, "C2");
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR2);
    EXPECT_EQ(m.m_iChannels, 2);
    EXPECT_EQ(m.m_iChannelMode, MEMORY_CHANNELS_SYMMETRIC);
    EXPECT_EQ(m.m_fCASLatency, 5.0f);
    EXPECT_EQ(m.m_iCycleTime, 15);
    EXPECT_EQ(m.m_iRASPrecharge, 5);
    EXPECT_EQ(m.m_iRASToCASDelay, 5);
    EXPECT_EQ(m.m_iCommandRate, 2);
    EXPECT_STREQ(m.m_szRatio, "1:2");
    EXPECT_EQ(m.m_fFSBDRAMRatio, 2.0f);
    EXPECT_EQ(bridge.m_pMCHBAR, nullptr);
    EXPECT_EQ(WritesAt(kBridge, 0x48), (std::vector<uint32_t>{kWindow | 1, kWindow}));
    ExpectRestored();
    EXPECT_EQ(ReportOf(*chipset).find("MCHBAR"), std::string::npos);

    chipset->Refresh();
    EXPECT_EQ(WritesAt(kBridge, 0x48).size(), 4u) << "every pass switches the window on and off";
    ExpectRestored();
}

// A window base of 0 or all ones is never switched on nor read.
TEST_F(IntelNorthBridge, UnusableWindowBaseIsNeverEnabledOrRead) {
    for (uint32_t reg : {0x00000000u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(reg);
        Start({HostBridge(0x29A0).Dword(0x48, reg)}, Manifest("bar48", kWindow, {{0xC00, 0x32}}));
        CChipsetInterface* chipset = Detect();
        ASSERT_TRUE(chipset);
        EXPECT_TRUE(WritesAt(kBridge, 0x48).empty());
        EXPECT_EQ(WindowReads(), 0u);
        EXPECT_EQ(chipset->m_pMemoryInfo->m_iChannels, -1);
        ReleaseSDK();
    }
}

// Clarkdale's window is switched off again too.
TEST_F(IntelNorthBridge, ClarkdaleWindowIsSwitchedOffAgain) {
    Start({HostBridge(0x0044).Dword(0x48, kWindow)},
          Manifest("bar48", kWindow, {{0x260, 0x00100000}, {0x240, 6}, {0x2C20, 16}}));
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR3);
    EXPECT_EQ(m.m_iChannels, 1);
    EXPECT_EQ(m.m_fCASLatency, 9.0f);
    EXPECT_STREQ(m.m_szRatio, "4:16");
    EXPECT_EQ(m.m_fFSBDRAMRatio, 4.0f);
    EXPECT_EQ(chipset->m_pNorthBridge->m_pMCHBAR, nullptr);
    EXPECT_EQ(WritesAt(kBridge, 0x48), (std::vector<uint32_t>{kWindow | 1, kWindow}));
    ExpectRestored();
}

// Sandy Bridge with only channel B: one channel, B's registers.
TEST_F(IntelNorthBridge, SandyBridgeWithOnlyChannelB) {
    Start({HostBridge(0x0100).Dword(0x48, kWindow | 1)},
          Manifest("core", kWindow,
                   {{0x5004, 0}, {0x5008, 0x0404}, {0x4000, 0x77000101}, {0x4400, 0x00180976},
                    {0x4404, 2u << 30}, {0x5E04, 8}}));
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "Sandy Bridge");
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR3);
    EXPECT_EQ(m.m_iChannels, 1);
    EXPECT_EQ(m.m_fCASLatency, 9.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 6);
    EXPECT_EQ(m.m_iRASPrecharge, 7);
    EXPECT_EQ(m.m_iCycleTime, 24);
    EXPECT_EQ(m.m_iCommandRate, 2);
    EXPECT_STREQ(m.m_szRatio, "1:8");
    EXPECT_EQ(m.m_fFSBDRAMRatio, static_cast<float>(8 * 1.333400011062622));
    ASSERT_TRUE(chipset->m_pNorthBridge->m_pMCHBAR);
    EXPECT_EQ(chipset->m_pNorthBridge->m_pMCHBAR->GetSize(), 0x4C00u);
    EXPECT_TRUE(WritesAt(kBridge, 0x48).empty());
}

// Ivy Bridge: bit 8 of 0x5E04 picks the 100 MHz reference.
TEST_F(IntelNorthBridge, IvyBridgeRatioReference) {
    const struct {
        uint32_t value;
        float ratio;
    } cases[] = {{0x10A, 10.0f}, {0x00A, static_cast<float>(10 * 1.333400011062622)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Start({HostBridge(0x0154).Dword(0x48, kWindow | 1)}, Manifest("core", kWindow, {{0x5004, 1}, {0x5E04, c.value}}));
        CChipsetInterface* chipset = Detect();
        ASSERT_TRUE(chipset);
        EXPECT_STREQ(chipset->m_pMemoryInfo->m_szRatio, "1:10");
        EXPECT_EQ(chipset->m_pMemoryInfo->m_fFSBDRAMRatio, c.ratio);
        EXPECT_NEAR(chipset->m_pMemoryInfo->m_fFSBDRAMRatio, c.value & 0x100 ? 10.0 : 13.334, 1e-4);
        ReleaseSDK();
    }
}

// Haswell reads the uncore ratio from MSR 0x621.
TEST_F(IntelNorthBridge, HaswellTimingsAndUncoreRatio) {
    Start({HostBridge(0x0C00).Dword(0x48, kWindow | 1)},
          Manifest("core", kWindow,
                   {{0x5004, 0x10}, {0x5008, 0x10}, {0x4000, (28u << 10) | (9u << 5) | 9u}, {0x4004, 1u << 30},
                    {0x4014, 9}, {0x4298, 208u << 16}, {0x5E00, 0}, {0x5E04, 12}},
                   "\"cpu\": {\"msrs\": {\"0x621\": \"0x27\"}}, "));
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iChannels, 2);
    EXPECT_EQ(m.m_iRASToCASDelay, 9);
    EXPECT_EQ(m.m_iRASPrecharge, 9);
    EXPECT_EQ(m.m_iCycleTime, 28);
    EXPECT_EQ(m.m_iCommandRate, 1);
    EXPECT_EQ(m.m_fCASLatency, 9.0f);
    EXPECT_EQ(m.m_iRowRefreshCycleTime, 208);
    EXPECT_STREQ(m.m_szRatio, "1:12");
    EXPECT_EQ(m.m_fUncoreRatio, 39.0f);
}

// i945 with a tRC field of 0: tRC = tRP + tRAS of the same pass; the
// window bit at 0x44 is switched on and off again.
TEST_F(IntelNorthBridge, I945ZeroBankCycleTimeIsPrechargePlusActive) {
    // tRAS 15 (bits 23:19), CL code 1 (4.0), tRCD code 2 (4), tRP code 2 (4), tRC 0.
    const uint32_t timing = (15u << 19) | (1u << 8) | (2u << 4) | 2u;
    Start({HostBridge(0x2770, 0x02).Dword(0x44, kWindow).Dword(0xE4, 1u << 6)},
          Manifest("i945", kWindow, {{0x108, 0x01}, {0x114, timing}, {0xC00, 0x32}}));
    CChipsetInterface* chipset = Detect();
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "i945P");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, "A2");
    EXPECT_EQ(m.m_iChannels, 1);
    EXPECT_EQ(m.m_iCycleTime, 15);
    EXPECT_EQ(m.m_fCASLatency, 4.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 4);
    EXPECT_EQ(m.m_iRASPrecharge, 4);
    EXPECT_EQ(m.m_iBankCycleTime, 19);
    EXPECT_STREQ(m.m_szRatio, "3:5");
    EXPECT_EQ(chipset->m_pNorthBridge->m_pMCHBAR, nullptr);
    EXPECT_EQ(WritesAt(kBridge, 0x44), (std::vector<uint32_t>{kWindow | 1, kWindow}));
    ExpectRestored();
}

// 0x2E20 is "G45/G43" beside its integrated graphics 0x2E22, else the
// family name; a G45 reads CL as bits 13:8 minus 6.
TEST_F(IntelNorthBridge, G45NamingAndCASLatency) {
    const std::map<uint32_t, uint32_t> registers = {{0xC00, 0x12}, {0x260, 0x00100000}, {0x264, 11u << 16}};
    const struct {
        bool graphics;
        const char* model;
    } cases[] = {{true, "G45/G43"}, {false, "P45/P43/G45/G43"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        std::vector<FunctionDump> functions = {HostBridge(0x2E20, 0x03).Dword(0x48, kWindow | 1)};
        if (c.graphics) functions.push_back(FunctionDump({0, 2, 0}, 0x8086, 0x2E22).Class(0x03, 0x00));
        Start(functions, Manifest("bar48", kWindow, registers));
        CChipsetInterface* chipset = Detect();
        ASSERT_TRUE(chipset);
        EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, c.model);
        EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, "A3");
        EXPECT_EQ(chipset->m_pMemoryInfo->m_fCASLatency, 5.0f);
        EXPECT_STREQ(chipset->m_pMemoryInfo->m_szRatio, "3:4");
        ReleaseSDK();
    }
}

// The i865's device 6 is shown for the scan and the decoder, its memory
// decoding switched on and off again on every pass, and hidden again at
// close; the rescan keeps the device objects the bridges hold.
TEST_F(IntelNorthBridge, I865Device6ShownAndHiddenAgain) {
    constexpr uint32_t kDevice6Window = 0xFED10000;
    Start({HostBridge(0x2570, 0x02).Dword(0xC4, 0x08010000),
           FunctionDump(kDevice6, 0x8086, 0x2576).Class(0x08, 0x80).Dword(0x10, kDevice6Window)},
          Manifest("i865", kDevice6Window, {{0x00, 0x08080404}, {0x60, 0x125}, {0x68, 0x00204000}}));
    ASSERT_TRUE(scannedPCI());
    CPCIDevice* bridgeDevice = sdk().m_pPCI->FindDevice(0, 0, 0);
    EXPECT_EQ(sdk().m_pPCI->FindDevice(0, 6, 0), nullptr) << "hidden before";
    EXPECT_EQ(sdk().CreateChipsetInterface(), 1);
    CChipsetInterface* chipset = sdk().m_pChipset;
    ASSERT_TRUE(chipset && chipset->m_pNorthBridge);
    EXPECT_EQ(chipset->m_pNorthBridge->m_pDevice, bridgeDevice);
    EXPECT_EQ(sdk().m_pPCI->FindDevice(0, 0, 0), bridgeDevice);
    EXPECT_NE(sdk().m_pPCI->FindDevice(0, 6, 0), nullptr) << "shown and listed";
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "i865P/PE/G/i848P");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, "A2");
    EXPECT_EQ(GetIntel865Device6Enable(chipset->m_pNorthBridge), 1);

    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR);
    EXPECT_STREQ(m.m_szRatio, "2:3");
    EXPECT_EQ(m.m_fFSBDRAMRatio, 1.5f);
    EXPECT_EQ(m.m_iCycleTime, 8);
    EXPECT_EQ(m.m_fCASLatency, 2.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 3);
    EXPECT_EQ(m.m_iRASPrecharge, 3);
    EXPECT_EQ(m.m_iChannels, 2);
    EXPECT_EQ(chipset->m_pNorthBridge->m_iFSBCode, 1);
    EXPECT_EQ(chipset->m_pNorthBridge->m_iPerformanceMode, 1);
    EXPECT_EQ(chipset->m_pNorthBridge->m_pMCHBAR, nullptr);
    EXPECT_EQ(Dword(kDevice6, 0x04) & 2u, 0u) << "memory decoding off again";
    EXPECT_EQ(WritesAt(kDevice6, 0x04).size(), 2u);

    const size_t showWrites = WritesAt(kBridge, 0xF4).size();
    chipset->Refresh();
    EXPECT_EQ(WritesAt(kBridge, 0xF4).size(), showWrites) << "a refresh finds it shown";
    EXPECT_EQ(Dword(kDevice6, 0x04) & 2u, 0u);

    chipset->Close();
    EXPECT_EQ(Dword(kBridge, 0xF4) & 2u, 0u) << "hidden again";
    ExpectRestored();
}

// The Intel table's names: steppings by revision, models of their own.
TEST_F(IntelNorthBridge, NamesByDeviceAndRevision) {
    const struct {
        uint16_t device;
        uint8_t revision;
        const char* model;
        const char* stepping;
    } cases[] = {
        {0x2584, 0x0E, "i925XE", "C2"}, {0x1130, 0x11, "i815EM", "A1"}, {0x3405, 0x12, "X58", "12"},
        {0x2C61, 0x00, "ID2C61", "00"}, {0x2A00, 0x0C, "GL960/GM965/PM965", "C0"}, {0xBEEF, 0x01, "IDBEEF", "01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        Start({HostBridge(c.device, c.revision)}, "{}");
        CChipsetInterface* chipset = Detect();
        ASSERT_TRUE(chipset);
        EXPECT_STREQ(chipset->m_pNorthBridge->m_szVendor, "Intel");
        EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, c.model);
        EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, c.stepping);
        ReleaseSDK();
    }
}

} // namespace
} // namespace vexa::test
