#include "tests/sdk/smbus/smbus_family_images.h"

#include <typeinfo>

#include "sdk/hw/smbus_ali.h"
#include "sdk/hw/smbus_amd755.h"
#include "sdk/hw/smbus_engines_5000x.h"
#include "sdk/hw/smbus_engines_snbe.h"
#include "sdk/hw/smbus_intel_ich.h"
#include "sdk/hw/smbus_nvidia.h"
#include "sdk/hw/smbus_sis.h"
#include "sdk/hw/smbus_transmeta.h"
#include "sdk/hw/smbus_via_ati.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

namespace {

using machine::PciAddress;

constexpr const char* kDdr3 = "spd/DDR3-M378B5173DB0-CK0.spd";
constexpr const char* kDdr4 = "spd/DDR4-M393A1G40EB1-CPB.spd";
constexpr uint16_t kBase = 0x0C00;

template <typename Controller>
bool Is(CSMBusRegisterSpace* controller) {
    return controller && typeid(*controller) == typeid(Controller);
}

template <typename Controller>
std::unique_ptr<CSMBusRegisterSpace> OnPorts(CIOSpace* ports, CRegisterSpace*, uint32_t) {
    return std::make_unique<Controller>(ports);
}

FunctionDump HostBridge(uint16_t vendor = 0x8086, uint16_t device = 0x1237) {
    return FunctionDump({0, 0, 0}, vendor, device).Class(0x06, 0x00);
}

// Function 0 of a multi-function south bridge, which the bus scan needs
// before it looks at the other functions of the device.
FunctionDump SouthBridge(uint8_t device, uint16_t vendor, uint16_t id) {
    return FunctionDump({0, device, 0}, vendor, id).Class(0x06, 0x01).HeaderType(0x80);
}

FunctionDump Smbus(PciAddress address, uint16_t vendor, uint16_t device) {
    return FunctionDump(address, vendor, device).Class(0x0C, 0x05);
}

// The functions as firmware leaves them: decoding and host enabled.
std::vector<FamilyImage> MakeFamilies() {
    constexpr PciAddress none{};
    constexpr PciAddress fbd{0, 0x15, 0}, e8500{0, 0x08, 0}, snbe{0, 0x0F, 0}, hswe{0, 0x13, 0};
    return {
        // An image of nothing but spd/0.bin: the default ICH9 chipset.
        {"IchDefaultChipset", {}, "", kDdr3, 0x50, 0x51, Is<Intel_ICH4_SMBusRegisterSpace>, 0x400, none,
         OnPorts<Intel_ICH4_SMBusRegisterSpace>, true, true, 1},
        {"SCH",
         {HostBridge(0x8086, 0x8100), FunctionDump({0, 0x1F, 0}, 0x8086, 0x8119).Class(0x06, 0x01).Dword(0x40, 0x80000000u | kBase)},
         R"("controller": "sch")", kDdr3, 0x50, 0x51, Is<Intel_SCH_SMBusRegisterSpace>, kBase, none,
         OnPorts<Intel_SCH_SMBusRegisterSpace>, false, false, 1},
        {"VIA_VT8237",
         {HostBridge(0x1106, 0x3168), FunctionDump({0, 0x11, 0}, 0x1106, 0x3227).Class(0x06, 0x01).Dword(0xD0, 0x10000u | kBase | 1)},
         R"("controller": "via-vt8233")", kDdr3, 0x50, 0x51, Is<VIA_VT82_SMBusRegisterSpace>, kBase, none,
         OnPorts<VIA_VT82_SMBusRegisterSpace>, true, true, 1},
        {"VIA_VT82C686",
         {HostBridge(0x1106, 0x0691), SouthBridge(0x07, 0x1106, 0x0686), FunctionDump({0, 0x07, 4}, 0x1106, 0x3057).Class(0x06, 0x80).Dword(0x90, kBase | 1).Byte(0xD2, 0x01)},
         R"("controller": "via-vt82c686")", kDdr3, 0x50, 0x51, Is<VIA_VT82_SMBusRegisterSpace>, kBase, none,
         OnPorts<VIA_VT82_SMBusRegisterSpace>, true, true, 1},
        // SB600/SB700: the base at 0x90, the host enabled by the firmware.
        {"ATI_SB600",
         {HostBridge(0x1002, 0x7910), Smbus({0, 0x14, 0}, 0x1002, 0x4385).Dword(0x90, kBase | 1).Byte(0xD2, 0x01)},
         R"("controller": "ati-sb600")", kDdr3, 0x50, 0x51, Is<ATI_SB_SMBusRegisterSpace>, kBase, none,
         OnPorts<ATI_SB_SMBusRegisterSpace>, true, true, 1},
        // SB800: nothing at 0x90; the base in the power-management registers.
        {"ATI_SB800", {HostBridge(0x1002, 0x5A14), Smbus({0, 0x14, 0}, 0x1002, 0x4385)},
         R"("controller": "ati-sb800", "base": "0xB00")", kDdr3, 0x50, 0x51, Is<ATI_SB_SMBusRegisterSpace>,
         0xB00, none, OnPorts<ATI_SB_SMBusRegisterSpace>, true, true, 1},
        // The FCH of a Kabini (family 16h) processor: PM register 0x01.
        {"AMD_FCH", {HostBridge(0x1022, 0x1566), Smbus({0, 0x14, 0}, 0x1022, 0x780B)},
         R"("controller": "amd-fch", "base": "0xB00")", kDdr3, 0x50, 0x51, Is<ATI_SB_SMBusRegisterSpace>,
         0xB00, none, OnPorts<ATI_SB_SMBusRegisterSpace>, true, true, 1},
        {"SiS96x", {HostBridge(0x1039, 0x0661), SouthBridge(0x02, 0x1039, 0x0008), Smbus({0, 0x02, 1}, 0x1039, 0x0016).Word(0x04, 0x0001).Dword(0x20, kBase | 1)},
         R"("controller": "sis96x")", kDdr3, 0x50, 0x51, Is<SiS_SMBusRegisterSpace>, kBase, none,
         OnPorts<SiS_SMBusRegisterSpace>, true, true, 1},
        {"SiS968",
         {HostBridge(0x1039, 0x0671), FunctionDump({0, 0x02, 0}, 0x1039, 0x0968).Class(0x06, 0x01).Byte(0x9B, kBase >> 8)},
         R"("controller": "sis968", "base": "0xC00")", kDdr3, 0x50, 0x51, Is<SiS968_SMBusRegisterSpace>,
         kBase, none, OnPorts<SiS968_SMBusRegisterSpace>, true, false, 1},
        {"ALiM7101", {HostBridge(0x10B9, 0x1647), FunctionDump({0, 0x11, 0}, 0x10B9, 0x7101).Class(0x06, 0x80).Byte(0xD1, 0x04).Word(0xE2, kBase).Byte(0xF0, 0x01)},
         R"("controller": "ali-m7101")", kDdr3, 0x50, 0x51, Is<ALI_M7101_SMBusRegisterSpace>, kBase, none,
         OnPorts<ALI_M7101_SMBusRegisterSpace>, false, false, 1},
        {"ALiM1563", {HostBridge(0x10B9, 0x1689), FunctionDump({0, 0x02, 0}, 0x10B9, 0x1563).Class(0x06, 0x01).Dword(0x80, kBase | 3)},
         R"("controller": "ali-m1563", "function": "00:02.0")", kDdr3, 0x50, 0x51,
         Is<ALI_M1563_SMBusRegisterSpace>, kBase, none, OnPorts<ALI_M1563_SMBusRegisterSpace>, true, true, 1},
        {"nForce2",
         {HostBridge(0x10DE, 0x01E0), SouthBridge(0x01, 0x10DE, 0x0060), Smbus({0, 0x01, 1}, 0x10DE, 0x0064).Dword(0x50, kBase | 1).Dword(0x54, (kBase + 0x40) | 1)},
         R"("controller": "nforce2")", kDdr3, 0x50, 0x51, Is<nVidia_SMBusRegisterSpace>, kBase, none,
         OnPorts<nVidia_SMBusRegisterSpace>, true, false, 2},
        {"nForceMCP",
         {HostBridge(0x10DE, 0x0261), SouthBridge(0x01, 0x10DE, 0x0260), Smbus({0, 0x01, 1}, 0x10DE, 0x0264).Word(0x04, 0x0001).Dword(0x20, kBase | 1).Dword(0x24, (kBase + 0x40) | 1)},
         R"("controller": "nforce-mcp")", kDdr3, 0x50, 0x51, Is<nVidia_SMBusRegisterSpace>, kBase, none,
         OnPorts<nVidia_SMBusRegisterSpace>, true, false, 2},
        {"AMD756", {HostBridge(0x1022, 0x7006), SouthBridge(0x07, 0x1022, 0x7408), FunctionDump({0, 0x07, 3}, 0x1022, 0x740B).Class(0x06, 0x80).Byte(0x41, 0x80).Dword(0x58, kBase | 1)},
         R"("controller": "amd-756")", kDdr3, 0x50, 0x51, Is<AMD_AM755_SMBusRegisterSpace>, kBase + 0xE0,
         none, OnPorts<AMD_AM755_SMBusRegisterSpace>, false, false, 1},
        // FB-DIMM engines: the slave argument is the module select.
        {"Intel5000", {HostBridge(0x8086, 0x25D8), FunctionDump(fbd, 0x8086, 0x25F5).Class(0x06, 0x00)},
         R"("controller": "intel-5000")", kDdr3, 0, 1, Is<Intel_5000X_SMBusRegisterSpace>, 0, fbd,
         [](CIOSpace*, CRegisterSpace* config, uint32_t address) -> std::unique_ptr<CSMBusRegisterSpace> {
             return std::make_unique<Intel_5000X_SMBusRegisterSpace>(config, address | 0x74, 0x78);
         },
         false, false, 2},
        {"IntelE8500", {HostBridge(0x8086, 0x2600), FunctionDump(e8500, 0x8086, 0x2621).Class(0x06, 0x00)},
         R"("controller": "intel-e8500", "function": "00:08.0")", kDdr3, 0, 1,
         Is<Intel_E8500_SMBusRegisterSpace>, 0, e8500,
         [](CIOSpace*, CRegisterSpace* config, uint32_t address) -> std::unique_ptr<CSMBusRegisterSpace> {
             return std::make_unique<Intel_E8500_SMBusRegisterSpace>(config, address | 0x80);
         },
         false, false, 1},
        {"IntelSNBE", {HostBridge(0x8086, 0x3C00), FunctionDump(snbe, 0x8086, 0x3CA8).Class(0x08, 0x80)},
         R"("controller": "intel-imc", "function": "00:0f.0")", kDdr3, 0x50, 0x51,
         Is<Intel_SNBE_SMBusRegisterSpace>, 0, snbe,
         [](CIOSpace*, CRegisterSpace* config, uint32_t address) -> std::unique_ptr<CSMBusRegisterSpace> {
             return std::make_unique<Intel_SNBE_SMBusRegisterSpace>(config, address, 0x180);
         },
         false, false, 2},
        {"IntelHSWE", {HostBridge(0x8086, 0x2F00), FunctionDump(hswe, 0x8086, 0x2F68).Class(0x08, 0x80)},
         R"("controller": "intel-imc", "function": "00:13.0")", kDdr4, 0x50, 0x51,
         Is<Intel_HSWE_SMBusRegisterSpace>, 0, hswe,
         [](CIOSpace*, CRegisterSpace* config, uint32_t address) -> std::unique_ptr<CSMBusRegisterSpace> {
             return std::make_unique<Intel_HSWE_SMBusRegisterSpace>(config, address, 0x180);
         },
         false, false, 2},
        // The TM8000 shows the SPD bytes in 00:00.1-4; its class reads them
        // through the kernel driver, so it has no controller of its own here.
        {"TM8000",
         {FunctionDump({0, 0, 0}, 0x1279, 0x0060).Class(0x06, 0x00).HeaderType(0x80),
          FunctionDump({0, 0, 1}, 0x1279, 0x0061).Class(0x05, 0x00)},
         R"("controller": "tm8000")", kDdr3, 0x50, 0x51, Is<Transmeta_TM8000_SMBusRegisterSpace>, 0, none,
         nullptr, false, false, 1},
    };
}

} // namespace

const std::vector<FamilyImage>& FamilyImages() {
    static const std::vector<FamilyImage> families = MakeFamilies();
    return families;
}

void WriteFamilyImage(const FamilyImage& family, ImageDir& image, const std::string& devices,
                      const std::string& settings) {
    if (!family.functions.empty()) image.write("lspci.txt", LspciText(family.functions));
    std::string smbus = family.smbus;
    const auto add = [&smbus](const std::string& members) { smbus += (smbus.empty() ? "" : ", ") + members; };
    if (!devices.empty()) add(R"("devices": [)" + devices + "]");
    if (!settings.empty()) add(settings);
    if (!smbus.empty()) image.write("machine.json", R"({"smbus": {)" + smbus + "}}");
    image.copyData(family.module, "spd/0.bin");
    // The image of nothing but a module stays that way.
    if (!family.functions.empty())
        image.copyData("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test", "cpuid.txt");
}

// ---- The machine reached directly ----

uint8_t MachinePorts::OnRead(uint32_t offset) {
    uint32_t value = 0xFF;
    m_machine.readPort(uint16_t(m_dwBaseLow + offset), 1, value);
    return uint8_t(value);
}

void MachinePorts::OnWrite(uint32_t offset, uint8_t value) {
    m_machine.writePort(uint16_t(m_dwBaseLow + offset), 1, value);
}

int MachineConfigSpace::ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                        uint32_t* value) {
    ++m_accesses;
    uint8_t bytes[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const bool read = m_machine.readPciConfig(PciAddress{uint8_t(bus), uint8_t(device), uint8_t(function)}, reg, bytes);
    *value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return read ? 1 : 0;
}

int MachineConfigSpace::WriteConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                         uint32_t value) {
    ++m_accesses;
    m_writes.emplace_back(reg, value);
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return m_machine.writePciConfig(PciAddress{uint8_t(bus), uint8_t(device), uint8_t(function)}, reg, bytes) ? 1 : 0;
}

} // namespace vexa::test
