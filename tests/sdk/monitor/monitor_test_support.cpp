#include "tests/sdk/monitor/monitor_test_support.h"

#include <fstream>
#include <sstream>

#include "sdk/core/device.h"
#include "sdk/core/report_generator.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

machine::SuperIoMonitorSettings MonitorBlock(uint16_t indexPort, const std::map<uint8_t, uint8_t>& registers,
                                             bool banked) {
    machine::SuperIoMonitorSettings monitor;
    monitor.indexPort = indexPort;
    if (banked) monitor.bankRegister = 0x4E;
    machine::SuperIoMonitorSettings::Bank bank;
    bank.fill(0xFF);
    for (const auto& [reg, value] : registers) bank[reg] = value;
    monitor.banks[0] = bank;
    return monitor;
}

ChipOnPorts winbondW83667HG() { return winbondChipFromDump("superio/w83667hg_p6t_se.regs"); }

ChipOnPorts winbondChipFromDump(const std::string& dataFile) {
    std::ifstream file(dataPath(dataFile));
    std::stringstream text;
    text << file.rdbuf();
    machine::SuperIoRegisters registers;
    std::string error;
    EXPECT_TRUE(machine::parseSuperIoRegisters(text.str(), registers, error)) << error;
    ChipOnPorts chip;
    chip.chip.protocol = machine::SuperIoProtocol::Winbond;
    chip.chip.configPort = 0x2E;
    chip.chip.monitorDevice = 0x0B;
    for (const auto& [reg, value] : registers.config)
        (reg < machine::SuperIoChip::kFirstDeviceRegister ? chip.chip.globalRegisters
                                                           : chip.chip.deviceRegisters)[reg] = value;
    machine::SuperIoMonitorSettings monitor;
    monitor.indexPort = 0x105;  // base 0x100 (registers 0x60/0x61) + 5
    monitor.bankRegister = 0x4E;
    monitor.banks = registers.banks;
    chip.monitor = monitor;
    return chip;
}

void MonitorTest::TearDown() {
    interface_.reset();
    AccessTest::TearDown();
}

void MonitorTest::startWithChips(std::vector<ChipOnPorts> chips) {
    std::vector<std::unique_ptr<machine::PortDevice>> devices;
    for (ChipOnPorts& wanted : chips) {
        auto chip = std::make_unique<machine::SuperIoChip>(wanted.chip);
        chips_.push_back(chip.get());
        devices.push_back(std::move(chip));
        machine::SuperIoMonitor* block = nullptr;
        if (wanted.monitor) {
            auto monitor = std::make_unique<machine::SuperIoMonitor>(*wanted.monitor);
            block = monitor.get();
            devices.push_back(std::move(monitor));
        }
        monitors_.push_back(block);
    }
    startWithPorts(std::move(devices));
}

void MonitorTest::useBoard(uint32_t boardHash, uint32_t byteSum) {
    auto* board = new CMainboard("test board");
    board->m_dwBoardHash = boardHash;
    board->m_dwBoardByteSum = byteSum;
    sdk().m_pDevices->AddTail(board);
    sdk().m_pMainboard = board;
}

CHardwareMonitorInterface& MonitorTest::monitors(uint32_t options) {
    interface_ = std::make_unique<CHardwareMonitorInterface>(0, 0, options);
    return *interface_;
}

std::string MonitorTest::report(bool full) {
    CReportGenerator_Buffer buffer;
    if (full) interface_->Dump(&buffer);
    else interface_->Dump2(&buffer);
    return buffer.GetText();
}

} // namespace vexa::test
