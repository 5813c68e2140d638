#include "sdk/monitor/thinkpad_monitor.h"

#include <initializer_list>

#include "sdk/core/helpers.h"
#include "sdk/monitor/embedded_controller.h"

namespace {

constexpr uint32_t kMutexWaitMs = 1000;
constexpr uint8_t kFanLow = 0x84, kFanHigh = 0x85;
constexpr uint8_t kFirstRun = 0x78, kSecondRun = 0xC0;
constexpr uint8_t kFirstRunCount = 8, kTemperatureCount = 12;

constexpr _stSensorLabel kTemperatures[] = {
    {"CPU", 0x1000200, 3}, {"APS", 0x201, 3}, {"PCM", 0x202, 3}, {"GPU", 0x203, 3},
    {"BAT", 0x204, 3},     {"X7D", 0x205, 3}, {"BAT", 0x206, 3}, {"X7F", 0x207, 3},
    {"BUS", 0x208, 3},     {"PCI", 0x209, 3}, {"PWR", 0x20A, 3}, {"XC3", 0x20B, 3},
    {nullptr, kLabelTableEnd, 0},
};
constexpr _stSensorLabel kFans[] = {{"FANIN0", 0x400, 2}, {nullptr, kLabelTableEnd, 0}};

uint8_t TemperatureRegister(uint32_t index) {
    return index < kFirstRunCount ? uint8_t(kFirstRun + index) : uint8_t(kSecondRun + index - kFirstRunCount);
}

bool AbsentTemperature(uint8_t value) { return value == 0 || value == 0x80 || value == 0xFF; }

bool ReadFanSpeed(uint32_t& speed) {
    uint8_t low = 0, high = 0;
    if (!ECReadStable(kFanLow, &low) || !ECReadStable(kFanHigh, &high)) return false;
    speed = uint32_t(high) << 8 | low;
    return true;
}

// Adds a sensor whose name is the caller's, without labelling yet.
void Add(CHardwareMonitor* monitor, CSensor* sensor, const char* format, uint32_t index) {
    FormatString(sensor->m_szName, sizeof sensor->m_szName, format, int(index));
    monitor->AddSensor(sensor);
}

} // namespace

Thinkpad_T43_HardwareMonitor::Thinkpad_T43_HardwareMonitor()
    : CHardwareMonitor(MONITOR_CHIP, 0x10140043), m_Mutex("Access_Thinkpad_EC") {
    FormatString(m_szName, sizeof m_szName, "%s", "Thinkpad Hardware Monitor");
    m_pTemperatureLabels = kTemperatures;
    m_pFanLabels = kFans;
}

int Thinkpad_T43_HardwareMonitor::CreateSensors() {
    if (m_bCreated) return 1;
    SharedControllerTurn turn(m_Mutex, kMutexWaitMs);
    if (!turn) return 0;
    int created = 0;
    uint32_t speed = 0;
    if (ReadFanSpeed(speed)) {
        Add(this, new CFanSensor(0), "FANIN%d", 0);
        ++created;
    }
    // Each run ends at its first register that does not hold a temperature.
    for (uint32_t first : {0u, uint32_t(kFirstRunCount)}) {
        const uint32_t end = first == 0 ? kFirstRunCount : kTemperatureCount;
        for (uint32_t index = first; index < end; ++index) {
            uint8_t value = 0;
            if (!ECReadStable(TemperatureRegister(index), &value) || AbsentTemperature(value)) break;
            Add(this, new CTemperatureSensor(uint8_t(index)), "TMPIN%d", index);
            ++created;
        }
    }
    if (created) ApplySensorLabels();
    m_bCreated = true;
    return created ? 1 : 0;
}

int Thinkpad_T43_HardwareMonitor::Update() {
    SharedControllerTurn turn(m_Mutex, kMutexWaitMs);
    if (!turn) return 0;
    uint32_t speed = 0;
    if (CSensor* fan = FindSensorById(SENSOR_FAN); fan && ReadFanSpeed(speed)) fan->m_dwRawValue = speed;
    for (uint32_t index = 0; index < kTemperatureCount; ++index) {
        CSensor* sensor = FindSensorById(SENSOR_TEMPERATURE | index);
        uint8_t value = 0;
        if (sensor && ECReadStable(TemperatureRegister(index), &value) && value != 0 && value != 0x80 && value <= 254)
            sensor->m_dwRawValue = value;
    }
    ApplySensorFormulas();
    return 1;
}
