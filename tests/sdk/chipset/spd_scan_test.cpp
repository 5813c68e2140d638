// The SPD scan on SMBus controllers in memory: which addresses it probes,
// which devices it takes for modules, what it reads, the devices and
// thermal sensors it makes, and where it stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sdk/chipset/module_info.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/smbus_device.h"
#include "tests/sdk/chipset/spd_test_support.h"
#include "tests/support/manual_clock_guard.h"

namespace vexa::test {
namespace {

int g_steps = 0;
void CountStep() { ++g_steps; }

std::vector<uint8_t> DDR3Module(uint8_t format = 0x02) {
    return SpdImage(11).Set(3, format).Set(10, {1, 8, 12}).Set(16, 105).Bytes();
}

class SPDScan : public SPDBusTest {
protected:
    void SetUp() override {
        SPDBusTest::SetUp();
        g_steps = 0;
    }

    int Scan() { return spd_.Scan(CountStep); }

    std::vector<int> Addresses() const {
        std::vector<int> addresses;
        for (int i = 0; i < spd_.m_iModuleCount; ++i) addresses.push_back(spd_.m_pModules[i].m_ucAddress);
        return addresses;
    }

    static std::vector<CMemoryModule*> ModuleDevices() {
        std::vector<CMemoryModule*> modules;
        CTListIterator<CDevice> it(GetSDK()->m_pDevices);
        for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
            if (device->m_dwKind & DEVICE_MEMORY_MODULE) modules.push_back(static_cast<CMemoryModule*>(device));
        return modules;
    }

    CSPDInterface spd_;
};

TEST_F(SPDScan, ModulesAtTheirSlotsBecomeRecordsAndDevices) {
    FakeSPDBus& bus = AddBus();
    bus.AddEEPROM(0x50, DDR3Module());
    bus.AddEEPROM(0x53, DDR3Module());
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(g_steps, 8 + 7) << "one step a slot, one after the slots and one per engine group after it";
    EXPECT_EQ(Addresses(), (std::vector<int>{0x50, 0x53}));
    for (int i = 0; i < 2; ++i) {
        const CModuleInfo& record = spd_.m_pModules[i];
        EXPECT_EQ(record.m_iIndex, i);
        EXPECT_EQ(record.m_iSPDLength, 256);
        EXPECT_EQ(std::vector<uint8_t>(record.m_pSPD, record.m_pSPD + 256), DDR3Module());
    }
    const auto modules = ModuleDevices();
    ASSERT_EQ(modules.size(), 2u);
    EXPECT_EQ(spd_.m_pDevices->GetCount(), 2u);
    EXPECT_EQ(modules[1]->m_pModuleInfo, &spd_.m_pModules[1]);
    EXPECT_STREQ(modules[1]->GetName(), "Memory Module");
    ASSERT_TRUE(modules[1]->m_pChildren);
    auto* eeprom = static_cast<CSMBusDevice*>(modules[1]->m_pChildren->m_pHead->m_pPayload);
    EXPECT_EQ(eeprom->m_bySlaveAddress, 0x53);
    EXPECT_EQ(modules[1]->m_pThermalSensor, nullptr);

    spd_.DecodeModules(CountStep);
    EXPECT_EQ(g_steps, 15 + 2) << "one step a module";
    EXPECT_STREQ(modules[0]->GetName(), " PC3-10700") << "no maker: the empty name and the speed";
    EXPECT_STREQ(modules[0]->GetSerialNumber(), "00000000");
}

TEST_F(SPDScan, NothingFoundReportsFailure) {
    AddBus();
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(spd_.m_iModuleCount, 0);
    EXPECT_EQ(g_steps, 15);
    EXPECT_EQ(spd_.m_pDevices, nullptr);
}

TEST_F(SPDScan, WithoutSMBusDomainStillStepsThrough) {
    GetSDK()->m_pSMBus = nullptr;
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(g_steps, 15);
}

TEST_F(SPDScan, BoardsWithOtherSlots) {
    const struct {
        int32_t boardHash;
        int slotCount;
        int steps;
        std::vector<int> found;
    } cases[] = {
        {0x047853E0, 7, 14, {0x50, 0x51, 0x52, 0x56}},
        {int32_t(0xD17DCDF0), 7, 14, {0x50, 0x51, 0x52, 0x56}},
        {0x000020D8, 4, 11, {0x50, 0x51, 0x52}},
        {0x00AECC64, 8, 13, {0x52, 0x56, 0x57}},
        {0x12345678, 8, 15, {0x50, 0x51, 0x52, 0x56, 0x57}},
    };
    FakeSPDBus& bus = AddBus();
    for (uint8_t address : {0x50, 0x51, 0x52, 0x56, 0x57}) bus.AddEEPROM(address, DDR3Module());
    for (const auto& c : cases) {
        CSPDInterface spd;
        spd.m_iBoardHash = c.boardHash;
        g_steps = 0;
        bus.m_addressed.clear();
        spd.Scan(CountStep);
        std::vector<int> found;
        for (int i = 0; i < spd.m_iModuleCount; ++i) found.push_back(spd.m_pModules[i].m_ucAddress);
        EXPECT_EQ(found, c.found) << std::hex << c.boardHash;
        EXPECT_EQ(spd.m_iSlotCount, c.slotCount);
        EXPECT_EQ(g_steps, c.steps);
        if (c.boardHash == 0x00AECC64) {
            EXPECT_EQ(std::count(bus.m_addressed.begin(), bus.m_addressed.end(), 0x50), 0) << "never probed";
            EXPECT_EQ(std::count(bus.m_addressed.begin(), bus.m_addressed.end(), 0x51), 0);
        }
    }
}

// Byte 2 gives the type; a further byte must be within what the type allows.
TEST_F(SPDScan, OnlyDevicesThatLookLikeSPDEEPROMs) {
    const struct {
        const char* name;
        SpdImage bytes;
        int length;  // 0: not taken
    } cases[] = {
        {"rdram", SpdImage(1), 256},
        {"edo", SpdImage(2), 256},
        {"type 3", SpdImage(3), 0},
        {"type 0", SpdImage(0), 0},
        {"type 13", SpdImage(13), 0},
        {"failed read", SpdImage(0xFF), 0},
        {"sdram", SpdImage(4).Set(8, 6), 256},
        {"ddr2 bad byte 8", SpdImage(8).Set(8, 7), 0},
        {"fb-dimm", SpdImage(9).Set(1, 0x20), 256},
        {"fb-dimm bad byte 1", SpdImage(10).Set(1, 0x21), 0},
        {"ddr3", SpdImage(11).Set(3, 0x10), 256},
        {"ddr3 bad byte 3", SpdImage(11).Set(3, 0x11), 0},
        {"ddr4", SpdImage(12, 512), 512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReleaseSDK();
        SPDBusTest::SetUp();
        AddBus().AddEEPROM(0x50, c.bytes.Bytes());
        CSPDInterface spd;
        EXPECT_EQ(spd.Scan(nullptr), c.length ? 1 : 0);
        EXPECT_EQ(spd.m_iModuleCount > 0 ? spd.m_pModules[0].m_iSPDLength : 0, c.length);
    }
}

// The first module's type is the system's; another type at a later
// address is something else, another format of the same type a module.
TEST_F(SPDScan, ModulesOfAnotherTypeAreSkipped) {
    FakeSPDBus& bus = AddBus();
    bus.AddEEPROM(0x50, DDR3Module(0x02));
    bus.AddEEPROM(0x51, SpdImage(8).Bytes());
    bus.AddEEPROM(0x52, DDR3Module(0x03));
    Scan();
    EXPECT_EQ(Addresses(), (std::vector<int>{0x50, 0x52}));
}

// A DDR4 module on a host controller is read in both pages.
TEST_F(SPDScan, DDR4ModuleReadsBothPages) {
    SpdImage ddr4(12, 512);
    ddr4.Set(320, {0x80, 0xCE});
    AddBus().AddEEPROM(0x51, ddr4.Bytes());
    ASSERT_EQ(Scan(), 1);
    const CModuleInfo& record = spd_.m_pModules[0];
    ASSERT_EQ(record.m_iSPDLength, 512);
    EXPECT_EQ(record.m_pSPD[321], 0xCE);
    spd_.DecodeModules(nullptr);
    EXPECT_STREQ(record.m_szManufacturer, "Samsung");
}

struct SensorCase {
    const char* name;
    uint16_t manufacturer;
    uint16_t temperature;
    bool attached;
    float degrees;
};

class ThermalSensor : public SPDScan, public ::testing::WithParamInterface<SensorCase> {};

// A JC-42.4 sensor of the slot's number beside the EEPROM, on the same controller.
TEST_P(ThermalSensor, OfAKnownMakerIsReadOnce) {
    const SensorCase& c = GetParam();
    FakeSPDBus& bus = AddBus();
    bus.AddEEPROM(0x52, DDR3Module());
    bus.AddSensor(0x1A, Jc42Registers(c.manufacturer, c.temperature));
    ASSERT_EQ(Scan(), 1);
    CMemoryModule* module = ModuleDevices().at(0);
    if (!c.attached) {
        EXPECT_EQ(module->m_pThermalSensor, nullptr);
        EXPECT_EQ(module->m_pSensors, nullptr);
        EXPECT_EQ(GetSDK()->m_pSensors->GetCount(), 0u);
        return;
    }
    CTemperatureSensor* sensor = module->m_pThermalSensor;
    ASSERT_TRUE(sensor);
    EXPECT_STREQ(sensor->m_szName, "core");
    EXPECT_EQ(sensor->m_dwId, 0x200u);
    EXPECT_EQ(sensor->m_dwRawValue, c.temperature);
    EXPECT_EQ(sensor->m_fValue, c.degrees);
    EXPECT_EQ(sensor->m_fMaximum, c.degrees);
    EXPECT_EQ(module->FindSensor(sensor), sensor);
    EXPECT_EQ(GetSDK()->m_pSensors->GetCount(), 1u);
    ASSERT_TRUE(module->m_pThermalSensorDevice);
    EXPECT_EQ(module->m_pThermalSensorDevice->m_bySlaveAddress, 0x1A);
    EXPECT_EQ(module->m_pChildren->GetCount(), 2u) << "the EEPROM and the sensor";
}

INSTANTIATE_TEST_SUITE_P(
    Scan, ThermalSensor,
    ::testing::Values(SensorCase{"st_25_degrees", 0x104A, 0x0190, true, 25.0f},
                      SensorCase{"flags_above_the_reading", 0x0054, 0xC1A0, true, 26.0f},
                      // The sign bit: 0x1FF0 is -1 degree, 0x1E70 -25.
                      SensorCase{"below_zero", 0x001F, 0x1FF0, true, -1.0f},
                      SensorCase{"minus_25", 0x1B09, 0x1E70, true, -25.0f},
                      SensorCase{"unknown_maker", 0x1234, 0x0190, false, 0.0f}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(SPDScan, ThermalSensorOnAnotherControllerIsNotTheModules) {
    AddBus().AddEEPROM(0x52, DDR3Module());
    AddBus().AddSensor(0x1A, Jc42Registers(0x104A, 0x0190));
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(ModuleDevices().at(0)->m_pThermalSensor, nullptr);
}

// The memory controllers' engines: DIMM indexes, no type filter, always 256 bytes.
TEST_F(SPDScan, MemoryControllerEngines) {
    FakeSPDBus& host = AddBus();
    host.AddEEPROM(0x50, DDR3Module());
    FakeSPDBus& engine = AddBus(0x80862621);
    engine.AddEEPROM(0, SpdImage(8).Bytes());
    engine.AddEEPROM(7, SpdImage(12, 512).Bytes());
    engine.AddEEPROM(3, SpdImage(3).Bytes());  // not a module type
    FakeSPDBus& unknownEngine = AddBus(0x80861234);
    unknownEngine.AddEEPROM(1, DDR3Module());
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(Addresses(), (std::vector<int>{0x50, 0, 7}));
    EXPECT_EQ(spd_.m_pModules[1].m_pSPD[2], 8) << "a DDR2 module beside DDR3";
    EXPECT_EQ(spd_.m_pModules[2].m_iSPDLength, 256) << "DDR4 on an engine: 256 bytes";
    EXPECT_EQ(ModuleDevices().size(), 3u);
}

TEST_F(SPDScan, EngineGroupThatPausesBetweenDevices) {
    ManualClockGuard clock;
    AddBus(0x808625F6).AddEEPROM(2, DDR3Module());
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(Addresses(), (std::vector<int>{2}));
}

// More modules than records: the scan stops at the last record.
TEST_F(SPDScan, StopsAtItsSixtyFourRecords) {
    for (int controller = 0; controller < 9; ++controller) {
        FakeSPDBus& bus = AddBus();
        for (uint8_t address = 0x50; address < 0x58; ++address) bus.AddEEPROM(address, DDR3Module());
    }
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(spd_.m_iModuleCount, CSPDInterface::kMaxModules);
    EXPECT_EQ(spd_.m_pModules[63].m_iIndex, 63);
    EXPECT_EQ(ModuleDevices().size(), 64u);
    spd_.DecodeModules(nullptr);
    EXPECT_EQ(spd_.m_pModules[63].m_iClock, 667);
}

} // namespace
} // namespace vexa::test
