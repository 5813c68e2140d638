// The SMBus engines of the integrated memory controllers of Sandy Bridge-EP
// / Ivy Bridge-EP (SNB-E) and Haswell-EP / Broadwell-EP (HSW-E) Xeons: two
// engines per controller function, each three configuration dwords
// (status, command, control) at its engine offset. Slaves are served by
// device type: the modules' thermal sensors (type 3, 0x18-0x1F) and SPD
// EEPROMs (type 10, 0x50-0x57). The HSW-E engine reaches the 512 bytes of
// DDR4 SPD EEPROMs by selecting their page (types 6: 0x36, 0x37).
#pragma once

#include "sdk/hw/smbus_controller.h"

namespace SNBEEngine {
constexpr uint32_t kStatus = 0x0;
constexpr uint32_t kCommand = 0x4;
constexpr uint32_t kControl = 0x8;

constexpr uint32_t kReadDone = 0x80000000;
constexpr uint32_t kWriteDone = 0x40000000;
constexpr uint32_t kError = 0x20000000;
constexpr uint32_t kBusy = 0x10000000;

constexpr uint32_t kIssue = 0x80000000;
constexpr uint32_t kWordAccess = 0x20000000;
constexpr uint32_t kWriteAccess = 0x08000000;
constexpr uint32_t kControlToggle = 0x08000000;  // set by every transfer, toggled by the recovery

constexpr uint32_t kThermalSensorType = 3;
constexpr uint32_t kSpdType = 10;
constexpr uint32_t kPageSelectType = 6;

constexpr int32_t kStatusReads = 100001;
constexpr int32_t kRecoveryTries = 1001;
} // namespace SNBEEngine

class Intel_SNBE_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 2000;

    // `configSpace`: a PCI configuration space (class 2) or the PCI
    // Express window (class 3); `configAddress`: 0x80000000 | bus << 16 |
    // device << 11 | function << 8; `engineOffset`: 0x180 or 0x190.
    Intel_SNBE_SMBusRegisterSpace(CRegisterSpace* configSpace, uint32_t configAddress, uint32_t engineOffset)
        : CSMBusRegisterSpace(nullptr, kPollCount), m_pConfigSpace(configSpace), m_dwConfigAddress(configAddress),
          m_dwEngineOffset(engineOffset) {}

    // Registers 0-255 of the served slaves; the kernel driver is asked
    // first, and only its answer 2 goes on to the engine's registers.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    // The device's word, most significant byte first: low is status bits
    // 15:8, high bits 7:0.
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override;

    CRegisterSpace* m_pConfigSpace;  // not owned
    uint32_t m_dwConfigAddress;
    uint32_t m_dwEngineOffset;

protected:
    // Whether the engine serves the slave, with its device type and select.
    static bool Served(uint8_t slave, uint32_t& type, uint32_t& select);
    // The engine's transfers in its registers: `command` is issued with the
    // device type in the control register; the status on success.
    bool ConfigRead(uint32_t type, uint32_t command, uint32_t& status);
    bool ConfigWrite(uint32_t type, uint32_t select, uint32_t reg, uint8_t value);
    // The SNB-E byte read (driver first) of a served slave.
    int ReadServedByte(uint32_t type, uint32_t select, uint32_t reg, uint8_t* value);

private:
    uint32_t ReadRegister(uint32_t offset);
    void WriteRegister(uint32_t offset, uint32_t value);
    // Issues the command and waits for its end; then, unless `succeeded`,
    // the recovery and a second wait. The last status in `status`.
    bool Transfer(uint32_t type, uint32_t command, uint32_t endBits, uint32_t successBit, uint32_t recoveryMask,
                  uint32_t& status);
};

class Intel_HSWE_SMBusRegisterSpace : public Intel_SNBE_SMBusRegisterSpace {
public:
    static constexpr int32_t kPageUnknown = -1;

    Intel_HSWE_SMBusRegisterSpace(CRegisterSpace* configSpace, uint32_t configAddress, uint32_t engineOffset)
        : Intel_SNBE_SMBusRegisterSpace(configSpace, configAddress, engineOffset) {
        m_bSelectsSpdPagesItself = true;
    }

    // The request's transfer; a request that ended on page 1 puts page 0
    // back, so that firmware and other programs find the EEPROMs as every
    // other controller's requests leave them.
    int Execute(CIORequest* request) override;
    // Registers 0-511: 256 and up are page 1 of a DDR4 SPD EEPROM, selected
    // before the read when another page was selected last.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    // Forgets the selected page: every request selects it again.
    void PrepareTransfer() override { m_iSelectedPage = kPageUnknown; }

    int32_t m_iSelectedPage = kPageUnknown;

private:
    // The page select (device type 6) of every EEPROM on the engine's bus;
    // the page counts as selected whether the write took or not.
    void SelectPage(int32_t page);
};
