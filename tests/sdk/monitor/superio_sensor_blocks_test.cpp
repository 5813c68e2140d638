// The sensor-chip monitors that read super-I/O blocks on the ports: the
// LPC47M192's fan counts in its runtime block, the SCH5636's mailbox and
// its shared mutex, and the PC87366's banked blocks, each left as found.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include "machine/devices/superio_chip.h"
#include "platform/sync.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/register_space_pmio.h"
#include "sdk/monitor/chip_monitor_factory.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/national_semiconductor_monitors.h"
#include "sdk/monitor/smsc_superio_monitors.h"
#include "tests/sdk/hw/access_test_support.h"
#include "tests/sdk/monitor/sensor_chip_registers.h"

namespace vexa::test {
namespace {

// ---- Port devices ----

// The SCH56xx runtime mailbox: writing 1 to offset 0 reads the byte of the
// embedded-memory address in offsets 6/7 into offset 4 and sets bit 0 of
// offsets 8 and 1. A silent mailbox never sets them.
class Mailbox final : public machine::PortDevice {
public:
    Mailbox(uint16_t base, std::map<uint16_t, uint8_t> memory) : base_(base), memory_(std::move(memory)) {}

    std::string name() const override { return "mailbox"; }
    std::vector<machine::PortRange> ranges() const override { return {{base_, uint16_t(base_ + 8)}}; }
    bool decodes(uint16_t port, unsigned width) const override { return width == 1 && port >= base_ && port <= base_ + 8; }
    uint32_t read(uint16_t port, unsigned) override { return registers_[port - base_]; }
    void write(uint16_t port, unsigned, uint32_t value) override {
        const unsigned offset = port - base_;
        if (offset == 8) {
            registers_[8] &= uint8_t(~value);  // written back to clear
            return;
        }
        registers_[offset] = uint8_t(value);
        if (offset != 0 || value != 1 || silent) return;
        ++reads;
        const auto address = uint16_t(registers_[7] << 8 | registers_[6]);
        const auto found = memory_.find(address);
        registers_[4] = found != memory_.end() ? found->second : 0x00;
        registers_[8] |= 1;
        registers_[1] |= 1;
    }

    bool silent = false;
    int reads = 0;

private:
    uint16_t base_;
    std::map<uint16_t, uint8_t> memory_;
    std::array<uint8_t, 9> registers_{};
};

// A block of 16 ports whose offset 9 selects which of 16 banks the other
// offsets show (its low four bits).
class BankedBlock final : public machine::PortDevice {
public:
    explicit BankedBlock(uint16_t base) : base_(base) {}

    std::string name() const override { return "banked block"; }
    std::vector<machine::PortRange> ranges() const override { return {{base_, uint16_t(base_ + 15)}}; }
    bool decodes(uint16_t port, unsigned width) const override { return width == 1 && port >= base_ && port < base_ + 16; }
    uint32_t read(uint16_t port, unsigned) override {
        const unsigned offset = port - base_;
        return offset == 9 ? select : banks[select & 0xF][offset];
    }
    void write(uint16_t port, unsigned, uint32_t value) override {
        const unsigned offset = port - base_;
        if (offset == 9) select = uint8_t(value);
        else banks[select & 0xF][offset] = uint8_t(value);
    }

    uint8_t select = 0;
    std::array<std::array<uint8_t, 16>, 16> banks{};

private:
    uint16_t base_;
};

class SuperIoSensorBlocks : public AccessTest {
protected:
    void TearDown() override {
        monitor_.reset();
        AccessTest::TearDown();
    }

    // A root-owned PMIO space on the ports at `base`.
    template <typename Space, typename... Args>
    Space* SpaceAt(uint16_t base, Args... args) {
        auto* ports = new CPortIOSpace(base, 16);
        sdk().m_pIOSpaces->AddTail(ports);
        auto* space = new Space(ports, args...);
        sdk().m_pRegisterSpaces->AddTail(space);
        return space;
    }

    std::unique_ptr<CHardwareMonitor> monitor_;
};

// ---- LPC47M192 ----

TEST_F(SuperIoSensorBlocks, Lpc47m192FansComeFromTheRuntimeBlock) {
    machine::SuperIoChipSettings chip;
    chip.protocol = machine::SuperIoProtocol::Smsc;
    chip.configPort = 0x2E;
    chip.monitorDevice = 0x0A;
    chip.globalRegisters = {{0x20, 0x60}};
    chip.deviceRegisters = {{0x30, 0x01}, {0x60, 0x06}, {0x61, 0x00}};
    chip.selectedDevice = 0x03;
    auto superio = std::make_unique<machine::SuperIoChip>(chip);
    machine::SuperIoChip* model = superio.get();
    std::vector<std::unique_ptr<machine::PortDevice>> devices;
    devices.push_back(std::move(superio));
    devices.push_back(std::make_unique<PortRegisterFile>(0x600, 0x80));
    machine::Machine& machine = startWithPorts(std::move(devices));
    machine.writePort(0x658, 1, 0xB0);  // fan 0 divides by 8, fan 1 by 4
    machine.writePort(0x659, 1, 0x40);
    machine.writePort(0x65A, 1, 0xFF);  // no count on fan 1
    // The configuration ports' space, as super-I/O detection leaves it.
    auto* configPorts = new CPortIOSpace(0x2E, 2);
    sdk().m_pIOSpaces->AddTail(configPorts);
    sdk().m_pRegisterSpaces->AddTail(new CLPCRegisterSpace(configPorts, 0, 1));

    SensorChipRegisters registers;
    registers.Set({{0x20, 0x80}, {0x26, 0x20}});
    monitor_.reset(BuiltInChipMonitors().creators[size_t(MonitorClass::SMSC_LPC47M192)](0x20));
    monitor_->m_pRegisterSpace = &registers;
    monitor_->m_pRequest = new CSMBusRequest;
    monitor_->CreateSensors();
    monitor_->Poll(1);

    auto* fan0 = static_cast<CFanSensor*>(monitor_->FindSensorById(SENSOR_FAN | 0));
    ASSERT_NE(fan0, nullptr);
    EXPECT_EQ(fan0->m_dwDivisor, 8u);
    EXPECT_FLOAT_EQ(fan0->m_fValue, 983010.0f / (0x40 * 8));
    EXPECT_EQ(monitor_->FindSensorById(SENSOR_FAN | 1), nullptr);
    machine.writePort(0x65A, 1, 0x20);
    monitor_->Poll(0);
    auto* fan1 = static_cast<CFanSensor*>(monitor_->FindSensorById(SENSOR_FAN | 1));
    ASSERT_NE(fan1, nullptr);
    EXPECT_EQ(fan1->m_dwDivisor, 4u);
    ASSERT_NE(monitor_->GetSensor(SENSOR_VOLTAGE, 0), nullptr);
    EXPECT_STREQ(monitor_->GetSensor(SENSOR_VOLTAGE, 0)->m_szName, "+2.5V");
    EXPECT_FALSE(model->inConfigMode());
    EXPECT_EQ(model->selectedDevice(), 0x03);
}

TEST_F(SuperIoSensorBlocks, Lpc47m192WithoutRuntimeBlockHasNoFans) {
    startWithPorts({});
    SensorChipRegisters registers;
    monitor_.reset(BuiltInChipMonitors().creators[size_t(MonitorClass::SMSC_LPC47M192)](0x20));
    auto& lpc = static_cast<SMSC_LPC47M192_HardwareMonitor&>(*monitor_);
    lpc.m_pRegisterSpace = &registers;
    lpc.m_pRequest = new CSMBusRequest;
    uint8_t value = 0;
    EXPECT_EQ(lpc.ReadRuntimeRegister(0x59, &value), 0);
    lpc.CreateSensors();
    EXPECT_EQ(lpc.FindSensorById(SENSOR_FAN | 0), nullptr);
}

// ---- SCH5636 ----

constexpr uint16_t kRuntime = 0x0A00;

class Sch5636 : public SuperIoSensorBlocks {
protected:
    SMSC_SCH5636_HardwareMonitor& StartWith(std::map<uint16_t, uint8_t> memory, bool silent = false) {
        auto mailbox = std::make_unique<Mailbox>(kRuntime, std::move(memory));
        mailbox->silent = silent;
        mailbox_ = mailbox.get();
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        devices.push_back(std::move(mailbox));
        startWithPorts(std::move(devices));
        monitor_ = std::make_unique<SMSC_SCH5636_HardwareMonitor>(SpaceAt<PMIO_RegisterSpace>(kRuntime));
        return static_cast<SMSC_SCH5636_HardwareMonitor&>(*monitor_);
    }
    Mailbox* mailbox_ = nullptr;
};

TEST_F(Sch5636, ReadsThroughTheMailbox) {
    std::map<uint16_t, uint8_t> memory = {{0x22, 0xC0}, {0x2B, 0x6A}, {0x2C, 0x40}, {0x2D, 0x06}};
    for (uint16_t flag = 0x791; flag < 0x7A0; ++flag) memory[flag] = 0x80;  // only slot 0 present
    memory[0x26] = 0x50;                                                   // slot 1's reading, skipped
    SMSC_SCH5636_HardwareMonitor& monitor = StartWith(memory);
    EXPECT_EQ(monitor.CreateSensors(), 1);
    CSensor* plus33 = monitor.GetSensor(SENSOR_VOLTAGE, 0);
    ASSERT_NE(plus33, nullptr);
    EXPECT_STREQ(plus33->m_szName, "+3.3V");
    EXPECT_FLOAT_EQ(plus33->m_fValue, 0xC0 * 4.4f / 255);
    CSensor* peci = monitor.FindSensorById(SENSOR_TEMPERATURE | 0);
    ASSERT_NE(peci, nullptr);
    EXPECT_FLOAT_EQ(peci->m_fValue, 0x6A - 0x40);
    EXPECT_EQ(monitor.FindSensorById(SENSOR_TEMPERATURE | 1), nullptr);
    CSensor* cpuFan = monitor.FindSensorById(SENSOR_FAN | 0);
    ASSERT_NE(cpuFan, nullptr);
    EXPECT_STREQ(cpuFan->m_szName, "CPU");
    EXPECT_FLOAT_EQ(cpuFan->m_fValue, 5.4e6f / 0x0640);
}

TEST_F(Sch5636, SilentMailboxEndsThePassWithinItsBound) {
    SMSC_SCH5636_HardwareMonitor& monitor = StartWith({}, true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(monitor.CreateSensors(), 1);
    EXPECT_EQ(monitor.Update(), 1);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // One mailbox wait per pass (96 polls 1 ms apart), not one per register.
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_EQ(monitor.GetSensorList(0xFFFFFFFF), nullptr);
}

TEST_F(Sch5636, BusyControllerLeavesTheSensorsAlone) {
    SMSC_SCH5636_HardwareMonitor& monitor = StartWith({{0x22, 0xC0}});
    ASSERT_EQ(monitor.CreateSensors(), 1);
    const int readsBefore = mailbox_->reads;
    std::atomic<bool> held{false}, done{false};
    std::thread other([&] {
        HANDLE mutex = BRENIKSDK::CreateGlobalMutex(0, "Access_Fujitsu_EC");
        WaitForSingleObject(mutex, INFINITE);
        held = true;
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(monitor.Update(), 0);
    done = true;
    other.join();
    EXPECT_EQ(mailbox_->reads, readsBefore);
    EXPECT_EQ(monitor.Update(), 1);
    EXPECT_GT(mailbox_->reads, readsBefore);
}

// ---- PC87366 ----

TEST_F(SuperIoSensorBlocks, Pc87366ReadsItsBanksAndPutsTheSelectionBack) {
    auto fans = std::make_unique<BankedBlock>(0x2800);
    auto volts = std::make_unique<BankedBlock>(0x2810);
    auto temps = std::make_unique<BankedBlock>(0x2820);
    BankedBlock *fanBlock = fans.get(), *voltBlock = volts.get(), *tempBlock = temps.get();
    fanBlock->banks[0][7] = 0x60;           // fan 0 count
    fanBlock->banks[0][8] = 0x40;           // divisor field 2: 4
    voltBlock->banks[1][0x0B] = 0x80;       // -12V channel
    voltBlock->banks[2][0x0B] = 0x7F;       // +12V channel: not wired
    tempBlock->banks[2][0x0B] = 0x28;       // local temperature
    voltBlock->select = 0x35;
    tempBlock->select = 0x40;
    std::vector<std::unique_ptr<machine::PortDevice>> devices;
    devices.push_back(std::move(fans));
    devices.push_back(std::move(volts));
    devices.push_back(std::move(temps));
    startWithPorts(std::move(devices));
    monitor_ = std::make_unique<NS_PC87366_HardwareMonitor>(SpaceAt<Banked_PMIO_RegisterSpace>(0x2800, uint8_t(9)),
                                                            SpaceAt<Banked_PMIO_RegisterSpace>(0x2810, uint8_t(9)),
                                                            SpaceAt<Banked_PMIO_RegisterSpace>(0x2820, uint8_t(9)));
    monitor_->CreateSensors();
    monitor_->Poll(1);

    CSensor* minus12 = monitor_->FindSensorById(SENSOR_VOLTAGE | 1);
    ASSERT_NE(minus12, nullptr);
    EXPECT_STREQ(minus12->m_szName, "-12V");
    EXPECT_NEAR(minus12->m_fValue, 0x80 * 3.02575 / 256 * 16 - 52.5, 1e-3);
    EXPECT_EQ(monitor_->FindSensorById(SENSOR_VOLTAGE | 2), nullptr);
    CSensor* local = monitor_->FindSensorById(SENSOR_TEMPERATURE | 2);
    ASSERT_NE(local, nullptr);
    EXPECT_FLOAT_EQ(local->m_fValue, 40.0f);
    auto* fan = static_cast<CFanSensor*>(monitor_->FindSensorById(SENSOR_FAN | 0));
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(fan->m_dwDivisor, 4u);
    EXPECT_FLOAT_EQ(fan->m_fValue, 480000.0f / (0x60 * 4));
    EXPECT_EQ(voltBlock->select, 0x35);
    EXPECT_EQ(tempBlock->select, 0x40);
}

} // namespace
} // namespace vexa::test
