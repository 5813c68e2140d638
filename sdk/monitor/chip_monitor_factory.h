// The registration table of the chip-monitor classes. Each sensor chip the
// probes recognise maps, by vendor code and chip id, to one monitor class;
// the class's creator (null until that class is part of the build) makes
// the monitor, and a board's label tables replace its defaults. A chip
// whose class has no creator gets the plain monitor, which shows its id
// and its register dump.
#pragma once

#include <cstddef>
#include <cstdint>

class CHardwareMonitor;

enum class MonitorClass : uint8_t {
    None,
    AnalogDevice_ADM1021, AnalogDevice_ADM1027, AnalogDevice_ADP3228, AnalogDevice_ADM1031,
    AnalogDevice_ADM1033, AnalogDevice_ADM1026, AnalogDevice_ADT7461, AnalogDevice_ADT7467,
    AnalogDevice_ADT7490, AnalogDevice_ADT7475, AnalogDevice_ASP0800,
    Maxim_MAX1617, Maxim_MAX6648,
    Nuvoton_NCT7802, Nuvoton_NCT7904, Nuvoton_NCT6683, Nuvoton_NCT6791,
    SMSC_LPC47M192, SMSC_EMC6D10X, SMSC_EMC6W201, SMSC_EMCT03, SMSC_LPC47B397, SMSC_LPC47M10x, SMSC_DME1737,
    Andigilog_ASC7621,
    ITE_IT87,
    Asus_AS99127F, Asus_ROG_38, Asus_ROG_40,
    VIA_VT1211,
    Fintek_F71805F, Fintek_F71872F, Fintek_F71882F, Fintek_F71808E, Fintek_F8000, Fintek_F81865F, Fintek_F71811,
    Winbond_W83781D, Winbond_W83627HF, Winbond_W83783S, Winbond_W83697HF, Winbond_W83791D, Nuvoton_W83795G,
    Winbond_W83792D, Winbond_W83793, Winbond_W83637HF, Winbond_W83627EHF, Winbond_W83627THF,
    Nuvoton_NCT6776, Nuvoton_NCT6106, Winbond_W83627DHG,
    CHIL_CHL8266, CHIL_CHL8326, Volterra_VT1165,
    NS_LM63, NS_LM87,
    Count,
};

// Makes the monitor of a class from the chip id as the probe composed it;
// each creator takes from it what its constructor needs (the device id in
// bits 0-15 for ITE and Nuvoton NCT6776-type chips, the whole id for
// Fintek F71882F-type chips). Null on failure.
using ChipMonitorCreator = CHardwareMonitor* (*)(uint32_t chip);

struct ChipMonitorRegistry {
    ChipMonitorCreator creators[static_cast<size_t>(MonitorClass::Count)] = {};
};

// The classes of this build.
const ChipMonitorRegistry& BuiltInChipMonitors();

// The class of a (vendor, chip) pair; MonitorClass::None when no class
// claims it.
MonitorClass SelectMonitorClass(uint32_t vendor, uint32_t chip);
