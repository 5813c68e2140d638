// What the monitoring tests share: machines built from super-I/O chips
// (the models of machine/devices, kept at hand to look at what the chips
// were left with), the domain's interface on the root object, a mainboard
// with a chosen board key, and the report text of a section.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/devices/superio_chip.h"
#include "machine/devices/superio_monitor.h"
#include "machine/superio_image.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "tests/sdk/hw/access_test_support.h"

namespace vexa::test {

// A chip on its configuration ports and, when given, its monitor block.
struct ChipOnPorts {
    machine::SuperIoChipSettings chip;
    std::optional<machine::SuperIoMonitorSettings> monitor;
};

// A monitor block at `indexPort` whose bank 0 holds the registers given
// (0xFF elsewhere); with `banked`, register 0x4E selects the bank.
machine::SuperIoMonitorSettings MonitorBlock(uint16_t indexPort, const std::map<uint8_t, uint8_t>& registers,
                                             bool banked = false);

// The W83667HG of the ASUS P6T SE register dump at port 0x2E.
ChipOnPorts winbondW83667HG();
// A Winbond-protocol chip at 0x2E from a register dump below tests/data
// whose monitor device has base 0x100.
ChipOnPorts winbondChipFromDump(const std::string& dataFile);

class MonitorTest : public AccessTest {
protected:
    void TearDown() override;

    // A machine with these chips; their models stay reachable.
    void startWithChips(std::vector<ChipOnPorts> chips);
    machine::SuperIoChip& chip(size_t i) { return *chips_.at(i); }
    machine::SuperIoMonitor* monitorBlock(size_t i) { return monitors_.at(i); }

    // A mainboard device with that board key and byte sum in the root's list.
    void useBoard(uint32_t boardHash, uint32_t byteSum = 0xFFFFFFFF);
    // The domain's interface, not yet initialised (owned by the fixture).
    CHardwareMonitorInterface& monitors(uint32_t options = 0);
    // Dump (full) or Dump2 of the interface as text.
    std::string report(bool full);

private:
    std::vector<machine::SuperIoChip*> chips_;
    std::vector<machine::SuperIoMonitor*> monitors_;
    std::unique_ptr<CHardwareMonitorInterface> interface_;
};

} // namespace vexa::test
