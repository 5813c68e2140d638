// Whether the program runs inside Virtual PC or VMware: each probe
// executes one instruction that only that virtual machine answers, inside
// structured exception handling (platform/vm_probes.h).
#include "platform/vm_probes.h"
#include "sdk/system/software_interface.h"

namespace {

constexpr BYTE kVirtualPcCall[] = {0x0F, 0x3F, 0x07, 0x0B};
constexpr BYTE kInDwordFromDx[] = {0xED};
constexpr DWORD kVMwareMagic = 0x564D5868;  // "VMXh"
constexpr DWORD kVMwareGetVersion = 10;
constexpr DWORD kVMwarePort = 0x5658;       // "VX"

// Inside Virtual PC the call returns with EBX still 0. Elsewhere it faults;
// the exception filter sets EBX in the faulting context to -1 and resumes
// after the four bytes, so the test sees EBX != 0.
bool InsideVirtualPC() {
    PROBE_REGISTERS registers {1, 0, 0, 0};
    if (ExecuteGuardedInstruction(kVirtualPcCall, sizeof kVirtualPcCall, &registers) != 0)
        registers.Ebx = 0xFFFFFFFF;
    return registers.Ebx == 0;
}

// Inside VMware the backdoor port answers the magic number in EBX; on real
// hardware the IN faults and the handler ends the probe.
bool InsideVMware() {
    PROBE_REGISTERS registers {kVMwareMagic, 0, kVMwareGetVersion, kVMwarePort};
    if (ExecuteGuardedInstruction(kInDwordFromDx, sizeof kInDwordFromDx, &registers) != 0) return false;
    return registers.Ebx == kVMwareMagic;
}

} // namespace

void CSoftwareInterface::DetectVirtualMachine() {
    if (InsideVirtualPC()) m_iVirtualMachine = VIRTUAL_MACHINE_VIRTUAL_PC;
    else m_iVirtualMachine = InsideVMware() ? VIRTUAL_MACHINE_VMWARE : VIRTUAL_MACHINE_NONE;
}
