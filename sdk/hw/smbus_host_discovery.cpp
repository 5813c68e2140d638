// The SMBus interface's discovery of the south bridges' SMBus host
// controllers: the functions a chipset hides are shown first (reversible
// commands), then every function whose IDs name a controller family is
// prepared (I/O decoding, host enable) and gets one controller object per
// I/O base on a port space of the root's list.
#include <cstdint>

#include "sdk/core/sdk.h"
#include "sdk/hw/command_pci_config_bit.h"
#include "sdk/hw/command_root_complex.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/smbus_ali.h"
#include "sdk/hw/smbus_amd755.h"
#include "sdk/hw/smbus_discovery.h"
#include "sdk/hw/smbus_intel_ich.h"
#include "sdk/hw/smbus_interface.h"
#include "sdk/hw/smbus_nvidia.h"
#include "sdk/hw/smbus_sis.h"
#include "sdk/hw/smbus_via_ati.h"

using smbus_discovery::Function;
using smbus_discovery::Listed;

namespace {

constexpr uint16_t kIntel = 0x8086;
constexpr uint16_t kServerWorks = 0x1166;
constexpr uint16_t kVIA = 0x1106;
constexpr uint16_t kSiS = 0x1039;
constexpr uint16_t kALi = 0x10B9;
constexpr uint16_t kAMD = 0x1022;
constexpr uint16_t kATI = 0x1002;
constexpr uint16_t kNVidia = 0x10DE;

constexpr uint32_t kNoId = CSMBusRegisterSpace::kNoControllerId;

// ---- Hidden functions ----

// The command that shows the SMBus function of a chipset whose LPC or
// south bridge is `bridge`; null for other functions.
CCommand* UnhidingCommand(CPCIDevice& bridge) {
    const uint16_t vendor = bridge.GetVendorID(), device = bridge.GetDeviceID();
    if (vendor == kIntel) {
        if (Listed(device, {0x2410, 0x2420, 0x2440, 0x244C, 0x2480, 0x248C, 0x24C0, 0x24CC, 0x24D0, 0x25A1}))
            return new Intel_82801_SMBusControllerStatus(&bridge);
        if (Listed(device, {0x1C49, 0x1C4F, 0x1E55, 0x1E59, 0x2640, 0x2641, 0x2670, 0x27B0, 0x27B8, 0x27B9, 0x27BD,
                            0x2810, 0x2811, 0x2812, 0x2814, 0x2815, 0x2910, 0x2912, 0x2914, 0x2916, 0x2917, 0x2918,
                            0x2919, 0x3A14, 0x3A16, 0x3A18, 0x3A1A, 0x3B07, 0x3B09, 0x3B0A, 0x3B0B}))
            return new Intel_82801FB_SMBusControllerStatus(&bridge);
        if (Listed(device, {0x1D40, 0x1D41})) return new Intel_LPC_ThermalControllerStatus(&bridge);
    }
    if (vendor == kSiS && Listed(device, {0x0008, 0x0961, 0x0962, 0x0963}))
        return new SiS_96x_SMBusControllerStatus(&bridge);
    return nullptr;
}

// ---- Controllers ----

// The port space at `base` from the root's list, or a new one in it.
CIOSpace* PortSpace(uint32_t base) {
    BRENIKSDK* sdk = GetSDK();
    if (CIOSpace* space = sdk->FindIOSpace(0, base, IOSPACE_PORT)) return space;
    auto* space = new CPortIOSpace(base, 0xFFFFFFFF);
    sdk->m_pIOSpaces->AddTail(space);
    return space;
}

template <typename Controller>
void AddPortController(CSMBusInterface& smbus, uint32_t base, uint32_t controllerId = kNoId) {
    smbus.AddController(new Controller(PortSpace(base)), controllerId);
}

// Host configuration (HOSTC, 0x40) of the ICH family: bit 0 enables the
// host, bit 2 puts it in I2C mode.
constexpr uint32_t kHostConfig = 0x40;
constexpr uint32_t kHostEnable = 0x01;
constexpr uint32_t kI2CMode = 0x04;

void AddICH1(CSMBusInterface& smbus, Function& fn) {
    fn.EnableIO();
    const uint32_t config = fn.Read(kHostConfig);
    if (!(config & kHostEnable)) {
        fn.Write(kHostConfig, config | 0x3);
        if (!(fn.Read(kHostConfig) & kHostEnable)) return;
    }
    uint32_t base = 0;
    if (fn.Base(0x20, 0xFFF0, base)) AddPortController<Intel_ICH1_SMBusRegisterSpace>(smbus, base);
}

void AddPIIX4(CSMBusInterface& smbus, Function& fn) {
    fn.EnableIO();
    uint32_t base = 0;
    if (fn.EnableBit(0xD0, 16) && fn.Base(0x90, 0xFFF0, base))
        AddPortController<Intel_ICH1_SMBusRegisterSpace>(smbus, base);
}

// SMBus mode with the host enabled; a host that cannot be enabled is skipped.
void AddICH4(CSMBusInterface& smbus, Function& fn) {
    fn.EnableIO();
    const uint32_t config = fn.Read(kHostConfig);
    if (config == 0xFFFFFFFF) return;
    fn.Write(kHostConfig, (config & ~kI2CMode) | kHostEnable);
    if (!(fn.Read(kHostConfig) & kHostEnable)) return;
    uint32_t base = 0;
    if (fn.Base(0x20, 0xFFF0, base)) AddPortController<Intel_ICH4_SMBusRegisterSpace>(smbus, base);
}

void AddSCH(CSMBusInterface& smbus, Function& fn) {
    uint32_t base = 0;
    if (fn.Base(0x40, 0xFFC0, base)) AddPortController<Intel_SCH_SMBusRegisterSpace>(smbus, base);
}

void AddServerWorks(CSMBusInterface& smbus, Function& fn) {
    uint32_t base = 0;
    if (fn.Base(0x90, 0xFFF0, base)) AddPortController<Intel_ICH1_SMBusRegisterSpace>(smbus, base);
}

// VIA's SMBus base registers have the host enable in bit 0.
void AddVIA(CSMBusInterface& smbus, Function& fn) {
    uint32_t base = 0;
    if ((fn.Read(0xD0) & 1) && fn.EnableBit(0xD0, 16) && fn.Base(0xD0, 0xFFF0, base))
        AddPortController<VIA_VT82_SMBusRegisterSpace>(smbus, base);
}

// The VT82C686 family: the base at 0x90 with the enable at 0xD0, or the
// older one at 0x80 with the enable at 0x84.
void AddVIA686(CSMBusInterface& smbus, Function& fn) {
    uint32_t base = 0;
    if (fn.Read(0x90) & 1) {
        if (fn.Base(0x90, 0xFFF0, base) && fn.EnableBit(0xD0, 16))
            AddPortController<VIA_VT82_SMBusRegisterSpace>(smbus, base);
    } else if ((fn.Read(0x80) & 1) && fn.Base(0x80, 0xFFF0, base) && fn.EnableBit(0x84, 0)) {
        AddPortController<VIA_VT82_SMBusRegisterSpace>(smbus, base);
    }
}

void AddVIA586(CSMBusInterface& smbus, Function& fn) {
    uint32_t base = 0;
    if (fn.Revision() != 0 && (fn.Read(0x48) & 1) && fn.Base(0x48, 0xFF00, base))
        AddPortController<VIA_VT82_SMBusRegisterSpace>(smbus, base);
}

// The SiS controllers lie at an offset from a power-management or ACPI base.
template <typename Controller>
void AddSiSAt(CSMBusInterface& smbus, Function& fn, uint32_t reg, uint32_t mask, uint32_t offset) {
    uint32_t base = 0;
    if (fn.Base(reg, mask, base)) AddPortController<Controller>(smbus, base + offset);
}

void AddSiS(CSMBusInterface& smbus, Function& fn) {
    switch (fn.Device()) {
    case 0x0016:
        fn.EnableIO();
        AddSiSAt<SiS_SMBusRegisterSpace>(smbus, fn, 0x20, 0xFFE0, 0);
        break;
    case 0x0630:
        if (fn.Read(0x68) & 1) AddSiSAt<SiS_SMBusRegisterSpace>(smbus, fn, 0x68, 0xFFE0, 0x80);
        break;
    case 0x0964: AddSiSAt<SiS_SMBusRegisterSpace>(smbus, fn, 0x74, 0xFFF0, 0xE0); break;
    case 0x0965:
    case 0x0966: AddSiSAt<SiS_SMBusRegisterSpace>(smbus, fn, 0x74, 0xFFF0, 0xD0); break;
    case 0x0968: {
        uint32_t high = 0;
        if (fn.Base(0x9B, 0xFF, high)) AddPortController<SiS968_SMBusRegisterSpace>(smbus, high << 8);
        break;
    }
    default: break;
    }
}

void AddALiM1563(CSMBusInterface& smbus, Function& fn) {
    fn.EnableIO();
    uint32_t config = fn.Read(0x80);
    if (config == 0xFFFFFFFF) return;
    if (!(config & 1)) {
        config |= 0x7;
        fn.Write(0x80, config);
    }
    if (const uint32_t base = config & 0xFFF0) AddPortController<ALI_M1563_SMBusRegisterSpace>(smbus, base);
}

void AddALiM7101(CSMBusInterface& smbus, Function& fn) {
    if (const uint32_t control = fn.Read(0xD0); control != 0xFFFFFFFF && !(control & (1u << 10)))
        fn.Write(0xD0, control | (1u << 10));
    if (const uint32_t enable = fn.Read(0xF0); enable != 0xFFFFFFFF && !(enable & 1)) fn.Write(0xF0, enable | 1);
    uint32_t base = 0;
    if (fn.Base(0xE2, 0xFFE0, base)) AddPortController<ALI_M7101_SMBusRegisterSpace>(smbus, base);
}

void AddAMD755(CSMBusInterface& smbus, Function& fn) {
    uint32_t base = 0;
    if (fn.EnableBit(0x40, 15) && fn.Base(0x58, 0xFF00, base))
        AddPortController<AMD_AM755_SMBusRegisterSpace>(smbus, base + 0xE0);
}

// The SMBus base of AMD and ATI south bridges from their power-management
// registers (index port 0xCD6, data port 0xCD7), through the kernel driver.
bool PowerManagementBase(Function& fn, uint32_t& base) {
    constexpr uint32_t kIndexPort = 0xCD6, kDataPort = 0xCD7;
    CKMDriver* driver = GetSDK()->GetDriver();
    CPCIInterface* pci = GetSDK()->m_pPCI;
    if (!driver || !pci) return false;
    const auto pmRegister = [&](uint8_t index) {
        uint8_t value = 0xFF;
        if (!driver->WritePortByte(kIndexPort, index) || !driver->ReadPortByte(kDataPort, &value)) return uint8_t(0xFF);
        return value;
    };
    if (fn.Vendor() == kAMD) {
        uint32_t hostBridge = 0xFFFFFFFF;
        pci->ReadConfig(0, 0, 0, 0, &hostBridge);
        if (hostBridge == 0x15661022 || hostBridge == 0x15761022) {
            const uint8_t high = pmRegister(0x01);
            base = high == 0xFF ? 0 : uint32_t(high) << 8;
            return base != 0;
        }
    }
    const uint8_t high = pmRegister(0x2D);
    const uint8_t low = pmRegister(0x2C);
    base = (uint32_t(high) * 256 + low) & 0xFFE0;
    return base != 0 && base != 0xFFE0;
}

void AddAMDHudson(CSMBusInterface& smbus, Function& fn) {
    uint32_t base = 0;
    if (PowerManagementBase(fn, base)) AddPortController<ATI_SB_SMBusRegisterSpace>(smbus, base);
}

void AddATI(CSMBusInterface& smbus, Function& fn) {
    fn.EnableIO();
    const uint32_t raw = fn.Read(0x90);
    if (raw == 0xFFFFFFFF) return;
    uint32_t base = raw & 0xFFF0;
    if (base || PowerManagementBase(fn, base)) AddPortController<ATI_SB_SMBusRegisterSpace>(smbus, base);
}

// nForce functions carry up to two controllers, one per base register.
void AddNVidia(CSMBusInterface& smbus, Function& fn, uint32_t firstBase, uint32_t controllerId) {
    fn.EnableIO();
    for (const uint32_t reg : {firstBase, firstBase + 4}) {
        uint32_t base = 0;
        if (fn.Base(reg, 0xFFFC, base)) AddPortController<nVidia_SMBusRegisterSpace>(smbus, base, controllerId);
    }
}

using HostHandler = void (*)(CSMBusInterface&, Function&);

// The family of an SMBus function's controller; null for other functions.
HostHandler HostFamily(const Function& fn) {
    const uint16_t device = fn.Device();
    switch (fn.Vendor()) {
    case kIntel:
        if (Listed(device, {0x2413, 0x2423, 0x2443, 0x2483})) return AddICH1;
        if (device == 0x7113) return AddPIIX4;
        if (Listed(device, {0x0F12, 0x1C22, 0x1D22, 0x1E22, 0x1F3C, 0x23B0, 0x24C3, 0x24D3, 0x25A4, 0x266A, 0x269B,
                            0x27DA, 0x283E, 0x2930, 0x3A30, 0x3A60, 0x3B30, 0x8C22, 0x8CA2, 0x8D22, 0x9C22, 0x9CA2,
                            0x9D23, 0xA123}))
            return AddICH4;
        if (Listed(device, {0x8119, 0x8186})) return AddSCH;
        return nullptr;
    case kServerWorks: return Listed(device, {0x0200, 0x0201, 0x0203}) ? AddServerWorks : nullptr;
    case kVIA:
        if (Listed(device, {0x3074, 0x3147, 0x3177, 0x3227, 0x3287, 0x3337, 0x3372, 0x3402, 0x345B, 0x8324, 0x8353,
                            0x8409, 0x8410}))
            return AddVIA;
        if (Listed(device, {0x3050, 0x3057, 0x3086, 0x8235})) return AddVIA686;
        return device == 0x3040 ? AddVIA586 : nullptr;
    case kSiS: return Listed(device, {0x0016, 0x0630, 0x0964, 0x0965, 0x0966, 0x0968}) ? AddSiS : nullptr;
    case kALi:
        if (Listed(device, {0x1563, 0x1573, 0x1575})) return AddALiM1563;
        return device == 0x7101 ? AddALiM7101 : nullptr;
    case kAMD:
        if (Listed(device, {0x740B, 0x7413, 0x7443, 0x746B})) return AddAMD755;
        return Listed(device, {0x780B, 0x790B}) ? AddAMDHudson : nullptr;
    case kATI: return Listed(device, {0x4353, 0x4372, 0x4385, 0x4395}) ? AddATI : nullptr;
    case kNVidia:
        if (Listed(device, {0x0034, 0x0052, 0x0064, 0x0084, 0x00D4, 0x00E4}))
            return [](CSMBusInterface& smbus, Function& f) { AddNVidia(smbus, f, 0x50, kNoId); };
        if (device == 0x01B4) return [](CSMBusInterface& smbus, Function& f) { AddNVidia(smbus, f, 0x10, kNoId); };
        if (Listed(device, {0x0264, 0x0368, 0x03EB, 0x0446, 0x0542, 0x0752, 0x07D8, 0x0AA2, 0x0D79}))
            return [](CSMBusInterface& smbus, Function& f) { AddNVidia(smbus, f, 0x20, f.ControllerId()); };
        return nullptr;
    default: return nullptr;
    }
}

} // namespace

void CSMBusInterface::EnableHiddenControllers() {
    // Enable rescans the bus, which changes the device list: the bridges
    // are picked first.
    for (CPCIDevice* bridge : smbus_discovery::PCIFunctions()) {
        CCommand* command = UnhidingCommand(*bridge);
        if (!command) continue;
        m_pCommands->AddTail(command);
        command->Save();
        command->Enable();
    }
}

void CSMBusInterface::CreateHostControllers() {
    for (CPCIDevice* device : smbus_discovery::PCIFunctions()) {
        Function fn(*this, *device);
        if (const HostHandler add = HostFamily(fn)) add(*this, fn);
    }
}
