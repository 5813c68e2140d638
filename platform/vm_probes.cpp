#include "platform/vm_probes.h"

#include <cstring>

#include "machine/machine.h"

namespace {

constexpr BYTE kVirtualPcCall[] = {0x0F, 0x3F, 0x07, 0x0B};
constexpr BYTE kInDwordFromDx = 0xED;
constexpr DWORD kVMwareMagic = 0x564D5868;  // "VMXh"
constexpr WORD kVMwarePort = 0x5658;        // "VX"
constexpr DWORD kVMwareBackdoorVersion = 6;

bool is(const BYTE* code, DWORD length, const BYTE* instruction, DWORD size) {
    return length == size && std::memcmp(code, instruction, size) == 0;
}

} // namespace

DWORD ExecuteGuardedInstruction(const BYTE* code, DWORD length, PROBE_REGISTERS* registers) {
    if (!code || !registers) return STATUS_ILLEGAL_INSTRUCTION;
    const vexa::machine::Hypervisor hypervisor = vexa::machine::current().hypervisor();
    if (is(code, length, kVirtualPcCall, sizeof kVirtualPcCall))
        return hypervisor == vexa::machine::Hypervisor::VirtualPC ? 0 : STATUS_ILLEGAL_INSTRUCTION;
    if (is(code, length, &kInDwordFromDx, 1)) {
        if (hypervisor != vexa::machine::Hypervisor::VMware || WORD(registers->Edx) != kVMwarePort)
            return STATUS_PRIVILEGED_INSTRUCTION;
        if (registers->Eax == kVMwareMagic) {
            registers->Ebx = kVMwareMagic;
            registers->Eax = kVMwareBackdoorVersion;
        }
        return 0;
    }
    return STATUS_ILLEGAL_INSTRUCTION;
}
