// The factory every probe hands a recognised chip to, and the rule that
// keeps one request per monitor.
#include "sdk/monitor/chip_monitor_factory.h"

#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/monitor/board_tables.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/hardware_monitor_interface.h"

namespace {

constexpr uint32_t kNoKey = 0xFFFFFFFF;

// A new request for the target of `request`; null for a kind a probe never
// hands on.
CIORequest* RequestForSameTarget(const CIORequest* request) {
    if (!request) return nullptr;
    switch (request->m_dwKind) {
    case IOREQUEST_LPC: return new CLPCRequest;
    case IOREQUEST_PMIO: return new CPMIORequest;
    case IOREQUEST_SMBUS: {
        const auto* smbus = static_cast<const CSMBusRequest*>(request);
        auto* copy = new CSMBusRequest;
        copy->m_byChannel = smbus->m_byChannel;
        copy->m_bySlaveAddress = smbus->m_bySlaveAddress;
        return copy;
    }
    default: return nullptr;
    }
}

} // namespace

uint32_t MonitorBoardHash() {
    const CMainboard* board = GetSDK()->m_pMainboard;
    return board ? board->m_dwBoardHash : kNoKey;
}

bool CHardwareMonitorInterface::MonitorHoldsRequest(const CIORequest* request) {
    if (!request) return false;
    CTListIterator<CHardwareMonitor> it(m_pMonitors);
    for (CHardwareMonitor* monitor = it.GetFirst(); monitor; monitor = it.GetNext())
        if (monitor->m_pRequest == request) return true;
    return false;
}

void CHardwareMonitorInterface::AdoptMonitor(CHardwareMonitor* monitor) {
    if (!monitor) return;
    monitor->m_dwBoardKey = MonitorBoardHash();
    m_pMonitors->AddTail(monitor);
    if (CMainboard* board = GetSDK()->m_pMainboard) monitor->SetOwnerDevice(board);
}

CHardwareMonitor* CHardwareMonitorInterface::CreateIdentifiedMonitor(uint32_t vendor, uint32_t chip,
                                                                     CRegisterSpace* space, CIORequest* request) {
    if (MonitorHoldsRequest(request)) request = RequestForSameTarget(request);
    return CreateChipMonitor(GetSDK()->m_pMainboard, vendor, chip, space, request);
}

// A display adapter as owner gives no key here: the display domain that
// knows its ids is not part of this build.
CHardwareMonitor* CHardwareMonitorInterface::CreateChipMonitor(CDevice* owner, uint32_t vendor, uint32_t chip,
                                                               CRegisterSpace* space, CIORequest* request) {
    uint32_t boardKey = kNoKey, byteSum = kNoKey;
    if (owner && (owner->m_dwKind & ~DEVICE_COMPOSITE) == DEVICE_MAINBOARD) {
        const auto* board = static_cast<const CMainboard*>(owner);
        boardKey = board->m_dwBoardHash;
        byteSum = board->m_dwBoardByteSum;
    }
    const MonitorClass monitorClass = SelectMonitorClass(vendor, chip);
    const ChipMonitorRegistry& registry = m_pRegistry ? *m_pRegistry : BuiltInChipMonitors();
    const ChipMonitorCreator create = registry.creators[static_cast<size_t>(monitorClass)];
    CHardwareMonitor* monitor = monitorClass != MonitorClass::None && create ? create(chip) : nullptr;
    if (monitor) ApplyBoardTables(monitorClass, monitor, boardKey, byteSum, request);
    else monitor = new CHardwareMonitor(MONITOR_CHIP, vendor << 16 | chip);
    monitor->m_dwBoardKey = boardKey;
    monitor->m_pRegisterSpace = space;
    monitor->m_pRequest = request;
    m_pMonitors->AddTail(monitor);
    if (owner && (owner->m_dwKind & DEVICE_COMPOSITE)) monitor->SetOwnerDevice(owner);
    return monitor;
}
