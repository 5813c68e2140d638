// The hardware-monitor block of the Nuvoton NCT6771, NCT6776, NCT6779,
// NCT6791 and NCT6792 super-I/O chips: banks of 256 registers behind the
// chip's index/data pair, chosen by register 0x4E. Voltages and the system
// temperature sit in bank 0, the 9-bit CPU and auxiliary temperatures in
// banks 1 and 2, the extra voltages of the NCT6779 and later in bank 4,
// the fan counts in bank 6 (bank 4 on the NCT679x), the PECI temperature in
// bank 7. Every pass and every dump ends with bank 0 selected.
#pragma once

#include <cstdint>

#include "sdk/monitor/hardware_monitor.h"

class CFanSensor;
class CTemperatureSensor;
class CVoltageSensor;

class Nuvoton_NCT6776_HardwareMonitor : public CHardwareMonitor {
public:
    explicit Nuvoton_NCT6776_HardwareMonitor(uint32_t deviceId);

    void DumpRegisters(CReportGenerator* report) override;
    int Update() override;
    int CreateSensors() override;
    // The selected bank; 0xFF when register 0x4E cannot be read or reads 0xFF.
    virtual uint8_t GetBank();
    // The bank field of register 0x4E set, the bits above it kept.
    virtual int SetBank(uint8_t bank);

    uint32_t m_dwDeviceId;

private:
    uint8_t BankMask() const;
    bool HasBankFourVoltages() const;
    bool HasSixFans() const;
    // SetBank, then whether the chip reads back that bank.
    bool EnterBank(uint8_t bank);
    void ReadBankZero();
    void ReadNineBitTemperature(uint8_t index);
    void ReadBankFourVoltages();
    void ReadByteTemperature(uint8_t bank, uint8_t index);
    void ReadFans();

    CVoltageSensor* m_pVoltages[14] = {};
    CTemperatureSensor* m_pTemperatures[5] = {};
    CFanSensor* m_pFans[6] = {};
};
