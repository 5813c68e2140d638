// The SMSC super-I/O monitors reached through the chip's own blocks: the
// LPC47M192 (its monitor registers, and fan counts in the runtime block of
// logical device 0x0A) and the SCH56xx family, whose sensors sit behind the
// mailbox of the runtime registers (SCH5627, SCH5636).
#pragma once

#include "platform/sync.h"
#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CIOSpace;
class CTemperatureSensor;
class CVoltageSensor;

class SMSC_LPC47M192_HardwareMonitor : public CHardwareMonitor {
public:
    // Looks up the runtime block through the configuration ports at 0x2E.
    SMSC_LPC47M192_HardwareMonitor();
    int Update() override;
    int CreateSensors() override;
    // 0 without a request or a runtime block; else the block's byte read.
    int ReadRuntimeRegister(uint8_t reg, uint8_t* value);

    CIOSpace* m_pRuntimeBlock = nullptr;  // shared through the root's I/O-space list
    uint32_t m_dwFanDivisors[2] = {1, 1};
    CVoltageSensor* m_pVoltages[8] = {};
    CTemperatureSensor* m_pTemperatures[3] = {};
    CFanSensor* m_pFans[2] = {};

private:
    void FindRuntimeBlock();
    void ReadFans();
};

// The mailbox of the runtime registers (offsets 0-8 of the monitor's
// space) through which the embedded memory is read.
class SMSC_SCH56xx_HardwareMonitor : public CHardwareMonitor {
public:
    static constexpr int kStatusPolls = 96;  // 1 ms apart
    static constexpr int kReadyPolls = 64;   // back to back

    SMSC_SCH56xx_HardwareMonitor(CRegisterSpace* runtime, uint32_t id);
    // 1 with the byte of the embedded-memory address; 0 when the mailbox
    // does not answer in time (then m_bMailboxSilent is set, and further
    // reads fail at once until a pass clears it).
    int ReadEMRegister(uint16_t address, uint8_t* value);

    // Set by a mailbox that did not answer: the rest of a pass is skipped
    // rather than waited for read by read.
    bool m_bMailboxSilent = false;
};

// Nothing to read: the chip is named.
class SMSC_SCH5627_HardwareMonitor : public SMSC_SCH56xx_HardwareMonitor {
public:
    explicit SMSC_SCH5627_HardwareMonitor(CRegisterSpace* runtime);
    int Update() override { return 1; }
    int CreateSensors() override { return 1; }
};

// Shares its embedded controller with other programs through the named
// mutex "Access_Fujitsu_EC".
class SMSC_SCH5636_HardwareMonitor : public SMSC_SCH56xx_HardwareMonitor {
public:
    static constexpr uint32_t kCreateWaitMs = 1000;
    static constexpr uint32_t kUpdateWaitMs = 100;

    explicit SMSC_SCH5636_HardwareMonitor(CRegisterSpace* runtime);
    ~SMSC_SCH5636_HardwareMonitor() override;
    int Update() override;
    int CreateSensors() override;

    HANDLE m_hMutex = nullptr;
    CVoltageSensor* m_pVoltages[5] = {};
    CTemperatureSensor* m_pTemperatures[16] = {};
    CFanSensor* m_pFans[8] = {};

private:
    bool Acquire(uint32_t milliseconds);
    void ReadVoltages();
    void ReadTemperatures();
    void ReadFans();
};
