// A machine that exists only as data: the processors of a CPUID dump, the
// PCI functions of an lspci dump, device models on the I/O ports, regions
// of physical memory, the firmware tables and the operating system's facts.
// The image loader (image_loader.h) builds one from a machine image
// directory; tests may assemble one by hand. Every access takes the
// machine's lock, so any number of threads may use it at once.
#pragma once

#include "machine/devices/msr_bank.h"
#include "machine/devices/pci_config_space.h"
#include "machine/devices/physical_memory.h"
#include "machine/devices/port_bus.h"
#include "machine/devices/processor_cpuid.h"
#include "machine/devices/time_stamp_counter.h"
#include "machine/machine.h"

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
    std::optional<SmbiosData> smbios;
    std::vector<AcpiTable> acpiTables;
    WindowsIdentity windows;
    std::vector<DeviceNode> deviceTree;
};

class SimulatedMachine final : public Machine {
public:
    explicit SimulatedMachine(SimulatedHardware hardware);

    std::string description() const override { return hw_.description; }
    unsigned processorCount() const override { return unsigned(hw_.processors.size()); }
    unsigned currentProcessor(uint64_t affinity) const override;
    bool pinThread(int nativeTid, uint64_t affinity) override;

    std::optional<SmbiosData> smbios() const override { return hw_.smbios; }
    std::vector<AcpiTable> acpiTables() const override { return hw_.acpiTables; }
    WindowsIdentity windowsIdentity() const override { return hw_.windows; }
    std::vector<DeviceNode> deviceTree() const override { return hw_.deviceTree; }

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
    uint64_t validProcessorMask() const;

    mutable std::mutex lock_;
    SimulatedHardware hw_;
};

} // namespace vexa::machine
