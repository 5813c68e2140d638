// The drives' SMART data, read through the storage driver's SMART requests
// or, behind USB bridges, through SCSI pass-through command blocks, and the
// temperature sensors its attributes feed.
#include <cstddef>
#include <cstring>

#include "platform/driver.h"
#include "platform/storage_ioctl.h"
#include "platform/sync.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/system/storage_interface.h"

namespace {

constexpr size_t kSectorBytes = 512;
constexpr BYTE kSmartCommand = 0xB0;
constexpr BYTE kSmartReadData = 0xD0;
constexpr BYTE kSmartEnableOperations = 0xD8;
constexpr BYTE kSmartLbaMid = 0x4F;
constexpr BYTE kSmartLbaHigh = 0xC2;
constexpr size_t kCommandBytes = offsetof(SENDCMDINPARAMS, bBuffer);  // 32
constexpr size_t kResultHeader = offsetof(SENDCMDOUTPARAMS, bBuffer);  // 16

// The attribute table of SMART data: entries of 12 bytes from byte 2; the
// first 27 of its 30 entries are examined. Byte 0 of an entry is the
// attribute id, byte 5 the lowest byte of its raw value.
constexpr size_t kAttributeTableOffset = 2;
constexpr size_t kAttributeBytes = 12;
constexpr size_t kAttributesExamined = 27;
constexpr size_t kRawLowByte = 5;

struct TemperatureAttribute {
    uint8_t id;
    DriveTemperature sensor;
    const char* name;
};
constexpr TemperatureAttribute kTemperatureAttributes[] = {
    {194, DRIVE_TEMPERATURE_ASSEMBLY, "Assembly"},
    {231, DRIVE_TEMPERATURE_DRIVE, "Drive"},
    {190, DRIVE_TEMPERATURE_AIR_FLOW, "Air Flow"},
};
// Raw bytes above this count tenths of a degree: 201-255 read 20.1-25.5.
constexpr uint8_t kLargestWholeDegrees = 200;

// The command blocks that carry SMART READ DATA through USB bridges, in
// the order they are tried; kDeviceByte marks where the ATA device byte
// goes.
constexpr int kDeviceByte = -1;
struct BridgeCommand {
    int32_t kind;
    uint8_t length;
    int cdb[16];
};
constexpr BridgeCommand kBridgeCommands[] = {
    {USB_BRIDGE_SAT12, 12, {0xA1, 0x08, 0x0E, 0xD0, 0x01, 0x01, 0x4F, 0xC2, kDeviceByte, 0xB0, 0x00, 0x00}},
    {USB_BRIDGE_DF, 12, {0xDF, 0x10, 0x00, 0x02, 0x00, 0xD0, 0x01, 0x01, 0x4F, 0xC2, kDeviceByte, 0xB0}},
    {USB_BRIDGE_24, 16, {0x24, 0x24, 0x00, 0xBE, 0x01, 0x00, 0xD0, 0x00, 0x00, 0x4F, 0xC2, kDeviceByte, 0xB0, 0x00,
                         0x00, 0x00}},
    {USB_BRIDGE_F8, 12, {0xF8, 0x00, 0x22, 0x10, 0x01, 0xD0, 0x01, 0x00, 0x4F, 0xC2, kDeviceByte, 0xB0}},
    {USB_BRIDGE_E3, 12, {0xE3, 0x00, 0xD0, 0x00, 0x00, 0x4F, 0xC2, kDeviceByte, 0xB0, 0x00, 0x00, 0x00}},
    {USB_BRIDGE_E0, 10, {0xE0, 0x00, 0xD0, 0x00, 0x00, 0x4F, 0xC2, kDeviceByte, 0xB0, 0x4C}},
};
constexpr UCHAR kSenseBytes = 24;
constexpr ULONG kBridgeTimeoutSeconds = 6;

// The SCSI pass-through block with room for its sense data.
struct BridgeRequest {
    SCSI_PASS_THROUGH_DIRECT header;
    ULONG filler;
    UCHAR sense[32];
};

BYTE DeviceByte(int32_t number) { return static_cast<BYTE>(0xA0 | ((number & 1) << 4)); }

// A SMART command block for the drive: features, the SMART signature, the
// drive's device byte and number.
SENDCMDINPARAMS SmartCommand(const CDrive* drive, BYTE features, DWORD bufferSize) {
    SENDCMDINPARAMS command {};
    command.cBufferSize = bufferSize;
    command.irDriveRegs.bFeaturesReg = features;
    command.irDriveRegs.bSectorCountReg = 1;
    command.irDriveRegs.bSectorNumberReg = 1;
    command.irDriveRegs.bCylLowReg = kSmartLbaMid;
    command.irDriveRegs.bCylHighReg = kSmartLbaHigh;
    command.irDriveRegs.bDriveHeadReg = DeviceByte(drive->m_iNumber);
    command.irDriveRegs.bCommandReg = kSmartCommand;
    command.bDriveNumber = static_cast<BYTE>(drive->m_iNumber);
    return command;
}

} // namespace

void CStorageInterface::ReadSMART() {
    CTListIterator<CDevice> it(m_pDrives);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* drive = static_cast<CDrive*>(device);
        if (!drive->m_bSMARTSupported || !MayQuery(drive) || !EnableSMART(drive)) continue;
        HANDLE handle = OpenDrive(drive);
        if (handle == INVALID_HANDLE_VALUE) continue;
        SENDCMDINPARAMS command = SmartCommand(drive, kSmartReadData, kSectorBytes);
        uint8_t result[kResultHeader + kSectorBytes] = {};
        DWORD returned = 0;
        if (DeviceIoControl(handle, SMART_RCV_DRIVE_DATA, &command, kCommandBytes, result, sizeof result, &returned,
                            nullptr))
            ParseSMARTAttributes(drive, result + kResultHeader);
        CloseHandle(handle);
    }
}

bool CStorageInterface::EnableSMART(CDrive* drive) {
    HANDLE handle = OpenDrive(drive);
    if (handle == INVALID_HANDLE_VALUE) return false;
    SENDCMDINPARAMS command = SmartCommand(drive, kSmartEnableOperations, 0);
    uint8_t result[kResultHeader] = {};
    DWORD returned = 0;
    const BOOL enabled = DeviceIoControl(handle, SMART_SEND_DRIVE_COMMAND, &command, kCommandBytes, result,
                                         sizeof result, &returned, nullptr);
    CloseHandle(handle);
    return enabled != FALSE;
}

void CStorageInterface::ParseSMARTAttributes(CDrive* drive, const uint8_t* data) {
    for (size_t entry = 0; entry < kAttributesExamined; ++entry) {
        const uint8_t* attribute = data + kAttributeTableOffset + entry * kAttributeBytes;
        const uint8_t raw = attribute[kRawLowByte];
        for (const TemperatureAttribute& temperature : kTemperatureAttributes) {
            if (attribute[0] != temperature.id || raw == 0) continue;
            CTemperatureSensor*& sensor = drive->m_pTemperatures[temperature.sensor];
            if (!sensor) {
                sensor = new CTemperatureSensor(static_cast<uint8_t>(temperature.sensor));
                std::strncpy(sensor->m_szName, temperature.name, sizeof sensor->m_szName - 1);
                GetSDK()->m_pSensors->AddTail(sensor);
            }
            sensor->m_dwRawValue = raw;
            const float degrees = raw > kLargestWholeDegrees ? raw * 0.1f : static_cast<float>(raw);
            sensor->SetValue(degrees, 1);
        }
    }
}

void CStorageInterface::ProbeUSBBridges() {
    if (!(m_dwFlags & STORAGE_USB_BRIDGES)) return;
    CTListIterator<CDevice> it(m_pDrives);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* drive = static_cast<CDrive*>(device);
        if (!MayQuery(drive) || drive->m_iBridgeKind == USB_BRIDGE_NONE) continue;
        if (drive->m_iBridgeKind != USB_BRIDGE_NOT_PROBED) {
            ReadSMARTThroughBridge(drive, drive->m_iBridgeKind);
            continue;
        }
        bool answered = false;
        for (const BridgeCommand& command : kBridgeCommands)
            if (!answered) answered = ReadSMARTThroughBridge(drive, command.kind);
        if (!answered) drive->m_iBridgeKind = USB_BRIDGE_NONE;
    }
}

bool CStorageInterface::ReadSMARTThroughBridge(CDrive* drive, int32_t kind) {
    const BridgeCommand* command = nullptr;
    for (const BridgeCommand& candidate : kBridgeCommands)
        if (candidate.kind == kind) command = &candidate;
    if (!command) return false;
    HANDLE handle = OpenDrive(drive);
    if (handle == INVALID_HANDLE_VALUE) return false;
    uint8_t data[kSectorBytes] = {};
    BridgeRequest request {};
    request.header.Length = sizeof request.header;
    request.header.CdbLength = command->length;
    request.header.SenseInfoLength = kSenseBytes;
    request.header.DataIn = SCSI_IOCTL_DATA_IN;
    request.header.DataTransferLength = sizeof data;
    request.header.TimeOutValue = kBridgeTimeoutSeconds;
    request.header.DataBuffer = data;
    request.header.SenseInfoOffset = offsetof(BridgeRequest, sense);
    for (uint8_t i = 0; i < command->length; ++i)
        request.header.Cdb[i] = command->cdb[i] == kDeviceByte ? DeviceByte(drive->m_iNumber)
                                                               : static_cast<UCHAR>(command->cdb[i]);
    DWORD returned = 0;
    const BOOL sent = DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                                      sizeof request, &returned, nullptr);
    CloseHandle(handle);
    if (!sent || request.header.DataTransferLength == 0) return false;
    ParseSMARTAttributes(drive, data);
    drive->m_iBridgeKind = kind;
    return true;
}
