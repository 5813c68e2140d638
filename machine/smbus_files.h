// The files that describe the SMBus slaves of a machine image:
//
// - SPD EEPROM images: raw bytes (any name), or hex text (a name ending in
//   ".hex"): pairs of hex digits separated by blanks, 16 a line as a rule;
//   lines starting with '#' are comments. 256 bytes at most, or 512.
// - JC-42.4 register files: one "RR=VVVV" line per 16-bit register
//   (register 0x00-0x0F, value as the chip defines it); '#' comments;
//   registers not listed read 0.
// - Register images: "RR: b0 b1 ... b15" rows of 16 bytes at a multiple of
//   16; '#' comments; "[bank N]" starts the rows of bank N (0-255) of a
//   banked chip. Registers not listed read 0.
//
// Every parser bounds itself by its text and names the line at fault.
#pragma once

#include "machine/devices/smbus_slaves.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::machine {

bool parseSpdHexText(std::string_view text, std::vector<uint8_t>& bytes, std::string& error);
bool parseJc42Registers(std::string_view text, std::array<uint16_t, Jc42Sensor::kRegisters>& registers,
                        std::string& error);
bool parseRegisterImage(std::string_view text, std::map<unsigned, RegisterImageDevice::Bank>& banks,
                        std::string& error);

} // namespace vexa::machine
