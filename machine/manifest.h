// machine.json, the manifest of a machine image: one section per component
// ("cpu", "pci", "ports", "memory", "memory_devices", "os", "smbios",
// "driver", "acpi_namespace"), each optional, so that later components add
// sections and keys without touching older images. Numbers may be JSON
// numbers or strings ("0x808", "2048"). A key the schema does not know, or
// a key given twice in one object, is an error, which catches misspelt
// names.
// docs/machine-images.md describes every key.
#pragma once

#include "machine/devices/ecam_window.h"
#include "machine/devices/hpet.h"
#include "machine/devices/local_apic.h"
#include "machine/machine.h"
#include "machine/smbios_image.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::machine {

// A model-specific register that reads back a fixed value, on every
// processor or on the listed ones; writes store the new value per
// processor unless the register is read-only.
struct MsrSetting {
    uint32_t index = 0;
    uint64_t value = 0;
    bool readOnly = false;
    std::vector<unsigned> cpus;  // empty: every processor
};

struct MemoryRegionEntry {
    uint64_t base = 0;
    uint64_t size = 0;
    std::string file;  // raw bytes placed at `base`, relative to the image; empty: none
    uint8_t fill = 0xFF;
};

struct Manifest {
    struct Cpu {
        std::optional<unsigned> logicalProcessors;
        std::vector<uint32_t> apicIds;
        std::optional<double> tscMhz;
        std::optional<double> busMhz;
        std::vector<MsrSetting> msrs;
    } cpu;
    struct Ports {
        std::optional<uint16_t> acpiPmTimer;
    } ports;
    std::vector<MemoryRegionEntry> memory;
    // Memory-mapped devices; each is absent unless the manifest places it.
    struct MemoryDevices {
        std::optional<HpetSettings> hpet;
        std::optional<LocalApicSettings> localApic;
        std::optional<EcamSettings> ecam;
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
};

// Bounds of the ACPI namespace a manifest may describe: nodes in all, the
// root included, and levels below the root.
constexpr size_t kMaxAcpiNamespaceNodes = 4096;
constexpr size_t kMaxAcpiNamespaceDepth = 32;

// `error` gives the position of a syntax error, or the path of the key at
// fault ("cpu.msrs.0x17.value: ...").
bool parseManifest(std::string_view text, Manifest& manifest, std::string& error);

} // namespace vexa::machine
