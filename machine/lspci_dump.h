// Parser of `lspci -xxxx` output, the lspci.txt of a machine image: for
// each function a header line "BB:DD.F Class: Name" (or "DDDD:BB:DD.F ..."
// with a PCI domain; only domain 0 is kept) followed by rows
// "OFF: xx xx ... xx" of 16 bytes at offsets 00..ff and, where the
// extended space was captured, 100..ff0. Blank lines and lines indented
// with a tab (the details `lspci -v` adds) are ignored; anything else is an
// error naming its line.
#pragma once

#include "machine/machine.h"

#include <array>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::machine {

inline constexpr size_t kPciConfigSize = 4096;

struct PciFunctionDump {
    PciAddress address;
    std::array<uint8_t, kPciConfigSize> bytes{};  // 0xFF where nothing was captured
    size_t capturedLength = 0;                    // one past the last captured byte
};

struct PciDump {
    // In the order of the text; a deque, so that 4 KB functions are never
    // moved as the list grows.
    std::deque<PciFunctionDump> functions;
    size_t skippedOtherDomains = 0;          // functions of domains other than 0
};

bool parseLspciDump(std::string_view text, PciDump& dump, std::string& error);

} // namespace vexa::machine
