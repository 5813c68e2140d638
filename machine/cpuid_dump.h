// Parser of CPUID register dumps, the cpuid.txt of a machine image. It
// reads the dialects that dump tools write:
//   "------[ Logical CPU #0 ]------", "------[ CPUID Registers / Logical
//   CPU #0 ]------", "CPU#000 AffMask: 0x...", "____ Logical CPU #0 ____"
//   and "CPUID Registers (CPU #1):" headers, each starting a processor;
//   "CPUID 00000004: 1C004121-01C0003F-0000003F-00000000 [SL 00] [note]"
//   lines (the colon may be missing; "[SL nn]" is the sub-leaf in hex,
//   other brackets are notes);
//   the native "basic_cpuid[N]=eax ebx ecx edx" form with ext_cpuid[N]
//   (leaf 0x80000000+N) and the sub-leaf arrays intel_fn4, intel_fn11,
//   intel_fn12h, intel_fn14h and amd_fn8000001dh, which win over the plain
//   basic_cpuid/ext_cpuid entry of their leaf.
// Hex is read in either case; empty lines may stand anywhere; a line of
// exactly 80 '-' ends the dump (what follows is not register data). A leaf
// repeated within one processor without a sub-leaf marker lists sub-leaves
// 0, 1, 2, ... in order.
#pragma once

#include "machine/machine.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::machine {

struct CpuidKey {
    uint32_t leaf = 0, subleaf = 0;
    auto operator<=>(const CpuidKey&) const = default;
};

// The answers of one logical processor.
using CpuidLeaves = std::map<CpuidKey, CpuidRegs>;

struct CpuidDump {
    std::vector<CpuidLeaves> processors;  // in dump order
    size_t skippedLines = 0;              // lines that were none of the above
    size_t firstSkippedLine = 0;          // its number (from 1), 0 when none
    std::string firstSkippedText;
};

// Limits that keep a hostile file from taking unbounded memory.
inline constexpr size_t kMaxDumpProcessors = 256;
inline constexpr size_t kMaxLeavesPerProcessor = 4096;

// False with `error` when the text holds no leaf at all or exceeds a limit.
bool parseCpuidDump(std::string_view text, CpuidDump& dump, std::string& error);

} // namespace vexa::machine
