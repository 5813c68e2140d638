// What the tests of the platform sensor sources share: a simulated machine
// whose SMBIOS names the system and the mainboard, with device models on
// its ports (kept at hand to look at what they were left with), an SMI
// handler or ACPI tables when a test gives them; the root's DMI interface
// and a mainboard keyed by the baseboard's product name, as the scan makes
// them.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "machine/simulated_machine.h"
#include "tests/sdk/monitor/monitor_test_support.h"

namespace vexa::test {

struct SmbiosNames {
    std::string systemMaker, systemProduct, boardMaker, boardProduct;
};

class BoardSourceTest : public MonitorTest {
protected:
    // Starts the machine: the ports' devices, the SMBIOS tables with the
    // names, the DMI interface and the mainboard (when the board has a name).
    void startPlatform(const SmbiosNames& names, std::vector<std::unique_ptr<machine::PortDevice>> devices,
                       machine::SimulatedHardware hardware = {});
    // Adds a device model and hands back where it lives.
    template <typename Device, typename Settings>
    Device* add(std::vector<std::unique_ptr<machine::PortDevice>>& devices, Settings settings) {
        auto device = std::make_unique<Device>(std::move(settings));
        Device* at = device.get();
        devices.push_back(std::move(device));
        return at;
    }

    // The interface after Init; its monitor of that id, or null.
    CHardwareMonitorInterface& initialised();
    CHardwareMonitor* monitorWithId(uint32_t id);
    // The sensor of the monitor with that class and index, or null.
    static CSensor* sensor(CHardwareMonitor* monitor, uint32_t classCode, uint32_t index);

    // Milliseconds since `start`.
    static double elapsedMs(std::chrono::steady_clock::time_point start);

private:
    CHardwareMonitorInterface* domain_ = nullptr;
};

} // namespace vexa::test
