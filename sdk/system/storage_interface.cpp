#include "sdk/system/storage_interface.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/device_interfaces.h"
#include "platform/driver.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/storage_ioctl.h"
#include "platform/sync.h"
#include "platform/sysinfo.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"

namespace {

using GetDevicePowerStateFunction = BOOL (*)(HANDLE, BOOL*);

// An interface path longer than this is not believed.
constexpr DWORD kLargestInterfaceDetail = 64 * 1024;
constexpr size_t kDetailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// A drive handle with read and write access, shared, as every step opens it.
HANDLE OpenPath(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

} // namespace

CStorageInterface::CStorageInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags)
    : CInterface(INTERFACE_STORAGE), m_dwFlags(flags), m_dwBoardHash(boardHash), m_dwBoardByteSum(boardByteSum) {}

CStorageInterface::~CStorageInterface() { delete m_pDrives; }

int CStorageInterface::Init() {
    EnumerateDrives();
    CTListIterator<CDevice> it(m_pDrives);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* drive = static_cast<CDrive*>(device);
        ReadPowerState(drive);
        IdentifyDrive(drive);
        ReadGeometry(drive);
    }
    ReadSMART();
    ProbeUSBBridges();
    return 1;
}

// The disk interfaces of the device-interface enumeration; a drive for each
// one whose path can be opened.
void CStorageInterface::EnumerateDrives() {
    HMODULE setupapi = LoadLibraryA("setupapi.dll");
    if (!setupapi) return;
    using vexa::platform::lookup;
    const auto getClassDevs = lookup<PFN_SetupDiGetClassDevsA>(setupapi, "SetupDiGetClassDevsA");
    const auto destroy = lookup<PFN_SetupDiDestroyDeviceInfoList>(setupapi, "SetupDiDestroyDeviceInfoList");
    const auto enumInterfaces = lookup<PFN_SetupDiEnumDeviceInterfaces>(setupapi, "SetupDiEnumDeviceInterfaces");
    const auto getDetail = lookup<PFN_SetupDiGetDeviceInterfaceDetailA>(setupapi, "SetupDiGetDeviceInterfaceDetailA");
    HDEVINFO set = INVALID_HANDLE_VALUE;
    if (getClassDevs && destroy && enumInterfaces && getDetail)
        set = getClassDevs(&GUID_DEVINTERFACE_DISK, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set != INVALID_HANDLE_VALUE && set) {
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA data {};
            data.cbSize = sizeof data;
            if (!enumInterfaces(set, nullptr, &GUID_DEVINTERFACE_DISK, index, &data)) break;
            DWORD required = 0;
            getDetail(set, &data, nullptr, 0, &required, nullptr);
            if (required <= kDetailPathOffset || required > kLargestInterfaceDetail) continue;
            std::vector<uint8_t> buffer(required + 1, 0);  // one more byte: always terminated
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (!getDetail(set, &data, detail, required, nullptr, nullptr)) continue;
            const char* path = reinterpret_cast<const char*>(buffer.data() + kDetailPathOffset);
            HANDLE handle = OpenPath(path);
            if (handle == INVALID_HANDLE_VALUE) continue;
            auto* drive = new CDrive(m_iNextNumber++);
            if (std::strlen(path) < sizeof drive->m_szDevicePath)
                std::memcpy(drive->m_szDevicePath, path, std::strlen(path) + 1);
            AddDrive(drive);
            CloseHandle(handle);
        }
        destroy(set);
    }
    FreeLibrary(setupapi);
}

void CStorageInterface::AddDrive(CDrive* drive) {
    if (!m_pDrives) m_pDrives = new CTList<CDevice>;
    m_pDrives->AddTail(drive);
    GetSDK()->m_pDevices->AddTail(drive);
}

HANDLE CStorageInterface::OpenDrive(const CDrive* drive) const {
    OSVERSIONINFOA version {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return INVALID_HANDLE_VALUE;
    if (drive->m_szDevicePath[0]) return OpenPath(drive->m_szDevicePath);
    char path[64];
    FormatString(path, sizeof path, "\\\\.\\PhysicalDrive%d", drive->m_iNumber);
    return OpenPath(path);
}

bool CStorageInterface::MayQuery(const CDrive* drive) const {
    return drive->m_iPowerState == 1 || (m_dwFlags & STORAGE_ANY_POWER_STATE);
}

void CStorageInterface::ReadPowerState(CDrive* drive) {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    const auto getPowerState =
        kernel32 ? vexa::platform::lookup<GetDevicePowerStateFunction>(kernel32, "GetDevicePowerState") : nullptr;
    HANDLE handle = OpenDrive(drive);
    BOOL on = TRUE;
    if (getPowerState && handle != INVALID_HANDLE_VALUE && getPowerState(handle, &on)) drive->m_iPowerState = on;
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (kernel32) FreeLibrary(kernel32);
}

void CStorageInterface::Dump(CReportGenerator* report) {
    if (!report) return;
    CTListIterator<CDevice> it(m_pDrives);
    for (CDevice* drive = it.GetFirst(); drive; drive = it.GetNext()) drive->Dump(report);
    DumpUSBDevices(report);
}
