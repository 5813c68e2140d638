#include "sdk/cpu/cyrix.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/extended_leaf_caches.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"

namespace {

constexpr uint32_t kConfigurationPort = 0x22;  // index; data at 0x23
constexpr uint8_t kNoDevice = 0xFF;
constexpr uint8_t kLeaf2UnifiedCache = 0x80;  // CPUID 2 EDX 7:0: 16 KB, 4 ways, 16-byte lines
constexpr int32_t kPackageSocket5 = 0x10002;  // "Socket 5 (296)"
constexpr int32_t kPackageGeode = 0x10011;    // "Socket 352 BGA"

void SetText(char (&field)[CCPUThread::kTextSize], const char* text) { FormatString(field, sizeof field, "%s", text); }

} // namespace

CCPUInfos* CreateCyrixInfos() { return new Cyrix_CPU_Infos; }

CCPUInfos* CreateCyrixInfosByConfigurationRegisters() {
    auto* cyrix = new Cyrix_CPU_Infos;
    cyrix->m_pConfigSpace = Cyrix_CPU_Infos::ConfigurationSpace();
    cyrix->m_pRequest = new CLPCRequest;
    uint8_t dir0 = kNoDevice;
    if (cyrix->ReadConfigurationRegister(Cyrix_CPU_Infos::kDIR0, dir0) && dir0 != kNoDevice) return cyrix;
    delete cyrix;
    return nullptr;
}

Cyrix_CPU_Infos::Cyrix_CPU_Infos() : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_CYRIX) {}

Cyrix_CPU_Infos::~Cyrix_CPU_Infos() { delete m_pRequest; }

CLPCRegisterSpace* Cyrix_CPU_Infos::ConfigurationSpace() {
    BRENIKSDK* sdk = GetSDK();
    if (CRegisterSpace* space = sdk->FindRegisterSpace(0, kConfigurationPort, REGSPACE_LPC))
        return static_cast<CLPCRegisterSpace*>(space);
    auto* ports = new CPortIOSpace(kConfigurationPort, 0xFFFFFFFF);
    auto* space = new CLPCRegisterSpace(ports, 0, 1);
    sdk->m_pRegisterSpaces->AddTail(space);
    sdk->m_pIOSpaces->AddTail(ports);
    return space;
}

bool Cyrix_CPU_Infos::ReadConfigurationRegister(uint8_t index, uint8_t& value) {
    if (!m_pConfigSpace || !m_pRequest) return false;
    m_pRequest->m_dwRegister = index;
    m_pRequest->m_dwOperation = IOOP_READ_BYTE;
    if (!m_pConfigSpace->LockedExecute(m_pRequest)) return false;
    value = static_cast<uint8_t>(m_pRequest->m_dwData);
    return true;
}

void Cyrix_CPU_Infos::Initialize(CCPUThread* thread) {
    if (!m_pConfigSpace) m_pConfigSpace = ConfigurationSpace();
    if (!m_pRequest) m_pRequest = new CLPCRequest;
    if (thread->m_dwMaxExtendedLeaf >= 0x80000004) ReadBrandString(thread, false);
}

void Cyrix_CPU_Infos::DetectCaches(CCPUThread* thread) {
    if (thread->m_dwMaxStandardLeaf < 2 || (Cpuid(2).edx & 0xFF) != kLeaf2UnifiedCache) return;
    CCacheDescriptor* cache = TakeOrAddCache(thread, 1, CACHE_UNIFIED);
    cache->m_iSize = 16;
    cache->m_iWays = 4;
    cache->m_iLineSize = 16;
}

int Cyrix_CPU_Infos::Identify(CCPUThread* thread) {
    uint8_t dir0 = kNoDevice;
    if (ReadConfigurationRegister(kDIR0, dir0) && dir0 != kNoDevice)
        IdentifyByDeviceRegisters(thread, dir0);
    else
        IdentifyBySignature(thread);
    return 1;
}

void Cyrix_CPU_Infos::IdentifyByDeviceRegisters(CCPUThread* thread, uint8_t dir0) {
    uint8_t dir1 = kNoDevice;
    if (!ReadConfigurationRegister(kDIR1, dir1)) dir1 = kNoDevice;
    switch (dir0 & 0xF0) {
    case 0x00:
    case 0x10: SetText(thread->m_szName, "Cyrix 486"); break;
    case 0x20: SetText(thread->m_szName, "Cyrix 5x86"); break;
    case 0x30: SetText(thread->m_szName, "Cyrix 6x86"); break;
    case 0x40:
        SetText(thread->m_szName, "Cyrix MediaGX");
        switch (dir1 & 0xF0) {
        case 0x30:
        case 0x50: SetText(thread->m_szName, "Cyrix Geode GXm"); break;
        case 0x60:
            SetText(thread->m_szName, "Cyrix Geode GXLV");
            thread->m_iPackageCode = kPackageGeode;
            break;
        case 0x80:
            SetText(thread->m_szName, "Cyrix Geode GX1");
            thread->m_iPackageCode = kPackageGeode;
            break;
        default: break;
        }
        break;
    case 0x50:
        SetText(thread->m_szName, "Cyrix 6x86MX");
        SetText(thread->m_szCodename, "M2");
        thread->m_iPackageCode = kPackageSocket5;
        break;
    default: break;
    }
}

void Cyrix_CPU_Infos::IdentifyBySignature(CCPUThread* thread) {
    const int32_t family = thread->m_iFamily;
    const int32_t model = thread->m_iModel;
    if (family == 4 && model == 4) {
        SetText(thread->m_szName, "Cyrix Media GX");
    } else if (family == 5 && (model == 2 || model == 4)) {
        SetText(thread->m_szName, model == 2 ? "Cyrix 6x86" : "Cyrix GX");
        SetText(thread->m_szCodename, "M1");
        thread->m_iPackageCode = kPackageSocket5;
    } else if (family == 6 && model == 0) {
        SetText(thread->m_szName, "Cyrix 6x86MX");
        SetText(thread->m_szCodename, "M2");
        thread->m_iPackageCode = kPackageSocket5;
    }
}

void Cyrix_CPU_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report || !m_pConfigSpace) return;
    uint8_t value = 0;
    if (ReadConfigurationRegister(kDIR0, value)) report->PrintField("\tDIR0", "\t\t", "0x%X", value);
    if (ReadConfigurationRegister(kDIR1, value)) report->PrintField("\tDIR1", "\t\t", "0x%X", value);
}
