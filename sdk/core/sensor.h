// One measured quantity of one device: a voltage, temperature, fan speed,
// current, power, fan duty cycle, position, capacity, charge level,
// counter, utilisation or clock speed. Sensors are owned by the root's
// sensor list and attached to their composite device. Readers store the
// value at each update; each class has its own rule for when the value is
// a reading, and prints itself as one report line.
#pragma once

#include <cstdint>

class CReportGenerator;

enum SensorClassCode : uint32_t {
    SENSOR_VOLTAGE = 0x100,
    SENSOR_TEMPERATURE = 0x200,
    SENSOR_FAN = 0x400,
    SENSOR_CURRENT = 0x800,
    SENSOR_POWER = 0x1000,
    SENSOR_FAN_PWM = 0x2000,
    SENSOR_POSITION = 0x10000,
    SENSOR_CAPACITY = 0x20000,
    SENSOR_LEVEL = 0x80000,
    SENSOR_COUNTER = 0x100000,
    SENSOR_UTILIZATION = 0x200000,
    SENSOR_CLOCK_SPEED = 0x400000,
};

// Bits of CSensor::m_dwFlags.
enum SensorFlags : uint32_t {
    SENSOR_FLAG_PLUS_SIGN = 0x1,  // a voltage prints with a leading "+"
};

class CSensor {
public:
    // The value of a voltage, temperature or position sensor before its
    // first reading, and the bounds the minimum and maximum start from.
    static constexpr float kNoReading = -4294967296.0f;
    static constexpr float kMinimumStart = 4294967296.0f;
    static constexpr float kMaximumStart = -4294967296.0f;
    static constexpr uint32_t kNoRawValue = 0xFFFFFFFF;

    // Name empty, the id the class code, no raw reading, no flags, the
    // value and unconverted value -1.0, minimum and maximum reset.
    explicit CSensor(uint32_t classCode);
    virtual ~CSensor() = default;
    CSensor(const CSensor&) = delete;
    CSensor& operator=(const CSensor&) = delete;

    // Whether the value is a reading. A value that is not a number never
    // is; in the base, neither is -1.0.
    virtual bool IsValid() const;
    // One report line: "\tSensor <id>" and the value with the raw reading
    // (and the name) in the base; the typed classes print their own.
    virtual void Dump(CReportGenerator* report);

    // Stores the value; with `track` set and the new value a reading, the
    // minimum and maximum follow it.
    void SetValue(float value, uint32_t track);
    void ResetMinMax();

    // The index byte of the id.
    uint32_t GetIndex() const { return m_dwId & 0xFF; }

    char m_szName[256] = {};            // label text, empty until the owner names it
    uint32_t m_dwId;                    // class code + index; monitors put a role in bits 31-24
    uint32_t m_dwRawValue = kNoRawValue; // the register value of the reading
    uint32_t m_dwFlags = 0;             // SensorFlags
    float m_fUnconvertedValue = -1.0f;  // before the owner's conversion formula
    float m_fValue = -1.0f;
    float m_fMinimum = kMinimumStart;
    float m_fMaximum = kMaximumStart;

protected:
    // A typed sensor's class code plus its index, starting at `value`.
    CSensor(uint32_t classCode, uint8_t index, float value);

    // The typed classes' report line: the label from `labelFormat` with the
    // index (at most 63 characters), the pad, then `reading` when the value
    // is valid or "n.a." when not, " [0x<raw>]" when there is a raw
    // reading and " (<name>)" when there is a name (at most 255 characters
    // in all).
    void DumpReading(CReportGenerator* report, const char* labelFormat, const char* pad, const char* reading) const;
};

class CVoltageSensor : public CSensor {
public:
    explicit CVoltageSensor(uint8_t index) : CSensor(SENSOR_VOLTAGE, index, kNoReading) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;
};

class CTemperatureSensor : public CSensor {
public:
    explicit CTemperatureSensor(uint8_t index) : CSensor(SENSOR_TEMPERATURE, index, kNoReading) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;

    float m_fOffset = 0.0f;  // added by the processor temperature formulas
};

class CFanSensor : public CSensor {
public:
    explicit CFanSensor(uint8_t index) : CSensor(SENSOR_FAN, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;

    uint32_t m_dwDivisor = 2;  // used by the monitors' fan-speed formulas
};

class CCurrentSensor : public CSensor {
public:
    explicit CCurrentSensor(uint8_t index) : CSensor(SENSOR_CURRENT, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;
};

// Power may be computed from an energy counter: the work values keep the
// previous and current counter and time.
class CPowerSensor : public CSensor {
public:
    explicit CPowerSensor(uint8_t index) : CSensor(SENSOR_POWER, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;

    double m_dPreviousEnergy = -1.0;
    double m_dCurrentEnergy = -1.0;
    double m_dPreviousTime = -1.0;
    double m_dCurrentTime = -1.0;
};

class CFanPwmSensor : public CSensor {
public:
    explicit CFanPwmSensor(uint8_t index) : CSensor(SENSOR_FAN_PWM, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;

    uint32_t m_dwControl = 0;  // set by the fan-control monitors
};

class CPositionSensor : public CSensor {
public:
    explicit CPositionSensor(uint8_t index) : CSensor(SENSOR_POSITION, index, kNoReading) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;
};

class CCapacitySensor : public CSensor {
public:
    explicit CCapacitySensor(uint8_t index) : CSensor(SENSOR_CAPACITY, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;
};

class CLevelSensor : public CSensor {
public:
    explicit CLevelSensor(uint8_t index) : CSensor(SENSOR_LEVEL, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;
};

class CCounterSensor : public CSensor {
public:
    explicit CCounterSensor(uint8_t index) : CSensor(SENSOR_COUNTER, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator* report) override;
};

// Utilisation and clock speed are not reported: their Dump writes nothing.
class CUtilizationSensor : public CSensor {
public:
    explicit CUtilizationSensor(uint8_t index) : CSensor(SENSOR_UTILIZATION, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator*) override {}
};

class CClockSpeedSensor : public CSensor {
public:
    explicit CClockSpeedSensor(uint8_t index) : CSensor(SENSOR_CLOCK_SPEED, index, -1.0f) {}
    bool IsValid() const override;
    void Dump(CReportGenerator*) override {}
};
