// The disks and USB controllers and hubs as CreateFileA and DeviceIoControl
// offer them: the disk interface set, opening by path and by number, the
// storage requests with their size and offset checks, and the USB name and
// connection requests.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device_interfaces.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/storage_ioctl.h"
#include "platform/sync.h"
#include "platform/usb_ioctl.h"
#include "tests/support/ata_sectors.h"
#include "tests/support/image_dir.h"

namespace vexa::test {
namespace {

constexpr char kDiskPath[] = "\\\\?\\ide#disk#a#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

class SystemDevices : public ::testing::Test {
protected:
    void SetUp() override {
        ImageDir image;
        image.write("machine.json", std::string(R"({
          "drives": [
            {"path": "\\\\?\\ide#disk#a#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}", "identify": "a.id", "smart": "a.smart",
             "property": {"vendor": "ACME", "product": "Disk", "revision": "1.0", "serial": "S1", "bus": "sata"}},
            {"property": false, "geometry": false, "powered_up": false, "removable": true}
          ],
          "usb": [{"ports": 2, "devices": [
            {"port": 1, "class": "0x09", "vendor": "0x1A40", "product": "0x0101", "ports": 4, "devices": [
               {"port": 4, "vendor": "0x0781", "product": "0x5530",
                "driver_key": "{36fc9e60-c465-11cf-8056-444553540000}\\0042"}]}]}]
        })"));
        image.write("a.id", identifySector());
        image.write("a.smart", smartSector({{194, 40}}));
        machine_.emplace(image.load());
    }
    void TearDown() override {
        for (HANDLE handle : handles_) CloseHandle(handle);
        machine_.reset();
    }

    HANDLE Open(const std::string& path) {
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle != INVALID_HANDLE_VALUE) handles_.push_back(handle);
        return handle;
    }

    std::optional<machine::ScopedMachine> machine_;
    std::vector<HANDLE> handles_;
};

// setupapi's functions, loaded by name as the program loads them.
struct SetupApi {
    HMODULE library = LoadLibraryA("setupapi.dll");
    PFN_SetupDiGetClassDevsA getClassDevs = platform::lookup<PFN_SetupDiGetClassDevsA>(library, "SetupDiGetClassDevsA");
    PFN_SetupDiDestroyDeviceInfoList destroy =
        platform::lookup<PFN_SetupDiDestroyDeviceInfoList>(library, "SetupDiDestroyDeviceInfoList");
    PFN_SetupDiEnumDeviceInterfaces enumInterfaces =
        platform::lookup<PFN_SetupDiEnumDeviceInterfaces>(library, "SetupDiEnumDeviceInterfaces");
    PFN_SetupDiGetDeviceInterfaceDetailA getDetail =
        platform::lookup<PFN_SetupDiGetDeviceInterfaceDetailA>(library, "SetupDiGetDeviceInterfaceDetailA");
};

TEST_F(SystemDevices, TheDiskInterfaceSetListsEveryDrive) {
    const SetupApi api;
    ASSERT_TRUE(api.getClassDevs && api.destroy && api.enumInterfaces && api.getDetail);
    HDEVINFO set = api.getClassDevs(&GUID_DEVINTERFACE_DISK, nullptr, nullptr, 0x2 | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    std::vector<std::string> paths;
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data {};
        data.cbSize = sizeof data;
        if (!api.enumInterfaces(set, nullptr, &GUID_DEVINTERFACE_DISK, index, &data)) {
            EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
            break;
        }
        DWORD required = 0;
        EXPECT_FALSE(api.getDetail(set, &data, nullptr, 0, &required, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        std::vector<char> buffer(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
        detail->cbSize = 5;  // the 32-bit size is not this platform's
        EXPECT_FALSE(api.getDetail(set, &data, detail, required, nullptr, nullptr));
        detail->cbSize = sizeof *detail;
        ASSERT_TRUE(api.getDetail(set, &data, detail, required, nullptr, nullptr));
        paths.emplace_back(buffer.data() + offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath));
    }
    EXPECT_EQ(paths, (std::vector<std::string>{kDiskPath,
                                               "\\\\?\\scsi#disk#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}"}));
    EXPECT_TRUE(api.destroy(set));
    EXPECT_FALSE(api.destroy(set));

    // Another interface class has none.
    const GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    set = api.getClassDevs(&other, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data {};
    data.cbSize = sizeof data;
    EXPECT_FALSE(api.enumInterfaces(set, nullptr, &other, 0, &data));
    api.destroy(set);
}

TEST_F(SystemDevices, DisksOpenByInterfacePathOrNumber) {
    EXPECT_NE(Open(kDiskPath), INVALID_HANDLE_VALUE);
    EXPECT_NE(Open("\\\\?\\IDE#DISK#A#{53F56307-B6BF-11D0-94F2-00A0C91EFB8B}"), INVALID_HANDLE_VALUE);
    EXPECT_NE(Open("\\\\.\\PhysicalDrive1"), INVALID_HANDLE_VALUE);
    for (const char* missing : {"\\\\.\\PhysicalDrive2", "\\\\.\\PhysicalDrive", "\\\\.\\PhysicalDrive1x",
                                "\\\\.\\PhysicalDrive99999"}) {
        EXPECT_EQ(Open(missing), INVALID_HANDLE_VALUE) << missing;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << missing;
    }
}

struct Identify {
    ATA_PASS_THROUGH_EX header;
    ULONG filler;
    UCHAR data[512];
};

Identify IdentifyRequest() {
    Identify request {};
    request.header.Length = sizeof request.header;
    request.header.AtaFlags = ATA_FLAGS_DATA_IN;
    request.header.DataTransferLength = 512;
    request.header.DataBufferOffset = offsetof(Identify, data);
    request.header.CurrentTaskFile[1] = 1;
    request.header.CurrentTaskFile[6] = 0xEC;
    return request;
}

TEST_F(SystemDevices, AtaPassThroughAnswersAndChecksItsOffsets) {
    HANDLE disk = Open(kDiskPath);
    Identify request = IdentifyRequest();
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH, &request, sizeof request, &request, sizeof request,
                                &returned, nullptr));
    EXPECT_EQ(returned, offsetof(Identify, data) + 512);
    EXPECT_EQ(request.header.CurrentTaskFile[6], 0x50);
    EXPECT_EQ(std::memcmp(request.data, identifySector().data(), 512), 0);

    // The data must lie within the buffer.
    for (ULONG_PTR offset : {ULONG_PTR(0), ULONG_PTR(sizeof request - 511), ULONG_PTR(~0ull)}) {
        Identify bad = IdentifyRequest();
        bad.header.DataBufferOffset = offset;
        EXPECT_FALSE(DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH, &bad, sizeof bad, &bad, sizeof bad, &returned,
                                     nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    // SMART READ DATA through the same request.
    Identify smart = IdentifyRequest();
    smart.header.CurrentTaskFile[0] = 0xD0;
    smart.header.CurrentTaskFile[3] = 0x4F;
    smart.header.CurrentTaskFile[4] = 0xC2;
    smart.header.CurrentTaskFile[6] = 0xB0;
    ASSERT_TRUE(DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH, &smart, sizeof smart, &smart, sizeof smart, &returned,
                                nullptr));
    EXPECT_EQ(smart.data[2], 194);
    // A command the drive does not know is refused without reaching it.
    Identify unknown = IdentifyRequest();
    unknown.header.CurrentTaskFile[6] = 0x30;  // WRITE SECTORS
    EXPECT_FALSE(DeviceIoControl(disk, IOCTL_ATA_PASS_THROUGH, &unknown, sizeof unknown, &unknown, sizeof unknown,
                                 &returned, nullptr));
    // The second drive takes no ATA commands at all.
    HANDLE second = Open("\\\\.\\PhysicalDrive1");
    Identify none = IdentifyRequest();
    EXPECT_FALSE(DeviceIoControl(second, IOCTL_ATA_PASS_THROUGH, &none, sizeof none, &none, sizeof none, &returned,
                                 nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(SystemDevices, ThePropertyIsCutToTheOutputAndKeepsItsSize) {
    HANDLE disk = Open(kDiskPath);
    STORAGE_PROPERTY_QUERY query {};
    uint8_t buffer[512] = {};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer, sizeof buffer,
                                &returned, nullptr));
    STORAGE_DEVICE_DESCRIPTOR descriptor;
    std::memcpy(&descriptor, buffer, sizeof descriptor);
    EXPECT_EQ(descriptor.Version, 40u);
    EXPECT_EQ(returned, descriptor.Size);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + descriptor.VendorIdOffset), "ACME");
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + descriptor.ProductIdOffset), "Disk");
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + descriptor.ProductRevisionOffset), "1.0");
    EXPECT_STREQ(reinterpret_cast<char*>(buffer + descriptor.SerialNumberOffset), "S1");
    EXPECT_EQ(descriptor.BusType, 11u);

    uint8_t small[44] = {};
    ASSERT_TRUE(DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, small, sizeof small,
                                &returned, nullptr));
    EXPECT_EQ(returned, sizeof small);
    std::memcpy(&descriptor, small, sizeof descriptor);
    EXPECT_GT(descriptor.Size, sizeof small) << "Size tells what did not fit";
    EXPECT_FALSE(DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, 8, buffer, sizeof buffer, &returned,
                                 nullptr));
    EXPECT_FALSE(DeviceIoControl(Open("\\\\.\\PhysicalDrive1"), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                 buffer, sizeof buffer, &returned, nullptr));
}

TEST_F(SystemDevices, SmartVersionCommandsGeometryAndPower) {
    HANDLE disk = Open(kDiskPath);
    HANDLE second = Open("\\\\.\\PhysicalDrive1");
    GETVERSIONINPARAMS version {};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(disk, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned, nullptr));
    EXPECT_EQ(version.fCapabilities, CAP_ATA_ID_CMD | CAP_SMART_CMD);
    ASSERT_TRUE(DeviceIoControl(second, SMART_GET_VERSION, nullptr, 0, &version, sizeof version, &returned, nullptr));
    EXPECT_EQ(version.fCapabilities, 0u);

    SENDCMDINPARAMS command {};
    command.cBufferSize = 512;
    command.irDriveRegs = IDEREGS{0xD0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0};
    uint8_t result[16 + 512] = {};
    ASSERT_TRUE(DeviceIoControl(disk, SMART_RCV_DRIVE_DATA, &command, 32, result, sizeof result, &returned, nullptr));
    EXPECT_EQ(returned, sizeof result);
    EXPECT_EQ(result[16 + 2], 194);
    EXPECT_FALSE(DeviceIoControl(disk, SMART_RCV_DRIVE_DATA, &command, 32, result, 16 + 511, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    DISK_GEOMETRY geometry {};
    ASSERT_TRUE(DeviceIoControl(disk, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry,
                                &returned, nullptr));
    EXPECT_EQ(geometry.Cylinders.QuadPart, 1953525168 / (255 * 63));
    EXPECT_EQ(geometry.MediaType, FixedMedia);
    EXPECT_EQ(geometry.BytesPerSector, 512u);
    EXPECT_FALSE(DeviceIoControl(second, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry,
                                 &returned, nullptr));

    BOOL on = FALSE;
    EXPECT_TRUE(GetDevicePowerState(disk, &on));
    EXPECT_TRUE(on);
    EXPECT_TRUE(GetDevicePowerState(second, &on));
    EXPECT_FALSE(on);
    EXPECT_FALSE(GetDevicePowerState(INVALID_HANDLE_VALUE, &on));
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    EXPECT_TRUE(GetProcAddress(kernel32, "GetDevicePowerState"));
    EXPECT_FALSE(DeviceIoControl(disk, 0x12345678, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
}

TEST_F(SystemDevices, ABridgeBlockTheDriveDoesNotKnowGetsIllegalRequestSense) {
    struct {
        SCSI_PASS_THROUGH_DIRECT header;
        ULONG filler;
        UCHAR sense[32];
    } request {};
    uint8_t data[512] = {};
    request.header.Length = sizeof request.header;
    request.header.CdbLength = 12;
    request.header.SenseInfoLength = 24;
    request.header.DataIn = SCSI_IOCTL_DATA_IN;
    request.header.DataTransferLength = sizeof data;
    request.header.DataBuffer = data;
    request.header.SenseInfoOffset = offsetof(decltype(request), sense);
    request.header.Cdb[0] = 0xA1;
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(Open(kDiskPath), IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                                sizeof request, &returned, nullptr));
    EXPECT_EQ(request.header.ScsiStatus, 2);
    EXPECT_EQ(request.header.DataTransferLength, 0u);
    EXPECT_EQ(request.sense[2], 0x05);
    request.header.CdbLength = 17;
    EXPECT_FALSE(DeviceIoControl(Open(kDiskPath), IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, sizeof request, &request,
                                 sizeof request, &returned, nullptr));
}

// A name asked with room for the header only: ActualLength; then the whole.
std::wstring AskName(HANDLE device, DWORD code, ULONG port, size_t nameOffset) {
    std::vector<uint8_t> buffer(nameOffset + sizeof(WCHAR), 0);
    std::memcpy(buffer.data(), &port, nameOffset > sizeof(ULONG) ? sizeof port : 0);
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(device, code, buffer.data(), DWORD(buffer.size()), buffer.data(), DWORD(buffer.size()),
                                &returned, nullptr));
    ULONG actual = 0;
    std::memcpy(&actual, buffer.data() + nameOffset - sizeof actual, sizeof actual);
    buffer.resize(actual);
    if (!DeviceIoControl(device, code, buffer.data(), actual, buffer.data(), actual, &returned, nullptr)) return L"?";
    EXPECT_EQ(returned, actual);
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + nameOffset));
}

TEST_F(SystemDevices, UsbControllersAndHubs) {
    EXPECT_EQ(Open("\\\\.\\HCD1"), INVALID_HANDLE_VALUE);
    HANDLE controller = Open("\\\\.\\HCD0");
    ASSERT_NE(controller, INVALID_HANDLE_VALUE);
    const std::wstring root =
        AskName(controller, IOCTL_USB_GET_ROOT_HUB_NAME, 0, offsetof(USB_ROOT_HUB_NAME, RootHubName));
    EXPECT_EQ(root, L"USB#ROOT_HUB#0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    HANDLE rootHub = Open("\\\\.\\" + std::string(root.begin(), root.end()));
    ASSERT_NE(rootHub, INVALID_HANDLE_VALUE);
    USB_NODE_INFORMATION node {};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(rootHub, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node,
                                &returned, nullptr));
    EXPECT_EQ(UCHAR(node.u.HubInformation.HubDescriptor.bNumberOfPorts), 2);

    uint8_t buffer[365] = {};
    ULONG port = 1;
    std::memcpy(buffer, &port, sizeof port);
    ASSERT_TRUE(DeviceIoControl(rootHub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, buffer, sizeof buffer, buffer,
                                sizeof buffer, &returned, nullptr));
    USB_NODE_CONNECTION_INFORMATION connection {};
    std::memcpy(&connection, buffer, offsetof(USB_NODE_CONNECTION_INFORMATION, PipeList));
    EXPECT_EQ(DWORD(connection.ConnectionStatus), DeviceConnected);
    EXPECT_TRUE(BOOLEAN(connection.DeviceIsHub));
    EXPECT_EQ(USHORT(connection.DeviceDescriptor.idVendor), 0x1A40);
    port = 2;
    std::memcpy(buffer, &port, sizeof port);
    ASSERT_TRUE(DeviceIoControl(rootHub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, buffer, sizeof buffer, buffer,
                                sizeof buffer, &returned, nullptr));
    std::memcpy(&connection, buffer, offsetof(USB_NODE_CONNECTION_INFORMATION, PipeList));
    EXPECT_EQ(DWORD(connection.ConnectionStatus), NoDeviceConnected);
    port = 3;  // past the hub's ports
    std::memcpy(buffer, &port, sizeof port);
    EXPECT_FALSE(DeviceIoControl(rootHub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, buffer, sizeof buffer, buffer,
                                 sizeof buffer, &returned, nullptr));

    const size_t nameOffset = offsetof(USB_NODE_CONNECTION_NAME, NodeName);
    const std::wstring hub = AskName(rootHub, IOCTL_USB_GET_NODE_CONNECTION_NAME, 1, nameOffset);
    EXPECT_EQ(hub, L"USB#VID_1A40&PID_0101#0&1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    HANDLE external = Open("\\\\.\\" + std::string(hub.begin(), hub.end()));
    ASSERT_NE(external, INVALID_HANDLE_VALUE);
    EXPECT_EQ(AskName(external, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, 4, nameOffset),
              L"{36fc9e60-c465-11cf-8056-444553540000}\\0042");
    EXPECT_EQ(AskName(external, IOCTL_USB_GET_NODE_CONNECTION_NAME, 4, nameOffset), L"") << "not a hub";
    EXPECT_EQ(Open("\\\\.\\USB#VID_1A40&PID_0101#0&2#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"), INVALID_HANDLE_VALUE);
}

} // namespace
} // namespace vexa::test
