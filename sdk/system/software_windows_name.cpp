// The name of the running Windows with edition and word size, and the
// service pack and build text.
#include <cstring>
#include <strings.h>

#include "platform/modules.h"
#include "platform/os_edition.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/system/software_interface.h"

namespace {

using GetProductInfoFunction = BOOL (*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
using GetNativeSystemInfoFunction = void (*)(SYSTEM_INFO*);

constexpr uint8_t kWorkstation = 1;
constexpr uint16_t kSuiteEnterprise = 0x2;
constexpr uint16_t kSuiteSmallBusiness = 0x1;
constexpr uint16_t kSuiteDatacenter = 0x80;
constexpr uint16_t kSuitePersonal = 0x200;
constexpr uint16_t kSuiteBlade = 0x400;
constexpr const char* kServicePack6aKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";

// Windows Vista to 10: the workstation and server names; "%d.%d" takes the
// major and minor version.
struct VersionName {
    uint32_t major, minor;
    const char* workstation;
    const char* server;
};
constexpr VersionName kVistaToTen[] = {
    {6, 0, "Microsoft Windows Vista (%d.%d) ", "Microsoft Windows Server 2008 "},
    {6, 1, "Microsoft Windows 7 (%d.%d) ", "Microsoft Windows Server 2008 R2 "},
    {6, 2, "Microsoft Windows 8 (%d.%d) ", "Microsoft Windows Server 2012 R2 "},
    {6, 3, "Microsoft Windows 8.1 (%d.%d) ", "Microsoft Windows Server 2012 R2 "},
    {6, 4, "Microsoft Windows 10 (%d.%d) ", "Microsoft Windows Server (%d.%d) "},
};
constexpr VersionName kTen = {10, 0, "Microsoft Windows 10 (%d.%d) ", "Microsoft Windows Server (%d.%d) "};

// GetProductInfo's product types.
struct EditionName {
    uint32_t productType;
    const char* text;
};
constexpr EditionName kEditions[] = {
    {1, "Ultimate Edition "},
    {28, "Ultimate Edition "},
    {2, "Home Basic Edition "},
    {5, "Home Basic Edition "},
    {3, "Home Premium Edition "},
    {4, "Enterprise Edition "},
    {6, "Business Edition "},
    {16, "Business Edition "},
    {8, "Datacenter Edition (Full) "},
    {10, "Enterprise Edition (Full) "},
    {11, "Starter Edition "},
    {12, "Datacenter Edition (Server Core) "},
    {14, "Enterprise Edition (Server Core) "},
    {15, "Enterprise Edition (Itanium) "},
    {17, "Web Server Edition "},
    {20, "Storage Server Express Edition "},
    {21, "Storage Server Standard Edition "},
    {22, "Storage Server Workgroup Edition "},
    {23, "Storage Server Enterprise Edition "},
};

const VersionName* FindVersionName(uint32_t major, uint32_t minor) {
    if (major == kTen.major) return &kTen;
    for (const VersionName& name : kVistaToTen)
        if (name.major == major && name.minor == minor) return &name;
    return nullptr;
}

// The product-type suffix of NT 4 and Windows 2000 to Server 2003.
const char* ProductTypeSuffix(const OSVERSIONINFOEXA& version) {
    const uint32_t major = version.dwMajorVersion, minor = version.dwMinorVersion;
    const uint16_t suite = version.wSuiteMask;
    if (version.wProductType == kWorkstation) {
        if (major == 4) return "Workstation 4.0 ";
        if (major == 5) return (suite & kSuitePersonal) ? "Home Edition " : "Professional ";
        return "";
    }
    if (version.wProductType != 2 && version.wProductType != 3) return "";
    if (major == 5 && minor == 2) {
        if (suite & kSuiteDatacenter) return "Datacenter Edition ";
        if (suite & kSuiteEnterprise) return "Enterprise Edition ";
        if (suite == kSuiteBlade) return "Web Edition ";
        if (suite == kSuiteSmallBusiness) return "Small Business Edition ";
        return "Standard Edition ";
    }
    if (major == 5 && minor == 0) {
        if (suite & kSuiteDatacenter) return "Datacenter Server ";
        if (suite & kSuiteEnterprise) return "Advanced Server ";
        return "Server ";
    }
    if (major < 5) return (suite & kSuiteEnterprise) ? "Server 4.0, Enterprise Edition " : "Server 4.0 ";
    return "";
}

// NT 4 with service pack 6 is 6a when the hotfix Q246009 is installed.
bool HasServicePack6a() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicePack6aKey, 0, KEY_QUERY_VALUE, &key) != LONG(ERROR_SUCCESS))
        return false;
    RegCloseKey(key);
    return true;
}

} // namespace

void CSoftwareInterface::DescribeWindows() {
    if (DescribeHostSystem()) return;
    SYSTEM_INFO system {};
    GetSystemInfo(&system);
    OSVERSIONINFOEXA version {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        version = OSVERSIONINFOEXA{};  // suite mask and product type stay 0
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return;
    }
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
        FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Win32s");
        break;
    case VER_PLATFORM_WIN32_WINDOWS: {
        const char servicePack = version.szCSDVersion[1];
        if (version.dwMajorVersion != 4) {
            FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows 9x ");
        } else if (version.dwMinorVersion == 0) {
            FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows 95%s",
                         servicePack == 'C' || servicePack == 'B' ? " OSR2 " : "");
        } else if (version.dwMinorVersion == 10) {
            FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows 98%s",
                         servicePack == 'A' ? " SE " : "");
        } else if (version.dwMinorVersion == 90) {
            FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows Millennium Edition ");
        }
        break;
    }
    case VER_PLATFORM_WIN32_NT:
        DescribeWindowsNT(system.wProcessorArchitecture, version);
        break;
    default:
        break;
    }
}

void CSoftwareInterface::DescribeWindowsNT(uint32_t architecture, const OSVERSIONINFOEXA& reported) {
    OSVERSIONINFOEXA version = reported;
    uint32_t major = version.dwMajorVersion, minor = version.dwMinorVersion, build = version.dwBuildNumber;
    FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows NT%d.%d ", major, minor);
    // Windows 8.1 and later tell a program not declared for them version
    // 6.2; the kernel knows better. Windows 10 and later tell 6.2 as well,
    // and their kernel's major version replaces the 6 too.
    uint32_t kernelMajor = 0, kernelMinor = 0, kernelBuild = 0;
    CKMDriver* driver = GetSDK()->GetDriver();
    if (major == 6 && driver && driver->GetKernelVersion(&kernelMajor, &kernelMinor, &kernelBuild)) {
        if (kernelMajor > 6 && kernelMajor != 0xFFFFFFFF) major = kernelMajor;
        minor = kernelMinor;
        build = kernelBuild;
    }
    const bool workstation = version.wProductType == kWorkstation;
    if (major < 5) {
        FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows NT ");
    } else if (major == 5 && minor == 0) {
        FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows 2000 ");
    } else if (major == 5 && minor == 1) {
        FormatString(m_szWindowsName, sizeof m_szWindowsName, "Microsoft Windows XP ");
        if (GetSystemMetrics(SM_MEDIACENTER))
            AppendFormat(m_szWindowsName, sizeof m_szWindowsName, "Media Center Edition ");
        if (GetSystemMetrics(SM_TABLETPC)) AppendFormat(m_szWindowsName, sizeof m_szWindowsName, "Tablet PC Edition ");
    } else if (major == 5 && minor == 2) {
        FormatString(m_szWindowsName, sizeof m_szWindowsName, "%s",
                     !workstation                                  ? "Microsoft Windows Server 2003 "
                     : architecture == PROCESSOR_ARCHITECTURE_IA64 ? "Microsoft Windows XP IA64 "
                                                                    : "Microsoft Windows XP x64 ");
    } else if (const VersionName* name = FindVersionName(major, minor)) {
        FormatString(m_szWindowsName, sizeof m_szWindowsName, workstation ? name->workstation : name->server, major,
                     minor);
    }
    if (major == 6) AppendEditionAndWordSize(major, minor, version.wServicePackMajor, version.wServicePackMinor);
    version.dwMajorVersion = major;
    version.dwMinorVersion = minor;
    AppendFormat(m_szWindowsName, sizeof m_szWindowsName, "%s", ProductTypeSuffix(version));

    const int buildNumber = static_cast<int>(build & 0xFFFF);
    if (major == 4 && strcasecmp(version.szCSDVersion, "Service Pack 6") == 0 && HasServicePack6a())
        FormatString(m_szBuild, sizeof m_szBuild, "Service Pack 6a (Build %d) ", buildNumber);
    else
        FormatString(m_szBuild, sizeof m_szBuild, "%s (Build %d) ", version.szCSDVersion, buildNumber);
}

void CSoftwareInterface::AppendEditionAndWordSize(uint32_t major, uint32_t minor, uint32_t servicePackMajor,
                                                  uint32_t servicePackMinor) {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    if (!kernel32) return;
    if (const auto getProductInfo = vexa::platform::lookup<GetProductInfoFunction>(kernel32, "GetProductInfo")) {
        DWORD productType = 0;
        getProductInfo(major, minor, servicePackMajor, servicePackMinor, &productType);
        for (const EditionName& edition : kEditions)
            if (edition.productType == productType)
                AppendFormat(m_szWindowsName, sizeof m_szWindowsName, "%s", edition.text);
    }
    if (const auto getNativeSystemInfo =
            vexa::platform::lookup<GetNativeSystemInfoFunction>(kernel32, "GetNativeSystemInfo")) {
        SYSTEM_INFO native {};
        getNativeSystemInfo(&native);
        if (native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL)
            AppendFormat(m_szWindowsName, sizeof m_szWindowsName, "32-bit ");
        else if (native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64)
            AppendFormat(m_szWindowsName, sizeof m_szWindowsName, "64-bit ");
    }
    FreeLibrary(kernel32);
}

bool CSoftwareInterface::DescribeHostSystem() {
    const auto host = vexa::platform::hostSystem();
    if (!host) return false;
    FormatString(m_szWindowsName, sizeof m_szWindowsName, "%s", host->distribution.c_str());
    if (host->architecture.empty())
        FormatString(m_szBuild, sizeof m_szBuild, "%s", host->kernel.c_str());
    else
        FormatString(m_szBuild, sizeof m_szBuild, "%s (%s)", host->kernel.c_str(), host->architecture.c_str());
    return true;
}
