// Byte access of the ACPI embedded controller through its standard ports:
// 0x66 command and status (bit 0 output buffer full, bit 1 input buffer
// full), 0x62 data. Every wait polls the status at most 10 times with a 10
// ms sleep after each miss, so a controller that does not answer costs at
// most about 100 ms per wait. Each function returns 1 for success, 0 for
// failure.
#pragma once

#include <cstdint>

// Waits until ((status & mask) != 0) equals `expected`.
int ECWaitStatus(uint8_t mask, uint32_t expected);
int ECReadByte(uint8_t address, uint8_t* value);
int ECWriteByte(uint8_t address, uint8_t value);
// Two reads 10 ms apart that must agree; a disagreement costs 50 ms more.
int ECReadStable(uint8_t address, uint8_t* value);
