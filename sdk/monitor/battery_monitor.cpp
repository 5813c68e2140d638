#include "sdk/monitor/battery_monitor.h"

#include <cstring>

#include "platform/battery_ioctl.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/sync.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/late_sensor.h"

namespace {

constexpr uint32_t kBatteryDivider = 3;
constexpr uint32_t kRemovableBatteryDivider = 2;

template <typename In, typename Out>
bool Ask(HANDLE device, DWORD code, In& in, Out& out) {
    DWORD returned = 0;
    return DeviceIoControl(device, code, &in, sizeof in, &out, sizeof out, &returned, nullptr) &&
           returned == sizeof out;
}

void Store(CSensor* sensor, uint32_t raw, float value) {
    sensor->m_dwRawValue = raw;
    sensor->SetValue(value, 1);
}

} // namespace

bool ReadBatteryInformation(void* device, uint32_t* tag, BATTERY_INFORMATION* information) {
    ULONG wait = 0;
    if (!Ask(device, IOCTL_BATTERY_QUERY_TAG, wait, *tag) || *tag == 0) return false;
    BATTERY_QUERY_INFORMATION query {*tag, BatteryInformation, 0};
    return Ask(device, IOCTL_BATTERY_QUERY_INFORMATION, query, *information);
}

CBattery::CBattery(const char* name) : CCompositeDevice(DEVICE_BATTERY) {
    FormatString(m_szName, sizeof m_szName, "%s", name ? name : "");
}

CBatteryHardwareMonitor::CBatteryHardwareMonitor(const char* name) : CHardwareMonitor(MONITOR_BATTERY, 0xFFFFFFFF) {
    FormatString(m_szName, sizeof m_szName, "%s", name ? name : "");
    m_dwUpdateDivider = kBatteryDivider;
}

RemovableBatteryHardwareMonitor::RemovableBatteryHardwareMonitor(const char* name, const char* devicePath)
    : CBatteryHardwareMonitor(name) {
    m_dwUpdateDivider = kRemovableBatteryDivider;
    FormatString(m_szDevicePath, sizeof m_szDevicePath, "%s", devicePath ? devicePath : "");
}

struct RemovableBatteryHardwareMonitor::Reading {
    BATTERY_INFORMATION information {};
    BATTERY_STATUS status {};
    bool hasStatus = false;
    bool relative() const { return information.Capabilities & BATTERY_CAPACITY_RELATIVE; }
};

template <typename Sensor>
CSensor* RemovableBatteryHardwareMonitor::Materialise(CSensor*& slot, CSensor* CBattery::*ownerSlot, uint8_t index,
                                                      const char* name) {
    if (slot) return slot;
    MaterialiseSensor<Sensor>(*this, slot, index, name);
    if (m_pOwnerDevice && (m_pOwnerDevice->m_dwKind & ~DEVICE_COMPOSITE) == DEVICE_BATTERY)
        static_cast<CBattery*>(m_pOwnerDevice)->*ownerSlot = slot;
    return slot;
}

// The capacities, wear and cycles; a battery that counts in percent has
// none of them.
void RemovableBatteryHardwareMonitor::TakeInformation(const Reading& reading) {
    if (reading.relative()) return;
    const BATTERY_INFORMATION& info = reading.information;
    Store(Materialise<CCapacitySensor>(m_pDesignedCapacity, &CBattery::m_pDesignedCapacity, 0, "Designed Capacity"),
          info.DesignedCapacity, float(info.DesignedCapacity));
    Store(Materialise<CCapacitySensor>(m_pFullChargeCapacity, &CBattery::m_pFullChargeCapacity, 1,
                                       "Full Charge Capacity"),
          info.FullChargedCapacity, float(info.FullChargedCapacity));
    // A battery that reports no designed capacity has no wear to tell.
    if (info.DesignedCapacity != 0) {
        uint32_t level = uint32_t(double(info.FullChargedCapacity) * 100.0 / double(info.DesignedCapacity));
        if (level > 100) level = 100;
        Store(Materialise<CLevelSensor>(m_pWearLevel, &CBattery::m_pWearLevel, 0, "Wear Level"), level,
              float(100 - level));
    }
    if (info.CycleCount != 0)
        Materialise<CCounterSensor>(m_pCycleCount, &CBattery::m_pCycleCount, 0, "Cycles Count")->m_dwRawValue =
            info.CycleCount;
}

void RemovableBatteryHardwareMonitor::TakeStatus(const Reading& reading) {
    const BATTERY_STATUS& status = reading.status;
    if (status.Capacity != BATTERY_UNKNOWN_VALUE) {
        if (reading.relative())
            Store(Materialise<CLevelSensor>(m_pChargeLevel, &CBattery::m_pChargeLevel, 1, "Charge Level"),
                  status.Capacity, float(status.Capacity));
        else
            Store(Materialise<CCapacitySensor>(m_pCurrentCapacity, &CBattery::m_pCurrentCapacity, 2,
                                               "Current Capacity"),
                  status.Capacity, float(status.Capacity));
    }
    if (status.Voltage != BATTERY_UNKNOWN_VALUE)
        Store(Materialise<CVoltageSensor>(m_pVoltage, &CBattery::m_pVoltage, 0, "Current Voltage"), status.Voltage,
              float(status.Voltage) / 1000.0f);
    // Without a full-charge capacity the charge level has no base.
    if (m_pCurrentCapacity && m_pFullChargeCapacity && m_pFullChargeCapacity->m_fValue > 0.0f) {
        const float level = m_pCurrentCapacity->m_fValue * 100.0f / m_pFullChargeCapacity->m_fValue;
        CSensor* charge = Materialise<CLevelSensor>(m_pChargeLevel, &CBattery::m_pChargeLevel, 1, "Charge Level");
        charge->SetValue(level, 1);
        charge->m_dwRawValue = uint32_t(level);
    }
}

int RemovableBatteryHardwareMonitor::Update() {
    HANDLE device = CreateFileA(m_szDevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE) return 1;
    ULONG tag = 0;
    Reading reading;
    const bool usable = ReadBatteryInformation(device, &tag, &reading.information) &&
                        (reading.information.Capabilities & BATTERY_SYSTEM_BATTERY) &&
                        !(reading.information.Capabilities & BATTERY_IS_SHORT_TERM);
    if (usable) {
        TakeInformation(reading);
        BATTERY_WAIT_STATUS waitStatus {};
        waitStatus.BatteryTag = tag;
        if (Ask(device, IOCTL_BATTERY_QUERY_STATUS, waitStatus, reading.status)) TakeStatus(reading);
    }
    CloseHandle(device);
    return 1;
}
