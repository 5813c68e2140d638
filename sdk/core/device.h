// Everything the library detects is a device in the root's flat device
// list, which owns it. Composite devices attach child devices and sensors
// that the root's lists own, so a device tree can be reported without a
// second ownership structure.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class CReportGenerator;
class CSensor;
class CTemperatureSensor;
class CSMBusDevice;
class CModuleInfo;

// Device walkers test a kind with a bit AND, never by equality.
enum DeviceKind : uint32_t {
    DEVICE_PCI = 0x1,
    DEVICE_SMBUS = 0x2,
    DEVICE_PROCESSOR = 0x4,
    DEVICE_LPC_IO = 0x8,
    DEVICE_DRIVE = 0x10,
    DEVICE_DISPLAY_ADAPTER = 0x20,
    DEVICE_BATTERY = 0x80,
    DEVICE_MAINBOARD = 0x400,
    DEVICE_MEMORY_MODULE = 0x800,
    DEVICE_WATER_COOLER = 0x4000,
    DEVICE_COMPOSITE = 0x80000000,
};

class CDevice {
public:
    explicit CDevice(uint32_t kind) : m_dwKind(kind) {}
    virtual ~CDevice() = default;
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    // The device's report lines.
    virtual void Dump(CReportGenerator* report) = 0;
    virtual const char* GetName() { return nullptr; }
    virtual const char* GetSerialNumber() { return nullptr; }

    uint32_t m_dwKind;
};

class CCompositeDevice : public CDevice {
public:
    explicit CCompositeDevice(uint32_t kind) : CDevice(kind | DEVICE_COMPOSITE) {}
    // Frees the two lists; the devices and sensors in them stay alive.
    ~CCompositeDevice() override;

    virtual void AddChild(CDevice* child);
    virtual void AddSensor(CSensor* sensor);

    // The sensor itself when it is attached to this device, else null.
    CSensor* FindSensor(CSensor* sensor) const;

    CTList<CDevice>* m_pChildren = nullptr;
    CTList<CSensor>* m_pSensors = nullptr;
};

class CMainboard : public CCompositeDevice {
public:
    explicit CMainboard(const char* name);
    void Dump(CReportGenerator* report) override;
    const char* GetName() override { return m_szName; }

    char m_szName[256];
    uint32_t m_dwBoardHash = 0xFFFFFFFF;     // StringHash of the baseboard product name
    uint32_t m_dwBoardByteSum = 0xFFFFFFFF;  // StringByteSum of the same name
};

class CMemoryModule : public CCompositeDevice {
public:
    explicit CMemoryModule(const char* name = "Memory Module");
    void Dump(CReportGenerator*) override {}
    const char* GetName() override { return m_szName; }
    const char* GetSerialNumber() override;

    char m_szName[256];
    CModuleInfo* m_pModuleInfo = nullptr;                // not owned
    CTemperatureSensor* m_pThermalSensor = nullptr;      // not owned
    CSMBusDevice* m_pThermalSensorDevice = nullptr;      // not owned
};

class CWaterCooler : public CCompositeDevice {
public:
    explicit CWaterCooler(const char* name);
    void Dump(CReportGenerator*) override {}
    const char* GetName() override { return m_szName; }

    char m_szName[256];
};
