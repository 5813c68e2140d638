// The Nuvoton NCT6683 monitor on a simulated paged interface: the select
// codes and readings on an Intel board, a page port that never comes free,
// a failed page access that gives no reading, and a board whose host
// bridge is no Intel device.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "sdk/core/sensor.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/monitor/nuvoton_nct6683.h"
#include "tests/sdk/monitor/chip_monitor_test_support.h"
#include "tests/support/manual_clock_guard.h"

namespace vexa::test {
namespace {

constexpr uint16_t kPagePort = 0x290, kDataPort = 0x292;

// The chip's paged interface: page port, index port, data port. The page
// port holds what was last written (0xFF: free), or reads 0x00 for ever
// when another user holds the page.
class PagedPorts final : public machine::PortDevice {
public:
    explicit PagedPorts(bool held) : held_(held) {}
    std::string name() const override { return "paged monitor ports"; }
    std::vector<machine::PortRange> ranges() const override { return {{kPagePort, kDataPort}}; }
    bool decodes(uint16_t port, unsigned width) const override {
        return width == 1 && port >= kPagePort && port <= kDataPort;
    }
    uint32_t read(uint16_t port, unsigned) override {
        if (port == kPagePort) return held_ ? 0x00 : page_;
        if (port == kPagePort + 1) return index_;
        return pages_[page_][index_];
    }
    void write(uint16_t port, unsigned, uint32_t value) override {
        const auto byte = uint8_t(value);
        if (port == kPagePort) page_ = byte;
        else if (port == kPagePort + 1) index_ = byte;
        else pages_[page_][index_] = byte;
    }
    void set(uint8_t page, uint8_t index, uint8_t value) { pages_[page][index] = value; }
    uint8_t at(uint8_t page, uint8_t index) const { return pages_.at(page)[index]; }
    uint8_t pagePort() const { return page_; }

private:
    bool held_;
    uint8_t page_ = 0xFF, index_ = 0;
    std::array<std::array<uint8_t, 256>, 256> pages_{};
};

class NuvotonNCT6683 : public ChipMonitorTest {
protected:
    PagedPorts& startPaged(bool held, const std::map<uint8_t, uint8_t>& pageOne = {}) {
        auto ports = std::make_unique<PagedPorts>(held);
        PagedPorts& paged = *ports;
        for (const auto& [index, value] : pageOne) paged.set(1, index, value);
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        devices.push_back(std::move(ports));
        startWithPorts(std::move(devices));
        return paged;
    }
    // A PCI domain on the root with a host bridge of that vendor at 00:00.0.
    void useHostBridge(uint16_t vendor) {
        auto* pci = new CPCIInterface;
        sdk().m_pInterfaces->AddTail(pci);
        sdk().m_pPCI = pci;
        auto* bridge = new CPCIDevice(0, 0, 0);
        bridge->m_pCommonHeader->m_wVendorID = vendor;
        sdk().m_pDevices->AddTail(bridge);
    }
    std::vector<machine::Access> pagedPortAccesses() {
        std::vector<machine::Access> found;
        for (const machine::Access& access : ofKind(hw().accessLog(), machine::AccessKind::Port))
            if (access.address >= kPagePort && access.address <= kDataPort) found.push_back(access);
        return found;
    }
};

TEST_F(NuvotonNCT6683, IntelBoardReadsEveryChannelAfterItsSelectCode) {
    PagedPorts& paged = startPaged(false, {{0x20, 0x40}, {0x24, 0xCE}, {0x26, 0xFF}, {0x2C, 0x4B},  // voltages
                                           {0x00, 0x2D}, {0x02, 0x00}, {0x06, 0x1E},  // temperatures
                                           {0x40, 0x04}, {0x41, 0xB0}, {0x42, 0x00}, {0x43, 0xA5},
                                           {0x44, 0x00}, {0x45, 0xA4}});  // fans
    useHostBridge(0x8086);
    CHardwareMonitor& monitor = attach(new Nuvoton_NCT6683_HardwareMonitor);
    EXPECT_STREQ(monitor.m_szName, "Nuvoton NCT6683");
    expectReadings(monitor, {{SENSOR_VOLTAGE, "+12V", 1.024f * 120 / 10},  // 0x40 x 16 mV
                             {SENSOR_VOLTAGE, "+3.3V", 3.296f},
                             {SENSOR_VOLTAGE, "DRAM", 1.2f * 30 / 20},
                             {SENSOR_VOLTAGE, "3VSB", 4.08f},  // 0xFF is a reading here
                             {SENSOR_TEMPERATURE, "CPU", 45.0f},
                             {SENSOR_TEMPERATURE, "PCH", kNoSensor},  // 0 is no reading
                             {SENSOR_TEMPERATURE, "DRAM", 30.0f},  // no select register
                             {SENSOR_FAN, "CPU", 1200.0f},
                             {SENSOR_FAN, "Front", kNoSensor},  // 0x00A5: no fan
                             {SENSOR_FAN, "Rear", 164.0f}});
    const std::pair<uint8_t, uint8_t> selects[] = {{0xB0, 0x66}, {0xB4, 0x74}, {0xB6, 0x6D}, {0xA0, 0x20},
                                                   {0xA2, 0x01}, {0xC0, 0xB4}, {0xC2, 0xB6}};
    for (const auto& [reg, code] : selects) EXPECT_EQ(paged.at(1, reg), code) << std::hex << int(reg);
    EXPECT_EQ(paged.pagePort(), 0xFF);
}

// The page port never reads 0xFF: each claim polls it 101 times over
// 100 waits of 5 ms, then gives up without writing anything.
TEST_F(NuvotonNCT6683, HeldPageIsNeverWritten) {
    ManualClockGuard clock;
    startPaged(true);
    useHostBridge(0x8086);
    CHardwareMonitor& monitor = attach(new Nuvoton_NCT6683_HardwareMonitor);
    record();
    const uint64_t before = clock.clock().nowNs();
    monitor.Update();
    const auto accesses = pagedPortAccesses();
    constexpr size_t kClaims = 7 + 5 + 3;  // the first access of every channel
    EXPECT_EQ(accesses.size(), kClaims * 101);
    for (const machine::Access& access : accesses) {
        EXPECT_EQ(access.dir, machine::AccessDir::Read);
        EXPECT_EQ(access.address, kPagePort);
    }
    EXPECT_EQ(clock.clock().nowNs() - before, kClaims * 100 * 5'000'000ull);
    EXPECT_EQ(monitor.GetSensorList(0xFFFFFFFF), nullptr);
}

// A data port that cannot be read gives no reading, and the page is still
// released for its other users.
TEST_F(NuvotonNCT6683, FailedPageReadIsNoReading) {
    PagedPorts& paged = startPaged(false, {{0x20, 0x40}, {0x00, 0x2D}, {0x40, 0x04}, {0x41, 0xB0}});
    useHostBridge(0x8086);
    hw().injectFault({machine::AccessKind::Port, machine::AccessDir::Read, kDataPort, kDataPort});
    auto* nct6683 = new Nuvoton_NCT6683_HardwareMonitor;
    CHardwareMonitor& monitor = attach(nct6683);
    EXPECT_EQ(monitor.GetSensorList(0xFFFFFFFF), nullptr);
    uint8_t value = 0x5A;
    EXPECT_EQ(nct6683->ReadPaged(1, 0x20, &value), 0);
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(paged.pagePort(), 0xFF);
}

TEST_F(NuvotonNCT6683, OtherHostBridgeLeavesThePagesAlone) {
    startPaged(false, {{0x20, 0x40}});
    useHostBridge(0x1022);
    record();
    CHardwareMonitor& monitor = attach(new Nuvoton_NCT6683_HardwareMonitor);
    EXPECT_STREQ(monitor.m_pVoltageLabels[0].label, "VIN0");
    EXPECT_STREQ(monitor.m_pTemperatureLabels[0].label, "TMPIN0");
    EXPECT_EQ(monitor.GetSensorList(0xFFFFFFFF), nullptr);
    EXPECT_TRUE(pagedPortAccesses().empty());
}

} // namespace
} // namespace vexa::test
