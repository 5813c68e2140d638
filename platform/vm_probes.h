// The two instructions a program executes to learn whether it runs inside
// a virtual machine, executed here as the current machine answers them
// (machine.h: hypervisor()), never on the processor:
//
// - 0F 3F 07 0B, Virtual PC's call into its host: inside Virtual PC it
//   returns with the registers as they were; elsewhere it raises an
//   illegal-instruction exception.
// - ED (IN EAX, DX), VMware's backdoor port: inside VMware, with DX = 0x5658
//   ("VX"), it returns; when EAX held 0x564D5868 ("VMXh") EBX holds that
//   value afterwards and EAX the backdoor's version (6). Elsewhere, or at
//   another port, the IN raises a privileged-instruction exception.
//
// - 0F A2 (CPUID) with the leaf in EAX and the sub-leaf in ECX, on the
//   calling thread's processor: it returns the four registers, or raises an
//   illegal-instruction exception on a processor without CPUID.
//
// Any other instruction raises an illegal-instruction exception.
#pragma once

#include "platform/win_types.h"

constexpr DWORD STATUS_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr DWORD STATUS_PRIVILEGED_INSTRUCTION = 0xC0000096;

// The registers an instruction reads and writes.
struct PROBE_REGISTERS {
    DWORD Eax, Ebx, Ecx, Edx;
};

// Executes the instruction of `length` bytes at `code` with `registers`
// inside structured exception handling: 0 when it completed (the registers
// then hold what it left), else the exception it raised (the registers as
// they were).
DWORD ExecuteGuardedInstruction(const BYTE* code, DWORD length, PROBE_REGISTERS* registers);
