// The hardware-monitor blocks of Fintek super-I/O chips: 8-bit voltages
// (8 mV per count) and temperatures (signed degrees), 16-bit fan counts
// (high byte first; rpm = 1,500,000 / count) and, on the F71882F family
// and the F71808E, PWM outputs. The members differ in register map, input
// counts, which readings mean "absent" and when sensors may appear; one
// base reads all of them from a layout each member chooses.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanPwmSensor;
class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

// How a member makes and refreshes its sensors.
enum class FintekScheme : uint8_t {
    // F71805F, F71872F: made at creation only; updates refresh what exists.
    Legacy,
    // F71882F, F81865F: made at creation with their readings; fans (and
    // PWM outputs) may appear later.
    StoreAtCreation,
    // F71808E: as above, but the first poll stores the readings.
    ReadingsAtFirstPoll,
    // F8000, F71811: every update reads every input with its range test.
    EveryUpdate,
};

struct FintekLayout {
    FintekScheme scheme;
    uint8_t firstVoltage, voltages;
    uint8_t temperatureRegisters[3];
    uint8_t temperatures;
    uint8_t fanRegisters[5];  // the high byte's; the low byte's follows
    uint8_t fans;
    uint8_t pwmRegisters[4];
    uint8_t pwms;
};

// A member's default label tables.
struct FintekLabels {
    const _stVoltageLabel* voltages;
    const _stSensorLabel* temperatures;
    const _stSensorLabel* fans;
};

class Fintek_HardwareMonitor : public CHardwareMonitor {
public:
    static constexpr float kFanConstant = 1.5e6f;

    int Update() override;
    int CreateSensors() override;

protected:
    Fintek_HardwareMonitor(uint32_t id, const char* name, const FintekLayout& layout, const FintekLabels& labels);

    // Writes a duty of `percent` to the PWM output of the sensor that
    // (class code, index) finds, when it is one of this monitor's.
    void WritePwmDuty(uint32_t index, uint32_t classCode, float percent);

    FintekLayout m_Layout;

private:
    bool VoltageInRange(uint8_t value) const;
    bool TemperatureInRange(uint8_t value) const;
    bool IsNoFanCount(uint32_t count) const;
    // Every input with its range test; a sensor is made when missing and,
    // with `store`, given its reading.
    void ReadInRange(bool store, bool clearStoppedFans);
    // Existing voltages and temperatures without range tests.
    void RefreshExisting();
    // Fan counts (made when missing, unless `existingOnly`) and PWM outputs.
    void ReadFans(bool existingOnly);
    void ReadPwms(bool store);

    CVoltageSensor* m_pVoltages[10] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[5] = {};
    CFanPwmSensor* m_pPwms[4] = {};
};

class Fintek_F71805F_HardwareMonitor : public Fintek_HardwareMonitor {
public:
    Fintek_F71805F_HardwareMonitor();
};

class Fintek_F71872F_HardwareMonitor : public Fintek_HardwareMonitor {
public:
    Fintek_F71872F_HardwareMonitor();
};

// Also the F71862F, F71882FG, F71889F, F71869, F71889ED, F71889A and
// F71868AD, by model.
class Fintek_F71882F_HardwareMonitor : public Fintek_HardwareMonitor {
public:
    explicit Fintek_F71882F_HardwareMonitor(int32_t model);
    int CreateSensors() override;
    int SetSensorValue(uint32_t index, uint32_t classCode, float percent) override;

    int32_t m_nModel;

private:
    void ApplyBoardQuirks();
};

class Fintek_F71808E_HardwareMonitor : public Fintek_HardwareMonitor {
public:
    Fintek_F71808E_HardwareMonitor();
    int SetSensorValue(uint32_t index, uint32_t classCode, float percent) override;
};

class Fintek_F8000_HardwareMonitor : public Fintek_HardwareMonitor {
public:
    Fintek_F8000_HardwareMonitor();
};

class Fintek_F81865F_HardwareMonitor : public Fintek_HardwareMonitor {
public:
    Fintek_F81865F_HardwareMonitor();
    // Accepted and ignored: this chip's outputs are not set here.
    int SetSensorValue(uint32_t, uint32_t, float) override { return 1; }
};

// Keeps the base's name with its id.
class Fintek_F71811_HardwareMonitor : public Fintek_HardwareMonitor {
public:
    Fintek_F71811_HardwareMonitor();
};
