#include "sdk/cpu/amd_k5_k6.h"

#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr int32_t kGeodeLXModel = 10;
constexpr uint32_t kGeodeLXClockMsr = 0x4C000014;  // GLCP_SYS_RSTPLL
constexpr int32_t kPackageSocket7 = 0x10004;
constexpr int32_t kPackageSocket481BGU = 0x1001F;
// The K6-2 core from which the processor has the extended power
// management register (the CXT core).
constexpr int32_t kK6_2Model = 8;
constexpr int32_t kCXTStepping = 8;
constexpr uint32_t kPowerManagementMsr = 0xC0000087;  // EPMR: bits 3:0 the bus divisor code

void SetText(char (&field)[CCPUThread::kTextSize], const char* text) { FormatString(field, sizeof field, "%s", text); }

// The K6 rows by model; a null name keeps the thread's name.
struct K6Row {
    int32_t model;
    const char* name;
    const char* codename;
    float technology;
    uint32_t classCode;
};
constexpr K6Row kK6Models[] = {
    {6, "AMD K6", "", 0.30f, 0x2000801},
    {7, "AMD K6", "Little Foot", 0.25f, 0x2000801},
    {8, "AMD K6-2", "Chomper", 0.25f, 0x2000802},
    {9, "AMD K6-III", "Sharptooth", 0.25f, 0x2000803},
};
// Model 13, the K6-2+ and K6-III+, told apart by the level-2 cache.
constexpr int32_t kK6PlusModel = 13;
constexpr float kK6PlusTechnology = 0.18f;

constexpr float kK6Multipliers[8] = {4.5f, 5.0f, 4.0f, 5.5f, 2.5f, 3.0f, 6.0f, 3.5f};

} // namespace

CCPUInfos* CreateAMDK5Infos() { return new AMD_K5_Infos; }
CCPUInfos* CreateAMDK6Infos() { return new AMD_K6_Infos; }

AMD_K5_Infos::AMD_K5_Infos() : CCPUInfos(CPU_INFOS_FAMILY, CPU_CLASS_AMD_K5) {}

int AMD_K5_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iExtModel == kGeodeLXModel) {
        SetText(thread->m_szName, "AMD Geode LX");
        SetText(thread->m_szCodename, "Castle");
        thread->m_dwClassCode = 0x2000402;
        thread->m_fTechnology = 0.13f;
        thread->m_iPackageCode = kPackageSocket481BGU;
        thread->m_iLinkMultiplier = 2;
        return 1;
    }
    SetText(thread->m_szName, "AMD K5");
    SetText(thread->m_szCodename, "5k86");
    thread->m_dwClassCode = 0x2000401;
    return 1;
}

float AMD_K5_Infos::GetMultiplier(CCPUThread* thread) {
    if (thread->m_iExtModel != kGeodeLXModel) return -1.0f;
    const MSR_Register* clock = thread->GetMSR(kGeodeLXClockMsr);
    if (!clock) return -1.0f;
    return static_cast<float>((clock->m_dwHigh >> 1) & 0x1F) + 1.0f;
}

AMD_K6_Infos::AMD_K6_Infos() : CCPUInfos(CPU_INFOS_FAMILY, CPU_CLASS_AMD_K6) {}

int AMD_K6_Infos::Identify(CCPUThread* thread) {
    thread->m_iPackageCode = kPackageSocket7;
    thread->m_dwClassCode = 0x2000801;
    thread->m_iLinkMultiplier = 1;
    const int32_t model = thread->m_iExtModel;
    for (const K6Row& row : kK6Models) {
        if (row.model != model) continue;
        SetText(thread->m_szName, row.name);
        SetText(thread->m_szCodename, row.codename);
        thread->m_fTechnology = row.technology;
        thread->m_dwClassCode = row.classCode;
        if (model == kK6_2Model && thread->m_iStepping >= kCXTStepping) SetText(thread->m_szCoreStepping, "CXT");
        return 1;
    }
    if (model == kK6PlusModel) {
        const int32_t l2 = thread->GetL2Cache();
        SetText(thread->m_szName, l2 == 256 ? "AMD K6-III+" : "AMD K6-2+");
        thread->m_fTechnology = kK6PlusTechnology;
        thread->m_dwClassCode = l2 == 128 ? 0x2000802 : l2 == 256 ? 0x2000803 : 0x2000801;
    }
    return 1;
}

float AMD_K6_Infos::GetMultiplier(CCPUThread* thread) {
    const int32_t model = thread->m_iExtModel;
    const bool hasRegister = model > kK6_2Model || (model == kK6_2Model && thread->m_iStepping >= kCXTStepping);
    if (!hasRegister) return -1.0f;
    const MSR_Register* epmr = thread->GetMSR(kPowerManagementMsr);
    if (!epmr) return -1.0f;
    const uint32_t code = epmr->m_dwLow & 0xF;
    return code < 8 ? kK6Multipliers[code] : -1.0f;
}
