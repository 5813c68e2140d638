// The family 14h names: the codename from the integrated graphics found on
// the PCI bus, the series from string 1 with the model number - 1, the
// suffix from string 2 (and, for string 2 = 9, the core count).
#include "sdk/core/sdk.h"
#include "sdk/cpu/amd_bobcat.h"
#include "sdk/cpu/amd_naming.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr uint32_t kK14Class = 0x2020000;
constexpr int32_t kFamily14h = 20;
constexpr uint16_t kATIVendor = 0x1002;

struct GraphicsCodename {
    uint16_t devices[2];
    const char* codename;
};
constexpr GraphicsCodename kGraphicsCodenames[] = {
    {{0x9802, 0x9803}, "Zacate"},
    {{0x9804, 0x9805}, "Ontario"},
};

bool HasDevice(CPCIInterface* pci, uint16_t device) {
    CTList<CDevice> found;
    const int32_t count = pci->FindDevicesByID(kATIVendor, device, &found);
    found.RemoveAll();
    return count > 0;
}

const char* CodenameOfGraphics(CPCIInterface* pci) {
    for (const GraphicsCodename& row : kGraphicsCodenames)
        for (uint16_t device : row.devices)
            if (HasDevice(pci, device)) return row.codename;
    return nullptr;
}

const char* SeriesOfString1(int32_t string1) {
    switch (string1) {
    case 1: return "AMD C-%02d";
    case 2: return "AMD E-%02d";
    case 4: return "AMD G-T%02d";
    default: return nullptr;
    }
}

const char* SuffixOfString2(int32_t string2, int32_t cores) {
    switch (string2) {
    case 2: return "0";
    case 3: return "5";
    case 7: return "L";
    case 8: return "N";
    case 9: return cores == 1 ? "R" : "0";
    default: return nullptr;
    }
}

} // namespace

int AMD_K14_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iExtFamily != kFamily14h) return 1;
    AMDNaming naming(thread, kK14Class);
    naming.Name("AMD K14").ClassCode(kK14Class);
    if (thread->m_iExtModel < 0 || thread->m_iExtModel > 2) return 1;
    naming.Technology(0.04f);
    if (CPCIInterface* pci = GetSDK()->m_pPCI)
        if (const char* codename = CodenameOfGraphics(pci)) naming.Codename(codename);
    NameFromBrandFields(thread);
    switch (thread->m_iExtModel) {
    case 0: naming.Stepping({{0, "ON-A0"}, {1, "ON-A1"}, {2, "ON-A1"}}); break;
    case 1: naming.Stepping({{0, "ON-B0"}}); break;
    default: naming.Stepping({{0, "ON-C0"}}); break;
    }
    return 1;
}

void AMD_K14_Infos::NameFromBrandFields(CCPUThread* thread) {
    const int32_t cores = thread->m_iCoresPerPackage;
    if (m_iPackageType != 0 || (cores != 1 && cores != 2)) return;
    AMDNaming naming(thread, kK14Class);
    if (m_iModelNumber == 0) {
        naming.Name("AMD Processor");
        return;
    }
    const char* series = SeriesOfString1(m_iString1);
    if (!series) return;
    naming.Format(series, m_iModelNumber - 1);
    if (const char* suffix = SuffixOfString2(m_iString2, cores)) naming.Append(suffix);
}
