// Which monitor class serves which chip, and the creators of the classes.
// A class without a creator gives its chips the plain monitor, which shows
// their id and registers.
#include "sdk/monitor/chip_monitor_factory.h"

#include "sdk/monitor/analog_devices_adm102x.h"
#include "sdk/monitor/analog_devices_adt74xx.h"
#include "sdk/monitor/andigilog_asc7621.h"
#include "sdk/monitor/asus_monitors.h"
#include "sdk/monitor/fintek_f718xx.h"
#include "sdk/monitor/ite_it87.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/national_semiconductor_monitors.h"
#include "sdk/monitor/nuvoton_nct6106.h"
#include "sdk/monitor/nuvoton_nct6683.h"
#include "sdk/monitor/nuvoton_nct677x.h"
#include "sdk/monitor/nuvoton_smbus_monitors.h"
#include "sdk/monitor/regulator_controller_monitors.h"
#include "sdk/monitor/regulator_current_monitors.h"
#include "sdk/monitor/remote_diode_monitors.h"
#include "sdk/monitor/smsc_sensor_chips.h"
#include "sdk/monitor/smsc_superio_monitors.h"
#include "sdk/monitor/via_686_vt1211.h"
#include "sdk/monitor/winbond_w83627dhg.h"
#include "sdk/monitor/winbond_w83627hf.h"
#include "sdk/monitor/winbond_w83781d.h"
#include "sdk/monitor/winbond_w8379x.h"

namespace {

using MC = MonitorClass;

// Bits 16-23 of the chip id of ITE, Asus and Winbond-protocol chips.
constexpr uint32_t SubId(uint32_t chip) { return (chip >> 16) & 0xFF; }

MC AnalogDevicesClass(uint32_t chip) {
    switch (chip) {
    case 0x04: case 0x05: case 0x42: return MC::AnalogDevice_ADM1021;
    case 0x27: return MC::AnalogDevice_ADM1027;
    case 0x28: return MC::AnalogDevice_ADP3228;
    case 0x31: return MC::AnalogDevice_ADM1031;
    case 0x33: return MC::AnalogDevice_ADM1033;
    case 0x45: return MC::AnalogDevice_ADM1026;
    case 0x51: return MC::AnalogDevice_ADT7461;
    case 0x68: return MC::AnalogDevice_ADT7467;
    case 0x6E: case 0x6F: return MC::AnalogDevice_ADT7490;
    case 0x73: case 0x75: case 0x76: return MC::AnalogDevice_ADT7475;
    case 0x3298: return MC::AnalogDevice_ASP0800;
    default: return MC::None;
    }
}

// The mask rows come first; no id matches both kinds.
MC SmscClass(uint32_t chip) {
    switch (chip & 0xF0) {
    case 0x20: return MC::SMSC_LPC47M192;
    case 0x60: return MC::SMSC_EMC6D10X;
    case 0xB0: return MC::SMSC_EMC6W201;
    default: break;
    }
    switch (chip) {
    case 0x01: return MC::SMSC_EMCT03;
    case 0x02: return MC::SMSC_LPC47B397;
    case 0x03: return MC::SMSC_LPC47M10x;
    case 0x89: case 0x8A: case 0x8C: return MC::SMSC_DME1737;
    default: return MC::None;
    }
}

MC AsusClass(uint32_t chip) {
    switch (SubId(chip)) {
    case 0x31: return MC::Asus_AS99127F;
    case 0x38: return MC::Asus_ROG_38;
    case 0x40: return MC::Asus_ROG_40;
    default: return MC::None;
    }
}

MC FintekClass(uint32_t chip) {
    switch (chip) {
    case 0x406: return MC::Fintek_F71805F;
    case 0x341: return MC::Fintek_F71872F;
    case 0x501: case 0x541: case 0x601: case 0x723: case 0x814: case 0x909: case 0x1005: case 0x1007: case 0x1106:
        return MC::Fintek_F71882F;
    case 0x901: case 0x1001: return MC::Fintek_F71808E;
    case 0x507: case 0x581: case 0x903: return MC::Fintek_F8000;
    case 0x704: case 0x1010: return MC::Fintek_F81865F;
    case 0x1117: case 0x1118: return MC::Fintek_F71811;
    default: return MC::None;
    }
}

MC WinbondClass(uint32_t chip) {
    switch (SubId(chip)) {
    case 0x10: case 0x11: case 0x30: return MC::Winbond_W83781D;
    case 0x21: return MC::Winbond_W83627HF;
    case 0x31: return MC::Asus_AS99127F;
    case 0x40: return MC::Winbond_W83783S;
    case 0x60: return MC::Winbond_W83697HF;
    case 0x71: case 0x72: return MC::Winbond_W83791D;
    case 0x79: return MC::Nuvoton_W83795G;
    case 0x7A: return MC::Winbond_W83792D;
    case 0x7B: return MC::Winbond_W83793;
    case 0x80: return MC::Winbond_W83637HF;
    case 0x88: case 0xA1: return MC::Winbond_W83627EHF;
    case 0x90: return MC::Winbond_W83627THF;
    case 0xC1:
        switch (chip & 0xFFFF) {
        case 0xB4: case 0xC3: case 0xC5: case 0xC8: case 0xC9: return MC::Nuvoton_NCT6776;
        case 0xC4: return MC::Nuvoton_NCT6106;
        default: return MC::Winbond_W83627DHG;
        }
    default: return MC::None;
    }
}

} // namespace

MonitorClass SelectMonitorClass(uint32_t vendor, uint32_t chip) {
    switch (vendor) {
    case CHIP_VENDOR_ANALOG_DEVICES: return AnalogDevicesClass(chip);
    case CHIP_VENDOR_MAXIM: return chip == 0x16 ? MC::Maxim_MAX1617 : chip == 0x59 ? MC::Maxim_MAX6648 : MC::None;
    case CHIP_VENDOR_NUVOTON:
        switch (chip) {
        case 0xC3: return MC::Nuvoton_NCT7802;
        case 0xC5: return MC::Nuvoton_NCT7904;
        case 0xC7: return MC::Nuvoton_NCT6683;
        case 0x1C8: return MC::Nuvoton_NCT6791;
        default: return MC::None;
        }
    case CHIP_VENDOR_SMSC: return SmscClass(chip);
    case CHIP_VENDOR_ANDIGILOG: return chip == 0x6C || chip == 0x6D ? MC::Andigilog_ASC7621 : MC::None;
    case CHIP_VENDOR_ITE: return SubId(chip) == 0x00 || SubId(chip) == 0x12 ? MC::ITE_IT87 : MC::None;
    case CHIP_VENDOR_ASUS:
    case CHIP_VENDOR_ASUS_2: return AsusClass(chip);
    case CHIP_VENDOR_VIA: return chip == 0x1211 ? MC::VIA_VT1211 : MC::None;
    case CHIP_VENDOR_FINTEK: return FintekClass(chip);
    case CHIP_VENDOR_WINBOND: return WinbondClass(chip);
    case CHIP_VENDOR_CHIL:
        return chip == 0x201 ? MC::CHIL_CHL8266 : chip == 0x701 || chip == 0xD01 ? MC::CHIL_CHL8326 : MC::None;
    case CHIP_VENDOR_VOLTERRA: return chip == 0x0A || chip == 0x0C ? MC::Volterra_VT1165 : MC::None;
    case CHIP_VENDOR_NATIONAL_SEMICONDUCTOR:
        return chip == 0x41 ? MC::NS_LM63 : chip == 0x87 ? MC::NS_LM87 : MC::None;
    default: return MC::None;
    }
}

namespace {

template <MC monitorClass>
void Register(ChipMonitorRegistry& registry, ChipMonitorCreator create) {
    registry.creators[static_cast<size_t>(monitorClass)] = create;
}

// The creator of a class whose constructor takes nothing of the chip id.
template <typename Monitor>
CHardwareMonitor* Create(uint32_t) {
    return new Monitor;
}

ChipMonitorRegistry MakeBuiltInRegistry() {
    ChipMonitorRegistry registry;
    Register<MC::Nuvoton_NCT6776>(registry, [](uint32_t chip) -> CHardwareMonitor* {
        return new Nuvoton_NCT6776_HardwareMonitor(chip & 0xFFFF);
    });
    Register<MC::Nuvoton_NCT6106>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Nuvoton_NCT6106_HardwareMonitor;
    });
    Register<MC::Nuvoton_NCT6791>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Nuvoton_NCT6791_HardwareMonitor;
    });
    Register<MC::Nuvoton_NCT6683>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Nuvoton_NCT6683_HardwareMonitor;
    });
    Register<MC::Fintek_F71805F>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Fintek_F71805F_HardwareMonitor;
    });
    Register<MC::Fintek_F71872F>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Fintek_F71872F_HardwareMonitor;
    });
    Register<MC::Fintek_F71882F>(registry, [](uint32_t chip) -> CHardwareMonitor* {
        return new Fintek_F71882F_HardwareMonitor(int32_t(chip));
    });
    Register<MC::Fintek_F71808E>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Fintek_F71808E_HardwareMonitor;
    });
    Register<MC::Fintek_F8000>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Fintek_F8000_HardwareMonitor;
    });
    Register<MC::Fintek_F81865F>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Fintek_F81865F_HardwareMonitor;
    });
    Register<MC::Fintek_F71811>(registry, [](uint32_t) -> CHardwareMonitor* {
        return new Fintek_F71811_HardwareMonitor;
    });
    Register<MC::ITE_IT87>(registry, [](uint32_t chip) -> CHardwareMonitor* {
        return new ITE_IT87_HardwareMonitor(int32_t(chip & 0xFFFF));
    });
    Register<MC::Nuvoton_W83795G>(registry, Create<Nuvoton_W83795G_HardwareMonitor>);
    Register<MC::Nuvoton_NCT7802>(registry, Create<Nuvoton_NCT7802_HardwareMonitor>);
    Register<MC::Nuvoton_NCT7904>(registry, Create<Nuvoton_NCT7904_HardwareMonitor>);
    Register<MC::AnalogDevice_ADM1021>(registry, Create<AnalogDevice_ADM1021_HardwareMonitor>);
    Register<MC::AnalogDevice_ADT7461>(registry, Create<AnalogDevice_ADT7461_HardwareMonitor>);
    Register<MC::AnalogDevice_ADM1033>(registry, Create<AnalogDevice_ADM1033_HardwareMonitor>);
    Register<MC::Maxim_MAX1617>(registry, Create<Maxim_MAX1617_HardwareMonitor>);
    Register<MC::Maxim_MAX6648>(registry, Create<Maxim_MAX6648_HardwareMonitor>);
    Register<MC::AnalogDevice_ADM1026>(registry, Create<AnalogDevice_ADM1026_HardwareMonitor>);
    Register<MC::AnalogDevice_ADM1027>(registry, Create<AnalogDevice_ADM1027_HardwareMonitor>);
    Register<MC::AnalogDevice_ADM1031>(registry, Create<AnalogDevice_ADM1031_HardwareMonitor>);
    Register<MC::AnalogDevice_ADT7475>(registry, Create<AnalogDevice_ADT7475_HardwareMonitor>);
    Register<MC::AnalogDevice_ADT7490>(registry, Create<AnalogDevice_ADT7490_HardwareMonitor>);
    Register<MC::AnalogDevice_ADT7467>(registry, Create<AnalogDevice_ADT7467_HardwareMonitor>);
    Register<MC::AnalogDevice_ADP3228>(registry, Create<AnalogDevice_ADP3228_HardwareMonitor>);
    Register<MC::AnalogDevice_ASP0800>(registry, Create<AnalogDevice_ASP0800_HardwareMonitor>);
    Register<MC::Andigilog_ASC7621>(registry, Create<Andigilog_ASC7621_HardwareMonitor>);
    Register<MC::SMSC_EMC6D10X>(registry, Create<SMSC_EMC6D10X_HardwareMonitor>);
    Register<MC::SMSC_DME1737>(registry, Create<SMSC_DME1737_HardwareMonitor>);
    Register<MC::SMSC_EMC6W201>(registry, Create<SMSC_EMC6W201_HardwareMonitor>);
    Register<MC::SMSC_EMCT03>(registry, Create<SMSC_EMCT03_HardwareMonitor>);
    Register<MC::SMSC_LPC47B397>(registry, Create<SMSC_LPC47B397_HardwareMonitor>);
    Register<MC::SMSC_LPC47M10x>(registry, Create<SMSC_LPC47M10x_HardwareMonitor>);
    Register<MC::SMSC_LPC47M192>(registry, Create<SMSC_LPC47M192_HardwareMonitor>);
    Register<MC::NS_LM63>(registry, Create<NS_LM63_HardwareMonitor>);
    Register<MC::NS_LM87>(registry, Create<NS_LM87_HardwareMonitor>);
    Register<MC::CHIL_CHL8266>(registry, Create<CHIL_CHL8266_HardwareMonitor>);
    Register<MC::CHIL_CHL8326>(registry, Create<CHIL_CHL8326_HardwareMonitor>);
    Register<MC::Volterra_VT1165>(registry, Create<Volterra_VT1165_HardwareMonitor>);
    Register<MC::Winbond_W83627DHG>(registry, CreateWinbondW83627DHG);
    Register<MC::Winbond_W83627EHF>(registry, CreateWinbondW83627EHF);
    Register<MC::Winbond_W83781D>(registry, CreateWinbondW83781D);
    Register<MC::Winbond_W83783S>(registry, CreateWinbondW83783S);
    Register<MC::Asus_AS99127F>(registry, CreateAsusAS99127F);
    Register<MC::Winbond_W83627HF>(registry, CreateWinbondW83627HF);
    Register<MC::Winbond_W83637HF>(registry, CreateWinbondW83637HF);
    Register<MC::Winbond_W83697HF>(registry, CreateWinbondW83697HF);
    Register<MC::Winbond_W83627THF>(registry, CreateWinbondW83627THF);
    Register<MC::Winbond_W83791D>(registry, CreateWinbondW83791D);
    Register<MC::Winbond_W83792D>(registry, CreateWinbondW83792D);
    Register<MC::Winbond_W83793>(registry, CreateWinbondW83793);
    Register<MC::VIA_VT1211>(registry, CreateVIAVT1211);
    Register<MC::Asus_ROG_38>(registry, Create<Asus_ROG_38_HardwareMonitor>);
    Register<MC::Asus_ROG_40>(registry, Create<Asus_ROG_40_HardwareMonitor>);
    return registry;
}

} // namespace

const ChipMonitorRegistry& BuiltInChipMonitors() {
    static const ChipMonitorRegistry registry = MakeBuiltInRegistry();
    return registry;
}
