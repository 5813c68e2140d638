// The bank register 0x4E of the Nuvoton super-I/O monitor blocks (present
// in every bank): its low bits select which bank of 256 registers the
// index/data pair reaches; the bits above the field are kept when a bank is
// selected. Also the banked register dump these monitors write.
#pragma once

#include <cstdint>

class CHardwareMonitor;
class CReportGenerator;

constexpr uint8_t kNuvotonBankRegister = 0x4E;
constexpr uint8_t kNoBank = 0xFF;

// The selected bank (register & mask); kNoBank when the read fails or the
// register reads 0xFF.
uint8_t ReadNuvotonBank(CHardwareMonitor& monitor, uint8_t mask);
// Writes `bank` into the field (1 ms before the write, 10 ms after it for
// the chip to switch); the write's result.
int SelectNuvotonBank(CHardwareMonitor& monitor, uint8_t bank, uint8_t mask);

// "Hardware registers" and the lines of the monitor's register space and
// request; false when it lacks either (nothing more is dumped then).
bool PrintBankedDumpStart(CHardwareMonitor& monitor, CReportGenerator* report);
// "bank <n>" and the registers [first, end) of the bank now selected, in
// rows of sixteen (with the column header when the rows start at 0).
void PrintBankRegisters(CHardwareMonitor& monitor, CReportGenerator* report, uint8_t bank, uint32_t first,
                        uint32_t end);
