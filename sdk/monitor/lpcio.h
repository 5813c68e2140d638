// A super-I/O chip found on the configuration ports: its vendor and chip
// id, the names they give, the configuration mode through which it was
// found (owned) and the register spaces of its monitor blocks (shared; the
// root's list owns them). The root's device list owns the chip.
#pragma once

#include <cstdint>

#include "sdk/core/device.h"

class CConfigMode;
class CRegisterSpace;

// The vendor codes of sensor chips and super-I/O chips.
enum ChipVendorCode : uint32_t {
    CHIP_VENDOR_ANALOG_DEVICES = 0x41,
    CHIP_VENDOR_ANALOG_DEVICES_2 = 0xA1,
    CHIP_VENDOR_MAXIM = 0x4D,
    CHIP_VENDOR_NUVOTON = 0x50,
    CHIP_VENDOR_SMSC = 0x55,
    CHIP_VENDOR_ANDIGILOG = 0x61,
    CHIP_VENDOR_ITE = 0x90,
    CHIP_VENDOR_ASUS = 0x694,
    CHIP_VENDOR_ASUS_2 = 0x12C3,
    CHIP_VENDOR_VIA = 0x1106,
    CHIP_VENDOR_FINTEK = 0x1934,
    CHIP_VENDOR_WINBOND = 0x5CA3,
    CHIP_VENDOR_CHIL = 0xC001,
    CHIP_VENDOR_VOLTERRA = 0xC002,
    CHIP_VENDOR_NATIONAL_SEMICONDUCTOR = 0xFF02,
};

class CLPCIO : public CDevice {
public:
    static constexpr uint32_t kNotSet = 0xFFFFFFFF;

    CLPCIO() : CDevice(DEVICE_LPC_IO) {}
    // Deletes the configuration mode.
    ~CLPCIO() override;

    // The identity lines, the configuration registers and the spaces.
    void Dump(CReportGenerator* report) override;
    // The identity lines only.
    virtual void Dump2(CReportGenerator* report);
    // No report writer takes keyed lines; nothing is written.
    virtual void DumpKeyed(void*) {}

    // The vendor name for a known vendor code, then the model for a known
    // chip id of that vendor (some ids name another vendor).
    void IdentifyChip();

    char m_szVendor[256] = {};
    char m_szModel[256] = {};
    uint32_t m_dwVendor = kNotSet;    // ChipVendorCode
    uint32_t m_dwChipId = kNotSet;    // one byte, 16 bits for ITE and Fintek
    uint32_t m_dwRevision = kNotSet;
    CConfigMode* m_pConfigMode = nullptr;          // owned
    CRegisterSpace* m_pMonitorSpace = nullptr;     // shared
    CRegisterSpace* m_pSecondSpace = nullptr;      // shared: PMIO, or a second bank block
    CRegisterSpace* m_pThirdSpace = nullptr;       // shared
    CRegisterSpace* m_pFourthSpace = nullptr;      // shared; set by no detector
};
