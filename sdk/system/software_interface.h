// The software domain: the operating system the program runs on (the
// Windows name with edition and word size, the service pack and build),
// the DirectX version, and whether the machine is a virtual machine of one
// of two known kinds. The application creates it first of all domains and
// reads the virtual-machine kind right after: a kind other than 0 puts the
// scan into its limited mode.
//
// On a machine that is not Windows (the Linux host) the name and build
// texts describe that system instead (the distribution, the kernel) and the
// DirectX text stays empty.
#pragma once

#include <cstdint>

#include "sdk/core/interface.h"

struct OSVERSIONINFOEXA;

enum VirtualMachineKind : int32_t {
    VIRTUAL_MACHINE_NONE = 0,
    VIRTUAL_MACHINE_VMWARE = 1,
    VIRTUAL_MACHINE_VIRTUAL_PC = 2,
};

class CSoftwareInterface : public CInterface {
public:
    CSoftwareInterface() : CInterface(INTERFACE_SOFTWARE) {}

    // The Windows description, the DirectX version, the virtual-machine
    // probes, in this order; always 1.
    int Init() override;
    void Close() override {}

    // software_windows_name.cpp.
    void DescribeWindows();
    // software_directx.cpp: the diagnostic provider, else the versions of
    // the system folder's DirectX files.
    void DetectDirectX();
    // software_vm_probes.cpp: Virtual PC first, then VMware.
    void DetectVirtualMachine();

    char m_szWindowsName[1024] = {};
    char m_szBuild[512] = {};  // service pack and build
    int32_t m_iVirtualMachine = VIRTUAL_MACHINE_NONE;
    char m_szDirectX[64] = {};  // "9.0c", "11.0"

private:
    // The name and build of a machine that is not Windows; false on Windows.
    bool DescribeHostSystem();
    void DescribeWindowsNT(uint32_t architecture, const OSVERSIONINFOEXA& version);
    void AppendEditionAndWordSize(uint32_t major, uint32_t minor, uint32_t servicePackMajor,
                                  uint32_t servicePackMinor);
};
