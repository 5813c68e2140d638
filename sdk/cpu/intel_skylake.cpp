#include "sdk/cpu/intel_skylake.h"

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_shared_bodies_naming.h"

namespace {

// Haswell's list without 1.70 GHz.
constexpr StockClockText kStockClocks[] = {
    {"4.00GHz", 4000}, {"3.90GHz", 3900}, {"3.80GHz", 3800}, {"3.70GHz", 3700}, {"3.60GHz", 3600},
    {"3.50GHz", 3500}, {"3.40GHz", 3400}, {"3.30GHz", 3300}, {"3.20GHz", 3200}, {"3.10GHz", 3100},
    {"3.00GHz", 3000}, {"2.80GHz", 2800}, {"2.70GHz", 2700}, {"2.60GHz", 2600}, {"2.50GHz", 2500},
    {"2.40GHz", 2400}, {"2.30GHz", 2300}, {"2.20GHz", 2200}, {"2.10GHz", 2100}, {"2.00GHz", 2000},
    {"1.90GHz", 1900}, {"1.80GHz", 1800}, {"1.60GHz", 1600}, {"1.50GHz", 1500}, {"1.40GHz", 1400},
    {"1.30GHz", 1300}, {"1.10GHz", 1100}, {"0.80GHz", 800},
};

constexpr SteppingName kSteppings5E[] = {{0, "A0"}};

constexpr ModelRow kModels[] = {
    {.extModel = 0x4E, .technology = 0.014f, .codename = "Skylake-U/Y"},
    {.extModel = 0x5E, .technology = 0.014f, .steppings = kSteppings5E},
};

} // namespace

CCPUInfos* CreateIntelSkylakeInfos() { return new Intel_Skylake_Infos; }

Intel_Skylake_Infos::Intel_Skylake_Infos() { m_dwClassCode = CPU_CLASS_INTEL_SKYLAKE; }

std::span<const StockClockText> Intel_Skylake_Infos::StockClocks() const { return kStockClocks; }

void Intel_Skylake_Infos::ReadPlatformInfo(CCPUThread* thread) { ReadPlatformIdAndRatio(thread); }

int Intel_Skylake_Infos::Identify(CCPUThread* thread) {
    FormatString(thread->m_szName, sizeof thread->m_szName, "%s", "Intel Core i3/i5/i7 6xxx");
    FormatString(thread->m_szCodename, sizeof thread->m_szCodename, "%s", "Skylake");
    thread->m_dwClassCode = CPU_CLASS_INTEL_SKYLAKE;
    if (const ModelRow* row = FindModelRow(kModels, thread->m_iExtModel))
        ApplyModelRow(thread, *row, ThreadNameKeys(thread), CPU_CLASS_INTEL_SKYLAKE);
    return 1;
}

float Intel_Skylake_Infos::GetBusClock(CCPUThread*) {
    if (!GetSDK()->GetDriver()) return -1.0f;
    MailboxLock lock(m_hMailboxMutex);
    if (!lock.Owned()) return -1.0f;
    uint32_t kilohertz = 0;
    switch (MailboxCommand(kReadBusClock, 0, kBusClockPolls, kilohertz)) {
    case MailboxResult::NotSent: return -1.0f;
    case MailboxResult::Failed: return 0.0f;
    case MailboxResult::Answered: break;
    }
    return static_cast<float>(static_cast<double>(kilohertz) / 1000.0);
}
