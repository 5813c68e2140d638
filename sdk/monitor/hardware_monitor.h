// The base of every sensor source: a sensor chip behind a register space,
// an embedded controller, a firmware interface, a display adapter, a
// battery, a memory module, a cooler. A monitor keeps its sensors in
// creation order and by class, names them and gives them their role from
// constant label tables (the class defaults, or a board's tables chosen by
// the chip-monitor factory), converts raw readings with a few numbered
// formulas, reads the hardware only on every n-th poll and writes its part
// of the report.
//
// Sensors belong to the root's sensor list; the monitor's lists only refer
// to them. The monitor owns its request; the register space is shared.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class CDevice;
class CIORequest;
class CRegisterSpace;
class CReportGenerator;
class CSensor;

enum MonitorKind : uint32_t {
    MONITOR_CHIP = 0x1,
    MONITOR_ACPI = 0x20,
    MONITOR_MEMORY_MODULE = 0x40,
    MONITOR_USB_COOLER = 0x100,
    MONITOR_BATTERY = 0x200,
    MONITOR_DISPLAY_API = 0x400,
};

// SensorKey: bits 0-7 the index, 8-23 the SensorClassCode, 24-31 the role.
// Lookups compare bits 0-23 only.
constexpr uint32_t kSensorKeyMatchMask = 0x00FFFFFF;
// Ends every label table.
constexpr uint32_t kLabelTableEnd = 0xFFFFFFFF;

// Role bytes the label tables give (bits 24-31 of a SensorKey).
enum SensorRole : uint32_t {
    ROLE_NONE = 0x00,
    ROLE_CPU_CORE = 0x01,          // voltage; temperature: processor; fan: processor fan
    ROLE_PLUS_3V3 = 0x02,          // voltage; temperature: voltage regulator
    ROLE_PLUS_5V = 0x03,           // voltage; temperature: memory
    ROLE_PLUS_12V = 0x04,          // voltage; temperature: platform controller hub
    ROLE_MINUS_5V = 0x05,
    ROLE_MINUS_12V = 0x06,
    ROLE_PLUS_5V_STANDBY = 0x07,
    ROLE_DRAM = 0x08,
    ROLE_CPU_VTT = 0x09,
    ROLE_IOH_CORE = 0x0A,
    ROLE_IOH_PLL = 0x0B,
    ROLE_PLL = 0x0C,
    ROLE_PCH = 0x0D,
    ROLE_SECOND_CPU = 0x40,  // added to a role of the second processor of a two-socket board
};

struct _stVoltageLabel {
    const char* label;
    uint32_t key;      // SensorKey
    uint32_t formula;  // 1-4
    float a, b;
};

struct _stSensorLabel {
    const char* label;
    uint32_t key;      // SensorKey
    uint32_t formula;  // temperatures 1-4, fans 1-2
};

class CHardwareMonitor {
public:
    // The sensor classes with a list of their own, in field order.
    static constexpr uint32_t kClassCodes[13] = {0x100,  0x800,  0x20000, 0x200,   0x400,   0x2000,  0x4000,
                                                 0x1000, 0x8000, 0x10000, 0x40000, 0x80000, 0x100000};
    static constexpr float kDefaultReferenceVoltage = 3.6f;
    static constexpr float kDefaultFanConstant = 1.35e6f;

    // Name "Hardware monitor ID=0x<id>"; no lists, tables, space or request.
    CHardwareMonitor(uint32_t kind, uint32_t id);
    CHardwareMonitor(const CHardwareMonitor&) = delete;
    CHardwareMonitor& operator=(const CHardwareMonitor&) = delete;

    virtual void DumpInfo(CReportGenerator* report);
    virtual void DumpRegisters(CReportGenerator* report);
    virtual void DumpSensors(CReportGenerator* report);
    // No report writer takes keyed lines; nothing is written.
    virtual void DumpSensorsKeyed(void*) {}
    // Reads the hardware into the sensors; the base has nothing to read.
    virtual int Update() { return 0; }
    // Deletes the request, then the list objects.
    virtual ~CHardwareMonitor();
    virtual void DumpFull(CReportGenerator* report);
    virtual void DumpBrief(CReportGenerator* report);
    virtual void DumpKeyed(void* writer) { DumpSensorsKeyed(writer); }
    // Non-zero when the monitor found something to report.
    virtual int CreateSensors() { return 0; }
    virtual void Close() {}
    virtual int SetSensorValue(uint32_t, uint32_t, float) { return 0; }
    virtual int GetControlMode(uint32_t, uint32_t, uint32_t*) { return 0; }
    virtual int SetControlMode(uint32_t, uint32_t, uint32_t) { return 0; }

    // Update when forced, else on every n-th call (the update divider).
    int Poll(int force);

    // Into the monitor's lists, the root's sensor list (which owns it from
    // now on) and the owner device's sensors.
    void AddSensor(CSensor* sensor);
    void AddToSensorLists(CSensor* sensor);
    // Voltages, temperatures and fans: the labelled list when there is
    // one; 0xFFFFFFFF: every sensor; null for an unknown or unused class.
    CTList<CSensor>* GetSensorList(uint32_t classCode);
    CSensor* GetSensor(uint32_t classCode, uint32_t index);
    CSensor* FindSensorById(uint32_t key);

    // 1 on success; 0 without space or request, or when the access fails
    // (a read then leaves 0xFF / 0xFFFF in `value`).
    int ReadRegister(uint8_t reg, uint8_t* value);
    int ReadWordRegister(uint8_t reg, uint16_t* value);
    int WriteRegister(uint8_t reg, uint8_t value);

    // Rebuilds the labelled lists from the tables: each row's sensor gets
    // the row's whole key (with its role) and label.
    void ApplySensorLabels();
    // Converts the readings of the sensors the tables name.
    void ApplySensorFormulas();
    // Only a composite device becomes the owner.
    void SetOwnerDevice(CDevice* device);

    char m_szName[256];
    uint32_t m_dwKind;
    uint32_t m_dwId;
    uint32_t m_dwBoardKey = 0xFFFFFFFF;
    CTList<CSensor>* m_pAllSensors = nullptr;
    CTList<CSensor>* m_pClassLists[13] = {};
    CTList<CSensor>* m_pLabelledVoltages = nullptr;
    CTList<CSensor>* m_pLabelledTemperatures = nullptr;
    CTList<CSensor>* m_pLabelledFans = nullptr;
    float m_fReferenceVoltage = kDefaultReferenceVoltage;
    float m_fFanConstant = kDefaultFanConstant;
    CRegisterSpace* m_pRegisterSpace = nullptr;  // shared
    CIORequest* m_pRequest = nullptr;            // owned
    CDevice* m_pOwnerDevice = nullptr;           // not owned
    uint32_t m_dwUpdateDivider = 1;
    uint32_t m_dwUpdateCounter = 0;
    const _stVoltageLabel* m_pVoltageLabels = nullptr;
    const _stSensorLabel* m_pTemperatureLabels = nullptr;
    const _stSensorLabel* m_pFanLabels = nullptr;

private:
    CTList<CSensor>* ClassList(uint32_t classCode);
    int Access(uint8_t reg, uint32_t operation, uint32_t data);
    void ConvertVoltages();
    void ConvertTemperatures();
    void ConvertFans();
};
