// The kernel-driver manager's life cycle: log, platform, driver mutex,
// initialisation, the driver lock and the final clean-up.
#include "sdk/hw/kmdriver.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/modules.h"
#include "platform/sync.h"
#include "platform/sysinfo.h"
#include "platform/temp_files.h"
#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver_internal.h"

namespace {

constexpr uint32_t kInitLockTimeout = 2000;   // ms, the first lock of bInitDriver
constexpr uint32_t kCloseLockTimeout = 10000;  // ms, vCloseDriver
constexpr const char* kMutexName = "vexa";
constexpr const char* kDriverFolder = "vexa138\\";
constexpr const char* kPrivateDriverFolderPrefix = "vexa138.";

unsigned HandleValue(HANDLE handle) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle));
}

} // namespace

namespace kmdriver {

bool JoinPath(char* destination, size_t size, const char* folder, const char* name) {
    const size_t folderLength = std::strlen(folder);
    const bool separated =
        folderLength == 0 || folder[folderLength - 1] == '\\' || folder[folderLength - 1] == '/';
    FormatString(destination, size, "%s%s%s", folder, separated ? "" : "\\", name);
    // A path cut short would name another file: refuse it.
    if (std::strlen(destination) == folderLength + (separated ? 0 : 1) + std::strlen(name))
        return true;
    destination[0] = '\0';
    return false;
}

} // namespace kmdriver

CKMDriver::CKMDriver() {
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp) return;
    char stem[64];
    FormatString(stem, sizeof stem, "vexa_driver_%d", static_cast<int>(GetCurrentProcessId()));
    char name[sizeof stem + 8];
    FormatString(name, sizeof name, "%s.log", stem);
    char path[sizeof m_szLogPath];
    // The log is ours and starts empty. Anything else at its usual name (a
    // link, another user's file, a file with a second name) is left alone,
    // and the log is created under a fresh name no one could plant in advance.
    if (kmdriver::JoinPath(path, sizeof path, temp, name) &&
        vexa::platform::createOwnFile(path) == ERROR_SUCCESS) {
        FormatString(m_szLogPath, sizeof m_szLogPath, "%s", path);
        return;
    }
    std::string unique;
    AppendFormat(stem, sizeof stem, ".");
    if (vexa::platform::createUniqueFile(temp, stem, ".log", unique) == ERROR_SUCCESS &&
        unique.size() < sizeof m_szLogPath)
        FormatString(m_szLogPath, sizeof m_szLogPath, "%s", unique.c_str());
}

CKMDriver::~CKMDriver() = default;

void CKMDriver::Log(const char* format, ...) {
    const DWORD lastError = GetLastError();
    if (m_szStartDirectory[0]) SetCurrentDirectoryA(m_szStartDirectory);
    if (m_szLogPath[0]) {
        char line[kFormatBufferSize];
        va_list args;
        va_start(args, format);
        FormatStringV(line, sizeof line, format, args);
        va_end(args);
        vexa::platform::appendOwnFile(m_szLogPath, line, std::strlen(line));
    }
    SetLastError(lastError);
}

void CKMDriver::vGetOSVersion() {
    m_iOSVersion = m_iMajorVersion = m_iMinorVersion = m_iNativeArchitecture = -1;
    m_bIsAMD64 = m_bIsIA64 = 0;

    OSVERSIONINFOEXA version {};
    auto* basic = reinterpret_cast<OSVERSIONINFOA*>(&version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(basic)) {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(basic)) {
            Log("[vGetOSVersion] GetVersionEx returned NULL\n");
            return;
        }
    }
    m_iOSVersion = static_cast<int32_t>(version.dwPlatformId);
    m_iMajorVersion = static_cast<int32_t>(version.dwMajorVersion);
    m_iMinorVersion = static_cast<int32_t>(version.dwMinorVersion);
    Log("[vGetOSVersion] m_iOSVersion = %d (%d.%d)\n", m_iOSVersion, m_iMajorVersion, m_iMinorVersion);

    // Windows versions before XP lack GetNativeSystemInfo: they are 32-bit.
    if (HMODULE kernel32 = LoadLibraryA("kernel32.dll")) {
        using vexa::platform::lookup;
        if (auto nativeSystemInfo = lookup<decltype(&GetNativeSystemInfo)>(kernel32, "GetNativeSystemInfo")) {
            SYSTEM_INFO info {};
            nativeSystemInfo(&info);
            m_iNativeArchitecture = info.wProcessorArchitecture;
            if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64) {
                if constexpr (sizeof(void*) == 8) {
                    m_bIsAMD64 = 1;  // a 64-bit process needs the x64 build
                } else {
                    auto isWow64 = lookup<decltype(&IsWow64Process)>(kernel32, "IsWow64Process");
                    BOOL wow64 = FALSE;
                    if (isWow64 && isWow64(GetCurrentProcess(), &wow64)) m_bIsAMD64 = wow64 ? 1 : 0;
                }
            } else if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64) {
                m_bIsIA64 = 1;
            }
        }
        FreeLibrary(kernel32);
    }
    Log("[vGetOSVersion] m_bIsAMD64 = %d\n", m_bIsAMD64);
}

HANDLE CKMDriver::CreateDriverMutex(uint32_t initialOwner, const char* name) {
    return BRENIKSDK::CreateGlobalMutex(initialOwner, name);
}

int CKMDriver::bInitDriver(const char* path, uint32_t* error, uint32_t extract) {
    uint32_t status = 0;
    int result = 0;
    bool lockMissed = false;  // another instance held the driver mutex throughout

    Log("[bInitDriver] path = %s\n", path ? path : "(null)");
    const DWORD directoryLength = GetCurrentDirectoryA(sizeof m_szStartDirectory, m_szStartDirectory);
    if (directoryLength == 0 || directoryLength >= sizeof m_szStartDirectory) m_szStartDirectory[0] = '\0';
    Log("[bInitDriver] GetCurrentDirectory = %s\n", m_szStartDirectory);
    char program[512] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    Log("[bInitDriver] GetModuleFileName = %s\n", program);

    vGetOSVersion();

    if (m_hDriverMutex) CloseHandle(m_hDriverMutex);
    m_hDriverMutex = CreateDriverMutex(0, kMutexName);
    char line[kFormatBufferSize];
    FormatString(line, sizeof line, "[bInitDriver] m_hDriverMutex = %X", HandleValue(m_hDriverMutex));
    if (!m_hDriverMutex) AppendFormat(line, sizeof line, ", err=%d", static_cast<int>(GetLastError()));
    Log("%s\n", line);

    m_bExtract = extract;
    FormatString(m_szPath, sizeof m_szPath, "%s", path ? path : m_szStartDirectory);

    m_szPath_2[0] = '\0';
    if (m_iOSVersion == kPlatformNT && m_bExtract) {
        status = ChooseDriverFolder();
    } else {
        FormatString(m_szPath_2, sizeof m_szPath_2, "%s", m_szPath);
    }
    Log("[bInitDriver] m_szPath_2 = %s\n", m_szPath_2);

    if (status != ERROR_SUCCESS) {
        // No folder to install into.
    } else if (m_iOSVersion == kPlatformWin9x) {
        FormatString(m_szFilename, sizeof m_szFilename, "vexa.vxd");
        FormatString(m_szServiceName, sizeof m_szServiceName, "vexa");
        Log("[bInitDriver] m_szFilename = %s\n", m_szFilename);
        result = Win9x_bInstallDriver(&status);
    } else if (m_iOSVersion == kPlatformNT) {
        FormatString(m_szServiceName, sizeof m_szServiceName, "vexa138");
        FormatString(m_szFilename, sizeof m_szFilename, "vexa138%s",
                     m_bIsAMD64 ? "_x64.sys" : m_bIsIA64 ? "_ia64.sys" : "_x32.sys");
        Log("[bInitDriver] m_szFilename = %s\n", m_szFilename);
        // The first lock installs and starts the service when the device
        // cannot be opened. A failed lock has already let the mutex go.
        const bool held = AcquireDriverMutex(&status, kInitLockTimeout);
        lockMissed = !held && m_hDriverMutex;
        if (held) result = OpenDeviceHoldingMutex(&status);
        if (result) UnlockDriverHandle();
    } else {
        status = KMDRIVER_ERROR_UNKNOWN_PLATFORM;
    }

    Log("[bInitDriver] bInitDriver returned %d\n", static_cast<int>(status));
    if (error) *error = status;
    if (!result && lockMissed) {
        // The driver belongs to the instance holding the mutex: nothing of
        // it is touched. Our folder goes when it is empty.
        if (HasOwnFolder()) RemoveDirectoryA(m_szPath_2);
        CloseDriverMutex();
    } else if (!result) {
        vCloseDriver(1, 1, 0);  // the log stays for the user
    }
    return result;
}

uint32_t CKMDriver::ChooseDriverFolder() {
    // The driver file lives in a folder of its own, which must be ours; when
    // something else is at its name (a link, a file, another user's folder),
    // a fresh private folder takes its place.
    char folder[sizeof m_szPath_2];
    if (!kmdriver::JoinPath(folder, sizeof folder, m_szPath, kDriverFolder)) return ERROR_FILENAME_EXCED_RANGE;
    if (vexa::platform::usePrivateFolder(folder) == ERROR_SUCCESS) {
        FormatString(m_szPath_2, sizeof m_szPath_2, "%s", folder);
        return ERROR_SUCCESS;
    }
    std::string fresh;
    const uint32_t status = vexa::platform::createPrivateFolder(m_szPath, kPrivateDriverFolderPrefix, fresh);
    if (status != ERROR_SUCCESS) return status;
    if (!kmdriver::JoinPath(m_szPath_2, sizeof m_szPath_2, fresh.c_str(), "")) {
        RemoveDirectoryA(fresh.c_str());
        return ERROR_FILENAME_EXCED_RANGE;
    }
    return ERROR_SUCCESS;
}

int CKMDriver::bLockDriverHandle(uint32_t* error, uint32_t timeout) {
    uint32_t ignored;
    if (!error) error = &ignored;
    return AcquireDriverMutex(error, timeout) && OpenDeviceHoldingMutex(error);
}

bool CKMDriver::AcquireDriverMutex(uint32_t* error, uint32_t timeout) {
    if (!m_hDriverMutex) {
        const SYSTEMTIME now = kmdriver::Now();
        Log("[bLockDriverHandle %02d:%02d:%02d] m_hDriverMutex NULL\n", now.wHour, now.wMinute, now.wSecond);
        *error = KMDRIVER_ERROR_NO_MUTEX;
        return 0;
    }
    const DWORD wait = WaitForSingleObject(m_hDriverMutex, timeout);
    if (wait != WAIT_OBJECT_0) {
        *error = wait == WAIT_FAILED ? GetLastError() : wait;
        // An abandoned mutex is ours now; whatever its owner did with the
        // driver may be half done, so this wait does not count.
        if (wait == WAIT_ABANDONED) ReleaseMutex(m_hDriverMutex);
        return false;
    }
    *error = 0;
    return true;
}

int CKMDriver::OpenDeviceHoldingMutex(uint32_t* error) {
    // The device stays open between locks; only the first lock (or one
    // after the device was closed) opens it.
    int opened = 0;
    if (m_iOSVersion != kPlatformWin9x && m_iOSVersion != kPlatformNT) *error = KMDRIVER_ERROR_UNKNOWN_PLATFORM;
    else if (IsDeviceOpen()) opened = 1;
    else if (m_iOSVersion == kPlatformWin9x) opened = Win9x_bOpenDriver(error);
    else opened = WinNT_bOpenDriver(error);
    if (!opened) {
        ReleaseMutex(m_hDriverMutex);
        return 0;
    }
    ++m_iLockDepth;
    return 1;
}

uint32_t CKMDriver::UnlockDriverHandle() {
    // A release without a lock (a second unlock) leaves the count at 0.
    int depth = m_iLockDepth.load();
    while (depth > 0 && !m_iLockDepth.compare_exchange_weak(depth, depth - 1)) {
    }
    const BOOL released = ReleaseMutex(m_hDriverMutex);
    return released ? static_cast<uint32_t>(released) : GetLastError();
}

void CKMDriver::CloseDeviceHandle() {
    if (IsDeviceOpen()) CloseHandle(m_hDevice);
    m_hDevice = INVALID_HANDLE_VALUE;
}

void CKMDriver::CloseDriverMutex() {
    if (!m_hDriverMutex) return;
    const BOOL closed = CloseHandle(m_hDriverMutex);
    Log("[vCloseDriver] CloseHandle(mutex) = %d\n", closed);
    m_hDriverMutex = nullptr;
}

bool CKMDriver::IsDeviceOpen() const { return m_hDevice && m_hDevice != INVALID_HANDLE_VALUE; }

void CKMDriver::vCloseDriver(uint32_t stop, uint32_t remove, uint32_t deleteLog) {
    const DWORD wait = WaitForSingleObject(m_hDriverMutex, kCloseLockTimeout);
    const SYSTEMTIME now = kmdriver::Now();
    Log("[vCloseDriver %02d:%02d:%02d] WaitForSingleObject error = %d\n", now.wHour, now.wMinute,
        now.wSecond, static_cast<int>(wait));
    if (wait == WAIT_OBJECT_0) {
        if (m_iOSVersion == kPlatformWin9x) Win9x_dwUninstallDriver();
        else if (m_iOSVersion == kPlatformNT) WinNT_dwUninstallDriver(stop, remove);
    }
    // This instance is done with the driver in any case.
    CloseDeviceHandle();
    m_iLockDepth = 0;
    // An abandoned mutex is held too, but another instance may have left
    // the driver half used: it is only let go.
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ReleaseMutex(m_hDriverMutex);
    CloseDriverMutex();
    if (deleteLog && m_szLogPath[0]) {
        DeleteFileA(m_szLogPath);
        m_szLogPath[0] = '\0';
    }
}
