#include "platform/sysinfo.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "machine/machine.h"
#include "platform/console.h"
#include "platform/firmware_tables.h"
#include "platform/memory_status.h"
#include "platform/os_edition.h"
#include "platform/processor_groups.h"
#include "platform/storage_ioctl.h"
#include "platform/internal/handles.h"
#include "platform/internal/libraries.h"
#include "platform/internal/thread_state.h"
#include "platform/testing.h"

namespace vexa::platform::testing {

namespace {
std::mutex identityLock;
std::optional<machine::WindowsIdentity> identityOverride;
} // namespace

void overrideWindowsIdentity(std::optional<machine::WindowsIdentity> identity) {
    std::lock_guard guard(identityLock);
    identityOverride = std::move(identity);
}

machine::WindowsIdentity windowsIdentity() {
    {
        std::lock_guard guard(identityLock);
        if (identityOverride) return *identityOverride;
    }
    return machine::current().windowsIdentity();
}

} // namespace vexa::platform::testing

using vexa::platform::testing::windowsIdentity;

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto identity = windowsIdentity();
    info->dwMajorVersion = identity.majorVersion;
    info->dwMinorVersion = identity.minorVersion;
    info->dwBuildNumber = identity.buildNumber;
    if (const auto& told = identity.reportedVersion) {  // the version a program not declared for it is told
        info->dwMajorVersion = told->majorVersion;
        info->dwMinorVersion = told->minorVersion;
        info->dwBuildNumber = told->buildNumber;
    }
    info->dwPlatformId = identity.platformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strncpy(info->szCSDVersion, identity.csdVersion.c_str(), sizeof info->szCSDVersion - 1);
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA)) {
        auto* ex = reinterpret_cast<OSVERSIONINFOEXA*>(info);
        ex->wServicePackMajor = identity.servicePackMajor;
        ex->wServicePackMinor = identity.servicePackMinor;
        ex->wSuiteMask = identity.suiteMask;
        ex->wProductType = identity.productType;
        ex->wReserved = 0;
    }
    return TRUE;
}

namespace {

// The record describes the processor group the process runs in (the
// first), as Windows does on machines of more than one group.
void fillSystemInfo(SYSTEM_INFO* info, WORD architecture) {
    std::memset(info, 0, sizeof *info);
    const unsigned count = vexa::platform::processorGroupSizes().front();
    info->wProcessorArchitecture = architecture;
    info->dwPageSize = 4096;
    info->dwAllocationGranularity = 65536;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFEFFFFull);
    info->dwNumberOfProcessors = std::max(1u, count);
    info->dwActiveProcessorMask = count >= 64 ? ~0ull : (1ull << std::max(1u, count)) - 1;
}

} // namespace

void GetNativeSystemInfo(SYSTEM_INFO* info) {
    if (info) fillSystemInfo(info, windowsIdentity().processorArchitecture);
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (!info) return;
    const auto identity = windowsIdentity();
    // A 32-bit process on 64-bit Windows is told it runs on x86.
    fillSystemInfo(info, identity.wow64Process ? PROCESSOR_ARCHITECTURE_INTEL
                                               : identity.processorArchitecture);
}

BOOL IsWow64Process(HANDLE process, BOOL* wow64) {
    if (process != vexa::platform::kCurrentProcessHandle || !wow64) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *wow64 = windowsIdentity().wow64Process ? TRUE : FALSE;
    return TRUE;
}

void CpuidEx(int regs[4], int leaf, int subleaf) {
    const unsigned cpu = vexa::platform::currentProcessor();
    const auto r = vexa::machine::current().cpuid(cpu, static_cast<uint32_t>(leaf),
                                                  static_cast<uint32_t>(subleaf));
    regs[0] = static_cast<int>(r.eax);
    regs[1] = static_cast<int>(r.ebx);
    regs[2] = static_cast<int>(r.ecx);
    regs[3] = static_cast<int>(r.edx);
}

ULONGLONG ReadTimeStampCounter() {
    return vexa::machine::current().readTsc(vexa::platform::currentProcessor());
}

namespace {

constexpr uint16_t kWindows7 = 0x0601;  // the processor-group functions came with it

const vexa::platform::LibraryExport kKernel32Exports[] = {
    {"GetNativeSystemInfo", vexa::platform::exported(&GetNativeSystemInfo)},
    {"GetSystemFirmwareTable", vexa::platform::exported(&GetSystemFirmwareTable)},
    {"IsWow64Process", vexa::platform::exported(&IsWow64Process)},
    {"AttachConsole", vexa::platform::exported(&AttachConsole)},
    {"GlobalMemoryStatusEx", vexa::platform::exported(&GlobalMemoryStatusEx)},
    {"GetProductInfo", vexa::platform::exported(&GetProductInfo)},
    {"GetDevicePowerState", vexa::platform::exported(&GetDevicePowerState)},
    {"GetActiveProcessorGroupCount", vexa::platform::exported(&GetActiveProcessorGroupCount), kWindows7},
    {"GetActiveProcessorCount", vexa::platform::exported(&GetActiveProcessorCount), kWindows7},
    {"GetThreadGroupAffinity", vexa::platform::exported(&GetThreadGroupAffinity), kWindows7},
    {"SetThreadGroupAffinity", vexa::platform::exported(&SetThreadGroupAffinity), kWindows7},
};

} // namespace

// The kernel32 functions that older Windows versions lack, so the program
// looks them up by name.
std::span<const vexa::platform::LibraryExport> vexa::platform::kernel32Exports() {
    return kKernel32Exports;
}
