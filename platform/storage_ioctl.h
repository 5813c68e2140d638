// The disks of the current machine as Windows' disk class offers them:
// CreateFileA opens "\\.\PhysicalDriveN" (N: the drive's position in the
// machine's drive list) or a drive's device-interface path (from the disk
// interface set, device_interfaces.h), and DeviceIoControl serves the
// storage requests below. Structures follow their documented layouts in
// this platform's 64-bit data model.
//
// - IOCTL_ATA_PASS_THROUGH: the command of CurrentTaskFile; the data (at
//   DataBufferOffset in the same buffer) is filled for data-in commands.
//   The task file comes back with status 0x50 when the drive completed the
//   command, 0x51 and error 0x04 when it aborted it; a drive that takes no
//   ATA commands fails the request (ERROR_NOT_SUPPORTED).
// - IOCTL_STORAGE_QUERY_PROPERTY, the standard device property: a
//   STORAGE_DEVICE_DESCRIPTOR (version 40) with the vendor, product,
//   revision and serial texts after it (offset 0 for an empty text), cut to
//   the output buffer (Size keeps the whole length).
// - SMART_GET_VERSION: version 1, revision 1, capabilities CAP_ATA_ID_CMD
//   when the drive answers IDENTIFY DEVICE, CAP_SMART_CMD when that data
//   says SMART is supported; answered for every disk.
// - SMART_SEND_DRIVE_COMMAND, SMART_RCV_DRIVE_DATA: the command of
//   irDriveRegs, data after the 16-byte SENDCMDOUTPARAMS header; a command
//   the drive aborts fails with ERROR_GEN_FAILURE.
// - IOCTL_DISK_GET_DRIVE_GEOMETRY: the drive's geometry, media type 11
//   (removable) or 12 (fixed).
// - IOCTL_SCSI_PASS_THROUGH_DIRECT: a command block for the drive's USB
//   bridge; one it does not understand comes back with SCSI status 2 and
//   ILLEGAL REQUEST sense, and no data.
#pragma once

#include "platform/win_types.h"

constexpr DWORD IOCTL_ATA_PASS_THROUGH = 0x4D02C;
constexpr DWORD IOCTL_SCSI_PASS_THROUGH_DIRECT = 0x4D014;
constexpr DWORD IOCTL_STORAGE_QUERY_PROPERTY = 0x2D1400;
constexpr DWORD SMART_GET_VERSION = 0x74080;
constexpr DWORD SMART_SEND_DRIVE_COMMAND = 0x7C084;
constexpr DWORD SMART_RCV_DRIVE_DATA = 0x7C088;
constexpr DWORD IOCTL_DISK_GET_DRIVE_GEOMETRY = 0x70000;

struct ATA_PASS_THROUGH_EX {
    USHORT Length;  // sizeof(ATA_PASS_THROUGH_EX)
    USHORT AtaFlags;
    UCHAR PathId, TargetId, Lun, ReservedAsUchar;
    ULONG DataTransferLength;
    ULONG TimeOutValue;  // seconds
    ULONG ReservedAsUlong;
    ULONG_PTR DataBufferOffset;
    UCHAR PreviousTaskFile[8];
    // Features (error), sector count, LBA low, mid, high, device,
    // command (status), reserved.
    UCHAR CurrentTaskFile[8];
};

constexpr USHORT ATA_FLAGS_DRDY_REQUIRED = 0x1;
constexpr USHORT ATA_FLAGS_DATA_IN = 0x2;

struct SCSI_PASS_THROUGH_DIRECT {
    USHORT Length;  // sizeof(SCSI_PASS_THROUGH_DIRECT)
    UCHAR ScsiStatus, PathId, TargetId, Lun, CdbLength, SenseInfoLength, DataIn;
    ULONG DataTransferLength;
    ULONG TimeOutValue;  // seconds
    PVOID DataBuffer;
    ULONG SenseInfoOffset;
    UCHAR Cdb[16];
};

constexpr UCHAR SCSI_IOCTL_DATA_IN = 1;

struct STORAGE_PROPERTY_QUERY {
    DWORD PropertyId;  // 0 StorageDeviceProperty
    DWORD QueryType;   // 0 PropertyStandardQuery, 1 PropertyExistsQuery
    BYTE AdditionalParameters[1];
};
static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12);

constexpr DWORD StorageDeviceProperty = 0;
constexpr DWORD PropertyStandardQuery = 0;
constexpr DWORD PropertyExistsQuery = 1;

struct STORAGE_DEVICE_DESCRIPTOR {
    DWORD Version;  // sizeof(STORAGE_DEVICE_DESCRIPTOR)
    DWORD Size;     // the descriptor with its texts
    BYTE DeviceType;
    BYTE DeviceTypeModifier;
    BOOLEAN RemovableMedia;
    BOOLEAN CommandQueueing;
    DWORD VendorIdOffset;  // 0: none
    DWORD ProductIdOffset;
    DWORD ProductRevisionOffset;
    DWORD SerialNumberOffset;
    DWORD BusType;
    DWORD RawPropertiesLength;
    BYTE RawDeviceProperties[1];
};
static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40);

struct GETVERSIONINPARAMS {
    BYTE bVersion;
    BYTE bRevision;
    BYTE bReserved;
    BYTE bIDEDeviceMap;
    DWORD fCapabilities;
    DWORD dwReserved[4];
};
static_assert(sizeof(GETVERSIONINPARAMS) == 24);

constexpr DWORD CAP_ATA_ID_CMD = 0x1;
constexpr DWORD CAP_SMART_CMD = 0x4;

#pragma pack(push, 1)
struct IDEREGS {
    BYTE bFeaturesReg;
    BYTE bSectorCountReg;
    BYTE bSectorNumberReg;
    BYTE bCylLowReg;
    BYTE bCylHighReg;
    BYTE bDriveHeadReg;
    BYTE bCommandReg;
    BYTE bReserved;
};

struct SENDCMDINPARAMS {
    DWORD cBufferSize;
    IDEREGS irDriveRegs;
    BYTE bDriveNumber;
    BYTE bReserved[3];
    DWORD dwReserved[4];
    BYTE bBuffer[1];
};

struct DRIVERSTATUS {
    BYTE bDriverError;  // SMART_IDE_ERROR when the drive reported an error
    BYTE bIDEError;     // its error register
    BYTE bReserved[2];
    DWORD dwReserved[2];
};

struct SENDCMDOUTPARAMS {
    DWORD cBufferSize;
    DRIVERSTATUS DriverStatus;
    BYTE bBuffer[1];
};
#pragma pack(pop)
static_assert(sizeof(SENDCMDINPARAMS) == 33 && sizeof(SENDCMDOUTPARAMS) == 17);

constexpr BYTE SMART_IDE_ERROR = 1;

struct DISK_GEOMETRY {
    LARGE_INTEGER Cylinders;
    DWORD MediaType;  // RemovableMedia (11) or FixedMedia (12)
    DWORD TracksPerCylinder;
    DWORD SectorsPerTrack;
    DWORD BytesPerSector;
};
static_assert(sizeof(DISK_GEOMETRY) == 24);

constexpr DWORD RemovableMedia = 11;
constexpr DWORD FixedMedia = 12;

// TRUE with the drive's power state (TRUE: working) for a disk handle;
// kernel32, looked up by name.
BOOL GetDevicePowerState(HANDLE device, BOOL* on);
