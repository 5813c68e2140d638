#include "machine/image_loader.h"

#include "machine/acpi_image.h"
#include "machine/cpuid_topology.h"
#include "machine/devices/acpi_pm_timer.h"
#include "machine/devices/amd_smu.h"
#include "machine/devices/cyrix_configuration.h"
#include "machine/devices/ecam_window.h"
#include "machine/devices/hpet.h"
#include "machine/devices/ich_function_disable.h"
#include "machine/devices/local_apic.h"
#include "machine/devices/message_bus.h"
#include "machine/devices/ati_gpu_window.h"
#include "machine/devices/mchbar_window.h"
#include "machine/devices/nvidia_registers.h"
#include "machine/devices/pci_config_mechanism2.h"
#include "machine/devices/pci_config_ports.h"
#include "machine/devices/root_complex_block.h"
#include "machine/image_files.h"
#include "machine/lspci_dump.h"
#include "machine/manifest.h"
#include "machine/simulated_drives.h"
#include "machine/simulated_smbus.h"
#include "machine/smbios_image.h"
#include "machine/superio_image.h"
#include "machine/text_scan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace vexa::machine {
namespace {

constexpr size_t kTextFileLimit = 16 * 1024 * 1024;
constexpr size_t kManifestLimit = 1024 * 1024;
constexpr size_t kMemoryFileLimit = 64 * 1024 * 1024;
constexpr double kDefaultTscMhz = 1000.0;

// The files whose presence makes a folder a machine image.
constexpr const char* kImageFiles[] = {"machine.json", "cpuid.txt", "lspci.txt", "smbios.bin", "acpi", "spd", "edid"};

std::string brandString(const CpuidLeaves& cpu) {
    std::string brand;
    for (uint32_t leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
        const auto it = cpu.find(CpuidKey{leaf, 0});
        if (it == cpu.end()) return {};
        for (uint32_t reg : {it->second.eax, it->second.ebx, it->second.ecx, it->second.edx})
            for (int byte = 0; byte < 4; ++byte) brand += char((reg >> (8 * byte)) & 0xFF);
    }
    return brand.substr(0, brand.find('\0'));
}

bool loadProcessors(ImageFiles& files, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    const std::string& directory = files.directory();
    std::string text;
    const FileStatus status = files.read("cpuid.txt", kTextFileLimit, text, error);
    if (status == FileStatus::Error) return false;
    CpuidDump dump;
    hw.cpuidSupported = manifest.cpu.cpuid;
    if (status == FileStatus::Ok && !manifest.cpu.cpuid) {
        error = directory + "/machine.json: cpu.cpuid: false, yet the image has a cpuid.txt";
        return false;
    }
    if (status == FileStatus::Missing) {
        // No dump: processors that answer zeros to every leaf.
        dump.processors.assign(1, CpuidLeaves{});
    } else {
        // An image is written by hand or by a tool: a line that is not
        // register data is a mistake to report, not noise to skip.
        std::string why;
        const bool parsed = parseCpuidDump(text, dump, why);
        if (dump.skippedLines > 0) {
            error = directory + "/cpuid.txt: line " + std::to_string(dump.firstSkippedLine) +
                    ": not a CPUID dump line: " + dump.firstSkippedText;
            return false;
        }
        if (!parsed) {
            error = directory + "/cpuid.txt: " + why;
            return false;
        }
    }
    std::vector<CpuidLeaves> processors;
    std::string why;
    if (!buildProcessors(dump, ProcessorLayout{manifest.cpu.logicalProcessors, manifest.cpu.apicIds}, processors, why)) {
        error = directory + "/machine.json: cpu: " + why;
        return false;
    }
    // A brand string naming a speed no processor has names none.
    double mhz = manifest.cpu.tscMhz.value_or(brandStringMhz(brandString(processors.front())));
    if (!(mhz >= kMinTscMhz && mhz <= kMaxClockMhz)) mhz = kDefaultTscMhz;
    hw.tsc = TimeStampCounter(uint64_t(std::llround(mhz * 1e6)));
    for (CpuidLeaves& leaves : processors) hw.processors.emplace_back(std::move(leaves));
    hw.msrs = MsrBank(unsigned(hw.processors.size()));
    for (const MsrSetting& setting : manifest.cpu.msrs)
        if (!hw.msrs.add(setting, why)) {
            error = directory + "/machine.json: cpu.msrs: " + why;
            return false;
        }
    return true;
}

bool loadPci(ImageFiles& files, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    const std::string& directory = files.directory();
    std::string text;
    const FileStatus status = files.read("lspci.txt", kTextFileLimit, text, error);
    if (status == FileStatus::Error) return false;
    if (status == FileStatus::Ok) {
        PciDump dump;
        std::string why;
        if (!parseLspciDump(text, dump, why)) {
            error = directory + "/lspci.txt: " + why;
            return false;
        }
        // Each function's dump goes as soon as the machine holds its copy.
        for (; !dump.functions.empty(); dump.functions.pop_front())
            hw.pci->addFunction(dump.functions.front().address, dump.functions.front().bytes);
    }
    if (manifest.pci.lpcFunctionDisable) hw.pci->addGate(std::make_unique<LpcFunctionDisable>());
    if (manifest.pci.messageBus) hw.pci->addRegisterBlock(std::make_unique<MessageBus>(*manifest.pci.messageBus));
    if (manifest.pci.mechanism == 2) return hw.ports.attach(std::make_unique<PciConfigMechanism2>(*hw.pci), error);
    const auto variant = manifest.pci.extendedRegisterBits ? PciConfigPorts::Variant::ExtendedRegisterBits
                                                           : PciConfigPorts::Variant::Standard;
    return hw.ports.attach(std::make_unique<PciConfigPorts>(*hw.pci, variant), error);
}

bool loadPorts(const std::string& directory, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    if (manifest.ports.acpiPmTimer && !hw.ports.attach(std::make_unique<AcpiPmTimer>(*manifest.ports.acpiPmTimer), error)) {
        error = directory + "/machine.json: ports: " + error;
        return false;
    }
    if (manifest.ports.cyrixConfiguration &&
        !hw.ports.attach(std::make_unique<CyrixConfiguration>(*manifest.ports.cyrixConfiguration), error)) {
        error = directory + "/machine.json: ports: " + error;
        return false;
    }
    return true;
}

bool loadControllers(const std::string& directory, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    std::string why;
    if (!attachPlatformControllers(manifest.controllers, hw.ports, why)) {
        error = directory + "/machine.json: controllers: " + why;
        return false;
    }
    if (manifest.controllers.dellSmi) hw.smi.emplace(*manifest.controllers.dellSmi);
    return true;
}

bool loadSuperIo(ImageFiles& files, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    for (size_t i = 0; i < manifest.superio.size(); ++i) {
        const SuperIoEntry& entry = manifest.superio[i];
        const std::string at = files.directory() + "/machine.json: superio[" + std::to_string(i) + "]: ";
        std::string text, why;
        const FileStatus status = files.read(entry.file, kTextFileLimit, text, why);
        if (status == FileStatus::Missing) why = files.shown(entry.file) + ": missing";
        SuperIoRegisters registers;
        if (status == FileStatus::Ok && !parseSuperIoRegisters(text, registers, why)) why = entry.file + ": " + why;
        else if (status == FileStatus::Ok && attachSuperIo(entry, registers, hw.ports, why)) continue;
        error = at + why;
        return false;
    }
    return true;
}

// The memory files together must fit what the budget has left. They are
// measured before any is read, so that a manifest naming one large file
// many times is refused at once; a file that cannot be measured is
// reported when it is read.
bool memoryFilesFit(ImageFiles& files, const Manifest& manifest, std::string& error) {
    uint64_t total = 0;
    for (size_t i = 0; i < manifest.memory.size(); ++i) {
        const std::string& file = manifest.memory[i].file;
        uint64_t bytes = 0;
        std::string ignored;
        if (file.empty() || files.sizeOf(file, bytes, ignored) != FileStatus::Ok) continue;
        total += std::min<uint64_t>(bytes, kMemoryFileLimit + 1);
        if (total > files.budgetLeft()) {
            error = files.directory() + "/machine.json: memory[" + std::to_string(i) + "]: " + files.overBudget(file);
            return false;
        }
    }
    return true;
}

bool loadMemory(ImageFiles& files, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    const std::string& directory = files.directory();
    if (!memoryFilesFit(files, manifest, error)) return false;
    for (size_t i = 0; i < manifest.memory.size(); ++i) {
        const MemoryRegionEntry& region = manifest.memory[i];
        std::vector<uint8_t> content;
        if (!region.file.empty()) {
            const FileStatus status = files.read(region.file, kMemoryFileLimit, content, error);
            if (status == FileStatus::Missing) error = files.shown(region.file) + ": missing";
            if (status != FileStatus::Ok) {
                error = directory + "/machine.json: memory[" + std::to_string(i) + "]: " + error;
                return false;
            }
        }
        std::string why;
        if (!hw.memory.addRegion(region.base, region.size, region.fill, content, why)) {
            error = directory + "/machine.json: memory[" + std::to_string(i) + "]: " + why;
            return false;
        }
    }
    return true;
}

// Places one memory-mapped device; it may overlap neither a memory region
// nor another device.
bool attachMemoryDevice(const std::string& directory, const Manifest& manifest, const char* key,
                        std::unique_ptr<MemoryDevice> device, SimulatedHardware& hw, std::string& error) {
    const std::string where = directory + "/machine.json: memory_devices." + key + ": ";
    for (size_t i = 0; i < manifest.memory.size(); ++i) {
        const MemoryRegionEntry& region = manifest.memory[i];
        if (region.base <= device->last() && device->base() <= region.base + (region.size - 1)) {
            error = where + "overlaps memory[" + std::to_string(i) + "]";
            return false;
        }
    }
    std::string why;
    if (!hw.memoryDevices.attach(std::move(device), why)) {
        error = where + why;
        return false;
    }
    return true;
}

bool loadMemoryDevices(const std::string& directory, const Manifest& manifest, SimulatedHardware& hw,
                       std::string& error) {
    const Manifest::MemoryDevices& devices = manifest.memoryDevices;
    if (devices.hpet &&
        !attachMemoryDevice(directory, manifest, "hpet", std::make_unique<Hpet>(*devices.hpet), hw, error))
        return false;
    if (devices.localApic) {
        // The page answers as the bootstrap processor's (see local_apic.h).
        const auto id = uint8_t(apicIdOf(hw.processors.front().leaves()));
        if (!attachMemoryDevice(directory, manifest, "local_apic",
                                std::make_unique<LocalApicPage>(*devices.localApic, id), hw, error))
            return false;
    }
    if (devices.ecam &&
        !attachMemoryDevice(directory, manifest, "ecam", std::make_unique<EcamWindow>(*devices.ecam, *hw.pci), hw,
                            error))
        return false;
    if (devices.rcba) {
        // The configuration space owns the registers: their function-disable
        // bits hide functions whether the block answers or not.
        auto* registers = static_cast<RootComplexRegisters*>(
            hw.pci->addGate(std::make_unique<RootComplexRegisters>(devices.rcba->functionDisable)));
        if (!attachMemoryDevice(directory, manifest, "rcba",
                                std::make_unique<RootComplexBlock>(devices.rcba->base, *hw.pci, *registers), hw,
                                error))
            return false;
    }
    if (devices.mchbar) {
        if (devices.mchbar->layout == MchbarLayout::I865) hw.pci->addGate(std::make_unique<I865Device6Gate>());
        if (!attachMemoryDevice(directory, manifest, "mchbar", std::make_unique<MchbarWindow>(*devices.mchbar, *hw.pci),
                                hw, error))
            return false;
    }
    if (devices.amdSmu) {
        // The index pair and the mailbox are two doors of one SMU.
        auto state = std::make_shared<AmdSmuState>();
        state->registers = devices.amdSmu->registers;
        hw.pci->addRegisterBlock(std::make_unique<AmdSmuIndexPair>(state));
        if (!attachMemoryDevice(directory, manifest, "amd_smu", std::make_unique<AmdSmuMailbox>(*devices.amdSmu, state),
                                hw, error))
            return false;
    }
    for (size_t i = 0; i < devices.atiGpus.size(); ++i) {
        const std::string key = "ati_gpus[" + std::to_string(i) + "]";
        if (!attachMemoryDevice(directory, manifest, key.c_str(), std::make_unique<AtiGpuWindow>(devices.atiGpus[i]), hw,
                                error))
            return false;
    }
    return true;
}

// The GPU's register window, with the I2C devices whose registers are
// files of the image.
bool loadNvidiaGpu(ImageFiles& files, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    if (!manifest.memoryDevices.nvidiaGpu) return true;
    constexpr size_t kDeviceBytes = 256;
    GpuRegisterSettings settings = manifest.memoryDevices.nvidiaGpu->settings;
    const std::string& rom = manifest.memoryDevices.nvidiaGpu->romFile;
    if (!rom.empty()) {
        const FileStatus status = files.read(rom, GpuRegisterSettings::kRomWindowSize, settings.rom, error);
        if (status == FileStatus::Missing) error = files.shown(rom) + ": missing";
        if (status != FileStatus::Ok) return false;
    }
    for (const Manifest::GpuRegisterEntry::FileDevice& device : manifest.memoryDevices.nvidiaGpu->files) {
        std::vector<uint8_t> bytes;
        const FileStatus status = files.read(device.file, kDeviceBytes, bytes, error);
        if (status == FileStatus::Missing) error = files.shown(device.file) + ": missing";
        if (status != FileStatus::Ok) return false;
        settings.i2c[device.bus][device.address] = std::move(bytes);
    }
    return attachMemoryDevice(files.directory(), manifest, "nvidia_gpu",
                              std::make_unique<NvidiaRegisterWindow>(std::move(settings), *hw.pci), hw, error);
}

bool loadFirmware(ImageFiles& files, const Manifest& manifest, SimulatedHardware& hw, std::string& error) {
    const std::string& directory = files.directory();
    std::vector<uint8_t> bytes;
    const FileStatus status = files.read("smbios.bin", kTextFileLimit, bytes, error);
    if (status == FileStatus::Error) return false;
    if (status == FileStatus::Ok) {
        SmbiosData data;
        std::string why;
        if (!parseSmbiosFile(bytes, manifest.smbios.version, data, why)) {
            error = directory + "/smbios.bin: " + why;
            return false;
        }
        hw.smbios = std::move(data);
    }
    return loadAcpiFolder(files, hw.acpiTables, error);
}

// edid/<n>.bin: the EDID of monitor n, the monitors in the order of n.
bool loadMonitors(ImageFiles& files, SimulatedHardware& hw, std::string& error) {
    constexpr size_t kEdidLimit = 256 * 128;  // a base block and at most 255 extensions
    std::vector<std::string> names;
    const FileStatus status = files.list("edid", names, error);
    if (status != FileStatus::Ok) return status == FileStatus::Missing;
    std::vector<std::pair<unsigned, std::string>> numbered;
    for (const std::string& name : names) {
        unsigned number = 0;
        const char* end = name.data() + name.size();
        const auto [stop, code] = std::from_chars(name.data(), end, number);
        if (code != std::errc{} || stop == name.data() || std::string_view(stop, size_t(end - stop)) != ".bin") {
            error = files.shown("edid/" + name) + ": expected a file named <number>.bin";
            return false;
        }
        numbered.emplace_back(number, name);
    }
    std::sort(numbered.begin(), numbered.end());
    for (const auto& [number, name] : numbered) {
        std::vector<uint8_t> bytes;
        if (files.read("edid/" + name, kEdidLimit, bytes, error) != FileStatus::Ok) {
            if (error.empty()) error = files.shown("edid/" + name) + ": cannot be read";
            return false;
        }
        hw.monitorEdids.push_back(std::move(bytes));
    }
    return true;
}

// The image folder: an existing directory other than the root.
bool findFolder(ImageFiles& files, std::string& error) {
    std::error_code code;
    if (!std::filesystem::is_directory(files.directory(), code) || files.findRoot(error) != FileStatus::Ok) {
        if (error.empty()) error = files.directory() + ": not a machine image directory";
        return false;
    }
    return true;
}

// A folder holding none of the files of an image is a mistaken name, not
// an empty machine.
bool holdsAnImage(ImageFiles& files, std::string& error) {
    for (const char* name : kImageFiles)
        if (files.exists(name)) return true;
    error = files.directory() + ": not a machine image (it holds none of";
    for (const char* name : kImageFiles) error += std::string(" ") + name;
    error += ")";
    return false;
}

std::unique_ptr<SimulatedMachine> load(ImageFiles& files, std::string& error) {
    const std::string& directory = files.directory();
    Manifest manifest;
    std::string text;
    const FileStatus status = files.read("machine.json", kManifestLimit, text, error);
    if (status == FileStatus::Error) return nullptr;
    if (status == FileStatus::Ok) {
        std::string why;
        if (!parseManifest(text, manifest, why)) {
            error = directory + "/machine.json: " + why;
            return nullptr;
        }
    }
    SimulatedHardware hw;
    hw.description = directory;
    if (!loadProcessors(files, manifest, hw, error) || !loadPci(files, manifest, hw, error) ||
        !loadPorts(directory, manifest, hw, error) || !loadSmbus(files, manifest, hw, error) ||
        !loadSuperIo(files, manifest, hw, error) || !loadControllers(directory, manifest, hw, error) ||
        !loadMemory(files, manifest, hw, error) ||
        !loadMemoryDevices(directory, manifest, hw, error) || !loadNvidiaGpu(files, manifest, hw, error) ||
        !loadFirmware(files, manifest, hw, error))
        return nullptr;
    if (manifest.os.windows) hw.windows = *manifest.os.windows;
    hw.deviceTree = manifest.os.deviceTree;
    hw.acpiNamespace = manifest.acpiNamespace;
    hw.busClockMHz = manifest.cpu.busMhz.value_or(-1.0);
    hw.processorLoadPercent = manifest.cpu.loadPercent.value_or(0.0);
    hw.driver = manifest.driver;
    hw.hypervisor = manifest.vm;
    hw.ia64 = manifest.ia64;
    hw.wmiClasses = manifest.wmi;
    if (manifest.nvapi) hw.nvidiaLibrary = std::make_unique<NvidiaLibrary>(*manifest.nvapi);
    if (manifest.adl) hw.amdDisplayLibrary = std::make_unique<AmdDisplayLibrary>(*manifest.adl);
    if (!loadDrivesAndUsb(files, manifest, hw, error)) return nullptr;
    hw.displayDevices = manifest.displays;
    hw.batteries = manifest.batteries;
    if (!loadMonitors(files, hw, error)) return nullptr;
    if (manifest.os.memoryMb) hw.totalMemoryBytes = uint64_t(std::llround(*manifest.os.memoryMb * 1048576.0));
    return std::make_unique<SimulatedMachine>(std::move(hw));
}

} // namespace

double brandStringMhz(std::string_view brand) {
    // The last number followed by "GHz" or "MHz".
    for (size_t unit = brand.size(); unit-- > 0;) {
        const std::string_view tail = brand.substr(unit);
        const bool ghz = startsWithNoCase(tail, "GHz");
        if (!ghz && !startsWithNoCase(tail, "MHz")) continue;
        size_t start = unit;
        while (start > 0 && ((brand[start - 1] >= '0' && brand[start - 1] <= '9') || brand[start - 1] == '.')) --start;
        double value = 0;
        const auto [end, code] = std::from_chars(brand.data() + start, brand.data() + unit, value);
        if (code != std::errc{} || end != brand.data() + unit || !(value > 0)) continue;
        return ghz ? value * 1000.0 : value;
    }
    return 0;
}

std::unique_ptr<SimulatedMachine> loadMachineImage(const std::string& directory, std::string& error,
                                                   ImageContent content) {
    error.clear();
    ImageFiles files(directory);
    std::unique_ptr<SimulatedMachine> machine;
    if (findFolder(files, error) && (content == ImageContent::Any || holdsAnImage(files, error)))
        machine = load(files, error);
    // Names and texts in messages come from the image: none of them may
    // reach a terminal as a control sequence.
    if (!machine) error = escapeForMessage(error);
    return machine;
}

} // namespace vexa::machine
