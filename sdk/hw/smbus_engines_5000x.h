// The SPD engines of Intel server memory controllers of the FB-DIMM era:
// the 5000 series (5000P/V/X/Z, 7300, 5400) and the E8500/E8501. Each
// engine is a status word and a command dword in the PCI configuration
// space of a memory-controller function; its "slave" is the module select
// 0-7 of its channel, not a bus address.
#pragma once

#include "sdk/hw/smbus_controller.h"

namespace SPDEngine {
// Status word.
constexpr uint32_t kBusy = 0x1000;
constexpr uint32_t kError = 0x2000;
constexpr uint32_t kWriteDone = 0x4000;
constexpr uint32_t kReadDone = 0x8000;
// Command dword.
constexpr uint32_t kSelectBase = 0xA0;      // bits 31:24: 0xA0 | module select
constexpr uint32_t kStart = 0x08000000;     // starts the 5000-series engine
constexpr uint32_t kWrite = 0x00000001;
constexpr uint8_t kLastModule = 7;
} // namespace SPDEngine

class Intel_5000X_SMBusRegisterSpace : public CSMBusRegisterSpace {
public:
    static constexpr int32_t kPollCount = 2000;
    static constexpr uint32_t kWritePollMs = 10;

    // `configAddress`: 0x80000000 | bus << 16 | device << 11 | function << 8
    // | the status register; `commandRegister`: the command dword's offset.
    Intel_5000X_SMBusRegisterSpace(CRegisterSpace* configSpace, uint32_t configAddress, uint32_t commandRegister)
        : CSMBusRegisterSpace(nullptr, kPollCount), m_pConfigSpace(configSpace), m_dwConfigAddress(configAddress),
          m_dwStatusRegister(configAddress & 0xFF), m_dwCommandRegister(commandRegister) {}

    // Modules 0-7; reads of registers 0-255.
    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;

    CRegisterSpace* m_pConfigSpace;  // a PCI configuration space (class 2); not owned
    uint32_t m_dwConfigAddress;
    uint32_t m_dwStatusRegister;
    uint32_t m_dwCommandRegister;

protected:
    // The status word; all ones when it cannot be read.
    uint32_t Status();
    uint32_t ReadCommand();
    void WriteCommand(uint32_t command);
    // Waits while busy (and, with `doneBit`, until that bit); false on time-out.
    bool WaitWhileBusy(uint32_t doneBit, uint32_t sleepMs, uint32_t& status);
    // Sets the start bit until the engine shows busy without any of
    // `resultBits`; a try that does not take is withdrawn. False after
    // the poll count of tries.
    bool Start(uint32_t command, uint32_t resultBits);
    // The result of a finished transfer.
    int FinishRead(uint8_t* value);
    int FinishWrite();
};

// The E8500: the command register follows the status register, and
// writing the command starts the engine.
class Intel_E8500_SMBusRegisterSpace : public Intel_5000X_SMBusRegisterSpace {
public:
    Intel_E8500_SMBusRegisterSpace(CRegisterSpace* configSpace, uint32_t configAddress)
        : Intel_5000X_SMBusRegisterSpace(configSpace, configAddress, (configAddress & 0xFF) + 4) {}

    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override;
    int WriteByte(uint8_t slave, uint32_t reg, uint8_t value) override;
};
