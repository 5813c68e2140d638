// One machine image per SMBus host-controller family: the chipset functions
// the library recognises, with their registers as firmware leaves them, a
// manifest choosing the family's device model (machine/devices/), and a
// memory module at 0x50 (spd/0.bin). The library's controllers are tested
// against these models, never against the library's own idea of the chip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "sdk/hw/register_space_pci.h"
#include "sdk/hw/smbus_controller.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/sdk/smbus/smbus_fakes.h"
#include "tests/support/image_dir.h"

namespace vexa::test {

struct FamilyImage {
    const char* name;
    std::vector<FunctionDump> functions;  // none: no lspci.txt
    std::string smbus;                    // the members of machine.json's "smbus" but its devices
    const char* module;                   // the tests/data file at 0x50
    // The slave arguments that reach the module and an empty place: bus
    // addresses, or module selects for the FB-DIMM engines.
    uint8_t present;
    uint8_t absent;
    bool (*isFamily)(CSMBusRegisterSpace* controller);  // the library's class for the chip
    // The controller object on the machine: a port controller at `base`, or
    // an engine in configuration space of `engine`.
    uint16_t base;
    machine::PciAddress engine;
    std::unique_ptr<CSMBusRegisterSpace> (*make)(CIOSpace* ports, CRegisterSpace* config, uint32_t configAddress);
    bool word;             // the library's class reads words
    bool blocks;           // ... and block transfers
    unsigned controllers;  // what the SMBus domain finds on the image
};

const std::vector<FamilyImage>& FamilyImages();
// The image's files; `devices`: members of "smbus.devices" beside the
// module of spd/0.bin; `settings`: more members of "smbus".
void WriteFamilyImage(const FamilyImage& family, ImageDir& image, const std::string& devices = "",
                      const std::string& settings = "");

// The machine's ports from `base` on, reached without the kernel driver;
// counts every access (FakePorts).
class MachinePorts final : public FakePorts {
public:
    MachinePorts(machine::Machine& machine, uint32_t base) : FakePorts(base), m_machine(machine) {}

protected:
    uint8_t OnRead(uint32_t offset) override;
    void OnWrite(uint32_t offset, uint8_t value) override;

private:
    machine::Machine& m_machine;
};

// The machine's configuration space, reached without the kernel driver;
// counts every access.
class MachineConfigSpace final : public CPCIRegisterSpace {
public:
    explicit MachineConfigSpace(machine::Machine& machine) : CPCIRegisterSpace(nullptr), m_machine(machine) {}

    int ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t* value) override;
    int WriteConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, uint32_t value) override;

    size_t Accesses() const { return m_accesses; }
    // Every dword written, as (register, value).
    std::vector<std::pair<uint32_t, uint32_t>> m_writes;

private:
    machine::Machine& m_machine;
    size_t m_accesses = 0;
};

} // namespace vexa::test
