// The configuration modes of super-I/O chips. A chip on the LPC bus hides
// its configuration registers behind an index/data port pair (0x2E/0x2F or
// 0x4E/0x4F) until a vendor-specific key sequence is written to the index
// port; the registers then select a logical device (register 7) and show
// that device's registers (base addresses, activation, general-purpose
// lines). A user enters the mode, selects a logical device, reads or
// writes, puts register 7 back and leaves the mode.
//
// CConfigMode is the protocol of a chip that needs no key; each vendor
// class adds its key sequence and the logical device of its hardware
// monitor. The configuration register space is shared, not owned.
#pragma once

#include <cstdint>
#include <initializer_list>

class CLPCRegisterSpace;
class CReportGenerator;

class CConfigMode {
public:
    static constexpr uint8_t kLogicalDeviceSelect = 0x07;

    // `configSpace`: index port at offset 0, data port at offset 1.
    CConfigMode(CLPCRegisterSpace* configSpace, uint8_t logicalDevice)
        : m_pConfigSpace(configSpace), m_byLDN(logicalDevice) {}
    virtual ~CConfigMode() = default;
    CConfigMode(const CConfigMode&) = delete;
    CConfigMode& operator=(const CConfigMode&) = delete;

    // 0xFF in `value` and 0: the base has no register access.
    virtual int ReadRegister(uint8_t reg, uint8_t* value);
    virtual int WriteRegister(uint8_t reg, uint8_t value);
    // A chip without a key is always in configuration mode: 1.
    virtual int Enter();
    virtual void Exit() {}
    // The index port and the logical device; then, when the mode can be
    // entered, registers 0x00-0x7F of that logical device ("ER" for one
    // that cannot be read), with the logical-device select put back.
    virtual void Dump(CReportGenerator* report);

    // The index port (the configuration space's base), 0xFFFFFFFF without a space.
    uint32_t GetBaseAddress() const;

    CLPCRegisterSpace* m_pConfigSpace;  // not owned; may be null
    uint8_t m_byLDN;                    // the hardware monitor's logical device
};

// Winbond and Nuvoton chips (and the ASUS ASB100 built on them): the key
// 0x87, 0x87 opens the registers, 0xAA closes them; the hardware monitor is
// logical device 0x0B. The other vendors' modes reach the registers the
// same way and differ in their keys, their exit and their monitor device.
class Winbond_LPCIO_ConfigMode : public CConfigMode {
public:
    static constexpr uint8_t kEnterKey = 0x87;
    static constexpr uint8_t kExitKey = 0xAA;
    static constexpr uint8_t kHardwareMonitorDevice = 0x0B;

    explicit Winbond_LPCIO_ConfigMode(CLPCRegisterSpace* configSpace)
        : CConfigMode(configSpace, kHardwareMonitorDevice) {}

    // The register through the data port: 0xFF in `value` and 0 when the
    // access fails or there is no space.
    int ReadRegister(uint8_t reg, uint8_t* value) override;
    int WriteRegister(uint8_t reg, uint8_t value) override;
    // The key bytes go to the index port; the second only when the first
    // was written. The result of the last write; 0 without a space.
    int Enter() override;
    void Exit() override;

protected:
    Winbond_LPCIO_ConfigMode(CLPCRegisterSpace* configSpace, uint8_t logicalDevice)
        : CConfigMode(configSpace, logicalDevice) {}
    // Writes the key to the index port, the bytes after the first only
    // when the first was written; the result of the last write, 0 without
    // a space.
    int WriteKey(std::initializer_list<uint8_t> key);
};

// ITE chips: the key 0x87, 0x01, 0x55, 0x55 at port 0x2E; leaving sets bit 1
// of configuration register 2. The monitor is logical device 4.
class ITE_LPCIO_ConfigMode : public Winbond_LPCIO_ConfigMode {
public:
    static constexpr uint8_t kHardwareMonitorDevice = 0x04;
    static constexpr uint8_t kConfigControl = 0x02;
    static constexpr uint8_t kReturnToWaitForKey = 0x02;

    explicit ITE_LPCIO_ConfigMode(CLPCRegisterSpace* configSpace)
        : Winbond_LPCIO_ConfigMode(configSpace, kHardwareMonitorDevice) {}
    int Enter() override;
    void Exit() override;
};

// ITE chips at port 0x4E: the key ends in 0xAA.
class ITE_LPCIO_ConfigMode_2 : public ITE_LPCIO_ConfigMode {
public:
    explicit ITE_LPCIO_ConfigMode_2(CLPCRegisterSpace* configSpace) : ITE_LPCIO_ConfigMode(configSpace) {}
    int Enter() override;
};

// Fintek chips: Winbond's key and exit; the monitor is logical device 4.
class Fintek_LPCIO_ConfigMode : public Winbond_LPCIO_ConfigMode {
public:
    static constexpr uint8_t kHardwareMonitorDevice = 0x04;
    explicit Fintek_LPCIO_ConfigMode(CLPCRegisterSpace* configSpace)
        : Winbond_LPCIO_ConfigMode(configSpace, kHardwareMonitorDevice) {}
};

// SMSC chips: the key 0x55, the exit 0xAA; the monitor is logical device 8.
class SMSC_LPCIO_ConfigMode : public Winbond_LPCIO_ConfigMode {
public:
    static constexpr uint8_t kEnterKey = 0x55;
    static constexpr uint8_t kHardwareMonitorDevice = 0x08;
    explicit SMSC_LPCIO_ConfigMode(CLPCRegisterSpace* configSpace)
        : Winbond_LPCIO_ConfigMode(configSpace, kHardwareMonitorDevice) {}
    int Enter() override;
};

// National Semiconductor chips: the registers are always open, so entering
// always succeeds and leaving does nothing; the monitor is logical device 9.
class NS_LPCIO_ConfigMode : public Winbond_LPCIO_ConfigMode {
public:
    static constexpr uint8_t kHardwareMonitorDevice = 0x09;
    explicit NS_LPCIO_ConfigMode(CLPCRegisterSpace* configSpace)
        : Winbond_LPCIO_ConfigMode(configSpace, kHardwareMonitorDevice) {}
    int Enter() override { return CConfigMode::Enter(); }
    void Exit() override { CConfigMode::Exit(); }
};
