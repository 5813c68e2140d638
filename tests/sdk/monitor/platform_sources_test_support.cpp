#include "tests/sdk/monitor/platform_sources_test_support.h"

#include "sdk/core/device.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"

namespace vexa::test {

void PlatformSourceTest::TearDown() {
    // The monitors go before the root whose lists own their sensors.
    if (interface_) interface_->Close();
    interface_.reset();
    AcpiOnMachine::TearDown();
}

void PlatformSourceTest::BootWith(const AcpiImage& image) {
    Boot(image);
    auto* board = new CMainboard("test board");
    GetSDK()->m_pDevices->AddTail(board);
    GetSDK()->m_pMainboard = board;
}

CHardwareMonitorInterface& PlatformSourceTest::Monitors(uint32_t options) {
    interface_ = std::make_unique<CHardwareMonitorInterface>(0, 0, options);
    return *interface_;
}

std::vector<CHardwareMonitor*> PlatformSourceTest::MonitorsOfKind(uint32_t kind) {
    std::vector<CHardwareMonitor*> found;
    CTListIterator<CHardwareMonitor> it(interface_->m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext())
        if (monitor->m_dwKind == kind) found.push_back(monitor);
    return found;
}

CSensor* PlatformSourceTest::SensorOf(CHardwareMonitor* monitor, uint32_t classCode, uint32_t index) {
    CTListIterator<CSensor> it(monitor->m_pAllSensors);
    for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext())
        if ((sensor->m_dwId & 0xFFFF00) == classCode && sensor->GetIndex() == index) return sensor;
    return nullptr;
}

std::string PlatformSourceTest::Report() {
    CReportGenerator_Buffer buffer;
    interface_->Dump(&buffer);
    return buffer.GetText();
}

} // namespace vexa::test
