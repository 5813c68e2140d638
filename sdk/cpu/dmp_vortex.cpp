#include "sdk/cpu/dmp_vortex.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/extended_leaf_caches.h"
#include "sdk/hw/pci_interface.h"

namespace {

constexpr int32_t kSignatureRegister = 0x90;  // of the host bridge 00:00.0
constexpr uint32_t kSignatureSX = 0x31504D44;  // "DMP1"
constexpr uint32_t kSignatureDX = 0x32504D44;  // "DMP2"
constexpr uint32_t kSignatureMX = 0x33504D44;  // "DMP3"
constexpr int32_t kLevel1SizeKB = 16;
constexpr int32_t kDXLevel2SizeKB = 512;
constexpr int32_t kDXLevel2Ways = 4;

void SetName(CCPUThread* thread, const char* name) { FormatString(thread->m_szName, sizeof thread->m_szName, "%s", name); }

// The host bridge's signature register; false without the PCI domain or
// when the read fails.
bool ReadHostBridgeSignature(uint32_t& signature) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci && pci->ReadConfig(0, 0, 0, kSignatureRegister, &signature) != 0;
}

} // namespace

CCPUInfos* CreateDMPInfos() { return new DMP_CPU_Infos; }

DMP_CPU_Infos::DMP_CPU_Infos() : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_DMP) {}

void DMP_CPU_Infos::Initialize(CCPUThread* thread) { thread->m_iApicId = 0; }

void DMP_CPU_Infos::DetectCaches(CCPUThread* thread) {
    TakeOrAddCache(thread, 1, CACHE_INSTRUCTION)->m_iSize = kLevel1SizeKB;
    TakeOrAddCache(thread, 1, CACHE_DATA)->m_iSize = kLevel1SizeKB;
    uint32_t signature = 0;
    if (!ReadHostBridgeSignature(signature) || signature != kSignatureDX) return;
    CCacheDescriptor* level2 = TakeOrAddCache(thread, 2, CACHE_UNIFIED);
    level2->m_iSize = kDXLevel2SizeKB;
    level2->m_iWays = kDXLevel2Ways;
}

int DMP_CPU_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iFamily == 5) {
        SetName(thread, "DM&P Vortex86");
        if (thread->m_iModel == 2) SetName(thread, "DM&P Vortex86 DX");
        if (thread->m_iModel == 8) SetName(thread, "DM&P Vortex86 MX");
    }
    uint32_t signature = 0;
    if (!ReadHostBridgeSignature(signature)) return 1;
    switch (signature) {
    case kSignatureSX: SetName(thread, "DM&P Vortex86 SX"); break;
    case kSignatureDX: SetName(thread, "DM&P Vortex86 DX"); break;
    case kSignatureMX: SetName(thread, "DM&P Vortex86 MX"); break;
    default: break;
    }
    return 1;
}
