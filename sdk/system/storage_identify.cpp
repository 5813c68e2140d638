// A drive's identity (by ATA IDENTIFY DEVICE, else by the storage device
// property), its SMART capability and its capacity and type.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>

#include "platform/driver.h"
#include "platform/storage_ioctl.h"
#include "platform/sync.h"
#include "platform/text.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/system/storage_interface.h"

namespace {

constexpr size_t kSectorBytes = 512;
constexpr UCHAR kIdentifyDevice = 0xEC;
constexpr UCHAR kMarker = 0xCF;          // the first data byte before the command
constexpr UCHAR kStatusErrorOrDataRequest = 0x09;  // ERR | DRQ
constexpr ULONG kIdentifyTimeoutSeconds = 2;
constexpr size_t kPropertyBytes = 512;
constexpr double kBytesPerMB = 1048576.0;

// The ATA pass-through block with its data, as the request carries it.
struct IdentifyRequest {
    ATA_PASS_THROUGH_EX header;
    ULONG filler;
    UCHAR data[kSectorBytes];
};

// The ATA device byte of a drive number: master or slave.
UCHAR DeviceByte(int32_t number) { return static_cast<UCHAR>(0xA0 | ((number & 1) << 4)); }

// Words first..first+count-1 of IDENTIFY data, each word's two bytes
// swapped into text order, NUL-terminated, not trimmed.
void IdentifyText(const UCHAR* data, size_t firstWord, size_t wordCount, char* text) {
    for (size_t i = 0; i < wordCount; ++i) {
        text[2 * i] = static_cast<char>(data[2 * (firstWord + i) + 1]);
        text[2 * i + 1] = static_cast<char>(data[2 * (firstWord + i)]);
    }
    text[2 * wordCount] = '\0';
}

// A text of the property descriptor: from its offset up to a terminator,
// within the bytes the request returned; trailing blanks removed.
std::string DescriptorText(const uint8_t* descriptor, size_t available, DWORD offset) {
    if (offset == 0 || offset >= available) return {};
    const auto* start = reinterpret_cast<const char*>(descriptor + offset);
    std::string text(start, strnlen(start, available - offset));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// The whole text, as far as the field holds it (cut at a character boundary).
void CopyText(const std::string& text, char* field, size_t size) {
    const size_t length = std::min(text.size(), size - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
    vexa::platform::truncateUtf8(field, size - 1);
}

} // namespace

void CStorageInterface::IdentifyDrive(CDrive* drive) {
    if (drive->m_szModel[0]) return;
    if (!IdentifyByATA(drive) && !IdentifyByProperty(drive))
        FormatString(drive->m_szModel, sizeof drive->m_szModel, "HDD %d", drive->m_iNumber);
    ExcludeSMARTOnControllers(drive);
}

// Controllers whose SMART answers are not trusted: Silicon Image 0680, ITE
// 8211, and VIA 3249 except on one board.
void CStorageInterface::ExcludeSMARTOnControllers(CDrive* drive) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!pci) return;
    if (pci->FindDevicesByID(0x1095, 0x0680, nullptr) > 0 || pci->FindDevicesByID(0x1283, 0x8211, nullptr) > 0 ||
        (pci->FindDevicesByID(0x1106, 0x3249, nullptr) > 0 && m_dwBoardHash != 0xCCE9B6A0))
        drive->m_bSMARTSupported = 0;
}

bool CStorageInterface::IdentifyByATA(CDrive* drive) {
    if (!MayQuery(drive)) return false;
    IdentifyRequest request {};
    request.header.Length = sizeof request.header;
    request.header.AtaFlags = ATA_FLAGS_DATA_IN;
    request.header.DataTransferLength = kSectorBytes;
    request.header.TimeOutValue = kIdentifyTimeoutSeconds;
    request.header.DataBufferOffset = offsetof(IdentifyRequest, data);
    request.header.CurrentTaskFile[1] = 1;  // sector count
    request.header.CurrentTaskFile[2] = 1;  // LBA low
    request.header.CurrentTaskFile[5] = DeviceByte(drive->m_iNumber);
    request.header.CurrentTaskFile[6] = kIdentifyDevice;
    request.data[0] = kMarker;
    HANDLE handle = OpenDrive(drive);
    if (handle == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL sent = DeviceIoControl(handle, IOCTL_ATA_PASS_THROUGH, &request, sizeof request, &request,
                                      sizeof request, &returned, nullptr);
    CloseHandle(handle);
    if (!sent || returned == 0 || (request.header.CurrentTaskFile[6] & kStatusErrorOrDataRequest) ||
        request.data[0] == kMarker)
        return false;
    IdentifyText(request.data, 27, 20, drive->m_szModel);
    IdentifyText(request.data, 10, 10, drive->m_szSerial);
    IdentifyText(request.data, 23, 4, drive->m_szRevision);
    drive->m_bSMARTSupported = request.data[2 * 82] & 1;  // word 82 bit 0: the SMART feature set
    return true;
}

bool CStorageInterface::IdentifyByProperty(CDrive* drive) {
    if (!MayQuery(drive)) return false;
    HANDLE handle = OpenDrive(drive);
    if (handle == INVALID_HANDLE_VALUE) return false;
    STORAGE_PROPERTY_QUERY query {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    uint8_t descriptor[kPropertyBytes] = {};
    DWORD returned = 0;
    const bool answered = DeviceIoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, descriptor,
                                          sizeof descriptor, &returned, nullptr) != FALSE;
    STORAGE_DEVICE_DESCRIPTOR header {};
    if (answered && returned >= 2 * sizeof(DWORD))  // Version and Size at least
        std::memcpy(&header, descriptor, std::min<size_t>(returned, sizeof header));
    if (answered && header.Version == sizeof(STORAGE_DEVICE_DESCRIPTOR)) {
        // The texts lie within the descriptor's size and within what came back.
        const size_t available = std::min<size_t>({header.Size, returned, sizeof descriptor});
        std::string model = DescriptorText(descriptor, available, header.VendorIdOffset);
        const std::string product = DescriptorText(descriptor, available, header.ProductIdOffset);
        if (!product.empty()) model = model.empty() ? product : model + " " + product;
        CopyText(model, drive->m_szModel, sizeof drive->m_szModel);
    }
    GETVERSIONINPARAMS version {};
    if (DeviceIoControl(handle, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned, nullptr))
        drive->m_bSMARTSupported = (version.fCapabilities & CAP_SMART_CMD) ? 1 : 0;
    CloseHandle(handle);
    return answered;
}

void CStorageInterface::ReadGeometry(CDrive* drive) {
    HANDLE handle = OpenDrive(drive);
    if (handle == INVALID_HANDLE_VALUE) return;
    DISK_GEOMETRY geometry {};
    DWORD returned = 0;
    if (DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &returned,
                        nullptr)) {
        const double megabytes = static_cast<double>(geometry.Cylinders.QuadPart) * geometry.TracksPerCylinder *
                                 geometry.SectorsPerTrack * geometry.BytesPerSector / kBytesPerMB;
        // A negative or impossible size from the driver leaves the capacity unknown.
        if (megabytes >= 0 && megabytes < static_cast<double>(std::numeric_limits<uint64_t>::max()))
            drive->m_qwCapacityMB = static_cast<uint64_t>(megabytes);
        if (geometry.MediaType == RemovableMedia) drive->m_bRemovable = 1;
        else if (geometry.MediaType == FixedMedia) drive->m_bRemovable = 0;
    }
    CloseHandle(handle);
}
