#include "sdk/monitor/hardware_monitor_interface.h"

#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/monitor/chip_monitor_factory.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/monitor_board_facts.h"

namespace {

// Machines on which the domain is not started at all.
bool RefusedMachine() {
    const char* product = SystemProductName();
    if (!product[0]) return false;
    return TextHashIsOneOf(product, {0xCA9CD788, 0xF3C54BCD}) || StringHash(SystemSerialNumber()) == 0x4B6E71;
}

// Boards on which no chip is probed (super-I/O, ISA, SMBus, platform).
bool ChipProbingSkipped(uint32_t boardHash) {
    return boardHash == 0x2248 || boardHash == 0x2290 || boardHash == 0x22A00 || boardHash == 0x539AA0;
}

template <typename Visit>
void ForEachLPCIO(Visit visit) {
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_LPC_IO) visit(static_cast<CLPCIO*>(device));
}

} // namespace

CHardwareMonitorInterface::CHardwareMonitorInterface(uint32_t, uint32_t, uint32_t options)
    : CInterface(INTERFACE_HARDWARE_MONITOR), m_pMonitors(new CTList<CHardwareMonitor>), m_dwOptions(options),
      m_pRegistry(&BuiltInChipMonitors()) {}

CHardwareMonitorInterface::~CHardwareMonitorInterface() {
    m_pMonitors->DeleteAll();
    delete m_pMonitors;
}

int CHardwareMonitorInterface::Init() {
    if (RefusedMachine()) return 0;
    if (!ChipProbingSkipped(MonitorBoardHash())) {
        DetectSuperIO();
        ProbeChips();
    }
    ProbeDevices();
    CTListIterator<CHardwareMonitor> it(m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext()) {
        monitor->CreateSensors();
        monitor->Poll(1);
    }
    return 1;
}

void CHardwareMonitorInterface::Close() {
    CTListIterator<CHardwareMonitor> it(m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext()) monitor->Close();
}

void CHardwareMonitorInterface::Update() {
    AttachDriveSensors();
    CTListIterator<CHardwareMonitor> it(m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext()) monitor->Poll(0);
}

int CHardwareMonitorInterface::CollectMonitors(CRegisterSpace* space, CTList<CHardwareMonitor>* out, uint32_t kind) {
    if (out) out->RemoveAll();
    int count = 0;
    CTListIterator<CHardwareMonitor> it(m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext()) {
        if (monitor->m_pRegisterSpace != space || (kind != 0xFFFFFFFF && monitor->m_dwKind != kind)) continue;
        ++count;
        if (out) out->AddTail(monitor);
    }
    return count;
}

// The "LPCIO" section with every super-I/O chip, then the "Hardware
// Monitors" section with every monitor; the full form with configuration
// registers and register dumps.
void CHardwareMonitorInterface::WriteSections(CReportGenerator* report, bool full) {
    if (!report) return;
    report->PrintTitle("LPCIO");
    ForEachLPCIO([report, full](CLPCIO* chip) {
        if (full) chip->Dump(report);
        else chip->Dump2(report);
        report->PrintBlankLine();
    });
    report->PrintSectionTitle("Hardware Monitors");
    CTListIterator<CHardwareMonitor> it(m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext()) {
        if (full) monitor->DumpFull(report);
        else monitor->DumpBrief(report);
        report->PrintBlankLine();
    }
}

void CHardwareMonitorInterface::Dump(CReportGenerator* report) { WriteSections(report, true); }

void CHardwareMonitorInterface::Dump2(CReportGenerator* report) { WriteSections(report, false); }
