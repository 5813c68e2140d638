#include "tests/sdk/monitor/chip_monitor_test_support.h"

#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "sdk/core/sensor.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/monitor/hardware_monitor.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

ChipOnPorts ChipWithMonitor(machine::SuperIoProtocol protocol, std::map<uint8_t, uint8_t> global,
                            const BankRegisters& banks, bool banked) {
    ChipOnPorts chip;
    chip.chip.protocol = protocol;
    chip.chip.configPort = 0x2E;
    chip.chip.monitorDevice = machine::superIoMonitorDevice(protocol);
    chip.chip.globalRegisters = std::move(global);
    chip.chip.deviceRegisters = {{0x30, 0x01}, {0x60, 0x02}, {0x61, 0x90}};
    machine::SuperIoMonitorSettings monitor;
    monitor.indexPort = kMonitorIndexPort;
    if (banked) monitor.bankRegister = 0x4E;
    for (const auto& [number, registers] : banks) {
        machine::SuperIoMonitorSettings::Bank bank;
        bank.fill(0xFF);
        for (const auto& [reg, value] : registers) bank[reg] = value;
        monitor.banks[number] = bank;
    }
    chip.monitor = monitor;
    return chip;
}

std::vector<Reading> Joined(std::vector<Reading> first, const std::vector<Reading>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

std::map<std::string, std::string> ReadExpectations(const std::string& dataFile) {
    std::map<std::string, std::string> values;
    std::ifstream file(dataPath(dataFile));
    for (std::string line; std::getline(file, line);) {
        const size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

void ChipMonitorTest::TearDown() {
    attached_.reset();
    MonitorTest::TearDown();
    space_.reset();
    ports_.reset();
}

CHardwareMonitor& ChipMonitorTest::attach(CHardwareMonitor* monitor) {
    ports_ = std::make_unique<CPortIOSpace>(kMonitorIndexPort - 5, 0xFFFFFFFF);
    space_ = std::make_unique<CLPCRegisterSpace>(ports_.get(), 5, 6);
    attached_.reset(monitor);
    monitor->m_pRegisterSpace = space_.get();
    monitor->m_pRequest = new CLPCRequest;
    monitor->CreateSensors();
    monitor->Poll(1);
    return *monitor;
}

CHardwareMonitor& ChipMonitorTest::initSingleMonitor(uint32_t boardHash) {
    useBoard(boardHash);
    CHardwareMonitorInterface& domain = monitors();
    EXPECT_EQ(domain.Init(), 1);
    EXPECT_EQ(domain.m_pMonitors->GetCount(), 1u);
    return *domain.m_pMonitors->m_pHead->m_pPayload;
}

CSensor* ChipMonitorTest::sensorLabelled(CHardwareMonitor& monitor, uint32_t classCode, const char* label) {
    CTListIterator<CSensor> it(monitor.GetSensorList(classCode));
    for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext())
        if (std::strcmp(sensor->m_szName, label) == 0) return sensor;
    return nullptr;
}

void ChipMonitorTest::expectReadings(CHardwareMonitor& monitor, const std::vector<Reading>& readings,
                                     float tolerance) {
    for (const Reading& r : readings) {
        CSensor* sensor = sensorLabelled(monitor, r.classCode, r.label);
        if (r.value == kNoSensor) {
            EXPECT_EQ(sensor, nullptr) << r.label;
            continue;
        }
        if (!sensor) {
            ADD_FAILURE() << "no sensor " << r.label;
            continue;
        }
        EXPECT_NEAR(sensor->m_fValue, r.value, tolerance) << r.label;
    }
}

std::vector<std::pair<uint8_t, uint8_t>> ChipMonitorTest::registerWrites(uint16_t indexPort) {
    std::vector<std::pair<uint8_t, uint8_t>> writes;
    uint8_t index = 0;
    for (const machine::Access& access : ofKind(hw().accessLog(), machine::AccessKind::Port)) {
        if (access.dir != machine::AccessDir::Write) continue;
        if (access.address == indexPort) index = uint8_t(access.value);
        else if (access.address == indexPort + 1u) writes.emplace_back(index, uint8_t(access.value));
    }
    return writes;
}

} // namespace vexa::test
