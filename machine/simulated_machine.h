// A machine that exists only as data: the processors of a CPUID dump, the
// PCI functions of an lspci dump, device models on the I/O ports, regions
// of physical memory and the memory-mapped devices among them, the
// firmware tables and ACPI namespace, the operating system's facts and the
// behaviour of its stand-in kernel driver.
// The image loader (image_loader.h) builds one from a machine image
// directory; tests may assemble one by hand. Every access takes the
// machine's lock, so any number of threads may use it at once.
#pragma once

#include "machine/devices/amd_display_library.h"
#include "machine/devices/dell_smi_handler.h"
#include "machine/devices/memory_bus.h"
#include "machine/devices/nvidia_library.h"
#include "machine/devices/msr_bank.h"
#include "machine/devices/pci_config_space.h"
#include "machine/devices/physical_memory.h"
#include "machine/devices/port_bus.h"
#include "machine/devices/processor_cpuid.h"
#include "machine/devices/time_stamp_counter.h"
#include "machine/machine.h"
#include "machine/simulated_drives.h"

#include <memory>
#include <mutex>

namespace vexa::machine {

struct SimulatedHardware {
    std::string description;
    std::vector<ProcessorCpuid> processors;  // at least one
    TimeStampCounter tsc;
    MsrBank msrs;
    // Held by pointer: the configuration ports on `ports` refer to it.
    std::unique_ptr<PciConfigSpace> pci = std::make_unique<PciConfigSpace>();
    PortBus ports;
    PhysicalMemory memory;
    // Answer the physical addresses they claim in place of `memory`.
    MemoryBus memoryDevices;
    std::optional<SmbiosData> smbios;
    std::vector<AcpiTable> acpiTables;
    WindowsIdentity windows;
    // A machine with an ACPI namespace gets the ACPI HAL device in its
    // device tree (see SimulatedMachine).
    std::vector<DeviceNode> deviceTree;
    std::vector<AcpiNamespaceNode> acpiNamespace;  // empty, or the root first
    double busClockMHz = -1.0;                     // -1: unknown
    DriverBehaviour driver;
    uint64_t totalMemoryBytes = 0;                 // 0: unknown
    double processorLoadPercent = 0;               // busy share of every processor
    Hypervisor hypervisor = Hypervisor::None;
    bool cpuidSupported = true;                    // false: CPUID faults, every leaf answers zeros
    std::vector<WmiClass> wmiClasses;
    std::vector<SimulatedDrive> drives;            // simulated_drives.h
    std::vector<UsbController> usbControllers;
    std::unique_ptr<NvidiaLibrary> nvidiaLibrary;  // none: no NVIDIA driver library
    std::unique_ptr<AmdDisplayLibrary> amdDisplayLibrary;  // none: no AMD display library
    std::optional<Ia64Facts> ia64;                 // none: the processors are not Itaniums
    std::vector<DisplayDevice> displayDevices;
    std::vector<std::vector<uint8_t>> monitorEdids;
    std::vector<BatteryFacts> batteries;
    std::optional<DellSmiHandler> smi;             // none: no SMI handler the program can call
};

// MSR 0x10 (the time-stamp counter) reads the time-stamp counter, as
// readTsc() does, unless the hardware lists that register in `msrs`; writing
// it is not modelled and fails. When the hardware has an ACPI namespace and
// its device tree holds no node with the enumerator "ACPI_HAL", the machine
// appends the Windows ACPI HAL device under the root node (adding a bare
// root when the tree is empty).
class SimulatedMachine final : public Machine {
public:
    explicit SimulatedMachine(SimulatedHardware hardware);

    std::string description() const override { return hw_.description; }
    unsigned processorCount() const override { return unsigned(hw_.processors.size()); }
    unsigned currentProcessor(const ProcessorAffinity& affinity) const override;
    bool pinThread(int nativeTid, const ProcessorAffinity& affinity) override;

    std::optional<SmbiosData> smbios() const override { return hw_.smbios; }
    std::vector<AcpiTable> acpiTables() const override { return hw_.acpiTables; }
    WindowsIdentity windowsIdentity() const override { return hw_.windows; }
    std::vector<DeviceNode> deviceTree() const override { return hw_.deviceTree; }
    std::vector<AcpiNamespaceNode> acpiNamespace() const override { return hw_.acpiNamespace; }
    double busClockMHz() const override { return hw_.busClockMHz; }
    DriverBehaviour driverBehaviour() const override { return hw_.driver; }
    uint64_t totalMemoryBytes() const override { return hw_.totalMemoryBytes; }
    // Every processor has been busy `processorLoadPercent` of the installed
    // clock's time (in user mode) and idle the rest.
    std::vector<ProcessorTimes> processorTimes() const override;
    Hypervisor hypervisor() const override { return hw_.hypervisor; }
    bool cpuidSupported() const override { return hw_.cpuidSupported; }
    std::vector<WmiClass> wmiClasses() const override { return hw_.wmiClasses; }
    // The drives answer from their sectors (simulated_drives.cpp).
    std::vector<DiskDrive> diskDrives() const override;
    AtaOutcome ataCommand(size_t drive, const AtaRegisters& registers, std::span<uint8_t> data) override;
    bool scsiPassThrough(size_t drive, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                         size_t& transferred) override;
    std::vector<UsbController> usbControllers() const override { return hw_.usbControllers; }
    NvidiaLibrary* nvidiaLibrary() override { return hw_.nvidiaLibrary.get(); }
    // The AMD display library installed in the system folder; null when none.
    AmdDisplayLibrary* amdDisplayLibrary() { return hw_.amdDisplayLibrary.get(); }
    bool ia64Cpuid(unsigned cpu, std::array<uint64_t, Ia64Facts::kCpuidRegisters>& registers) const override;
    // The first answer of `ia64.pal` for these arguments and this processor.
    bool palCall(unsigned cpu, const std::array<uint64_t, 4>& arguments, std::array<uint64_t, 4>& results) const override;
    std::vector<DisplayDevice> displayDevices() const override { return hw_.displayDevices; }
    std::vector<std::vector<uint8_t>> monitorEdids() const override { return hw_.monitorEdids; }
    std::vector<BatteryFacts> batteries() const override { return hw_.batteries; }
    bool smiCall(std::array<uint32_t, 4>& registers) override;

    // The time-stamp counter rate, for tests and for the image's own checks.
    uint64_t tscHz() const { return hw_.tsc.hz(); }

protected:
    CpuidRegs doCpuid(unsigned cpu, uint32_t leaf, uint32_t subleaf) override;
    bool doReadTsc(unsigned cpu, uint64_t& value) override;
    bool doReadMsr(unsigned cpu, uint32_t index, uint64_t& value) override;
    bool doWriteMsr(unsigned cpu, uint32_t index, uint64_t value) override;
    bool doReadPort(uint16_t port, unsigned width, uint32_t& value) override;
    bool doWritePort(uint16_t port, unsigned width, uint32_t value) override;
    bool doReadPhysical(uint64_t address, std::span<uint8_t> out) override;
    bool doWritePhysical(uint64_t address, std::span<const uint8_t> data) override;
    bool doReadPciConfig(PciAddress fn, unsigned offset, std::span<uint8_t> out) override;
    bool doWritePciConfig(PciAddress fn, unsigned offset, std::span<const uint8_t> data) override;

private:
    mutable std::mutex lock_;
    SimulatedHardware hw_;
};

} // namespace vexa::machine
