// The ATI direct-register API: adapters bound with their register window,
// names, codenames and families from the device tables, reference clocks
// from legacy and ATOM video BIOS images, the thermal-chip search, and the
// readings of temperature, memory and clocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/ati_directio_api.h"
#include "sdk/display/ati_i2c_engines.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/io_space.h"
#include "tests/sdk/display/ati_test_support.h"

namespace vexa::test {
namespace {

// ---- Video BIOS reference clocks ----

struct BIOSCase {
    const char* name;
    std::vector<uint8_t> bios;
    bool atom;
    bool memoryFlag;  // legacy: family 0x2300000; ATOM: an R8XX row
    int32_t core, memory;
};

bool ReadFromVector(void* context, uint32_t offset, uint32_t* value) {
    const auto& bytes = *static_cast<const std::vector<uint8_t>*>(context);
    if (offset + 1 >= bytes.size()) return false;
    *value = uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8;
    return true;
}

class AtiVideoBIOS : public ::testing::TestWithParam<BIOSCase> {};

TEST_P(AtiVideoBIOS, ReferenceClocks) {
    const BIOSCase& c = GetParam();
    ATIReferenceClocks clocks;
    auto bytes = c.bios;
    if (c.atom)
        ReadAtomReferenceClocks(&ReadFromVector, &bytes, c.memoryFlag, &clocks);
    else
        ReadLegacyReferenceClocks(&ReadFromVector, &bytes, c.memoryFlag, &clocks);
    EXPECT_EQ(clocks.core, c.core);
    EXPECT_EQ(clocks.memory, c.memory);
}

std::vector<uint8_t> WithWord(std::vector<uint8_t> bytes, uint32_t offset, uint16_t value) {
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, AtiVideoBIOS,
    ::testing::Values(BIOSCase{"LegacyWord11", LegacyBIOS(11), false, true, 110, 110},
                      BIOSCase{"LegacyWord10Rejected", LegacyBIOS(10), false, true, 27000, 27000},
                      BIOSCase{"LegacyWord10000Rejected", LegacyBIOS(10000), false, true, 27000, 27000},
                      BIOSCase{"LegacyCoreOnly", LegacyBIOS(2700), false, false, 27000, 27000},
                      BIOSCase{"LegacyRV280", LegacyBIOS(1432), false, false, 14320, 27000},
                      BIOSCase{"LegacyPointerTooFar", WithWord(LegacyBIOS(1432), 0x48, 0x7000), false, true, 27000, 27000},
                      BIOSCase{"AtomR6XX", AtomBIOS(2500, 100), true, false, 25000, 25000},
                      BIOSCase{"AtomR8XXMemory", AtomBIOS(2700, 10000), true, true, 27000, 25000},
                      BIOSCase{"AtomWithoutSignature", WithWord(AtomBIOS(2500, 0), 0x104, 0), true, false, 27000, 27000},
                      BIOSCase{"AtomPointerOutsideTheROM", WithWord(AtomBIOS(2500, 0), 0x20C, 0xFFF0), true, false, 27000, 27000},
                      BIOSCase{"AtomShortROM", WithWord(AtomBIOS(2500, 0), 2, 0x01), true, false, 27000, 27000},
                      BIOSCase{"AtomClockZero", AtomBIOS(0, 0), true, true, 27000, 27000}),
    [](const ::testing::TestParamInfo<BIOSCase>& row) { return std::string(row.param.name); });

// ---- Clock arithmetic ----

struct PLLCase {
    uint32_t family;
    float referenceMHz;
    uint32_t control, feedback;
    float mhz;
};

class AtiPLL : public ::testing::TestWithParam<PLLCase> {};

TEST_P(AtiPLL, EnginePLL) {
    const PLLCase& c = GetParam();
    EXPECT_FLOAT_EQ(ATI_DirectIO_DisplayAPI::ComputePLLClock(c.family, c.referenceMHz, c.control, 0, c.feedback), c.mhz);
}

// RV710 ignores the post-divider fields; Evergreen takes the direct field,
// else the two added fields plus 2 (here 15 + 15 + 2); the feedback keeps
// 26 bits.
INSTANTIATE_TEST_SUITE_P(
    Families, AtiPLL,
    ::testing::Values(PLLCase{0x2700110, 27.0f, 0x1A0, 0x960000, 600.0f},
                      PLLCase{0x2700110, 27.0f, 0x1A0 | 0x00200000, 0x960000, 600.0f},
                      PLLCase{0x2800140, 27.0f, 0x1A0 | 0x00200000, 0x960000, 300.0f},
                      PLLCase{0x2800140, 27.0f, 0x1A0 | 0x4 | 0x1000, 0x960000, 200.0f},
                      PLLCase{0x2800140, 27.0f, 0x1A0 | 0x4 | 0xF000 | 0xF0000, 0x960000, 18.75f},
                      PLLCase{0x2800140, 27.0f, 0x1A0, 0xFC960000, 600.0f}));

struct MemoryPLLCase {
    uint32_t value;
    float mhz;
};

class AtiMemoryPLL : public ::testing::TestWithParam<MemoryPLLCase> {};

TEST_P(AtiMemoryPLL, MemoryPLL) {
    EXPECT_FLOAT_EQ(ATI_DirectIO_DisplayAPI::ComputeMemoryPLLClock(27.0f, GetParam().value), GetParam().mhz);
}

// m 0 -> 2, 1 -> 3; reference-divider field 0x0F -> 1, 0x14 -> 4; post
// field 2 -> 4, 5 -> 1.
INSTANTIATE_TEST_SUITE_P(Fields, AtiMemoryPLL,
                         ::testing::Values(MemoryPLLCase{0x00000000, 27.0f * 16 * 0.0625f},
                                           MemoryPLLCase{0x00000001, 27.0f * 24 * 0.0625f},
                                           MemoryPLLCase{0x00000781, 27.0f * 24 * 0.0625f},
                                           MemoryPLLCase{0x00000A05, 27.0f / 4 * 40 * 0.0625f},
                                           MemoryPLLCase{0x00043005, 27.0f * 43 / 4 * 0.0625f},
                                           MemoryPLLCase{0x000A3005, 27.0f * 43 * 0.0625f}));

TEST(AtiTemperatures, OnDieReadingIsSignedNineBits) {
    EXPECT_EQ(ATIOnDieTemperature(0x1F6), -10);
    EXPECT_EQ(ATIOnDieTemperature(0x3C), 60);
    EXPECT_EQ(ATIOnDieTemperature(0xE00), 0);
}

// ---- Identification on a machine ----

class AtiIdentification : public AtiTest {
protected:
    CDisplayInterface* Scan() {
        if (!scannedPCI()) return nullptr;
        EXPECT_EQ(sdk().CreateDisplayInterface(0), 1);
        return sdk().m_pDisplay;
    }
    static CDisplayAPI* API(CDisplayInterface* display, uint32_t code) {
        CTListIterator<CDisplayAPI> it(display->APIs);
        for (CDisplayAPI* api = it.GetFirst(); api; api = it.GetNext())
            if (api->Code == code) return api;
        return nullptr;
    }
};

struct DeviceCase {
    const char* name;
    uint16_t device;
    uint32_t family;
    const char* codename;
    const char* adapterName;  // "" keeps the PCI scan's
    float technology;
    bool i2cSpace;
    uint32_t memoryType;
};

class AtiDevices : public AtiIdentification, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(AtiDevices, TablesNameTheAdapter) {
    const DeviceCase& c = GetParam();
    startGpu({AtiFunction(c.device)}, R"("memory_devices": {"ati_gpus": [)" + GpuWindow("none", "", "") + "]}");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    CDisplayAPI* api = API(display, DISPLAY_API_ATI_IO);
    ASSERT_NE(api, nullptr);
    EXPECT_STREQ(api->Name, "ATI I/O");
    CDisplayAdapter* adapter = display->GetAdapter(0);
    EXPECT_EQ(adapter->GetAPIIndex(api), -1);
    EXPECT_NE(adapter->FindAPIEntry(api), nullptr);
    EXPECT_EQ(adapter->FamilyCode, c.family);
    EXPECT_STREQ(adapter->Codename, c.codename);
    if (*c.adapterName) { EXPECT_STREQ(adapter->Name, c.adapterName); }
    if (c.technology > 0) EXPECT_FLOAT_EQ(adapter->Technology, c.technology);
    else EXPECT_EQ(adapter->Technology, -1.0f);
    EXPECT_EQ(adapter->I2CSpace != nullptr, c.i2cSpace);
    EXPECT_EQ(adapter->MemoryType, c.memoryType);
    EXPECT_NE(adapter->MMIOSpace, nullptr);
    EXPECT_EQ(adapter->CoreReferenceClock, 27000);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, AtiDevices,
    ::testing::Values(
        DeviceCase{"RV710", 0x954F, 0x2700110, "RV710", "ATI Radeon HD 4350", 0.055f, true, 0xFFFFFFFF},
        DeviceCase{"RV710WithoutEngine", 0x9540, 0x2700110, "RV710", "", 0.055f, false, 0xFFFFFFFF},
        DeviceCase{"R4XXWithoutCodename", 0x4A4E, 0x2300000, "", "", -1.0f, true, 0xFFFFFFFF},
        DeviceCase{"RS780", 0x9614, 0x2600110, "RS780", "", 0.055f, false, 0xFFFFFFFF},
        DeviceCase{"RV870", 0x6898, 0x2800170, "RV870", "ATI Radeon HD 5870", 0.04f, true, 0x50},
        DeviceCase{"Barts", 0x6738, 0x2900000, "Barts", "AMD Radeon HD 6870", 0.04f, true, 0x50},
        DeviceCase{"RV515", 0x718A, 0x2500115, "RV515", "", 0.09f, true, 0xFFFFFFFF},
        DeviceCase{"Trinity", 0x9901, 0x2000000, "Trinity", "AMD Radeon HD 7660D", -1.0f, false, 0xFFFFFFFF},
        DeviceCase{"Unknown", 0x1234, 0x2000000, "", "", -1.0f, false, 0xFFFFFFFF}),
    [](const ::testing::TestParamInfo<DeviceCase>& row) { return std::string(row.param.name); });

TEST_F(AtiIdentification, TemperatureOffsetForTheAPUs) {
    startGpu({AtiFunction(0x9901), AtiFunction(0x954F, 0xFDFE0000, 1)},
             R"("memory_devices": {"ati_gpus": [)" + GpuWindow("none", "", "") + "]}");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->GetAdapter(0)->TemperatureOffset, 42.0f);
    EXPECT_EQ(display->GetAdapter(1)->TemperatureOffset, -1.0f);
}

TEST_F(AtiIdentification, AnIOOrUnassignedRegisterBARIsNeverMapped) {
    startGpu({AtiFunction(0x954F, 0x0000E001), AtiFunction(0x954F, 0x00000000, 1)}, "");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(API(display, DISPLAY_API_ATI_IO), nullptr);
    EXPECT_EQ(sdk().FindIOSpace(0, 0xE000, 0x2000000), nullptr);
    EXPECT_EQ(sdk().FindIOSpace(0, 0, 0x2000000), nullptr);
}

TEST_F(AtiIdentification, ReferenceClocksFromTheVideoBIOS) {
    startGpu({AtiFunction(0x6898)}, R"("memory_devices": {"ati_gpus": [)" + GpuWindow("r8xx", "", "") + "]}",
             AtomBIOS(2700, 10000));
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    EXPECT_EQ(adapter->CoreReferenceClock, 27000);
    EXPECT_EQ(adapter->MemoryReferenceClock, 25000);
}

TEST_F(AtiIdentification, AnotherVendorsAdapterIsNotBound) {
    FunctionDump nvidia(machine::PciAddress{2, 0, 0}, 0x10DE, 0x0A65);
    nvidia.Class(0x03, 0x00).Dword(0x18, kGpuWindowBase);
    startGpu({AtiFunction(0x954F, 0xFDFE0000), nvidia}, "");
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    CDisplayAdapter* other = display->GetAdapter(1);
    EXPECT_EQ(other->MMIOSpace, nullptr);
    // The NVIDIA card may have NVIDIA's APIs, never the ATI one.
    CTListIterator<_stAPIEntry> entries(other->APIEntries);
    for (_stAPIEntry* entry = entries.GetFirst(); entry; entry = entries.GetNext())
        EXPECT_NE(entry->API->Code, uint32_t(DISPLAY_API_ATI_IO));
    EXPECT_EQ(other->I2CSpace, nullptr);
    EXPECT_EQ(other->ThermalChip, 0xFFFFFFFFu);
    EXPECT_NE(display->GetAdapter(0)->MMIOSpace, nullptr);
}

std::string Chip(uint8_t bus, uint8_t address, uint8_t manufacturer, uint8_t device, uint8_t temperature) {
    char text[200];
    std::snprintf(text, sizeof text,
                  R"({"bus": %u, "address": "0x%02X", "registers": {"0x01": "0x%02X", "0xFE": "0x%02X", "0xFF": "0x%02X"}})",
                  bus, address, temperature, manufacturer, device);
    return text;
}

struct ThermalCase {
    const char* name;
    std::string devices;
    std::string registers;
    uint32_t code, bus, address;
};

class AtiThermalChips : public AtiIdentification, public ::testing::WithParamInterface<ThermalCase> {};

TEST_P(AtiThermalChips, SearchFindsTheFirstKnownChip) {
    const ThermalCase& c = GetParam();
    startGpu({AtiFunction(0x954F)}, R"("memory_devices": {"ati_gpus": [)" +
                                        GpuWindow("r6xx", c.registers, c.devices) + "]}");
    machine::current().setLogging(true);
    CDisplayInterface* display = Scan();
    ASSERT_NE(display, nullptr);
    CDisplayAdapter* adapter = display->GetAdapter(0);
    EXPECT_EQ(adapter->ThermalChip, c.code);
    EXPECT_EQ(adapter->ThermalChipBus, c.bus);
    EXPECT_EQ(adapter->ThermalChipAddress, c.address);
    expectWritesRestored();
}

INSTANTIATE_TEST_SUITE_P(
    Chips, AtiThermalChips,
    ::testing::Values(
        ThermalCase{"LowerAddressWins", Chip(0, 0x4C, 0x01, 0x51, 50) + "," + Chip(0, 0x18, 0x41, 0x42, 40), "",
                    0x3063, 0, 0x18},
        ThermalCase{"BusZeroBeforeBusOne", Chip(1, 0x18, 0x01, 0x01, 50) + "," + Chip(0, 0x4E, 0x23, 0x20, 40), "",
                    0x2063, 0, 0x4E},
        ThermalCase{"UnknownChipSkipped", Chip(0, 0x18, 0x55, 0x01, 50) + "," + Chip(2, 0x4D, 0x01, 0x34, 40), "",
                    0x1089, 2, 0x4D},
        ThermalCase{"OnDieSensor", "", R"("0x730": "0x3C")", 0x4700, 0xFFFFFFFF, 0xFFFFFFFF},
        ThermalCase{"OnDieReadingZero", "", "", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}),
    [](const ::testing::TestParamInfo<ThermalCase>& row) { return std::string(row.param.name); });

// ---- Readings ----

class AtiReadings : public AtiIdentification {
protected:
    CDisplayAdapter* StartWith(uint16_t device, const std::string& engine, const std::string& registers,
                               const std::string& devices = "") {
        startGpu({AtiFunction(device)}, R"("memory_devices": {"ati_gpus": [)" +
                                            GpuWindow(engine, registers, devices) + "]}");
        CDisplayInterface* display = Scan();
        if (!display) return nullptr;
        api_ = API(display, DISPLAY_API_ATI_IO);
        return api_ ? display->GetAdapter(0) : nullptr;
    }
    CDisplayAPI* api_ = nullptr;
};

// Another bus master (the test) writes the chip's register through the
// R4XX engine on bus 0: the address, the register and the byte, then go.
void SetChipRegister(uint8_t address, uint8_t reg, uint8_t value) {
    const auto put = [](uint32_t offset, uint32_t dword) {
        const uint8_t bytes[4] = {uint8_t(dword), uint8_t(dword >> 8), uint8_t(dword >> 16), uint8_t(dword >> 24)};
        machine::current().writePhysical(kGpuWindowBase + offset, bytes);
    };
    put(0x90, 0x27);
    put(0x98, uint32_t(address) << 1);
    put(0x98, reg);
    put(0x98, value);
    put(0x90, 0x1140);
    put(0x90, 0);
}

TEST_F(AtiReadings, ThermalChipTemperatureKeepsTheLastPlausibleReading) {
    CDisplayAdapter* adapter = StartWith(0x4A49, "r4xx", "", Chip(0, 0x4C, 0x01, 0x51, 126));
    ASSERT_NE(adapter, nullptr);
    ASSERT_EQ(adapter->ThermalChip, 0x1064u);
    float degrees = -1;
    ASSERT_EQ(api_->GetTemperature(adapter, &degrees), 1);
    EXPECT_EQ(degrees, 126.0f);
    for (uint8_t implausible : {uint8_t(127), uint8_t(0xFF)}) {
        SetChipRegister(0x4C, 0x01, implausible);
        degrees = -1;
        EXPECT_EQ(api_->GetTemperature(adapter, &degrees), 1);
        EXPECT_EQ(degrees, 126.0f) << int(implausible);
    }
    SetChipRegister(0x4C, 0x01, 45);
    EXPECT_EQ(api_->GetTemperature(adapter, &degrees), 1);
    EXPECT_EQ(degrees, 45.0f);
}

TEST_F(AtiReadings, AChipThatNeverReadsPlausiblyReportsZero) {
    CDisplayAdapter* adapter = StartWith(0x4A49, "r4xx", "", Chip(0, 0x4C, 0x01, 0x51, 200));
    ASSERT_NE(adapter, nullptr);
    float degrees = -1;
    EXPECT_EQ(api_->GetTemperature(adapter, &degrees), 1);
    EXPECT_EQ(degrees, 0.0f);
}

struct RegisterReadingCase {
    const char* name;
    uint16_t device;
    std::string registers;
    int memorySizeResult;
    uint32_t mb;
    int widthResult;
    uint32_t bits;
    int coreResult;
    float core;
    int memoryResult;
    float memory;
};

class AtiRegisterReadings : public AtiReadings, public ::testing::WithParamInterface<RegisterReadingCase> {};

TEST_P(AtiRegisterReadings, MemoryAndClocks) {
    const RegisterReadingCase& c = GetParam();
    CDisplayAdapter* adapter = StartWith(c.device, "none", c.registers);
    ASSERT_NE(adapter, nullptr);
    uint32_t mb = 7, bits = 7;
    float core = -5, memory = -5, min = -5, max = -5;
    EXPECT_EQ(api_->GetMemorySize(adapter, &mb), c.memorySizeResult);
    EXPECT_EQ(mb, c.memorySizeResult ? c.mb : 7u);
    EXPECT_EQ(api_->GetMemoryBusWidth(adapter, &bits), c.widthResult);
    EXPECT_EQ(bits, c.widthResult ? c.bits : 7u);
    EXPECT_EQ(api_->GetCoreClock(adapter, 0, &core, &min, &max), c.coreResult);
    if (c.coreResult) EXPECT_NEAR(core, c.core, 0.01f);
    else EXPECT_EQ(core, -5.0f);
    EXPECT_EQ(api_->GetMemoryClock(adapter, 0, &memory, &min, &max), c.memoryResult);
    if (c.memoryResult) { EXPECT_NEAR(memory, c.memory, 0.01f); }
    EXPECT_EQ(min, -5.0f);
    EXPECT_EQ(max, -5.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Families, AtiRegisterReadings,
    ::testing::Values(
        // RV710: 512 MB, 64 bits (second register without bit 8), 600 MHz.
        RegisterReadingCase{"RV710", 0x954F,
                            R"("0x5428": "0x20000000", "0x2004": "0x1000", "0x2760": "0xFF", "0x600": "0x1A0",
                               "0x608": "0x960000")",
                            1, 512, 1, 64, 1, 600.0f, 0, 0},
        RegisterReadingCase{"RV770Doubled", 0x9440, R"("0x5428": "0x40000000", "0x2004": "0x3000", "0x2760": "0x100")", 1,
                            1024, 1, 512, 0, 0, 0, 0},
        // RV630: the direct formula, 27 MHz x 90 / 3 = 810 MHz and memory
        // 27 x 20 / 1 / 1 = 540 MHz.
        RegisterReadingCase{"RV630", 0x9589,
                            R"("0x5428": "0x10000000", "0x2004": "0x1000", "0x2408": "0x80",
                               "0x600": "0x00000B28", "0x7D4": "0x0", "0x610": "0x00000260", "0x7D8": "0x0")",
                            1, 256, 1, 128, 1, 810.0f, 1, 540.0f},
        // Evergreen: the size register holds MB; the memory PLL twice.
        RegisterReadingCase{"RV870", 0x6898, R"("0x5428": "1024", "0x600": "0x1A0", "0x608": "0x960000",
                                                 "0x624": "0x000A3005")",
                            1, 1024, 0, 0, 1, 600.0f, 1, 2 * 27.0f * 43 * 0.0625f},
        RegisterReadingCase{"UnreadableSize", 0x954F, R"("0x5428": "0xFFFFFFFF")", 0, 0, 1, 32, 0, 0, 0, 0},
        RegisterReadingCase{"R5XXNothing", 0x71C0, "", 0, 0, 0, 0, 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<RegisterReadingCase>& row) { return std::string(row.param.name); });

TEST_F(AtiReadings, AFailedRegisterReadIsNoAnswer) {
    CDisplayAdapter* adapter = StartWith(0x954F, "none", R"("0x600": "0x1A0", "0x608": "0x960000", "0x730": "0x3C")");
    ASSERT_NE(adapter, nullptr);
    machine::current().injectFault({machine::AccessKind::Memory, std::nullopt, kGpuWindowBase, kGpuWindowBase + 0xFFFF});
    float value = -5, min = -5, max = -5;
    uint32_t mb = 7;
    EXPECT_EQ(api_->GetCoreClock(adapter, 0, &value, &min, &max), 0);
    EXPECT_EQ(api_->GetTemperature(adapter, &value), 0);
    EXPECT_EQ(api_->GetMemorySize(adapter, &mb), 0);
    EXPECT_EQ(value, -5.0f);
    machine::current().clearFaults();
    EXPECT_EQ(api_->GetTemperature(adapter, &value), 1);
    EXPECT_EQ(value, 60.0f);
}

} // namespace
} // namespace vexa::test
