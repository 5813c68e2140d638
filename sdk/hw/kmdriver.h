// The kernel-driver manager. It installs the kernel driver through which the
// program reaches ports, physical memory, PCI configuration space and
// MSRs, serialises every use of it between all running
// instances with the global driver mutex, and removes the driver at the end.
// The driver's device is opened once and stays open until vCloseDriver, as
// a real driver handle would; requests go through it only while the driver
// mutex is held. An instance ending while another one still has the device
// open leaves the driver to that one: the last user removes it. The driver
// builds travel in the program's RCDATA resources; the one that fits the
// running Windows is written into a folder of our own below the temporary
// folder and registered as a demand-start kernel service. Every step writes
// one line to a log in the temporary folder.
//
// Calling order: construct; set the resource ids; bInitDriver; for every
// job bLockDriverHandle, requests, UnlockDriverHandle; at the end
// vCloseDriver(1, 1, 1) and delete.
//
// Requests (kmdriver_requests.cpp, kmdriver_access.cpp, kmdriver_acpi.cpp)
// may be sent only while the driver lock is held. Each returns 0 (-1.0 for
// measurements, null for nodes) and leaves its outputs at their presets when
// there is no open device, the platform is neither Windows 9x nor NT, or the
// driver does not answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "platform/services.h"
#include "platform/win_types.h"
#include "sdk/core/list.h"

class CACPIMethod;
class CACPITreeNode;

// Error codes of the manager besides the Win32 error numbers.
enum KMDriverError : uint32_t {
    KMDRIVER_ERROR_UNKNOWN_PLATFORM = 0x5002,  // neither Windows 9x nor NT
    KMDRIVER_ERROR_NO_MUTEX = 0x5003,          // the driver mutex could not be created
    KMDRIVER_ERROR_RESOURCE_ID_NOT_SET = 0x5007,
};

// Control codes of the driver: on NT CTL_CODE(0x9C40, function,
// METHOD_BUFFERED, FILE_ANY_ACCESS), on Windows 9x the VxD's small codes.
enum KMDriverRequest : uint32_t {
    KMDRIVER_READ_MSR = 0x9C402400,
    KMDRIVER_READ_PORT_BYTE = 0x9C402404,
    KMDRIVER_WRITE_PORT_BYTE = 0x9C402408,
    KMDRIVER_READ_PORT_WORD = 0x9C40240C,
    KMDRIVER_WRITE_PORT_WORD = 0x9C402410,
    KMDRIVER_READ_PORT_DWORD = 0x9C402414,
    KMDRIVER_WRITE_PORT_DWORD = 0x9C402418,
    KMDRIVER_READ_PHYSICAL_MEMORY = 0x9C402420,
    KMDRIVER_WRITE_MSR = 0x9C402424,
    KMDRIVER_WRITE_PHYSICAL_MEMORY = 0x9C402430,
    KMDRIVER_GET_DRIVER_VERSION = 0x9C402438,
    KMDRIVER_MEASURE_BUS_CLOCK_EX = 0x9C40243C,
    KMDRIVER_READ_IA64_CPUID = 0x9C402440,
    KMDRIVER_CALL_PAL_PROCEDURE = 0x9C402444,
    KMDRIVER_READ_PCI_CONFIG = 0x9C402448,
    KMDRIVER_WRITE_PCI_CONFIG = 0x9C40244C,
    KMDRIVER_GET_ACPI_ROOT = 0x9C402450,
    KMDRIVER_GET_ACPI_NODE = 0x9C402454,
    KMDRIVER_EVALUATE_ACPI_METHOD = 0x9C402458,
    KMDRIVER_MAP_PHYSICAL_MEMORY = 0x9C40245C,
    KMDRIVER_MEASURE_MSR_CLOCK_BY_PM_TIMER = 0x9C402464,
    KMDRIVER_READ_SMBUS_BYTE_ICH = 0x9C402468,
    KMDRIVER_READ_SMBUS_BYTE_ENGINE = 0x9C40246C,
    KMDRIVER_READ_SMBUS_BYTE_NVIDIA = 0x9C4024A8,
    KMDRIVER_CALL_SMI = 0x9C402500,
    KMDRIVER_SEND_BOARD_REQUEST = 0x9C402508,
    KMDRIVER_GET_KERNEL_VERSION = 0x9C402510,
    KMDRIVER_MEASURE_MSR_CLOCK_BY_HPET = 0x9C402514,
    KMDRIVER_MEASURE_BUS_CLOCK = 0x9C402518,

    KMDRIVER_9X_READ_MSR = 1,
    KMDRIVER_9X_READ_PHYSICAL_MEMORY = 2,
    KMDRIVER_9X_WRITE_MSR = 3,
    KMDRIVER_9X_WRITE_PHYSICAL_MEMORY = 6,
    KMDRIVER_9X_READ_PORT_BYTE = 7,
    KMDRIVER_9X_READ_PORT_WORD = 8,
    KMDRIVER_9X_READ_PORT_DWORD = 9,
    KMDRIVER_9X_WRITE_PORT_BYTE = 10,
    KMDRIVER_9X_WRITE_PORT_WORD = 11,
    KMDRIVER_9X_WRITE_PORT_DWORD = 12,
};

// Index of a driver build in CKMDriver::m_dwResourceIds.
enum KMDriverBuild : uint32_t {
    KMDRIVER_BUILD_VXD = 0,
    KMDRIVER_BUILD_X86 = 1,
    KMDRIVER_BUILD_X64 = 2,
    KMDRIVER_BUILD_IA64 = 3,
    KMDRIVER_BUILD_COUNT = 4,
};

class CKMDriver {
public:
    static constexpr uint32_t kUnset = 0xFFFFFFFF;
    static constexpr uint32_t kDriverVersion = 312;  // the version this program requires
    // m_iOSVersion values.
    static constexpr int32_t kPlatformWin9x = 1;
    static constexpr int32_t kPlatformNT = 2;

    CKMDriver();
    virtual ~CKMDriver();
    CKMDriver(const CKMDriver&) = delete;
    CKMDriver& operator=(const CKMDriver&) = delete;

    // ---- Life cycle (kmdriver.cpp) ----

    // Appends one line (at most 255 characters) to the log; keeps the
    // caller's last error.
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // 1 when the driver is installed and ready; 0 with the error code set,
    // after removing what was installed (the log stays). When the driver
    // mutex cannot be had in time, another instance holds the driver: it is
    // left alone, and this instance goes on without it.
    int bInitDriver(const char* path, uint32_t* error, uint32_t extract);
    // 1 with the driver mutex held and the device open (opened at the first
    // lock, kept open until vCloseDriver).
    int bLockDriverHandle(uint32_t* error, uint32_t timeout);
    // Releases the driver mutex (the device stays open): the release's
    // result, or the last error when it fails.
    uint32_t UnlockDriverHandle();
    void vCloseDriver(uint32_t stop, uint32_t remove, uint32_t deleteLog);

    void vGetOSVersion();
    HANDLE CreateDriverMutex(uint32_t initialOwner, const char* name);
    void CloseDeviceHandle();
    BOOL IsResourceIdSet(uint32_t id) const { return id != kUnset; }

    // ---- Installation (kmdriver_install.cpp) ----

    int Win9x_bInstallDriver(uint32_t* error);
    uint32_t Win9x_dwUninstallDriver();
    int Win9x_bOpenDriver(uint32_t* error);
    HANDLE Win9x_hCreateServiceHandle();
    int WinNT_bInstallDriver(uint32_t* error);
    uint32_t WinNT_dwUninstallDriver(uint32_t stop, uint32_t remove);
    int WinNT_bOpenDriver(uint32_t* error);
    HANDLE WinNT_hCreateServiceHandle();
    int WinNT_bCreateService(uint32_t* error);
    int WinNT_bStartService(uint32_t* error);
    uint32_t WinNT_dwStopService();
    uint32_t WinNT_dwDeleteService();
    // Each returns 0 or the error that stopped the extraction.
    uint32_t bExtract_VXD();
    uint32_t dwExtract_SYS(uint32_t resourceId);
    BOOL bDeleteFile();

    // ---- Requests (kmdriver_requests.cpp) ----

    int ReadMSR(uint32_t index, uint32_t* high, uint32_t* low);
    int WriteMSR(uint32_t index, uint32_t high, uint32_t low);
    int ReadPortByte(uint32_t port, uint8_t* value);
    int ReadPortWord(uint32_t port, uint16_t* value);
    int ReadPortDword(uint32_t port, uint32_t* value);
    int WritePortByte(uint32_t port, uint32_t value);
    int WritePortWord(uint32_t port, uint32_t value);
    int WritePortDword(uint32_t port, uint32_t value);
    int ReadPhysicalMemory(uint32_t addressHigh, uint32_t addressLow, uint32_t length, void* buffer);
    int WritePhysicalMemory(uint32_t addressHigh, uint32_t addressLow, uint32_t value);
    int MapPhysicalMemory(uint32_t addressLow, uint32_t addressHigh, uint32_t size, uint32_t* mapping);
    // On Windows 9x both go through the configuration ports.
    int ReadPCIConfig(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                      uint32_t length, void* buffer);
    int WritePCIConfig(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                       uint32_t length, const void* buffer);
    int GetDriverVersion(uint32_t* version);
    int GetKernelVersion(uint32_t* major, uint32_t* minor, uint32_t* build);
    // Clock measurements in MHz against a reference timer of `frequency` Hz.
    float MeasureBusClock(double frequency, uint32_t pmTimerPort);
    float MeasureBusClockEx(double frequency, uint32_t pmTimerPort, uint32_t apicBase);
    float MeasureMSRClockByPMTimer(double frequency, uint32_t pmTimerPort, uint32_t msr);
    float MeasureMSRClockByHPET(double frequency, uint32_t hpetBase, uint32_t msr);
    // Their 4-byte buffer field carries only a buffer below 4 GiB in a
    // 64-bit process (platform/low_memory.h); ReadIA64CPUID fills five
    // qwords, CallPALProcedure takes four and answers four more.
    int ReadIA64CPUID(void* buffer, uint32_t* count);
    int CallPALProcedure(void* buffer);
    int CallSMI(uint32_t registers[4]);
    int SendBoardRequest(uint32_t operation, uint32_t facsHigh, uint32_t facsLow,
                         uint32_t pm1aEventBlock, uint32_t hostBridgeVendor, uint32_t value);
    // 0 without a device, 2 ("use the port protocol") on Windows 9x or when
    // the request fails, else the driver's status.
    uint32_t ReadSMBusByteICH(uint32_t basePort, uint32_t slave, uint32_t reg, uint8_t* value);
    uint32_t ReadSMBusByteEngine(uint32_t configAddress, uint32_t engineOffset, uint32_t deviceType,
                                 uint32_t select, uint32_t reg, uint8_t* value);
    uint32_t ReadSMBusByteNVidia(uint32_t basePort, uint32_t slave, uint32_t reg, uint8_t* value);

    // ---- Composite operations (kmdriver_access.cpp) ----

    // Physical memory at base low + offset (no carry into the high dword).
    int ReadMemoryByte(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint8_t* value);
    int ReadMemoryDword(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t* value);
    int ReadMemoryQword(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t* high,
                        uint32_t* low);
    int WriteMemoryByte(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t value);
    int WriteMemoryDword(uint32_t baseHigh, uint32_t baseLow, uint32_t offset, uint32_t value);
    // PCI configuration mechanism 1 through ports 0xCF8/0xCFC; 0xCF8 is
    // restored afterwards.
    int ReadPCIConfigDwordByPorts(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                  uint32_t* value);
    int ReadPCIConfigAddressByPorts(uint32_t address, uint32_t* value);
    int WritePCIConfigDwordByPorts(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                   uint32_t value);
    int WritePCIConfigAddressByPorts(uint32_t address, uint32_t value);
    // PCI configuration mechanism 2 (0xCF8 enable, 0xCFA bus, 0xCxxx window).
    int ReadPCIConfigMech2(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                           uint32_t* value);

    // ---- ACPI (kmdriver_acpi.cpp) ----

    // The namespace root of the ACPI HAL device: its handle goes to `root`
    // (high, low); the root node, or null.
    CACPITreeNode* GetACPIRoot(uint32_t root[2]);
    // The node in `relation` to `node`, or null.
    CACPITreeNode* GetACPINode(CACPITreeNode* node, uint32_t relation);
    // Runs a control method and appends its output arguments to `results`.
    int EvaluateACPIMethod(const uint32_t root[2], CACPITreeNode* method, CTList<CACPIMethod>* results);
    // Appends the arguments of a method's output buffer (the Windows ACPI
    // evaluation output layout) to `results`, reading nothing beyond the
    // buffer or the length it states. False for a wrong signature.
    static bool ParseACPIMethodOutput(std::span<const uint8_t> output, CTList<CACPIMethod>* results);

    // ---- State ----

    char m_szStartDirectory[512] = {};
    HANDLE m_hDevice = INVALID_HANDLE_VALUE;
    SC_HANDLE m_hSCManager = nullptr;
    uint32_t m_bExtract = 0;
    char m_szMachineName[512] = {};
    char m_szPath[512] = {};    // base path
    char m_szPath_2[512] = {};  // folder of the driver file
    char m_szFilename[256] = {};
    char m_szServiceName[64] = {};
    int32_t m_iOSVersion = -1;  // kPlatformWin9x, kPlatformNT, or -1 until known
    int32_t m_iMajorVersion = -1;
    int32_t m_iMinorVersion = -1;
    uint32_t m_bIsAMD64 = 0;  // x64 Windows: the x64 build fits (a 64-bit process, or WOW64)
    uint32_t m_bIsIA64 = 0;
    int32_t m_iNativeArchitecture = -1;
    HANDLE m_hDriverMutex = nullptr;
    char m_szLogPath[512] = {};  // empty: no log
    uint32_t m_dwDriverVersion = kUnset;
    uint32_t m_dwResourceIds[KMDRIVER_BUILD_COUNT] = {kUnset, kUnset, kUnset, kUnset};  // by KMDriverBuild

private:
    bool IsDeviceOpen() const;
    // Waits for the driver mutex; false with the error set when it is not
    // held afterwards.
    bool AcquireDriverMutex(uint32_t* error, uint32_t timeout);
    // With the driver mutex held: opens the device unless it is open
    // already. On failure the mutex is released.
    int OpenDeviceHoldingMutex(uint32_t* error);
    void CloseDriverMutex();
    // The driver's own folder below the base path: "vexa138\" when that is
    // ours, else a fresh private folder. 0 or the error.
    uint32_t ChooseDriverFolder();
    // Opens "\\.\<service>" with the given share mode (no logging).
    HANDLE OpenServiceDevice(DWORD shareMode) const;
    // True when another handle of the driver's device is open, in this
    // process or another instance (NT).
    bool IsDriverUsedElsewhere() const;
    // After a stop or removal: waits until the service is stopped, or gone
    // when it was removed, for at most kUninstallSettleTime.
    void WaitForServiceToSettle(bool removed);
    // True when m_szPath_2 is the driver's own folder below the base path.
    bool HasOwnFolder() const;
    // "m_szPath_2\m_szFilename"; false when it does not fit.
    bool DriverFilePath(char (&path)[512]) const;
    // The RCDATA resource of a build; 0 or the error of the failing step,
    // logged by the kernel-driver path when `logFailures` is set.
    uint32_t LoadDriverImage(uint32_t resourceId, bool logFailures, const void** data, DWORD* size);
    // Writes the image as a new file; a file in the way is deleted and the
    // write tried once more.
    uint32_t WriteDriverFile(const char* path, const void* data, DWORD size, bool logFailures);
    uint32_t ResourceIdForPlatform() const;

    // The common precondition of every request: an open device on Windows
    // 9x or NT, and the driver lock held.
    bool CanSend() const;
    // Sends one request: true when CanSend() and DeviceIoControl succeeds.
    bool SendRequest(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize);
    // The same, for requests that exist only on NT.
    bool SendNTRequest(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize);
    // A request both platforms know: the NT code with an 8-byte reply, or
    // the VxD code with its 40-byte reply.
    bool SendSharedRequest(uint32_t ntCode, uint32_t win9xCode, const void* in, uint32_t inSize,
                           uint32_t (&reply)[10]);
    bool ReadPort(uint32_t ntCode, uint32_t win9xCode, uint32_t port, uint32_t* value);
    bool WritePort(uint32_t ntCode, uint32_t win9xCode, uint32_t port, uint32_t value);
    uint32_t ReadSMBusByte(uint32_t code, const uint32_t* in, uint32_t inSize, bool byteFromDataAlways,
                           uint8_t* value);
    // Windows 9x configuration access, dword by dword through the ports.
    int ReadPCIConfigDwords(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                            uint32_t length, uint8_t* buffer);
    int WritePCIConfigDwords(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                             uint32_t length, const uint8_t* buffer);

    // How many driver locks this process holds (the mutex is recursive).
    std::atomic<int> m_iLockDepth{0};
};
