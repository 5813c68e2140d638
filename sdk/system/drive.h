// One physical disk drive the storage domain found: its device path and
// number, its identity (model, firmware revision, serial number), capacity,
// type, power state, whether it takes SMART commands, and the temperature
// sensors its SMART data shows. The root's device list owns the drive, the
// root's sensor list its sensors; the hardware-monitoring domain attaches
// the sensors to the drive.
#pragma once

#include <cstdint>

#include "sdk/core/device.h"

// The SCSI command blocks that carry an ATA SMART READ DATA command through
// USB bridges, named by their first byte (storage_smart.cpp lists them).
enum USBBridgeKind : int32_t {
    USB_BRIDGE_NOT_PROBED = -1,
    USB_BRIDGE_NONE = 0,
    USB_BRIDGE_SAT12 = 0xA1,  // SCSI/ATA translation, ATA PASS-THROUGH (12)
    USB_BRIDGE_DF = 0xDF,
    USB_BRIDGE_24 = 0x24,
    USB_BRIDGE_F8 = 0xF8,
    USB_BRIDGE_E3 = 0xE3,
    USB_BRIDGE_E0 = 0xE0,
};

// The temperature attributes of SMART data and the sensors they feed.
enum DriveTemperature : uint32_t {
    DRIVE_TEMPERATURE_ASSEMBLY = 0,  // attribute 194
    DRIVE_TEMPERATURE_DRIVE = 1,     // attribute 231
    DRIVE_TEMPERATURE_AIR_FLOW = 2,  // attribute 190
    DRIVE_TEMPERATURE_COUNT = 3,
};

class CDrive : public CCompositeDevice {
public:
    explicit CDrive(int32_t number) : CCompositeDevice(DEVICE_DRIVE), m_iNumber(number) {}

    // "Drive", then the path, type, name, revision, serial, capacity and
    // SMART support lines and a blank line.
    void Dump(CReportGenerator* report) override;
    const char* GetName() override { return m_szModel; }
    const char* GetSerialNumber() override { return m_szSerial; }

    char m_szDevicePath[1024] = {};
    int32_t m_iNumber;  // position among the drives that could be opened; also the ATA drive number
    char m_szModel[512] = {};
    char m_szRevision[512] = {};
    char m_szSerial[512] = {};
    CTemperatureSensor* m_pTemperatures[DRIVE_TEMPERATURE_COUNT] = {};  // null until the SMART data shows them
    int32_t m_bSMARTSupported = 1;
    int32_t m_iPowerState = 1;  // 1: working
    int32_t m_iBridgeKind = USB_BRIDGE_NOT_PROBED;
    uint64_t m_qwCapacityMB = 0;
    int32_t m_bRemovable = 0;
};
