// What the tests of the platform sources share: a machine built from a
// manifest (and further image files) with the stand-in driver, the
// monitoring interface on it, and lookups of the monitors it made.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "tests/sdk/system/acpi_test_support.h"

class CSensor;

namespace vexa::test {

class PlatformSourceTest : public AcpiOnMachine {
protected:
    void TearDown() override;

    // Boots the image and gives the root a mainboard device.
    void BootWith(const AcpiImage& image);
    // The interface, not initialised (owned by the fixture).
    CHardwareMonitorInterface& Monitors(uint32_t options = 0);
    // The monitors of that kind in list order.
    std::vector<CHardwareMonitor*> MonitorsOfKind(uint32_t kind);
    // The monitor's sensor of that class and index (creation order), or null.
    static CSensor* SensorOf(CHardwareMonitor* monitor, uint32_t classCode, uint32_t index);
    // Dump (full) of the interface as text.
    std::string Report();

private:
    std::unique_ptr<CHardwareMonitorInterface> interface_;
};

} // namespace vexa::test
