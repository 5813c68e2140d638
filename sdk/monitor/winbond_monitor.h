// What the monitors of chips with the Winbond hardware-monitor register map
// share: 256 byte registers, register 0x4E selecting the bank that
// registers 0x50-0x5F show, voltages at 16 (or 8) mV per step, 8-bit
// temperatures and 9-bit ones split over two registers, fan counts with
// divisor exponents spread over registers 0x47, 0x4B and 0x5D. Every
// operation that switches banks ends with bank 0 selected.
//
// The monitor classes derive from CHardwareMonitor directly and use these
// helpers; a Nuvoton chip that kept the layout can use them as well.
#pragma once

#include <cstdint>

#include "sdk/core/sensor.h"
#include "sdk/monitor/hardware_monitor.h"

class CReportGenerator;

// Bank routine of a class: writes the bank selection, waits for the chip.
using WinbondBankSelect = uint32_t (*)(CHardwareMonitor* monitor, uint8_t bank);

namespace winbond {

constexpr uint8_t kBankRegister = 0x4E;
constexpr uint8_t kBankedFirst = 0x50;  // registers 0x50-0x5F change with the bank
// Bank 0 of the classic map: voltage inputs from 0x20, the temperature at
// 0x27, fan counts 0-2, the latched status (bit 4) and its reset register.
constexpr uint8_t kFirstVoltage = 0x20;
constexpr uint8_t kTemperature0 = 0x27;
constexpr uint8_t kFanCounts[3] = {0x28, 0x29, 0x2A};
constexpr uint8_t kStatusRegister = 0x42;
constexpr uint32_t kStatusBit = 4;
constexpr uint8_t kResetRegister = 0x46;
constexpr uint32_t kNineBitAllOnes = 0x1FF;  // what an unconnected 9-bit input reads
constexpr float kVoltStep = 0.016f;     // 16 mV per step
constexpr float kFineVoltStep = 0.008f; // 8 mV per step of the later chips
// Sensor class of the latched-status slot. Nothing in the program creates
// such a sensor; the slot acts only when one is put there.
constexpr uint32_t kStatusClass = 0x40000;

// The default label rows several classes share: "TMPIN0" (8-bit),
// "TMPIN1" and "TMPIN2" (9-bit); "FANIN0" to "FANIN2".
extern const _stSensorLabel kThreeTemperatureLabels[4];
extern const _stSensorLabel kThreeFanLabels[4];

// Whether a read (its result and the byte it left) shows a sensor.
bool VoltageAccepted(int read, uint8_t byte);
bool TemperatureAccepted(int read, uint8_t byte);
bool FanAccepted(int read, uint8_t byte);
// Reads the register into `byte` (0xFF when the read fails) and tests it.
bool ReadsVoltage(CHardwareMonitor* monitor, uint8_t reg, uint8_t& byte);
bool ReadsTemperature(CHardwareMonitor* monitor, uint8_t reg, uint8_t& byte);
bool ReadsFan(CHardwareMonitor* monitor, uint8_t reg, uint8_t& byte);

// A 9-bit temperature: the high register doubled plus one bit of the low
// register (bit 7, or bit 0 on the chips that put it there).
uint32_t NineBit(uint8_t high, uint8_t low, bool lowBitZero = false);

// The divisor exponent of fan 0-2 from registers 0x47, 0x4B and (for the
// three-bit fields) 0x5D.
uint32_t ClassicFanExponent(uint32_t fan, uint8_t reg47, uint8_t reg4B, uint8_t reg5D, bool threeBits);
// Reads 0x47, 0x4B and 0x5D (bank 0 selected) into the exponents of fans
// 0-2; the reads are not tested, a failed one counts as 0xFF.
void ReadClassicFanExponents(CHardwareMonitor* monitor, uint32_t (&exponents)[3], bool threeBits);

// Makes a sensor with its index and name and hands it to the monitor; a
// fan gets the divisor 1 << exponent.
CVoltageSensor* NewVoltage(CHardwareMonitor* monitor, uint8_t index, const char* name);
CTemperatureSensor* NewTemperature(CHardwareMonitor* monitor, uint8_t index, const char* name);
CFanSensor* NewFan(CHardwareMonitor* monitor, uint8_t index, const char* name, uint32_t exponent);

// The names given at creation: "VIN%d", "TMPIN%d", "FANIN%d".
CVoltageSensor* NewVoltage(CHardwareMonitor* monitor, uint8_t index);
CTemperatureSensor* NewTemperature(CHardwareMonitor* monitor, uint8_t index);
CFanSensor* NewFan(CHardwareMonitor* monitor, uint8_t index, uint32_t exponent);

// Creation on the first accepted reading at update: the sensor is made when
// `slot` is null and the labels applied at once, so the labelled lists stay
// complete.
CTemperatureSensor* EnsureTemperature(CHardwareMonitor* monitor, CTemperatureSensor*& slot, uint8_t index);
CFanSensor* EnsureFan(CHardwareMonitor* monitor, CFanSensor*& slot, uint8_t index, uint32_t exponent);
CVoltageSensor* EnsureVoltage(CHardwareMonitor* monitor, CVoltageSensor*& slot, uint8_t index);

// Stores a voltage byte as raw reading and, at `step` volts per count, as
// the unconverted value.
void StoreVoltage(CSensor* sensor, uint8_t byte, float step);

// Reads the voltages of registers first, first + 1, ... into the sensors
// that exist; with `testBytes`, 0x00 and 0xFF keep the last reading.
void UpdateVoltages(CHardwareMonitor* monitor, CVoltageSensor* const* sensors, uint32_t count, uint8_t first,
                    float step, bool testBytes);

// The byte of `reg` as the sensor's raw reading, when the sensor exists and
// the register reads.
void StoreRawByte(CHardwareMonitor* monitor, CSensor* sensor, uint8_t reg);

// The 9-bit temperature of 0x50/0x51 in the selected bank; false when 0x50
// does not read (a failed read of 0x51 counts as 0xFF).
bool ReadBankedTemperature(CHardwareMonitor* monitor, uint32_t& r);
// Temperatures 1 to `lastBank` from 0x50/0x51 of their banks (through
// WinbondSelectBank), each when it exists and 0x50 reads; no test applies.
void UpdateBankedTemperatures(CHardwareMonitor* monitor, CTemperatureSensor* const* temperatures, uint8_t lastBank,
                              WinbondBankSelect selectBank);

// The latched-status bit into the slot's raw reading, when the slot holds a
// sensor and the register reads.
void UpdateStatus(CHardwareMonitor* monitor, CSensor* slot, uint8_t reg, uint32_t bit);

// The status reset: with `slot` holding the status sensor the class code and
// index name, bit 7 of the reset register is set (and with `clearAgain`
// cleared after 5 ms). Always 1.
int ResetStatus(CHardwareMonitor* monitor, CSensor* slot, uint32_t index, uint32_t classCode,
                WinbondBankSelect selectBank, uint8_t resetRegister, bool clearAgain);

// The register dump by banks: bank 0 in full, then registers 0x50-0x5F of
// banks 1 to `lastBank`; bank 0 selected at the end.
void DumpBankedRegisters(CHardwareMonitor* monitor, CReportGenerator* report, WinbondBankSelect selectBank,
                         uint8_t lastBank);

} // namespace winbond

// Reads the bank register (and ignores it), writes bank & 7 and waits
// 10 ms; the write's result.
uint32_t WinbondSelectBank(CHardwareMonitor* monitor, uint8_t bank);
