// The NVIDIA display APIs on simulated GPUs: names and families from the
// device id, readings from the register window, the driver library's
// levels and temperature, and the x58 sample's GeForce 210 through both,
// with every register the code writes left as it was found.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/gpu_i2c.h"
#include "sdk/display/nvapi_api.h"
#include "sdk/display/nvidia_io_api.h"
#include "sdk/display/pll.h"
#include "sdk/hw/io_space.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {
namespace {

constexpr uint32_t kWindow = 0xFA000000;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%X\"", value);
    return text;
}

// An NVIDIA GPU at 00:02.0 whose BAR0 holds `bar0`, with its register
// window at kWindow holding `registers`.
std::string Lspci(uint16_t device, uint32_t bar0 = kWindow) {
    FunctionDump gpu(machine::PciAddress{0, 2, 0}, 0x10DE, device);
    gpu.Class(0x03, 0x00).Word(0x04, 0x0007).Dword(0x10, bar0);
    return LspciWithHostBridge({gpu});
}

std::string Manifest(const std::map<uint32_t, uint32_t>& registers) {
    std::string list;
    for (const auto& [offset, value] : registers) list += (list.empty() ? "" : ", ") + Hex(offset) + ": " + Hex(value);
    return R"({"memory_devices": {"nvidia_gpu": {"function": "00:02.0", "base": "0xFA000000", "registers": {)" + list +
           "}}}}";
}

class NvidiaAPIs : public PciTest {
protected:
    CDisplayAdapter* Adapter(uint16_t device, const std::map<uint32_t, uint32_t>& registers, uint32_t bar0 = kWindow) {
        startImage(Lspci(device, bar0), Manifest(registers));
        return Scan();
    }
    CDisplayAdapter* Scan(uint32_t flags = 0) {
        if (!scannedPCI() || sdk().CreateDisplayInterface(flags) != 1) return nullptr;
        return sdk().m_pDisplay->GetAdapter(0);
    }
    template <typename T>
    static T* Bound(CDisplayAdapter* adapter) {
        CTListIterator<_stAPIEntry> it(adapter->APIEntries);
        for (_stAPIEntry* entry = it.GetFirst(); entry; entry = it.GetNext())
            if (auto* api = dynamic_cast<T*>(entry->API)) return api;
        return nullptr;
    }
};

struct IdentityCase {
    uint16_t device;
    uint32_t boot;  // register 0: the chip revision in bits 7:0
    const char* name;
    uint32_t family;
    const char* codename;
    float technology;
};

class NvidiaIdentity : public NvidiaAPIs, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(NvidiaIdentity, DeviceIdNamesTheGPU) {
    const IdentityCase& c = GetParam();
    CDisplayAdapter* adapter = Adapter(c.device, {{0x0, c.boot}});
    ASSERT_NE(adapter, nullptr);
    EXPECT_STREQ(adapter->Name, c.name);
    EXPECT_EQ(adapter->FamilyCode, c.family);
    EXPECT_STREQ(adapter->Codename, c.codename);
    EXPECT_FLOAT_EQ(adapter->Technology, c.technology);
    EXPECT_EQ(adapter->Revision, int32_t(c.boot & 0xFF));
    ASSERT_NE(adapter->MMIOSpace, nullptr);
    EXPECT_EQ(adapter->MMIOSpace->GetBaseLow(), kWindow);
    const bool bitBanged = (c.family & 0xFFFFF000) == 0x1050000 || (c.family & 0xFFFFF000) == 0x1060000;
    EXPECT_EQ(adapter->I2CSpace != nullptr, bitBanged);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NvidiaIdentity,
    ::testing::Values(IdentityCase{0x0407, 0x084300A1, "NVIDIA GeForce 8600M GT", 0x1050084, "G84M", 0.08f},
                      IdentityCase{0x0402, 0x084200A1, "NVIDIA GeForce 8600 GT", 0x1050084, "G84", 0.08f},
                      IdentityCase{0x05E1, 0x0A0000B1, "NVIDIA GeForce GTX 280", 0x1050200, "GT200", 0.055f},
                      IdentityCase{0x05E1, 0x0A0000A1, "NVIDIA GeForce GTX 280", 0x1050200, "GT200", -1.0f},
                      IdentityCase{0x0425, 0x086000A1, "", 0x1050086, "G86M", 0.08f},
                      IdentityCase{0x0A65, 0x0A8000A2, "", 0x1050218, "GT218", 0.04f},
                      IdentityCase{0x1080, 0x0C8000A1, "NVIDIA GeForce GTX 580", 0x1060410, "GF110", 0.04f},
                      IdentityCase{0x1180, 0x0E4000A2, "NVIDIA GeForce GTX 680", 0x1070104, "GK104", 0.028f},
                      IdentityCase{0x0A00, 0x000000A1, "", 0x1000000, "", -1.0f}));

TEST_F(NvidiaAPIs, G84ReadingsFromItsRegisters) {
    // Core PLL selected at source 2: N 0x20, M 0x03, P 1 -> 27 MHz * 32 / 3 >> 1 * 4.
    CDisplayAdapter* adapter = Adapter(0x0407, {{0x0, 0x084300A1},
                                                {0xC040, 0x22},
                                                {0x4028, 0x10000},
                                                {0x4024, 0x2003},
                                                {0x4020, 0x00000},
                                                {0x402C, 0x4003},
                                                {0x4008, 0x80010000},
                                                {0x400C, 0x1E04},
                                                {0x020400, 0x12C},
                                                {0x1540, 0x000F0000},
                                                {0x10020C, 0x10000000},
                                                {0x100714, 0x2},
                                                {0x100214, 0x3}});
    ASSERT_NE(adapter, nullptr);
    auto* api = Bound<NVIDIA_DirectIO_DisplayAPI>(adapter);
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(adapter->GetAPIIndex(api), -1);
    float celsius = 0, mhz = 0, low = 0, high = 0;
    ASSERT_EQ(api->GetTemperature(adapter, &celsius), 1);
    EXPECT_EQ(celsius, 44.0f) << "the low byte";
    ASSERT_EQ(api->GetCoreClock(adapter, 0, &mhz, &low, &high), 1);
    EXPECT_FLOAT_EQ(mhz, float((int32_t(32 * 27000.0 / 3) >> 1) * 4.0 / 1000.0));
    EXPECT_EQ(low, -1.0f);
    EXPECT_EQ(high, -1.0f);
    ASSERT_EQ(api->GetShaderClock(adapter, 0, &mhz, &low, &high), 1) << "source 2 of the shader: the other coefficient word";
    EXPECT_FLOAT_EQ(mhz, float(int32_t(64 * 27000.0 / 3) * 4.0 / 1000.0));
    ASSERT_EQ(api->GetMemoryClock(adapter, 0, &mhz, &low, &high), 1);
    EXPECT_FLOAT_EQ(mhz, float((int32_t(30 * 108000.0 / 4) >> 1) / 1000.0));
    uint32_t value = 0;
    ASSERT_EQ(api->GetMemoryBusWidth(adapter, &value), 1);
    EXPECT_EQ(value, 256u);
    ASSERT_EQ(api->GetMemorySize(adapter, &value), 1);
    EXPECT_EQ(value, 256u);
    ASSERT_EQ(api->GetMemoryType(adapter, &value), 1);
    EXPECT_EQ(value, 3u) << "DDR3";
    EXPECT_EQ(adapter->MemorySize, 256) << "the refresh took it from the registers";
    EXPECT_EQ(api->GetFanDuty(adapter, &value), 0) << "no fan registers known for G84";
}

TEST_F(NvidiaAPIs, UnselectedOrEmptyClockSourcesAndUnlockedMemoryClock) {
    CDisplayAdapter* adapter = Adapter(0x0407, {{0xC040, 0x00}, {0x4008, 0x00010000}, {0x400C, 0x0000}});
    ASSERT_NE(adapter, nullptr);
    auto* api = Bound<NVIDIA_DirectIO_DisplayAPI>(adapter);
    float mhz = 7, low = 7, high = 7;
    EXPECT_EQ(api->GetCoreClock(adapter, 0, &mhz, &low, &high), 0) << "0/0 is no clock";
    EXPECT_EQ(api->GetShaderClock(adapter, 0, &mhz, &low, &high), 0);
    EXPECT_EQ(mhz, 7.0f);
    ASSERT_EQ(api->GetMemoryClock(adapter, 0, &mhz, &low, &high), 1);
    EXPECT_EQ(mhz, 100.0f) << "control bit 31 clear";
    uint32_t value = 9;
    EXPECT_EQ(api->GetMemorySize(adapter, &value), 0) << "a size of 0";
    EXPECT_EQ(value, 9u);
    EXPECT_EQ(adapter->CorePLL[0], nullptr);
}

struct FanCase {
    uint32_t period, duty;
    int32_t percent;
};

class NvidiaFan : public NvidiaAPIs, public ::testing::WithParamInterface<FanCase> {};

TEST_P(NvidiaFan, G98DutyFromThePwmPair) {
    const FanCase& c = GetParam();
    CDisplayAdapter* adapter = Adapter(0x06E4, {{0xE11C, c.period}, {0xE120, c.duty}, {0xE114, 0xFFFFFFFF}});
    ASSERT_NE(adapter, nullptr);
    auto* api = Bound<NVIDIA_DirectIO_DisplayAPI>(adapter);
    EXPECT_EQ(api->ReadFanDuty(adapter, 0xE11C, 0xE120), c.percent);
    uint32_t percent = 1234;
    EXPECT_EQ(api->GetFanDuty(adapter, &percent), c.percent >= 0);
    EXPECT_EQ(percent, c.percent >= 0 ? uint32_t(c.percent) : 1234u);
}

INSTANTIATE_TEST_SUITE_P(Pairs, NvidiaFan,
                         ::testing::Values(FanCase{1, 5, 100}, FanCase{1, 0, -1}, FanCase{101, 50, 50},
                                           FanCase{0xFF000065, 0xFF000019, 25}, FanCase{101, 250, 100},
                                           FanCase{0xFFFFFFFF, 5, -1}));

TEST_F(NvidiaAPIs, AbsentOrPortBarIsNeverMapped) {
    for (const uint32_t bar : {0x0u, 0xCC01u}) {
        CDisplayAdapter* adapter = Adapter(0x0407, {}, bar);
        ASSERT_NE(adapter, nullptr);
        EXPECT_STREQ(adapter->Name, "NVIDIA GeForce 8600M GT") << "bound and named all the same";
        EXPECT_EQ(adapter->MMIOSpace, nullptr) << bar;
        EXPECT_EQ(adapter->I2CSpace, nullptr);
        EXPECT_EQ(adapter->Revision, -1);
        float celsius = 0;
        EXPECT_EQ(Bound<NVIDIA_DirectIO_DisplayAPI>(adapter)->GetTemperature(adapter, &celsius), 0);
        ReleaseSDK();
    }
}

// The x58 sample's EVGA GeForce 210 (GT218) through its register window,
// its I2C bus with the monitor's EDID, and the driver library.
TEST_F(NvidiaAPIs, X58GeForce210ThroughRegistersI2CAndTheLibrary) {
    startX58();
    record();
    ASSERT_EQ(sdk().CreateWMIInterface(), 1);  // the video controller's memory size
    CDisplayAdapter* adapter = Scan(UseVendorLibraries);
    ASSERT_NE(adapter, nullptr);
    EXPECT_STREQ(adapter->Name, "NVIDIA GeForce 210");
    EXPECT_STREQ(adapter->Codename, "GT218");
    EXPECT_EQ(adapter->FamilyCode, 0x1050218u);
    EXPECT_EQ(adapter->Revision, 0xA2);
    EXPECT_FLOAT_EQ(adapter->Technology, 0.04f);
    auto* io = Bound<NVIDIA_DirectIO_DisplayAPI>(adapter);
    auto* library = Bound<NVAPI_DisplayAPI>(adapter);
    ASSERT_NE(io, nullptr);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(adapter->GetAPIIndex(library), 0);
    ASSERT_NE(adapter->APII2CSpace, nullptr);

    float celsius = 0;
    ASSERT_EQ(io->GetTemperature(adapter, &celsius), 1);
    EXPECT_EQ(celsius, 45.0f);
    ASSERT_EQ(library->GetTemperature(adapter, &celsius), 1);
    EXPECT_EQ(celsius, 45.0f);
    EXPECT_EQ(adapter->PerfLevelCount, 1);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_CORE, 0), 589.0f);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_SHADER, 0), 1402.0f);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_MEMORY, 0), 500.0f);
    EXPECT_EQ(adapter->MemorySize, 512);
    char name[64] = {};
    EXPECT_EQ(library->GetPerfLevelName(adapter, 0, name), 1);
    EXPECT_STREQ(name, "3D Applications");
    uint32_t mb = 0;
    EXPECT_EQ(library->GetMemorySize(adapter, &mb), 0);

    // The monitor's EDID header on the first bus, bit by bit.
    auto* i2c = static_cast<CI2CRegisterSpace*>(adapter->I2CSpace);
    ASSERT_NE(i2c, nullptr);
    uint8_t header[3] = {0x55, 0x55, 0x55};
    for (uint8_t reg = 0; reg < 3; ++reg) ASSERT_EQ(i2c->ReadByteData(0, 0x50, reg, &header[reg]), 1);
    EXPECT_EQ(header[0], 0x00);
    EXPECT_EQ(header[1], 0xFF);
    EXPECT_EQ(header[2], 0xFF);

    // Every register written holds at the end what it held before the first
    // write; the configuration space is never written.
    std::map<uint64_t, uint64_t> found, last;
    for (const machine::Access& access : machine::current().accessLog()) {
        ASSERT_NE(access.kind == machine::AccessKind::PciConfig && access.dir == machine::AccessDir::Write, true)
            << "configuration write at " << access.address;
        if (access.kind != machine::AccessKind::Memory || !access.ok) continue;
        if (access.dir == machine::AccessDir::Read && !last.count(access.address)) found.emplace(access.address, access.value);
        if (access.dir == machine::AccessDir::Write) last[access.address] = access.value;
    }
    EXPECT_FALSE(last.empty()) << "the I2C lines were driven";
    for (const auto& [address, value] : last) {
        ASSERT_TRUE(found.count(address)) << std::hex << address;
        EXPECT_EQ(value, found[address]) << std::hex << address;
    }
}

// The driver library's GPU at 00:02.0 (bus 0) with the given JSON members.
std::string LibraryManifest(const std::string& gpu) {
    return R"({"nvapi": {"gpus": [{"bus": 0, )" + gpu + R"(}]}, "memory_devices": {"nvidia_gpu":
              {"function": "00:02.0", "base": "0xFA000000"}}})";
}

TEST_F(NvidiaAPIs, LevelKindsAreNamedAndClocksComeFromTheirLevels) {
    startImage(Lspci(0x0407), LibraryManifest(R"("device": "0x0407", "current_level": 3, "fan_percent": 150, "levels": [
        {"id": 0, "kind": 0}, {"id": 1, "kind": 1}, {"id": 2, "kind": 2}, {"id": 3, "kind": 3,
         "clocks": [{"domain": 0, "khz": 100000}, {"domain": 0, "khz": 200500, "second_khz": 300000},
                    {"domain": 4, "khz": 400000}, {"domain": 4, "khz": 450000}]},
        {"id": 4, "kind": 4}, {"id": 5, "kind": 8}, {"id": 6, "kind": 16}])"));
    CDisplayAdapter* adapter = Scan(UseVendorLibraries);
    ASSERT_NE(adapter, nullptr);
    auto* library = Bound<NVAPI_DisplayAPI>(adapter);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->GetPerfLevelCount(adapter), 7);
    EXPECT_EQ(library->GetCurrentPerfLevel(adapter), 3);
    const char* names[] = {"Default", "Overclocked", "2D Desktop", "Unknown", "3D Applications", "Test", "Test"};
    for (int32_t level = 0; level < 7; ++level) {
        char name[64] = {};
        ASSERT_EQ(library->GetPerfLevelName(adapter, level, name), 1) << level;
        EXPECT_STREQ(name, names[level]);
    }
    char untouched[64] = "x";
    EXPECT_EQ(library->GetPerfLevelName(adapter, 9, untouched), 0);
    float mhz = 0, low = 0, high = 0;
    ASSERT_EQ(library->GetCoreClock(adapter, 3, &mhz, &low, &high), 1);
    EXPECT_FLOAT_EQ(mhz, 200.5f) << "the core clock takes the last entry";
    ASSERT_EQ(library->GetMemoryClock(adapter, 3, &mhz, &low, &high), 1);
    EXPECT_FLOAT_EQ(mhz, 400.0f) << "the memory clock the first";
    ASSERT_EQ(library->GetCoreClock2(adapter, 3, &mhz), 1);
    EXPECT_FLOAT_EQ(mhz, 300.0f);
    EXPECT_EQ(library->GetShaderClock(adapter, 3, &mhz, &low, &high), 0);
    uint32_t percent = 0;
    ASSERT_EQ(library->GetFanDuty(adapter, &percent), 1);
    EXPECT_EQ(percent, 100u) << "a duty above 100 percent is capped";
    ASSERT_EQ(library->SetCoreClock(adapter, 3, 250.0f), 1);
    ASSERT_EQ(library->GetCoreClock(adapter, 3, &mhz, &low, &high), 1);
    EXPECT_FLOAT_EQ(mhz, 250.0f);
}

TEST_F(NvidiaAPIs, KeplerReportsOneLevelWithItsCurrentClocks) {
    startImage(Lspci(0x1180), LibraryManifest(R"("device": "0x1180", "clocks_khz": {"0": 1006000, "4": 3004000},
        "levels": [{"id": 0, "kind": 2}, {"id": 1, "kind": 4}], "thermal": [{"current": 0}])"));
    CDisplayAdapter* adapter = Scan(UseVendorLibraries);
    ASSERT_NE(adapter, nullptr);
    auto* library = Bound<NVAPI_DisplayAPI>(adapter);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(adapter->FamilyCode, 0x1070104u);
    EXPECT_EQ(library->GetPerfLevelCount(adapter), 1);
    EXPECT_EQ(library->GetCurrentPerfLevel(adapter), 0);
    char name[64] = {};
    EXPECT_EQ(library->GetPerfLevelName(adapter, 0, name), 0);
    float mhz = 0, low = -5, high = -5;
    ASSERT_EQ(library->GetCoreClock(adapter, 7, &mhz, &low, &high), 1) << "the level is not asked";
    EXPECT_FLOAT_EQ(mhz, 1006.0f);
    EXPECT_EQ(low, -5.0f);
    EXPECT_EQ(library->GetShaderClock(adapter, 0, &mhz, &low, &high), 0) << "no shader domain";
    EXPECT_EQ(library->SetCoreClock(adapter, 0, 900.0f), 0);
    EXPECT_FLOAT_EQ(adapter->GetClock(GPU_CLOCK_MEMORY, 0), 3004.0f);
    float celsius = 7;
    EXPECT_EQ(library->GetTemperature(adapter, &celsius), 0) << "0 degrees is no reading";
    EXPECT_EQ(celsius, 7.0f);
}

TEST_F(NvidiaAPIs, GpuWhoseExternalIdMatchesIsBoundThroughIt) {
    startImage(Lspci(0x0407), LibraryManifest(R"("device": "0x0400", "external_device": "0x0407")"));
    CDisplayAdapter* adapter = Scan(UseVendorLibraries);
    ASSERT_NE(adapter, nullptr);
    auto* library = Bound<NVAPI_DisplayAPI>(adapter);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(adapter->GetAPIIndex(library), 0);
}

TEST_F(NvidiaAPIs, LibraryWithoutGPUsBindsNothingAndAnswersNothing) {
    startX58Variant(X58Lspci(), R"({"nvapi": {}, "memory_devices": {"nvidia_gpu": {"function": "06:00.0",
                                   "base": "0xFA000000", "registers": {"0x0": "0x0A8000A2"}}}})");
    CDisplayAdapter* adapter = Scan(UseVendorLibraries);
    ASSERT_NE(adapter, nullptr);
    NVAPI_DisplayAPI* library = nullptr;
    CTListIterator<CDisplayAPI> apis(sdk().m_pDisplay->APIs);
    for (CDisplayAPI* api = apis.GetFirst(); api; api = apis.GetNext())
        if (!library) library = dynamic_cast<NVAPI_DisplayAPI*>(api);
    ASSERT_NE(library, nullptr) << "the library initialised, so the API stays";
    EXPECT_EQ(library->GPUCount, 0u);
    EXPECT_EQ(adapter->GetAPIIndex(library), -1);
    float value = 0;
    EXPECT_EQ(library->GetTemperature(adapter, &value), 0);
    EXPECT_EQ(library->GetPerfLevelCount(adapter), 1);
    EXPECT_EQ(library->GetPstateCount(adapter), -1);
}

} // namespace
} // namespace vexa::test
