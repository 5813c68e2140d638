// The storage domain: the physical disk drives the operating system's disk
// interface class enumerates, one CDrive each, with their identity,
// capacity, type and power state, the SMART data of the drives that are
// powered up turned into temperature sensors (also through USB bridges,
// with flag 0x4000000), and the report section with the drives and the
// tree of USB devices. Everything is read once, during Init.
//
// The root keeps no member for this domain: FindInterface(INTERFACE_STORAGE)
// finds it. Every request goes to the operating system's storage and USB
// drivers (DeviceIoControl), none to the kernel driver; their answers are
// untrusted and read within the bytes they return.
#pragma once

#include <cstdint>

#include "sdk/core/interface.h"
#include "sdk/core/list.h"
#include "sdk/system/drive.h"
#include "platform/win_types.h"

class CDevice;
class CReportGenerator;

enum StorageFlags : uint32_t {
    STORAGE_ANY_POWER_STATE = 0x2000000,  // query drives whatever their power state
    STORAGE_USB_BRIDGES = 0x4000000,      // run the USB-bridge pass
};

class CStorageInterface : public CInterface {
public:
    // Hubs below a root hub the USB walk follows; USB allows five tiers.
    static constexpr int kMaxHubDepth = 7;

    CStorageInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags);
    // Deletes the list only; the root's device list owns the drives.
    ~CStorageInterface() override;
    CStorageInterface(const CStorageInterface&) = delete;
    CStorageInterface& operator=(const CStorageInterface&) = delete;

    // Finds the drives and reads everything about them; always 1.
    int Init() override;
    void Close() override {}

    // Every drive's block in list order, then the "USB Devices" section.
    void Dump(CReportGenerator* report);

    uint32_t m_dwFlags;
    uint32_t m_dwBoardHash;
    uint32_t m_dwBoardByteSum;
    // The drives in enumeration order; null until the first one.
    CTList<CDevice>* m_pDrives = nullptr;

    // The steps of Init, public for the tests.
    void EnumerateDrives();
    void AddDrive(CDrive* drive);
    // A handle of the drive (its device path, or "\\.\PhysicalDrive<n>"),
    // only on Windows NT; INVALID_HANDLE_VALUE otherwise.
    HANDLE OpenDrive(const CDrive* drive) const;
    void ReadPowerState(CDrive* drive);
    // storage_identify.cpp.
    void IdentifyDrive(CDrive* drive);
    bool IdentifyByATA(CDrive* drive);
    bool IdentifyByProperty(CDrive* drive);
    void ReadGeometry(CDrive* drive);
    // storage_smart.cpp.
    void ReadSMART();
    bool EnableSMART(CDrive* drive);
    // The first 27 of the 30 attribute entries of 512 bytes of SMART data.
    void ParseSMARTAttributes(CDrive* drive, const uint8_t* data);
    void ProbeUSBBridges();
    bool ReadSMARTThroughBridge(CDrive* drive, int32_t kind);
    // storage_usb_report.cpp.
    void DumpUSBDevices(CReportGenerator* report);
    void DumpUSBHub(CReportGenerator* report, const char* hubName, int depth);

private:
    bool MayQuery(const CDrive* drive) const;
    void ExcludeSMARTOnControllers(CDrive* drive);

    int32_t m_iNextNumber = 0;
};
