// The PC beneath the program. Every hardware access of every layer above
// ends here: CPUID and the time-stamp counter of a logical processor, its
// model-specific registers, I/O ports, physical memory, PCI configuration
// space, the firmware tables and the facts the operating system would know.
//
// Two kinds of machine exist: the host (the Linux system the program runs
// on, reached through /dev and /sys, failing cleanly where those are
// missing) and simulated machines built from a machine image directory
// (docs/machine-images.md). The public access functions record every access
// in the access log when it is enabled and fail accesses that match an
// injected fault before the machine sees them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "machine/battery_facts.h"
#include "machine/drive_facts.h"
#include "machine/ia64_facts.h"
#include "machine/wmi_facts.h"

namespace vexa::machine {

class NvidiaLibrary;  // machine/devices/nvidia_library.h

struct CpuidRegs {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool operator==(const CpuidRegs&) const = default;
};

struct PciAddress {
    uint8_t bus = 0, device = 0, function = 0;
    bool operator==(const PciAddress&) const = default;
    auto operator<=>(const PciAddress&) const = default;
};

// Packs a configuration-space location the way an ECAM window lays it out:
// bus << 20 | device << 15 | function << 12 | offset.
constexpr uint64_t pciLinear(PciAddress a, unsigned offset) {
    return (uint64_t(a.bus) << 20) | (uint64_t(a.device & 31) << 15) |
           (uint64_t(a.function & 7) << 12) | (offset & 0xFFF);
}

// The SMBIOS entry point and structure table as the firmware publishes them.
struct SmbiosData {
    std::vector<uint8_t> entryPoint;  // "_SM_" or "_SM3_" structure; empty when unknown
    std::vector<uint8_t> table;       // the structure table
    uint8_t majorVersion = 0, minorVersion = 0, docRevision = 0;  // 0 when unknown
    uint64_t tableAddress = 0;        // physical address the entry point names
};

struct AcpiTable {
    std::string signature;       // four characters, e.g. "FACP"
    std::vector<uint8_t> bytes;  // the whole table, header included
};

// What the DirectX diagnostic provider answers about the installed DirectX
// (its "DxDiag_SystemInfo" container). An empty text or an empty number is
// a property the provider does not have.
struct DxDiagFacts {
    std::string versionLongEnglish;  // szDirectXVersionLongEnglish: "DirectX 9.0c"
    std::string versionEnglish;      // szDirectXVersionEnglish
    std::optional<uint32_t> major;   // dwDirectXVersionMajor
    std::optional<uint32_t> minor;   // dwDirectXVersionMinor
    std::string letter;              // szDirectXVersionLetter: "c"
};

// The version a program is told when it differs from the kernel's.
struct ReportedVersion {
    uint32_t majorVersion = 6, minorVersion = 2, buildNumber = 9200;
};

// What Windows would say about itself. The program is a 64-bit process on
// 64-bit Windows 10 unless a machine image or a test says otherwise.
struct WindowsIdentity {
    uint32_t platformId = 2;  // 1 Windows 9x, 2 NT
    uint32_t majorVersion = 10;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 19045;
    std::string csdVersion;  // "Service Pack 1", empty when none
    uint16_t servicePackMajor = 0;
    uint16_t servicePackMinor = 0;
    uint16_t suiteMask = 0x0100;  // single-user terminal services
    uint8_t productType = 1;      // 1 workstation, 2 domain controller, 3 server
    uint16_t processorArchitecture = 9;  // 0 x86, 6 IA-64, 9 x64
    bool wow64Process = false;           // a 32-bit process on 64-bit Windows
    // What GetVersionExA reports in place of the version above to a program
    // not declared for this Windows (Windows 8.1 and later report 6.2.9200);
    // the kernel keeps the real version. None: the real version.
    std::optional<ReportedVersion> reportedVersion;
    uint32_t productInfo = 0x30;  // GetProductInfo's product type (0x30 Professional); Vista and later
    bool mediaCenter = false;     // GetSystemMetrics(SM_MEDIACENTER)
    bool tabletPc = false;        // GetSystemMetrics(SM_TABLETPC)
    std::optional<DxDiagFacts> dxdiag;  // none: no DirectX diagnostic provider
    // Files of the system folder with a version resource: lower-case name
    // ("d3d9.dll") -> the four words of the file version.
    std::map<std::string, std::array<uint16_t, 4>> systemFiles;
    // Registry keys below HKEY_LOCAL_MACHINE that exist ("SOFTWARE\..."),
    // their parents implied.
    std::vector<std::string> registryKeys;
};

// The probes a program runs to learn whether it is inside a virtual
// machine are answered by the machine: VMware's I/O port backdoor, Virtual
// PC's illegal-instruction trap.
enum class Hypervisor : uint8_t { None, VMware, VirtualPC };

// The operating system the machine really runs when it is not Windows (the
// Linux host): the distribution's name, the kernel and the processor
// architecture ("Debian GNU/Linux 12 (bookworm)", "Linux 6.1.0-18-amd64",
// "x86_64").
struct HostSystem {
    std::string distribution;
    std::string kernel;
    std::string architecture;
    bool operator==(const HostSystem&) const = default;
};

// A Windows display device (EnumDisplayDevicesA): its GDI name
// ("\\.\DISPLAY1"), its description ("NVIDIA GeForce 210") and its PnP id
// text, whose "VEN_" and "DEV_" parts give the PCI ids of its adapter.
struct DisplayDevice {
    std::string name;
    std::string description;
    std::string deviceId;
    bool operator==(const DisplayDevice&) const = default;
};

// One node of the operating system's device tree. Node 0 is the root.
struct DeviceNode {
    // The configuration manager's numbers of the properties the machine
    // layer names itself.
    static constexpr uint32_t kDescription = 0x01;
    static constexpr uint32_t kDriver = 0x0A;
    static constexpr uint32_t kPdoName = 0x0F;     // physical device object name
    static constexpr uint32_t kEnumerator = 0x17;  // "PCI", "ACPI", "ACPI_HAL", ...

    int parent = -1;                              // index of the parent, -1 for the root
    std::map<uint32_t, std::string> properties;   // registry property number -> text
};

// Windows lists the ACPI HAL device under the root of an ACPI machine's
// device tree; the driver's namespace requests name it. Appends it (and a
// bare root to an empty tree) unless a node with that enumerator is there.
void addAcpiHalDevice(std::vector<DeviceNode>& tree);

// The time one logical processor has spent idle, in kernel mode and in user
// mode since an arbitrary start, in 100 ns units, counted the way Windows
// counts them: the kernel time includes the idle time.
struct ProcessorTimes {
    uint64_t idle = 0, kernel = 0, user = 0;
    bool operator==(const ProcessorTimes&) const = default;
};

// How the machine's stand-in kernel driver behaves: the version it reports
// and the control codes whose requests it fails.
struct DriverBehaviour {
    uint32_t version = 312;
    std::set<uint32_t> failingRequests;  // control codes that fail
    bool operator==(const DriverBehaviour&) const = default;
};

// A value an ACPI control method returns.
struct AcpiValue {
    static constexpr uint16_t kInteger = 0;  // data: 8 bytes, little-endian
    static constexpr uint16_t kString = 1;   // data: the bytes and a terminating 0
    static constexpr uint16_t kBuffer = 3;   // data: the raw bytes

    uint16_t type = kInteger;
    std::vector<uint8_t> data;
    bool operator==(const AcpiValue&) const = default;

    static AcpiValue fromInteger(uint64_t value);
    static AcpiValue fromString(std::string_view text);
    static AcpiValue fromBytes(std::vector<uint8_t> bytes);
};

// One object of the ACPI namespace. A machine's namespace lists its nodes
// in pre-order: node 0 is the root, named \___ as Windows names it, and
// every other node follows its parent, the children of a scope in the order
// the firmware defines them.
struct AcpiNamespaceNode {
    static constexpr std::string_view kRootName = "\\___";

    std::string name;   // exactly four characters: "_SB_", "PCI0"; the root \___
    int parent = -1;    // index of the parent node, -1 for the root
    bool method = false;
    std::vector<AcpiValue> results;  // a method's results, in order
    bool operator==(const AcpiNamespaceNode&) const = default;
};

// Whether `c` may stand at `position` of an ACPI name segment: A-Z and _
// anywhere, 0-9 after the first character.
bool isAcpiNameCharacter(char c, size_t position);

enum class AccessKind : uint8_t { Cpuid, Tsc, Msr, Port, Memory, PciConfig };
enum class AccessDir : uint8_t { Read, Write };

struct Access {
    AccessKind kind;
    AccessDir dir;
    uint32_t cpu;       // logical processor for Cpuid, Tsc and Msr; 0 otherwise
    uint64_t address;   // leaf, MSR index, port, physical address or pciLinear()
    uint32_t size;      // bytes (16 for CPUID: EAX, EBX, ECX, EDX)
    uint64_t value;     // first eight bytes of the data, little-endian
    bool ok;
    uint32_t subleaf = 0;  // the ECX input of a CPUID access
};

// A rule that makes matching accesses fail as if the hardware did not answer.
// CPUID, TSC and MSR accesses match when their leaf (0 for the TSC) or MSR
// index lies in [first, last]; port, memory and PCI accesses match when any
// byte they touch does (for PCI in pciLinear() numbering).
struct Fault {
    AccessKind kind;
    std::optional<AccessDir> dir;  // both directions when empty
    uint64_t first = 0;            // address range, inclusive
    uint64_t last = ~0ull;
    std::optional<uint32_t> cpu;   // every processor when empty
};

// Where a thread may run: processor `first + k` for every bit k of `mask`
// (a slice of at most 64 processors starting at `first`, which is how a
// processor group and its affinity mask name processors).
struct ProcessorAffinity {
    unsigned first = 0;
    uint64_t mask = 0;

    bool empty() const { return mask == 0; }
    // The lowest processor it names (meaningless when empty).
    unsigned lowest() const;
    // Whether every processor it names lies below `count`.
    bool within(unsigned count) const;
    bool operator==(const ProcessorAffinity&) const = default;
};

class Machine {
public:
    virtual ~Machine() = default;
    Machine() = default;
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // "host", or the image directory a simulated machine was loaded from.
    virtual std::string description() const = 0;

    // ---- Processors ----
    virtual unsigned processorCount() const = 0;
    // The logical processor a thread with this affinity runs on: the
    // processor it is actually on for the host, the lowest processor of the
    // affinity for a simulated machine.
    virtual unsigned currentProcessor(const ProcessorAffinity& affinity) const = 0;
    // Restricts a thread (native id) to the processors of the affinity;
    // false when it names none or one the machine does not have (or the
    // process may not use). The simulated machine only checks it.
    virtual bool pinThread(int nativeTid, const ProcessorAffinity& affinity) = 0;

    // Every access below fails (false) for arguments out of range: a
    // processor >= processorCount(), a port width other than 1, 2 or 4 or a
    // port range past 0xFFFF, an empty or wrapping memory range, a PCI
    // device > 31, function > 7, offset + size > 4096 or an empty PCI
    // access. A read that fails leaves all ones in `value` / `out` for
    // ports, memory and PCI (what a bus answers when nobody does), zero for
    // MSRs and the TSC; cpuid() answers zeros.
    CpuidRegs cpuid(unsigned cpu, uint32_t leaf, uint32_t subleaf);
    uint64_t readTsc(unsigned cpu);
    bool readMsr(unsigned cpu, uint32_t index, uint64_t& value);
    bool writeMsr(unsigned cpu, uint32_t index, uint64_t value);

    // ---- I/O ports (width 1, 2 or 4 bytes) ----
    bool readPort(uint16_t port, unsigned width, uint32_t& value);
    bool writePort(uint16_t port, unsigned width, uint32_t value);

    // ---- Physical memory ----
    bool readPhysical(uint64_t address, std::span<uint8_t> out);
    bool writePhysical(uint64_t address, std::span<const uint8_t> data);
    // A read-only view of [address, address + size) in the process, valid
    // while the machine lives; null when the range cannot be mapped (size 0
    // or above kMaxMappingBytes, a range nothing answers, no /dev/mem or a
    // kernel that refuses it). A simulated machine's view is a copy of the
    // bytes (RAM and device registers) at the time of the request, counted
    // against kMaxMappedBytes for the machine's life; the host's maps
    // /dev/mem. Logged as one memory read of the range.
    static constexpr size_t kMaxMappingBytes = 16u << 20;
    static constexpr size_t kMaxMappedBytes = 64u << 20;
    const uint8_t* mapPhysical(uint64_t address, size_t size);

    // ---- PCI configuration space (offset + size <= 4096) ----
    // An absent function reads as all ones, as the hardware answers, and
    // ignores writes; both succeed.
    bool readPciConfig(PciAddress fn, unsigned offset, std::span<uint8_t> out);
    bool writePciConfig(PciAddress fn, unsigned offset, std::span<const uint8_t> data);

    // ---- Firmware tables and operating-system facts ----
    virtual std::optional<SmbiosData> smbios() const { return std::nullopt; }
    virtual std::vector<AcpiTable> acpiTables() const { return {}; }
    virtual WindowsIdentity windowsIdentity() const { return {}; }
    // Empty when the machine has no device tree to offer.
    virtual std::vector<DeviceNode> deviceTree() const { return {}; }
    // Empty when the machine has no ACPI namespace to offer.
    virtual std::vector<AcpiNamespaceNode> acpiNamespace() const { return {}; }
    // The results of the namespace's method node `index`, evaluated now;
    // nullopt when there is no such method or its evaluation fails. By
    // default the results the namespace lists.
    virtual std::optional<std::vector<AcpiValue>> evaluateAcpiMethod(size_t index) const;
    // Whether the driver may hand out the firmware's global lock: a machine
    // with a namespace of its own does; the host's kernel keeps it.
    virtual bool offersAcpiGlobalLock() const { return !acpiNamespace().empty(); }
    // The clock the processors' local APIC timers count at (the bus
    // clock), in MHz; -1 when unknown.
    virtual double busClockMHz() const { return -1.0; }
    virtual DriverBehaviour driverBehaviour() const { return {}; }
    // The physical memory the operating system manages, in bytes (what
    // Windows reports as the total physical memory); 0 when unknown.
    virtual uint64_t totalMemoryBytes() const { return 0; }
    // The times of every logical processor, in processor order; empty when
    // the machine cannot tell.
    virtual std::vector<ProcessorTimes> processorTimes() const { return {}; }
    // None: the machine stands for a Windows PC (a machine image).
    virtual std::optional<HostSystem> hostSystem() const { return std::nullopt; }
    virtual Hypervisor hypervisor() const { return Hypervisor::None; }
    // Whether the processors execute CPUID; without it the instruction
    // faults (probes see an illegal instruction) and cpuid() answers zeros.
    virtual bool cpuidSupported() const { return true; }
    // The WMI classes with instances the machine lists (wmi_facts.h).
    virtual std::vector<WmiClass> wmiClasses() const { return {}; }

    // ---- IA-64 processors (ia64_facts.h) ----
    // The CPUID registers of an Itanium processor; false on a machine
    // without one (or for a processor it does not have).
    virtual bool ia64Cpuid(unsigned /*cpu*/, std::array<uint64_t, Ia64Facts::kCpuidRegisters>& /*registers*/) const {
        return false;
    }
    // One PAL procedure call on a processor: true with its status and
    // results (a procedure the PAL does not know answers the status
    // kPalUnimplemented); false on a machine without Itanium processors.
    virtual bool palCall(unsigned /*cpu*/, const std::array<uint64_t, 4>& /*arguments*/,
                         std::array<uint64_t, 4>& /*results*/) const {
        return false;
    }
    // ---- System-management interrupt ----
    // One call of the firmware's SMI handler with the four registers of the
    // interrupt, replaced by its answer; false on a machine whose handler
    // the program cannot call (the host).
    virtual bool smiCall(std::array<uint32_t, 4>& /*registers*/) { return false; }
    // ---- Displays ----
    // The display devices Windows enumerates, in its order.
    virtual std::vector<DisplayDevice> displayDevices() const { return {}; }
    // The EDID of every present monitor as its device key holds it (the
    // base block and any extensions; as many bytes as the monitor gave), in
    // the order the monitor class lists the monitors.
    virtual std::vector<std::vector<uint8_t>> monitorEdids() const { return {}; }

    // ---- Batteries (battery_facts.h) ----
    // The batteries the battery interface class enumerates, in order.
    virtual std::vector<BatteryFacts> batteries() const { return {}; }

    // ---- Disk drives and USB devices (drive_facts.h) ----
    // The drives the disk class enumerates, in order; `drive` below is an
    // index into this list.
    virtual std::vector<DiskDrive> diskDrives() const { return {}; }
    // Executes one ATA command on a drive. Only reading commands are
    // answered: IDENTIFY DEVICE and SMART READ DATA fill `data` (512
    // bytes); SMART ENABLE OPERATIONS completes when the drive supports
    // SMART. Anything else is refused (NoAnswer) and never reaches a drive.
    virtual AtaOutcome ataCommand(size_t /*drive*/, const AtaRegisters& /*registers*/, std::span<uint8_t> /*data*/) {
        return AtaOutcome::NoAnswer;
    }
    // Sends a SCSI command block that carries SMART READ DATA through a
    // USB-to-ATA bridge; true with `transferred` bytes of `data` filled when
    // the drive's bridge understands that block.
    virtual bool scsiPassThrough(size_t /*drive*/, std::span<const uint8_t> /*cdb*/, std::span<uint8_t> /*data*/,
                                 size_t& transferred) {
        transferred = 0;
        return false;
    }
    // The USB host controllers in the order the system numbers them.
    virtual std::vector<UsbController> usbControllers() const { return {}; }

    // ---- Vendor libraries ----
    // The NVIDIA driver library installed in the system folder; null when
    // the machine has none (the host: its driver's library is no Windows
    // library).
    virtual NvidiaLibrary* nvidiaLibrary() { return nullptr; }

    // ---- Access log and fault injection ----
    // The log keeps the first kAccessLogLimit accesses after it was enabled
    // or cleared; later ones are not recorded.
    static constexpr size_t kAccessLogLimit = 1'000'000;
    void setLogging(bool on);
    std::vector<Access> accessLog() const;
    void clearAccessLog();
    void injectFault(const Fault& fault);
    void clearFaults();

protected:
    virtual CpuidRegs doCpuid(unsigned cpu, uint32_t leaf, uint32_t subleaf) = 0;
    virtual bool doReadTsc(unsigned cpu, uint64_t& value) = 0;
    virtual bool doReadMsr(unsigned cpu, uint32_t index, uint64_t& value) = 0;
    virtual bool doWriteMsr(unsigned cpu, uint32_t index, uint64_t value) = 0;
    virtual bool doReadPort(uint16_t port, unsigned width, uint32_t& value) = 0;
    virtual bool doWritePort(uint16_t port, unsigned width, uint32_t value) = 0;
    virtual bool doReadPhysical(uint64_t address, std::span<uint8_t> out) = 0;
    virtual bool doWritePhysical(uint64_t address, std::span<const uint8_t> data) = 0;
    // A copy of the bytes doReadPhysical gives, kept with the machine.
    virtual const uint8_t* doMapPhysical(uint64_t address, size_t size);
    virtual bool doReadPciConfig(PciAddress fn, unsigned offset, std::span<uint8_t> out) = 0;
    virtual bool doWritePciConfig(PciAddress fn, unsigned offset,
                                  std::span<const uint8_t> data) = 0;

private:
    bool faulted(const Access& access) const;
    void record(const Access& access);
    // Records the access and tells whether it may go on to the machine:
    // `valid` says the arguments are in range; a matching fault stops it.
    bool admit(Access& access, bool valid);

    mutable std::mutex monitorLock_;
    std::mutex mappingLock_;
    std::vector<std::unique_ptr<uint8_t[]>> mappedCopies_;
    size_t mappedBytes_ = 0;
    bool logging_ = false;
    std::vector<Access> log_;
    std::vector<Fault> faults_;
};

// ---- The machine of the process ----

// The selected machine; the host when nothing else was selected.
Machine& current();
// Replaces the machine of the process (tests) and hands back the previous
// one (null when none was selected yet); nullptr goes back to the host.
std::unique_ptr<Machine> install(std::unique_ptr<Machine> machine);
// Loads a machine image directory; null with a message in `error` when the
// image cannot be used.
std::unique_ptr<Machine> loadImage(const std::string& directory, std::string& error);
// Selects the image named by VEXA_MACHINE, if any. False with a message when
// the variable names an image that cannot be loaded.
bool selectFromEnvironment(std::string& error);

// Installs a machine for the lifetime of the object and restores the
// previous selection afterwards.
class ScopedMachine {
public:
    explicit ScopedMachine(std::unique_ptr<Machine> machine);
    ~ScopedMachine();
    ScopedMachine(const ScopedMachine&) = delete;
    ScopedMachine& operator=(const ScopedMachine&) = delete;
    Machine& get() { return *machine_; }

private:
    Machine* machine_;
    std::unique_ptr<Machine> previous_;
};

} // namespace vexa::machine
