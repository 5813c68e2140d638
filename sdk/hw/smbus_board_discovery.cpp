// The SMBus interface's discovery of the memory controllers' SMBus engines
// (in PCI configuration space) and of the channel multiplexers of the
// mainboards known to have one.
#include <cstdint>

#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/smbus_discovery.h"
#include "sdk/hw/smbus_engines_5000x.h"
#include "sdk/hw/smbus_engines_snbe.h"
#include "sdk/hw/smbus_interface.h"
#include "sdk/hw/smbus_multiplexer.h"
#include "sdk/hw/smbus_transmeta.h"
#include "sdk/monitor/config_mode.h"

using smbus_discovery::Function;
using smbus_discovery::Listed;

namespace {

constexpr uint16_t kIntel = 0x8086;
constexpr uint16_t kTransmeta = 0x1279;
constexpr uint16_t kAsus = 0x1043;
constexpr uint32_t kNoId = CSMBusRegisterSpace::kNoControllerId;

// An engine register whose low word reads 0xFFFF is not there.
bool EnginePresent(const Function& fn, uint32_t statusRegister) { return (fn.Read(statusRegister) & 0xFFFF) != 0xFFFF; }

void AddEngines(CSMBusInterface& smbus, Function& fn, CRegisterSpace* config) {
    const uint16_t device = fn.Device();
    const uint32_t address = fn.ConfigAddress();
    if (fn.Vendor() == kTransmeta && device == 0x0060) {
        smbus.AddController(new Transmeta_TM8000_SMBusRegisterSpace(config), kNoId);
        return;
    }
    if (fn.Vendor() != kIntel) return;
    if (Listed(device, {0x2F68, 0x2FA8})) {
        for (const uint32_t engine : {0x180u, 0x190u})
            smbus.AddController(new Intel_HSWE_SMBusRegisterSpace(config, address, engine), kNoId);
    } else if (Listed(device, {0x0E68, 0x0EA8, 0x3CA8})) {
        for (const uint32_t engine : {0x180u, 0x190u})
            smbus.AddController(new Intel_SNBE_SMBusRegisterSpace(config, address, engine), kNoId);
    } else if (Listed(device, {0x25F5, 0x25F6, 0x360F, 0x3610, 0x4035, 0x4036})) {
        if (fn.Pci().m_byFunction != 0) return;
        const struct {
            uint32_t status, command;
        } engines[] = {{0x74, 0x78}, {0x76, 0x7C}};
        for (const auto& engine : engines)
            if (EnginePresent(fn, engine.status))
                smbus.AddController(new Intel_5000X_SMBusRegisterSpace(config, address | engine.status, engine.command),
                                    fn.ControllerId());
    } else if (device == 0x2621) {
        if (EnginePresent(fn, 0x80))
            smbus.AddController(new Intel_E8500_SMBusRegisterSpace(config, address | 0x80), fn.ControllerId());
    } else if (device == 0x2B02) {
        if (EnginePresent(fn, 0x84))
            smbus.AddController(new Intel_5000X_SMBusRegisterSpace(config, address | 0x84, 0x80), fn.ControllerId());
    }
}

// The first function with those IDs, or null.
CPCIDevice* FirstFunction(uint16_t vendor, uint16_t device) {
    CTList<CDevice> found;
    if (!GetSDK()->m_pPCI->FindDevicesByID(vendor, device, &found)) return nullptr;
    CTListIterator<CDevice> it(&found);
    return static_cast<CPCIDevice*>(it.GetFirst());
}

// The GPIO block of an ICH LPC bridge (GPIOBASE at 0x48, GPIO_EN bit 4 of
// 0x4C) as a port space of the root's list; null when the block is off.
CIOSpace* GPIOSpace(CSMBusInterface& smbus, CPCIDevice& bridge, uint32_t size) {
    Function fn(smbus, bridge);
    uint32_t base = 0;
    if (!(fn.Read(0x4C) & 0x10) || !fn.Base(0x48, 0xFFC0, base)) return nullptr;
    auto* space = new CPortIOSpace(base, size);
    GetSDK()->m_pIOSpaces->AddTail(space);
    return space;
}

} // namespace

void CSMBusInterface::CreateMemoryControllerEngines() {
    CRegisterSpace* config = GetSDK()->m_pPCI->GetConfigSpace();
    // Without a configuration space no engine register can be reached.
    if (!config) return;
    for (CPCIDevice* device : smbus_discovery::PCIFunctions()) {
        Function fn(*this, *device);
        AddEngines(*this, fn, config);
    }
}

void CSMBusInterface::CreateBoardMultiplexers() {
    const auto add = [this](CMultiplexer* multiplexer) {
        multiplexer->Save();
        m_pMultiplexers->AddTail(multiplexer);
    };
    const auto subsystem = [](CPCIDevice& device, int32_t vendor, int32_t id) {
        return device.GetSubVendorID() == vendor && device.GetSubSystemID() == id;
    };

    // i815 boards with the ASB100: a line of the super-I/O chip.
    if (CPCIDevice* chipset = FirstFunction(kIntel, 0x1130); chipset && subsystem(*chipset, kAsus, 0x8027))
        add(new Asus_ASB100_SMBusMultiplexer_Type_2(new Winbond_LPCIO_ConfigMode(SuperIOConfigSpace())));

    // ICH7R boards: a GPIO line of the LPC bridge. The GPIO block joins the
    // root's list only when a board uses it.
    if (CPCIDevice* bridge = FirstFunction(kIntel, 0x27B8); bridge && bridge->GetSubVendorID() == kAsus) {
        const int32_t board = bridge->GetSubSystemID();
        if (board == 0x8179 || board == 0x8190) {
            if (CIOSpace* gpio = GPIOSpace(*this, *bridge, 0x3C)) {
                if (board == 0x8179) add(new Asus_P5W_SMBusMultiplexer(gpio));
                else add(new Asus_P5M2_SMBusMultiplexer(gpio));
            }
        }
    }

    // ICH10R boards.
    if (CPCIDevice* bridge = FirstFunction(kIntel, 0x3A16)) {
        const bool s5500bc = subsystem(*bridge, kIntel, 0x34DA) || subsystem(*bridge, kIntel, 0x34DC);
        const bool evga = subsystem(*bridge, 0x3842, 0x101A);
        if (s5500bc || evga) {
            if (CIOSpace* gpio = GPIOSpace(*this, *bridge, 0x40)) {
                if (s5500bc) add(new Intel_S5500BC_SMBusMultiplexer(gpio));
                else add(new EVGA_ICH10R_SMBusMultiplexer(gpio));
            }
        }
    }
}
