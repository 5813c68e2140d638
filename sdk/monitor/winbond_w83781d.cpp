#include "sdk/monitor/winbond_w83781d.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/winbond_monitor.h"

namespace {

using namespace winbond;

constexpr uint8_t kLastBank = 2;

// The W83781D and W83783S tables and the AS99127F's differ in the -12V row.
struct ClassicVoltageTable {
    _stVoltageLabel rows[8];
};

constexpr ClassicVoltageTable ClassicVoltages(float minus12a, float minus12b) {
    return {{{"CPU VCore", 0x01000100, 1, 1, 1},
             {"AUX", 0x00000101, 1, 1, 1},
             {"+3.3V", 0x02000102, 1, 1, 1},
             {"+5V", 0x03000103, 2, 34, 50},
             {"+12V", 0x04000104, 2, 28, 10},
             {"-12V", 0x06000105, 1, minus12a, minus12b},
             {"-5V", 0x05000106, 1, -90.9f, 60.4f},
             {nullptr, kLabelTableEnd, 0, 0, 0}}};
}

constexpr ClassicVoltageTable kWinbondVoltages = ClassicVoltages(-210, 60.4f);
constexpr ClassicVoltageTable kAsusVoltages = ClassicVoltages(-240, 60);

constexpr _stSensorLabel kW83783sTemperatures[] = {{"TMPIN0", 0x00000200, 1}, {nullptr, kLabelTableEnd, 0}};

// Voltages, the temperature at 0x27 and the fans of bank 0.
void CreateBankZeroSensors(CHardwareMonitor* monitor, WinbondClassicSensors& sensors) {
    WinbondSelectBank(monitor, 0);
    uint8_t byte = 0xFF;
    for (uint8_t i = 0; i < 7; ++i)
        if (ReadsVoltage(monitor, kFirstVoltage + i, byte)) sensors.voltages[i] = NewVoltage(monitor, i);
    if (ReadsTemperature(monitor, kTemperature0, byte)) sensors.temperatures[0] = NewTemperature(monitor, 0);
    uint32_t exponents[3] = {};
    ReadClassicFanExponents(monitor, exponents, false);
    for (uint8_t fan = 0; fan < 3; ++fan)
        if (ReadsFan(monitor, kFanCounts[fan], byte)) sensors.fans[fan] = NewFan(monitor, fan, exponents[fan]);
}

// Bank 0 as it reads: voltages, temperature 0, fans, the status bit.
void UpdateBankZero(CHardwareMonitor* monitor, WinbondClassicSensors& sensors, CSensor* status) {
    UpdateVoltages(monitor, sensors.voltages, 7, kFirstVoltage, kVoltStep, false);
    StoreRawByte(monitor, sensors.temperatures[0], kTemperature0);
    for (uint8_t fan = 0; fan < 3; ++fan) StoreRawByte(monitor, sensors.fans[fan], kFanCounts[fan]);
    UpdateStatus(monitor, status, kStatusRegister, kStatusBit);
}

} // namespace

// ---- W83781D and AS99127F ----

Winbond_W83781D_HardwareMonitor::Winbond_W83781D_HardwareMonitor()
    : Winbond_W83781D_HardwareMonitor(0x5CA30010, "Winbond W83781D") {}

Winbond_W83781D_HardwareMonitor::Winbond_W83781D_HardwareMonitor(uint32_t id, const char* name)
    : CHardwareMonitor(MONITOR_CHIP, id) {
    FormatString(m_szName, sizeof m_szName, "%s", name);
    m_pVoltageLabels = kWinbondVoltages.rows;
    m_pTemperatureLabels = kThreeTemperatureLabels;
    m_pFanLabels = kThreeFanLabels;
}

Asus_AS99127F_HardwareMonitor::Asus_AS99127F_HardwareMonitor()
    : Winbond_W83781D_HardwareMonitor(0x12C30031, "Asus AS99127F") {
    m_pVoltageLabels = kAsusVoltages.rows;
}

void Winbond_W83781D_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    DumpBankedRegisters(this, report, WinbondSelectBank, kLastBank);
}

int Winbond_W83781D_HardwareMonitor::SetSensorValue(uint32_t index, uint32_t classCode, float) {
    return ResetStatus(this, m_pStatus, index, classCode, WinbondSelectBank, kResetRegister, false);
}

int Winbond_W83781D_HardwareMonitor::CreateSensors() {
    CreateBankZeroSensors(this, m_sensors);
    for (uint8_t bank = 1; bank <= 2; ++bank) {
        WinbondSelectBank(this, bank);
        uint32_t r = 0;
        if (ReadBankedTemperature(this, r) && r != kNineBitAllOnes) m_sensors.temperatures[bank] = NewTemperature(this, bank);
    }
    WinbondSelectBank(this, 0);
    ApplySensorLabels();
    return 1;
}

int Winbond_W83781D_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    UpdateBankZero(this, m_sensors, m_pStatus);
    UpdateBankedTemperatures(this, m_sensors.temperatures, 2, WinbondSelectBank);
    WinbondSelectBank(this, 0);
    ApplySensorFormulas();
    return 1;
}

// ---- W83783S ----

Winbond_W83783S_HardwareMonitor::Winbond_W83783S_HardwareMonitor()
    : Winbond_W83781D_HardwareMonitor(0x5CA30040, "Winbond W83783S") {
    m_pTemperatureLabels = kW83783sTemperatures;
}

int Winbond_W83783S_HardwareMonitor::CreateSensors() {
    CreateBankZeroSensors(this, m_sensors);
    ApplySensorLabels();
    return 1;
}

int Winbond_W83783S_HardwareMonitor::Update() {
    WinbondSelectBank(this, 0);
    UpdateBankZero(this, m_sensors, m_pStatus);
    ApplySensorFormulas();
    return 1;
}

CHardwareMonitor* CreateWinbondW83781D(uint32_t) { return new Winbond_W83781D_HardwareMonitor; }
CHardwareMonitor* CreateWinbondW83783S(uint32_t) { return new Winbond_W83783S_HardwareMonitor; }
CHardwareMonitor* CreateAsusAS99127F(uint32_t) { return new Asus_AS99127F_HardwareMonitor; }
