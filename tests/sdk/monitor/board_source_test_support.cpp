#include "tests/sdk/monitor/board_source_test_support.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/system/dmi_interface.h"
#include "tests/sdk/system/dmi_test_support.h"

namespace vexa::test {

void BoardSourceTest::startPlatform(const SmbiosNames& names,
                                       std::vector<std::unique_ptr<machine::PortDevice>> devices,
                                       machine::SimulatedHardware hardware) {
    std::string error;
    for (auto& device : devices) EXPECT_TRUE(hardware.ports.attach(std::move(device), error)) << error;
    machine::SmbiosData smbios;
    smbios.majorVersion = 2;
    smbios.minorVersion = 6;
    smbios.table = Concatenate({StructureBuilder(1, 0x1B, 1)
                                    .String(4, names.systemMaker)
                                    .String(5, names.systemProduct)
                                    .Bytes(),
                                StructureBuilder(2, 0x0F, 2)
                                    .String(4, names.boardMaker)
                                    .String(5, names.boardProduct)
                                    .Bytes(),
                                EndOfTable()});
    hardware.smbios = smbios;
    start(std::make_unique<machine::SimulatedMachine>(std::move(hardware)));
    ASSERT_TRUE(sdk().CreateDMIInterface());
    if (!names.boardProduct.empty())
        useBoard(StringHash(names.boardProduct.c_str()), StringByteSum(names.boardProduct.c_str()));
}

CHardwareMonitorInterface& BoardSourceTest::initialised() {
    domain_ = &monitors();
    EXPECT_EQ(domain_->Init(), 1);
    return *domain_;
}

CHardwareMonitor* BoardSourceTest::monitorWithId(uint32_t id) {
    if (!domain_) return nullptr;
    CTListIterator<CHardwareMonitor> it(domain_->m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext())
        if (monitor->m_dwId == id) return monitor;
    return nullptr;
}

CSensor* BoardSourceTest::sensor(CHardwareMonitor* monitor, uint32_t classCode, uint32_t index) {
    return monitor ? monitor->FindSensorById(classCode | index) : nullptr;
}

double BoardSourceTest::elapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace vexa::test
