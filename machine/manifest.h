// machine.json, the manifest of a machine image: one section per component
// ("cpu", "pci", "ports", "memory", "memory_devices", "os", "smbios",
// "driver", "acpi_namespace"; "vm", "wmi", "drives", "usb", "smbus",
// "nvapi", "ia64", "superio", "displays"), each optional,
// so that later components add sections and keys without touching older
// images. Numbers may be JSON numbers or strings ("0x808", "2048"). A key
// the schema does not know, or a key given twice in one object, is an
// error, which catches misspelt names.
// docs/machine-images.md describes every key.
#pragma once

#include "machine/devices/amd_smu.h"
#include "machine/devices/cyrix_configuration.h"
#include "machine/devices/ecam_window.h"
#include "machine/devices/hpet.h"
#include "machine/devices/local_apic.h"
#include "machine/devices/message_bus.h"
#include "machine/devices/amd_display_library.h"
#include "machine/devices/ati_gpu_window.h"
#include "machine/devices/mchbar_window.h"
#include "machine/devices/msr_oc_mailbox.h"
#include "machine/devices/nvidia_library.h"
#include "machine/devices/nvidia_registers.h"
#include "machine/devices/root_complex_block.h"
#include "machine/machine.h"
#include "machine/simulated_smbus.h"
#include "machine/smbios_image.h"
#include "machine/platform_controllers_image.h"
#include "machine/superio_image.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::machine {

// The kinds of model-specific register a processor model has
// (machine/devices/msr_bank.h).
enum class MsrKind : uint8_t {
    Plain,      // reads back what was stored
    Faulting,   // listed, but every access faults
    Counter,    // counts up at `rateMhz` from the installed clock
    Microcode,  // IA32_BIOS_SIGN_ID: CPUID leaf 1 loads `microcodeRevision`
    Energy,        // a RAPL energy-status counter drawing `watts` (msr_energy_counter.h)
    FixedCounter,  // 0x309-0x30B: a counter its control registers start and stop
    OcMailbox,     // 0x150: the overclocking mailbox (msr_oc_mailbox.h)
    EventCounter,  // 0xC1-0xC4: a counter of one event its event select starts and stops
};

// A model-specific register on every processor or on the listed ones. A
// plain one reads back a fixed value; writes store the new value per
// processor unless the register is read-only.
struct MsrSetting {
    uint32_t index = 0;
    uint64_t value = 0;  // the stored value, or a counter's start
    bool readOnly = false;
    std::vector<unsigned> cpus;  // empty: every processor
    MsrKind kind = MsrKind::Plain;
    double rateMhz = 0;              // counters: millions of counts per second
    unsigned bits = 64;              // counters: the width at which they wrap
    uint32_t microcodeRevision = 0;  // microcode signature registers
    double watts = 0;                // energy counters: the power drawn
    OcMailboxSettings mailbox;       // the overclocking mailbox
    uint8_t event = 0;               // event counters: the event and unit mask they count
    uint8_t unitMask = 0;
};

struct MemoryRegionEntry {
    uint64_t base = 0;
    uint64_t size = 0;
    std::string file;  // raw bytes placed at `base`, relative to the image; empty: none
    uint8_t fill = 0xFF;
};

// A disk drive of the image: what the disk class answers, the files with
// its IDENTIFY DEVICE and SMART READ DATA sectors (relative to the image;
// empty: none) and the USB bridge that carries SMART to it (the first byte
// of the command block it understands; 0: none).
struct DriveEntry {
    DiskDrive drive;
    std::string identifyFile;
    std::string smartFile;
    uint8_t usbBridge = 0;
    // The property and geometry when the manifest gives them; otherwise
    // the loader takes them from the IDENTIFY data, unless they are
    // switched off.
    bool propertyGiven = false, geometryGiven = false;
};

struct Manifest {
    struct Cpu {
        std::optional<unsigned> logicalProcessors;
        std::vector<uint32_t> apicIds;
        std::optional<double> tscMhz;
        std::optional<double> busMhz;
        std::vector<MsrSetting> msrs;
        std::optional<double> loadPercent;  // busy share of every processor, 0..100
        bool cpuid = true;  // false: the CPUID instruction faults
    } cpu;
    // How PCI configuration space is reached through the ports, and which
    // chipset registers hide functions.
    struct Pci {
        unsigned mechanism = 1;             // 1: 0xCF8/0xCFC; 2: 0xCF8/0xCFA and 0xC000-0xCFFF
        bool extendedRegisterBits = false;  // mechanism 1: 0xCF8 bits 27:24 are register bits 11:8
        bool lpcFunctionDisable = false;    // 00:1f.0 byte 0xF2 bit 3 hides 00:1f.3 (ICH2-ICH5)
        // The SoC message bus at 00:00.0 and its register file; none without the key.
        std::optional<std::vector<MessageBusRegister>> messageBus;
    } pci;
    struct Ports {
        std::optional<uint16_t> acpiPmTimer;
        std::optional<CyrixConfigurationSettings> cyrixConfiguration;  // ports 0x22/0x23
    } ports;
    std::vector<MemoryRegionEntry> memory;
    // An NVIDIA GPU's register window; the I2C devices named by a file are
    // read from the image when it is loaded.
    struct GpuRegisterEntry {
        GpuRegisterSettings settings;
        struct FileDevice {
            unsigned bus = 0;
            uint8_t address = 0;
            std::string file;  // relative to the image directory
        };
        std::vector<FileDevice> files;
        std::string romFile;  // the video BIOS; empty for none
    };
    // Memory-mapped devices; each is absent unless the manifest places it.
    struct MemoryDevices {
        std::optional<HpetSettings> hpet;
        std::optional<LocalApicSettings> localApic;
        std::optional<EcamSettings> ecam;
        std::optional<RcbaSettings> rcba;
        std::optional<MchbarSettings> mchbar;
        std::optional<AmdSmuSettings> amdSmu;
        std::vector<AtiGpuWindowSettings> atiGpus;
        std::optional<GpuRegisterEntry> nvidiaGpu;
    } memoryDevices;
    struct Os {
        std::optional<WindowsIdentity> windows;
        std::vector<DeviceNode> deviceTree;
        std::optional<double> memoryMb;  // total physical memory
    } os;
    struct Smbios {
        std::optional<SmbiosVersion> version;
    } smbios;
    DriverBehaviour driver;
    // Empty when the manifest has no "acpi_namespace"; otherwise node 0 is
    // the root and the rest follow in pre-order.
    std::vector<AcpiNamespaceNode> acpiNamespace;
    Hypervisor vm = Hypervisor::None;
    std::vector<WmiClass> wmi;
    std::vector<DriveEntry> drives;
    std::vector<UsbController> usb;
    // The SMBus controller and its slaves (simulated_smbus.h); none without "smbus".
    std::optional<SmbusSettings> smbus;
    // The NVIDIA driver library in the system folder; none without "nvapi".
    std::optional<NvidiaLibrarySettings> nvapi;
    std::optional<AdlLibrarySettings> adl;
    // Itanium processors (ia64_facts.h); none without "ia64".
    std::optional<Ia64Facts> ia64;
    // The super-I/O chips on the configuration ports (superio_image.h).
    std::vector<SuperIoEntry> superio;
    // The platform sensor controllers (platform_controllers_image.h).
    PlatformControllers controllers;
    // The display devices Windows enumerates; empty without "displays".
    std::vector<DisplayDevice> displays;
    // The batteries the battery class enumerates; empty without "batteries".
    std::vector<BatteryFacts> batteries;
};

// Bounds of the clock rates a manifest gives, in MHz: the time-stamp
// counter and the bus from 1 MHz, counting MSRs from 1 Hz, all up to
// 100 GHz, beyond any processor built.
constexpr double kMinTscMhz = 1.0;
constexpr double kMinBusMhz = 1.0;
constexpr double kMinCounterMhz = 0.000001;
constexpr double kMaxClockMhz = 100000.0;

// Bounds of the ACPI namespace a manifest may describe: nodes in all, the
// root included, and levels below the root.
constexpr size_t kMaxAcpiNamespaceNodes = 4096;
constexpr size_t kMaxAcpiNamespaceDepth = 32;

// `error` gives the position of a syntax error, or the path of the key at
// fault ("cpu.msrs.0x17.value: ...").
bool parseManifest(std::string_view text, Manifest& manifest, std::string& error);

} // namespace vexa::machine
