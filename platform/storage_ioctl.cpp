#include "platform/storage_ioctl.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "machine/machine.h"
#include "platform/internal/control_device.h"

namespace vexa::platform {
namespace {

using machine::AtaOutcome;
using machine::AtaRegisters;

constexpr char kPhysicalDrivePrefix[] = "\\\\.\\PhysicalDrive";
constexpr char kInterfacePrefix[] = "\\\\?\\";
constexpr UCHAR kStatusReady = 0x50;    // DRDY | DSC
constexpr UCHAR kStatusError = 0x51;    // DRDY | DSC | ERR
constexpr UCHAR kErrorAborted = 0x04;   // ABRT
constexpr UCHAR kScsiCheckCondition = 0x02;
constexpr size_t kCommandHeader = offsetof(SENDCMDINPARAMS, bBuffer);  // 32
constexpr size_t kResultHeader = offsetof(SENDCMDOUTPARAMS, bBuffer);  // 16
constexpr size_t kSectorBytes = machine::kAtaSectorBytes;
constexpr DWORD kPropertyVersion = sizeof(STORAGE_DEVICE_DESCRIPTOR);

bool startsWithNoCase(const std::string& text, const char* prefix) {
    const size_t length = std::strlen(prefix);
    if (text.size() < length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

bool sameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && startsWithNoCase(a, b.c_str());
}

AtaRegisters registersOf(const UCHAR taskFile[8]) {
    return AtaRegisters{taskFile[0], taskFile[1], taskFile[2], taskFile[3], taskFile[4], taskFile[5], taskFile[6]};
}

AtaRegisters registersOf(const IDEREGS& r) {
    return AtaRegisters{r.bFeaturesReg, r.bSectorCountReg, r.bSectorNumberReg, r.bCylLowReg,
                        r.bCylHighReg,  r.bDriveHeadReg,   r.bCommandReg};
}

// The standard device property: the descriptor, then the texts with their
// terminators.
std::vector<uint8_t> deviceDescriptor(const machine::DiskDrive& drive) {
    const machine::StorageProperty& property = *drive.property;
    std::vector<uint8_t> bytes(sizeof(STORAGE_DEVICE_DESCRIPTOR));
    STORAGE_DEVICE_DESCRIPTOR header {};
    header.Version = kPropertyVersion;
    header.RemovableMedia = drive.removable ? 1 : 0;
    header.BusType = property.busType;
    const auto place = [&](const std::string& text) -> DWORD {
        if (text.empty()) return 0;
        const auto offset = DWORD(bytes.size());
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
        return offset;
    };
    header.VendorIdOffset = place(property.vendor);
    header.ProductIdOffset = place(property.product);
    header.ProductRevisionOffset = place(property.revision);
    header.SerialNumberOffset = place(property.serial);
    header.Size = DWORD(bytes.size());
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

class DiskDevice final : public ControlDevice {
public:
    explicit DiskDevice(size_t drive) : drive_(drive) {}

    size_t drive() const { return drive_; }

    DWORD control(DWORD code, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize,
                  DWORD& returned) override {
        const auto drives = machine::current().diskDrives();
        if (drive_ >= drives.size()) return ERROR_NOT_READY;  // the drive went away
        const machine::DiskDrive& facts = drives[drive_];
        switch (code) {
        case IOCTL_ATA_PASS_THROUGH: return ataPassThrough(in, inSize, out, outSize, returned);
        case IOCTL_STORAGE_QUERY_PROPERTY: return queryProperty(facts, in, inSize, out, outSize, returned);
        case SMART_GET_VERSION: return smartVersion(out, outSize, returned);
        case SMART_SEND_DRIVE_COMMAND:
        case SMART_RCV_DRIVE_DATA:
            return smartCommand(code == SMART_RCV_DRIVE_DATA, in, inSize, out, outSize, returned);
        case IOCTL_DISK_GET_DRIVE_GEOMETRY: return geometry(facts, out, outSize, returned);
        case IOCTL_SCSI_PASS_THROUGH_DIRECT: return scsiPassThrough(in, inSize, out, outSize, returned);
        default: return ERROR_INVALID_FUNCTION;
        }
    }

private:
    DWORD ataPassThrough(const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize, DWORD& returned) {
        ATA_PASS_THROUGH_EX header;
        if (!in || !out || inSize < sizeof header || outSize < sizeof header) return ERROR_INVALID_PARAMETER;
        std::memcpy(&header, in, sizeof header);
        if (header.Length != sizeof header) return ERROR_INVALID_PARAMETER;
        const uint64_t offset = header.DataBufferOffset, length = header.DataTransferLength;
        if (length != 0 && (offset < sizeof header || offset > outSize || length > outSize - offset))
            return ERROR_INVALID_PARAMETER;
        // A buffered request: what came in goes back out, updated.
        std::memmove(out, in, std::min(inSize, outSize));
        std::vector<uint8_t> data((header.AtaFlags & ATA_FLAGS_DATA_IN) ? size_t(length) : 0);
        const AtaOutcome outcome = machine::current().ataCommand(drive_, registersOf(header.CurrentTaskFile), data);
        if (outcome == AtaOutcome::NoAnswer) return ERROR_NOT_SUPPORTED;
        const bool completed = outcome == AtaOutcome::Completed;
        header.CurrentTaskFile[0] = completed ? 0 : kErrorAborted;
        header.CurrentTaskFile[6] = completed ? kStatusReady : kStatusError;
        if (completed && !data.empty()) std::memcpy(out + offset, data.data(), data.size());
        std::memcpy(out, &header, sizeof header);
        returned = completed && !data.empty() ? DWORD(offset + length) : DWORD(sizeof header);
        return ERROR_SUCCESS;
    }

    static DWORD queryProperty(const machine::DiskDrive& facts, const uint8_t* in, DWORD inSize, uint8_t* out,
                               DWORD outSize, DWORD& returned) {
        STORAGE_PROPERTY_QUERY query;
        if (!in || inSize < sizeof query) return ERROR_INVALID_PARAMETER;
        std::memcpy(&query, in, sizeof query);
        if (query.PropertyId != StorageDeviceProperty || !facts.property) return ERROR_NOT_SUPPORTED;
        if (query.QueryType == PropertyExistsQuery) return ERROR_SUCCESS;
        if (query.QueryType != PropertyStandardQuery) return ERROR_INVALID_PARAMETER;
        if (!out || outSize < 2 * sizeof(DWORD)) return ERROR_INSUFFICIENT_BUFFER;  // room for Version and Size
        const std::vector<uint8_t> descriptor = deviceDescriptor(facts);
        returned = DWORD(std::min<size_t>(outSize, descriptor.size()));
        std::memcpy(out, descriptor.data(), returned);
        return ERROR_SUCCESS;
    }

    // IDENTIFY DEVICE into `identify`; false when the drive takes no ATA
    // commands or refuses it.
    bool identify(std::vector<uint8_t>& identify) {
        identify.assign(kSectorBytes, 0);
        AtaRegisters registers;
        registers.sectorCount = 1;
        registers.command = machine::kAtaIdentifyDevice;
        return machine::current().ataCommand(drive_, registers, identify) == AtaOutcome::Completed;
    }

    DWORD smartVersion(uint8_t* out, DWORD outSize, DWORD& returned) {
        GETVERSIONINPARAMS version {};
        if (!out || outSize < sizeof version) return ERROR_INSUFFICIENT_BUFFER;
        version.bVersion = 1;
        version.bRevision = 1;
        version.bIDEDeviceMap = BYTE(1u << (drive_ & 3));
        std::vector<uint8_t> data;
        if (identify(data)) {
            version.fCapabilities = CAP_ATA_ID_CMD;
            if (machine::ata::smartSupported(data)) version.fCapabilities |= CAP_SMART_CMD;
        }
        std::memcpy(out, &version, sizeof version);
        returned = sizeof version;
        return ERROR_SUCCESS;
    }

    DWORD smartCommand(bool dataIn, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize, DWORD& returned) {
        SENDCMDINPARAMS command;
        if (!in || inSize < kCommandHeader) return ERROR_INVALID_PARAMETER;
        std::memcpy(&command, in, kCommandHeader);
        const size_t dataSize = dataIn ? kSectorBytes : 0;
        if ((dataIn && command.cBufferSize < kSectorBytes) || !out || outSize < kResultHeader + dataSize)
            return ERROR_INSUFFICIENT_BUFFER;
        std::vector<uint8_t> data(dataSize);
        const AtaOutcome outcome = machine::current().ataCommand(drive_, registersOf(command.irDriveRegs), data);
        if (outcome == AtaOutcome::NoAnswer) return ERROR_NOT_SUPPORTED;
        SENDCMDOUTPARAMS result {};
        if (outcome == AtaOutcome::Aborted) {
            result.DriverStatus.bDriverError = SMART_IDE_ERROR;
            result.DriverStatus.bIDEError = kErrorAborted;
            std::memcpy(out, &result, kResultHeader);
            return ERROR_GEN_FAILURE;
        }
        result.cBufferSize = DWORD(dataSize);
        std::memcpy(out, &result, kResultHeader);
        if (dataSize) std::memcpy(out + kResultHeader, data.data(), dataSize);
        returned = DWORD(kResultHeader + dataSize);
        return ERROR_SUCCESS;
    }

    static DWORD geometry(const machine::DiskDrive& facts, uint8_t* out, DWORD outSize, DWORD& returned) {
        DISK_GEOMETRY geometry {};
        if (!out || outSize < sizeof geometry) return ERROR_INSUFFICIENT_BUFFER;
        if (!facts.geometry) return ERROR_NOT_READY;
        geometry.Cylinders.QuadPart = LONGLONG(facts.geometry->cylinders);
        geometry.MediaType = facts.removable ? RemovableMedia : FixedMedia;
        geometry.TracksPerCylinder = facts.geometry->tracksPerCylinder;
        geometry.SectorsPerTrack = facts.geometry->sectorsPerTrack;
        geometry.BytesPerSector = facts.geometry->bytesPerSector;
        std::memcpy(out, &geometry, sizeof geometry);
        returned = sizeof geometry;
        return ERROR_SUCCESS;
    }

    DWORD scsiPassThrough(const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize, DWORD& returned) {
        SCSI_PASS_THROUGH_DIRECT request;
        if (!in || !out || inSize < sizeof request || outSize < sizeof request) return ERROR_INVALID_PARAMETER;
        std::memcpy(&request, in, sizeof request);
        if (request.Length != sizeof request || request.CdbLength == 0 || request.CdbLength > sizeof request.Cdb)
            return ERROR_INVALID_PARAMETER;
        if (request.DataTransferLength != 0 && !request.DataBuffer) return ERROR_INVALID_PARAMETER;
        std::memmove(out, in, std::min(inSize, outSize));
        std::span<uint8_t> data;
        if (request.DataIn == SCSI_IOCTL_DATA_IN && request.DataBuffer)
            data = std::span<uint8_t>(static_cast<uint8_t*>(request.DataBuffer), request.DataTransferLength);
        size_t transferred = 0;
        const bool answered = machine::current().scsiPassThrough(
            drive_, std::span<const uint8_t>(request.Cdb, request.CdbLength), data, transferred);
        request.ScsiStatus = answered ? 0 : kScsiCheckCondition;
        request.DataTransferLength = ULONG(answered ? transferred : 0);
        returned = sizeof request;
        const uint64_t senseEnd = uint64_t(request.SenseInfoOffset) + request.SenseInfoLength;
        if (!answered && request.SenseInfoLength >= 14 && request.SenseInfoOffset >= sizeof request &&
            senseEnd <= outSize) {
            uint8_t* sense = out + request.SenseInfoOffset;
            std::memset(sense, 0, request.SenseInfoLength);
            sense[0] = 0x70;   // current error, fixed format
            sense[2] = 0x05;   // ILLEGAL REQUEST
            sense[7] = 6;      // additional length
            sense[12] = 0x20;  // invalid command operation code
            returned = DWORD(senseEnd);
        }
        std::memcpy(out, &request, sizeof request);
        return ERROR_SUCCESS;
    }

    size_t drive_;
};

} // namespace

bool openDiskDevice(const std::string& path, HANDLE& handle) {
    const bool physical = startsWithNoCase(path, kPhysicalDrivePrefix);
    if (!physical && !startsWithNoCase(path, kInterfacePrefix)) return false;
    const auto drives = machine::current().diskDrives();
    size_t index = drives.size();
    if (physical) {
        const std::string number = path.substr(sizeof kPhysicalDrivePrefix - 1);
        const bool digits = !number.empty() && number.size() <= 4 &&
                            std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (digits) index = std::stoul(number);
        if (!digits || index >= drives.size()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            handle = INVALID_HANDLE_VALUE;
            return true;
        }
    } else {
        for (size_t i = 0; i < drives.size() && index == drives.size(); ++i)
            if (sameNoCase(drives[i].interfacePath, path)) index = i;
        if (index == drives.size()) return false;  // some other "\\?\" path
    }
    SetLastError(ERROR_SUCCESS);
    handle = registerHandle(std::make_shared<DiskDevice>(index));
    return true;
}

} // namespace vexa::platform

BOOL GetDevicePowerState(HANDLE device, BOOL* on) {
    auto disk = vexa::platform::lookupHandleAs<vexa::platform::DiskDevice>(device);
    if (!disk || !on) {
        SetLastError(disk ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const auto drives = vexa::machine::current().diskDrives();
    if (disk->drive() >= drives.size()) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    *on = drives[disk->drive()].poweredUp ? TRUE : FALSE;
    return TRUE;
}
