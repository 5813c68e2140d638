// Installing and removing the kernel driver: the NT service steps, the
// Windows 9x VxD steps, extraction of the driver file from the program's
// resources, and its removal.
#include <cstring>

#include "platform/driver.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/resources.h"
#include "platform/services.h"
#include "platform/sync.h"
#include "platform/temp_files.h"
#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/kmdriver_internal.h"

namespace {

constexpr DWORD kUninstallSettleTime = 200;  // ms at most for the driver to unload
constexpr DWORD kSettlePollInterval = 5;     // ms between looks at the service

const char* MachineNameOrNull(const char* name) { return name[0] ? name : nullptr; }

} // namespace

// ---- Windows 9x ----

int CKMDriver::Win9x_bInstallDriver(uint32_t* error) {
    if (!m_bExtract) return 1;
    const uint32_t result = bExtract_VXD();
    Log("[Win9x_bInstallDriver] bExtract_VXD returned 0x%X (%d)\n", result, static_cast<int>(result));
    if (result == 0) return 1;
    if (error) *error = result;
    return 0;
}

uint32_t CKMDriver::Win9x_dwUninstallDriver() {
    if (!m_bExtract) return 0;
    return bDeleteFile() ? 0 : GetLastError();
}

HANDLE CKMDriver::Win9x_hCreateServiceHandle() {
    char device[128];
    FormatString(device, sizeof device, "\\\\.\\%s.vxd", m_szServiceName);
    Log("[Win9x_hCreateServiceHandle] service = %s (path = %s)\n", m_szServiceName, m_szPath_2);
    // Opening the VxD with delete-on-close loads it dynamically.
    SetLastError(ERROR_SUCCESS);
    HANDLE handle = CreateFileA(device, 0, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    Log("[Win9x_hCreateServiceHandle] CreateFile error = %d, handle = %X\n",
        static_cast<int>(GetLastError()), static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle)));
    return handle;
}

int CKMDriver::Win9x_bOpenDriver(uint32_t* error) {
    CloseDeviceHandle();
    m_hDevice = Win9x_hCreateServiceHandle();
    if (m_hDevice == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
        if (!Win9x_bInstallDriver(error)) return 0;
        m_hDevice = Win9x_hCreateServiceHandle();
    }
    if (m_hDevice != INVALID_HANDLE_VALUE) return 1;
    if (error) *error = GetLastError();
    return 0;
}

// ---- Windows NT ----

HANDLE CKMDriver::OpenServiceDevice(DWORD shareMode) const {
    char device[128];
    FormatString(device, sizeof device, "\\\\.\\%s", m_szServiceName);
    SetLastError(ERROR_SUCCESS);  // a successful open need not clear it
    return CreateFileA(device, GENERIC_READ, shareMode, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool CKMDriver::IsDriverUsedElsewhere() const {
    // Every user opens the device shared and keeps it open while it runs:
    // an open that shares nothing fails exactly while some other handle
    // exists. A killed instance's handle is gone with it.
    HANDLE probe = OpenServiceDevice(0);
    if (probe == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(probe);
    return false;
}

HANDLE CKMDriver::WinNT_hCreateServiceHandle() {
    HANDLE handle = OpenServiceDevice(FILE_SHARE_READ);
    const DWORD status = GetLastError();
    if (status != ERROR_SUCCESS)
        Log("[WinNT_hCreateServiceHandle] returned %d (0x%X)\n", static_cast<int>(status), status);
    return handle;
}

int CKMDriver::WinNT_bOpenDriver(uint32_t* error) {
    CloseDeviceHandle();
    m_hDevice = WinNT_hCreateServiceHandle();
    // No device: the service is not installed or was removed meanwhile.
    if (m_hDevice == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND) {
        if (!WinNT_bInstallDriver(error)) return 0;
        m_hDevice = WinNT_hCreateServiceHandle();
    }
    if (m_hDevice != INVALID_HANDLE_VALUE) return 1;
    if (error) *error = GetLastError();
    return 0;
}

uint32_t CKMDriver::ResourceIdForPlatform() const {
    if (m_bIsAMD64) return m_dwResourceIds[KMDRIVER_BUILD_X64];
    if (m_bIsIA64) return m_dwResourceIds[KMDRIVER_BUILD_IA64];
    return m_dwResourceIds[KMDRIVER_BUILD_X86];
}

int CKMDriver::WinNT_bInstallDriver(uint32_t* error) {
    uint32_t ignored;
    if (!error) error = &ignored;
    DWORD size = sizeof m_szMachineName;
    if (!GetComputerNameA(m_szMachineName, &size)) m_szMachineName[0] = '\0';
    const SYSTEMTIME now = kmdriver::Now();
    Log("[WinNT_bInstallDriver %02d:%02d:%02d] szMachineName = %s\n", now.wHour, now.wMinute,
        now.wSecond, m_szMachineName);
    m_hSCManager = OpenSCManagerA(MachineNameOrNull(m_szMachineName), nullptr, SC_MANAGER_ALL_ACCESS);
    if (!m_hSCManager) {
        *error = GetLastError();
        Log("[WinNT_bInstallDriver] OpenSCManager failed, error code = %d\n", static_cast<int>(*error));
        return 0;
    }

    int result = 0;
    const uint32_t extracted = m_bExtract ? dwExtract_SYS(ResourceIdForPlatform()) : 0;
    if (extracted != 0) {
        Log("[WinNT_bInstallDriver] Unable to extract driver file\n");
        *error = extracted;
    } else if (WinNT_bCreateService(error)) {
        result = WinNT_bStartService(error);
        // A service that cannot start must not stay behind.
        if (!result) WinNT_dwDeleteService();
    }

    if (!CloseServiceHandle(m_hSCManager))
        Log("[WinNT_bInstallDriver] CloseServiceHandle failed, errorcode = %d\n",
            static_cast<int>(GetLastError()));
    m_hSCManager = nullptr;
    return result;
}

int CKMDriver::WinNT_bCreateService(uint32_t* error) {
    uint32_t ignored;
    if (!error) error = &ignored;
    char image[512];
    if (!kmdriver::JoinPath(image, sizeof image, m_szPath_2, m_szFilename)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return 0;
    }
    Log("[WinNT_bCreateService] szDestName = %s\n", image);
    SC_HANDLE service = CreateServiceA(m_hSCManager, m_szServiceName, m_szServiceName,
                                       SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, image, nullptr, nullptr, nullptr,
                                       nullptr, nullptr);
    if (!service) {
        const DWORD status = GetLastError();
        Log("[WinNT_bCreateService] CreateService failed, error code = %d\n", static_cast<int>(status));
        // Another instance installed it: use theirs.
        *error = status == ERROR_SERVICE_EXISTS ? 0 : status;
        return status == ERROR_SERVICE_EXISTS;
    }
    *error = 0;
    if (!CloseServiceHandle(service)) {
        *error = GetLastError();
        Log("[WinNT_bCreateService] CloseServiceHandle failed, errorcode = %d\n", static_cast<int>(*error));
        return 0;
    }
    return 1;
}

int CKMDriver::WinNT_bStartService(uint32_t* error) {
    uint32_t ignored;
    if (!error) error = &ignored;
    SC_HANDLE service = OpenServiceA(m_hSCManager, m_szServiceName, SERVICE_ALL_ACCESS);
    if (!service) {
        *error = GetLastError();
        Log("[WinNT_bStartService] OpenService failed, error code = %d\n", static_cast<int>(*error));
        return 0;
    }
    int result = 1;
    *error = 0;
    if (!StartServiceA(service, 0, nullptr)) {
        const DWORD status = GetLastError();
        Log("[WinNT_bStartService] StartService failed, error code = %d\n", static_cast<int>(status));
        if (status != ERROR_SERVICE_ALREADY_RUNNING) {
            *error = status;
            result = 0;
        }
    }
    if (!CloseServiceHandle(service))
        Log("[WinNT_bStartService] CloseServiceHandle failed, errorcode = %d\n",
            static_cast<int>(GetLastError()));
    return result;
}

uint32_t CKMDriver::WinNT_dwStopService() {
    SC_HANDLE service = OpenServiceA(m_hSCManager, m_szServiceName, SERVICE_ALL_ACCESS);
    if (!service) {
        const DWORD status = GetLastError();
        Log("[WinNT_dwStopService] OpenService failed, errorcode = %d\n", static_cast<int>(status));
        return status;
    }
    uint32_t lastError = 0;
    SERVICE_STATUS state {};
    if (ControlService(service, SERVICE_CONTROL_INTERROGATE, &state)) {
        Log("[WinNT_dwStopService] ControlService[SERVICE_CONTROL_INTERROGATE] status = 0x%X\n",
            state.dwCurrentState);
    } else {
        lastError = GetLastError();
        Log("[WinNT_dwStopService] ControlService[SERVICE_CONTROL_INTERROGATE] failed, errorcode = %d\n",
            static_cast<int>(lastError));
    }
    if (state.dwCurrentState != SERVICE_STOPPED) {
        if (ControlService(service, SERVICE_CONTROL_STOP, &state)) {
            Log("[WinNT_dwStopService] ControlService[SERVICE_CONTROL_STOP] status = 0x%X\n",
                state.dwCurrentState);
            // Our own open device keeps the driver from unloading.
            if (state.dwCurrentState == SERVICE_STOP_PENDING) {
                CloseDeviceHandle();
                const BOOL stopped = ControlService(service, SERVICE_CONTROL_STOP, &state);
                if (!stopped) lastError = GetLastError();
                Log("[WinNT_dwStopService] ControlService[SERVICE_CONTROL_STOP] failed, pending, result = %d\n",
                    stopped);
            }
        } else {
            lastError = GetLastError();
            Log("[WinNT_dwStopService] ControlService[SERVICE_CONTROL_STOP] failed, errorcode = %d\n",
                static_cast<int>(lastError));
        }
    }
    if (!CloseServiceHandle(service)) {
        lastError = GetLastError();
        Log("[WinNT_dwStopService] CloseServiceHandle failed, errorcode = %d\n", static_cast<int>(lastError));
    }
    return lastError;
}

uint32_t CKMDriver::WinNT_dwDeleteService() {
    SC_HANDLE service = OpenServiceA(m_hSCManager, m_szServiceName, SERVICE_ALL_ACCESS);
    if (!service) {
        const DWORD status = GetLastError();
        Log("[WinNT_dwDeleteService] Openservice failed, errorcode = %d\n", static_cast<int>(status));
        return status;
    }
    uint32_t lastError = 0;
    if (!DeleteService(service)) {
        lastError = GetLastError();
        Log("[WinNT_dwDeleteService] DeleteService failed, errorcode = %d\n", static_cast<int>(lastError));
    }
    if (!CloseServiceHandle(service)) {
        lastError = GetLastError();
        Log("[WinNT_dwDeleteService] CloseServiceHandle failed, errorcode = %d\n", static_cast<int>(lastError));
    }
    return lastError;
}

uint32_t CKMDriver::WinNT_dwUninstallDriver(uint32_t stop, uint32_t remove) {
    // Our own handle goes first. Another instance still holding the device
    // keeps the driver: the service and its file stay for it, and the last
    // user removes them.
    CloseDeviceHandle();
    if (IsDriverUsedElsewhere()) {
        Log("[WinNT_dwUninstallDriver] driver in use by another instance, left installed\n");
        // A folder of ours that holds no driver file (another instance
        // installed it elsewhere) is not needed by anyone.
        if (m_bExtract && HasOwnFolder()) RemoveDirectoryA(m_szPath_2);
        return 0;
    }
    m_hSCManager = OpenSCManagerA(MachineNameOrNull(m_szMachineName), nullptr, SC_MANAGER_ALL_ACCESS);
    if (!m_hSCManager) {
        const DWORD status = GetLastError();
        Log("[WinNT_dwUninstallDriver] OpenSCManager failed, error code = %d\n", static_cast<int>(status));
        return status;
    }
    uint32_t lastError = 0;
    if (stop) lastError = WinNT_dwStopService();
    if (remove) {
        if (const uint32_t status = WinNT_dwDeleteService()) lastError = status;
    }
    if (stop || remove) WaitForServiceToSettle(remove != 0);
    if (!CloseServiceHandle(m_hSCManager)) {
        lastError = GetLastError();
        Log("[WinNT_dwUninstallDriver] CloseServiceHandle failed, errorcode = %d\n",
            static_cast<int>(lastError));
    }
    m_hSCManager = nullptr;
    if (m_bExtract && !bDeleteFile()) lastError = GetLastError();
    return lastError;
}

void CKMDriver::WaitForServiceToSettle(bool removed) {
    const DWORD start = GetTickCount();
    for (;;) {
        SC_HANDLE service = OpenServiceA(m_hSCManager, m_szServiceName, SERVICE_ALL_ACCESS);
        if (!service) return;  // gone (or out of reach): nothing to wait for
        SERVICE_STATUS state {};
        const bool stopped = QueryServiceStatus(service, &state) && state.dwCurrentState == SERVICE_STOPPED;
        CloseServiceHandle(service);
        if (stopped && !removed) return;
        if (GetTickCount() - start >= kUninstallSettleTime) return;
        Sleep(kSettlePollInterval);
    }
}

// ---- The driver file ----

bool CKMDriver::HasOwnFolder() const { return std::strlen(m_szPath_2) > std::strlen(m_szPath); }

bool CKMDriver::DriverFilePath(char (&path)[512]) const {
    return m_szPath_2[0] && m_szFilename[0] && kmdriver::JoinPath(path, sizeof path, m_szPath_2, m_szFilename);
}

BOOL CKMDriver::bDeleteFile() {
    char path[512];
    if (!DriverFilePath(path)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    BOOL result = DeleteFileA(path);
    SYSTEMTIME now = kmdriver::Now();
    Log("[bDeleteFile %02d:%02d:%02d] DeleteFile returned = %d (error = %d)\n", now.wHour, now.wMinute,
        now.wSecond, result, result ? 0 : static_cast<int>(GetLastError()));
    if (HasOwnFolder()) {
        result = RemoveDirectoryA(m_szPath_2);
        now = kmdriver::Now();
        Log("[bDeleteFile %02d:%02d:%02d] RemoveDirectory %s returned = %d (error = %d)\n", now.wHour,
            now.wMinute, now.wSecond, m_szPath_2, result, result ? 0 : static_cast<int>(GetLastError()));
    }
    return result;
}

uint32_t CKMDriver::LoadDriverImage(uint32_t resourceId, bool logFailures, const void** data, DWORD* size) {
    if (!IsResourceIdSet(resourceId)) {
        if (logFailures) Log("[dwExtract_SYS] Wrong res ID = %X\n", resourceId);
        return KMDRIVER_ERROR_RESOURCE_ID_NOT_SET;
    }
    HMODULE program = GetModuleHandleA(nullptr);
    if (!program) {
        const DWORD status = GetLastError();
        if (logFailures)
            Log("[dwExtract_SYS] GetModuleHandle on %s failed, error=%d\n", "NULL", static_cast<int>(status));
        return status;
    }
    HRSRC resource = FindResourceA(program, MAKEINTRESOURCEA(resourceId), RT_RCDATA);
    if (!resource) {
        const DWORD status = GetLastError();
        if (logFailures) Log("[dwExtract_SYS] FindResource failed, error=%d\n", static_cast<int>(status));
        return status;
    }
    HGLOBAL loaded = LoadResource(program, resource);
    *data = loaded ? LockResource(loaded) : nullptr;
    if (!*data) {
        const DWORD status = GetLastError();
        if (logFailures) Log("[dwExtract_SYS] LoadResource failed, error=%d\n", static_cast<int>(status));
        return status ? status : ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    *size = SizeofResource(program, resource);
    if (*size == 0) {
        const DWORD status = GetLastError();
        if (logFailures) Log("[dwExtract_SYS] Size of resousrce = 0, error=%d\n", static_cast<int>(status));
        return status ? status : ERROR_RESOURCE_DATA_NOT_FOUND;
    }
    return 0;
}

uint32_t CKMDriver::WriteDriverFile(const char* path, const void* data, DWORD size, bool logFailures) {
    // The driver's own folder may have been removed by another instance
    // since bInitDriver; it is made again, and must still be ours.
    const uint32_t folderStatus = HasOwnFolder() ? vexa::platform::usePrivateFolder(m_szPath_2) : 0;
    uint32_t status = folderStatus ? folderStatus : vexa::platform::writeNewFile(path, data, size);
    if (status == ERROR_SUCCESS) return 0;
    if (logFailures)
        Log("[dwExtract_SYS] Unable to create the file %s, error=%d (1)\n", path, static_cast<int>(status));
    if (folderStatus) return status;

    // Something is in the way (a link, another user's file): it goes, and
    // the file is written anew, never through it.
    DeleteFileA(path);
    status = vexa::platform::writeNewFile(path, data, size);
    if (status != ERROR_SUCCESS && logFailures)
        Log("[dwExtract_SYS] Unable to create the file %s, error=%d (2)\n", path, static_cast<int>(status));
    return status;
}

uint32_t CKMDriver::dwExtract_SYS(uint32_t resourceId) {
    char path[512];
    if (!DriverFilePath(path)) return ERROR_FILENAME_EXCED_RANGE;
    Log("[dwExtract_SYS] Extract %s\n", path);
    if (vexa::platform::checkOwnFile(path) == ERROR_SUCCESS) {
        Log("[dwExtract_SYS] File %s does already exist\n", path);
        return 0;
    }
    const void* data = nullptr;
    DWORD size = 0;
    if (const uint32_t status = LoadDriverImage(resourceId, true, &data, &size)) return status;
    return WriteDriverFile(path, data, size, true);
}

uint32_t CKMDriver::bExtract_VXD() {
    char path[512];
    if (!DriverFilePath(path)) return ERROR_FILENAME_EXCED_RANGE;
    if (vexa::platform::checkOwnFile(path) == ERROR_SUCCESS) {
        Log("[bExtract_VXD] File already present\n");
        return 0;
    }
    const void* data = nullptr;
    DWORD size = 0;
    if (const uint32_t status = LoadDriverImage(m_dwResourceIds[KMDRIVER_BUILD_VXD], false, &data, &size))
        return status;
    const uint32_t status = WriteDriverFile(path, data, size, false);
    if (status == 0) Log("[bExtract_VXD] WriteFile returned %d bytes.\n", static_cast<int>(size));
    return status;
}
