// The Linux system the program runs on. CPUID and the time-stamp counter
// are the instructions themselves; MSRs, I/O ports, physical memory and PCI
// configuration space go through /dev/cpu/N/msr, /dev/port, /dev/mem and
// /sys/bus/pci; the firmware tables come from /sys/firmware. Whatever the
// system does not offer (no such device, no permission) makes the access
// fail quietly.
#pragma once

#include "machine/machine.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vexa::machine {

class HostPciConfig;

class HostMachine final : public Machine {
public:
    // `sysRoot` prefixes every /sys, /proc and /etc path and `devRoot`
    // every /dev path (tests point them at a fake tree); empty means the
    // real ones.
    explicit HostMachine(std::string sysRoot = {}, std::string devRoot = {});
    ~HostMachine() override;

    std::string description() const override { return "host"; }
    unsigned processorCount() const override;
    unsigned currentProcessor(const ProcessorAffinity& affinity) const override;
    // Any number of processors: the kernel's set is sized for the affinity.
    bool pinThread(int nativeTid, const ProcessorAffinity& affinity) override;

    std::optional<SmbiosData> smbios() const override;
    std::vector<AcpiTable> acpiTables() const override;
    // MemTotal of /proc/meminfo.
    uint64_t totalMemoryBytes() const override;
    // The "cpuN" lines of /proc/stat.
    std::vector<ProcessorTimes> processorTimes() const override;

    // host_system.cpp: the distribution (/etc/os-release), the kernel
    // (/proc/sys/kernel/ostype and osrelease) and the architecture (uname);
    // VMware from the CPUID hypervisor leaf.
    std::optional<HostSystem> hostSystem() const override;
    Hypervisor hypervisor() const override;
    // host_drives.cpp: the disks of /sys/block, IDENTIFY DEVICE and SMART
    // READ DATA through SG_IO ATA pass-through where the disk and the
    // permissions allow it, the USB devices of /sys/bus/usb.
    std::vector<DiskDrive> diskDrives() const override;
    AtaOutcome ataCommand(size_t drive, const AtaRegisters& registers, std::span<uint8_t> data) override;
    bool scsiPassThrough(size_t drive, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                         size_t& transferred) override;
    std::vector<UsbController> usbControllers() const override;
    // host_displays.cpp: the monitors the kernel's display drivers found.
    std::vector<std::vector<uint8_t>> monitorEdids() const override;
    // host_batteries.cpp: the system batteries of /sys/class/power_supply.
    std::vector<BatteryFacts> batteries() const override;
    // host_thermal_zones.cpp: the ACPI thermal zones of /sys/class/thermal
    // as a namespace of their paths, each with a _TMP method that reads the
    // zone's temperature when evaluated; with them, the ACPI HAL device the
    // driver's namespace requests name. The firmware's global lock stays
    // the kernel's.
    std::vector<AcpiNamespaceNode> acpiNamespace() const override;
    std::optional<std::vector<AcpiValue>> evaluateAcpiMethod(size_t index) const override;
    bool offersAcpiGlobalLock() const override { return false; }
    std::vector<DeviceNode> deviceTree() const override;

protected:
    CpuidRegs doCpuid(unsigned cpu, uint32_t leaf, uint32_t subleaf) override;
    bool doReadTsc(unsigned cpu, uint64_t& value) override;
    bool doReadMsr(unsigned cpu, uint32_t index, uint64_t& value) override;
    bool doWriteMsr(unsigned cpu, uint32_t index, uint64_t value) override;
    bool doReadPort(uint16_t port, unsigned width, uint32_t& value) override;
    bool doWritePort(uint16_t port, unsigned width, uint32_t value) override;
    bool doReadPhysical(uint64_t address, std::span<uint8_t> out) override;
    bool doWritePhysical(uint64_t address, std::span<const uint8_t> data) override;
    // A read-only shared mapping of /dev/mem, unmapped with the machine.
    const uint8_t* doMapPhysical(uint64_t address, size_t size) override;
    bool doReadPciConfig(PciAddress fn, unsigned offset, std::span<uint8_t> out) override;
    bool doWritePciConfig(PciAddress fn, unsigned offset, std::span<const uint8_t> data) override;

private:
    // The names in /sys/block of the disks diskDrives() lists, in its order.
    std::vector<std::string> diskNames() const;

    std::string sysRoot_;
    std::string devRoot_;
    unsigned processorCount_;
    std::vector<bool> usableProcessors_;  // the processors the process may run on; empty: all
    std::unique_ptr<HostPciConfig> pciConfig_;  // host_pci_config.cpp
    // The thermal zones, read once: the namespace and, by the index of each
    // _TMP node, the zone's temperature file.
    struct ThermalZones {
        std::vector<AcpiNamespaceNode> nodes;
        std::map<size_t, std::string> temperatureFiles;
    };
    const ThermalZones& thermalZones() const;
    mutable std::once_flag thermalZonesRead_;
    mutable ThermalZones thermalZones_;
    std::mutex mappingsLock_;
    std::vector<std::pair<void*, size_t>> mappings_;  // page-aligned start, length
};

} // namespace vexa::machine
