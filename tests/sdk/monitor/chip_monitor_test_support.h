// What the tests of the super-I/O chip monitors share: a chip at port 0x2E
// whose hardware-monitor device sits at base 0x290 (index port 0x295) with
// the banks of registers given, the domain initialised on it, the sensors
// by label and the registers the monitor wrote.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "tests/sdk/monitor/monitor_test_support.h"

class CSensor;

namespace vexa::test {

using BankRegisters = std::map<unsigned, std::map<uint8_t, uint8_t>>;

constexpr uint16_t kMonitorIndexPort = 0x295;

// A reading a test expects of a labelled sensor; kNoSensor: the sensor
// must not exist.
constexpr float kNoSensor = -1000.0f;
struct Reading {
    uint32_t classCode;
    const char* label;
    float value;
};

// `first` followed by `more`.
std::vector<Reading> Joined(std::vector<Reading> first, const std::vector<Reading>& more);

// A chip of `protocol` with global registers `global` (identification)
// and an active monitor device at 0x290; the banks hold the registers
// given and 0xFF elsewhere; with `banked` register 0x4E selects the bank.
ChipOnPorts ChipWithMonitor(machine::SuperIoProtocol protocol, std::map<uint8_t, uint8_t> global,
                            const BankRegisters& banks, bool banked);

// The expected values of a register dump (tests/data/superio/*.expect).
std::map<std::string, std::string> ReadExpectations(const std::string& dataFile);

class ChipMonitorTest : public MonitorTest {
protected:
    void TearDown() override;
    // A monitor made here on the index/data pair at 0x295 with a request of
    // its own, created and read once as the domain's Init does; owned by
    // the fixture.
    CHardwareMonitor& attach(CHardwareMonitor* monitor);
    // The domain's Init on the chips started; its only monitor.
    CHardwareMonitor& initSingleMonitor(uint32_t boardHash = 0x12345678);
    // The sensor of that class labelled `label`; null when there is none.
    static CSensor* sensorLabelled(CHardwareMonitor& monitor, uint32_t classCode, const char* label);
    // Each reading's sensor has that value (within `tolerance`), or is absent.
    static void expectReadings(CHardwareMonitor& monitor, const std::vector<Reading>& readings,
                               float tolerance = 1e-3f);
    // The (register, value) pairs written through the index/data pair at
    // `indexPort` since recording began, in order.
    std::vector<std::pair<uint8_t, uint8_t>> registerWrites(uint16_t indexPort = kMonitorIndexPort);

private:
    std::unique_ptr<CHardwareMonitor> attached_;
    std::unique_ptr<CLPCRegisterSpace> space_;
    std::unique_ptr<CPortIOSpace> ports_;
};

} // namespace vexa::test
