#include "platform/vm_probes.h"

#include <cstring>

#include "machine/machine.h"
#include "platform/internal/thread_state.h"

namespace {

constexpr BYTE kVirtualPcCall[] = {0x0F, 0x3F, 0x07, 0x0B};
constexpr BYTE kInDwordFromDx = 0xED;
constexpr BYTE kCpuid[] = {0x0F, 0xA2};
constexpr DWORD kVMwareMagic = 0x564D5868;  // "VMXh"
constexpr WORD kVMwarePort = 0x5658;        // "VX"
constexpr DWORD kVMwareBackdoorVersion = 6;

bool is(const BYTE* code, DWORD length, const BYTE* instruction, DWORD size) {
    return length == size && std::memcmp(code, instruction, size) == 0;
}

} // namespace

DWORD ExecuteGuardedInstruction(const BYTE* code, DWORD length, PROBE_REGISTERS* registers) {
    if (!code || !registers) return STATUS_ILLEGAL_INSTRUCTION;
    vexa::machine::Machine& machine = vexa::machine::current();
    if (is(code, length, kCpuid, sizeof kCpuid)) {
        if (!machine.cpuidSupported()) return STATUS_ILLEGAL_INSTRUCTION;
        const auto r = machine.cpuid(vexa::platform::currentProcessor(), registers->Eax, registers->Ecx);
        *registers = PROBE_REGISTERS{r.eax, r.ebx, r.ecx, r.edx};
        return 0;
    }
    const vexa::machine::Hypervisor hypervisor = machine.hypervisor();
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
