// The base of the detection domains the root object creates and closes.
#pragma once

#include <cstdint>

// One bit per domain.
enum InterfaceType : uint32_t {
    INTERFACE_PCI = 0x1,
    INTERFACE_SMBUS = 0x2,
    INTERFACE_ACPI = 0x4,
    INTERFACE_CPU = 0x8,
    INTERFACE_STORAGE = 0x10,
    INTERFACE_DISPLAY = 0x20,
    INTERFACE_HARDWARE_MONITOR = 0x80,
    INTERFACE_CHIPSET = 0x800,
    INTERFACE_DMI = 0x1000,
    INTERFACE_SOFTWARE = 0x2000,
    INTERFACE_WMI = 0x8000,
};

class CInterface {
public:
    explicit CInterface(uint32_t type) : m_dwType(type) {}
    // Detects and builds the domain's objects; non-zero on success.
    virtual int Init() = 0;
    // Stops the domain's threads and puts hardware state back before shut-down.
    virtual void Close() = 0;
    virtual ~CInterface() = default;

    uint32_t GetType() const { return m_dwType; }

    uint32_t m_dwType;
};
