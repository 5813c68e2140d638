// What a PCI device id tells about an ATI/AMD GPU: its I2C engine and the
// layout of its video BIOS, its family code, codename, process technology
// and memory type, and its marketing name.
#pragma once

#include <cstdint>

enum class ATIEngine : uint8_t { None, R4XXFromBIOS, R4XX27000, R5XX, R6XX, R8XX };
enum class ATIBIOSLayout : uint8_t { None, Legacy, Atom };

struct ATIDeviceRow {
    const char* codename;  // null: none
    uint32_t family;       // refined family code; 0: unchanged
    float technology;      // µm; < 0: not set
    ATIEngine engine;
    ATIBIOSLayout bios;
    bool gddr5;
    // The family the engine step sets before the codename refines it;
    // 0 when the row has neither engine nor BIOS.
    uint32_t engineFamily;
};

// The row of a device id; null when the id is in no row.
const ATIDeviceRow* FindATIDevice(uint16_t device);
// The marketing name of a device id; null when the table has none.
const char* FindATIDeviceName(uint16_t device);
