// The SPD access of the Transmeta TM8000 (Efficeon) northbridge: the SPD
// bytes of up to four modules appear in PCI configuration space of
// functions 1 to 4 of device 0:0 from register 0x50 on; no SMBus transfer
// is made.
#pragma once

#include "sdk/hw/smbus_controller.h"

class Transmeta_TM8000_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr uint8_t kFirstModule = 0x50;
    static constexpr uint8_t kModules = 4;
    static constexpr uint32_t kSpdWindow = 0x50;
    static constexpr uint32_t kSpdBytes = 0x40;

    // `configSpace` is kept and not used: the bytes come through the
    // configuration ports.
    explicit Transmeta_TM8000_SMBusRegisterSpace(CRegisterSpace* configSpace)
        : CSMBusRegisterSpace(nullptr, 0), m_pConfigSpace(configSpace) {}

    // Slaves 0x50-0x53 (modules 0-3), registers 0-0x3F; an empty slot
    // (a function that does not answer) fails.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;

    CRegisterSpace* m_pConfigSpace;  // not owned
};
