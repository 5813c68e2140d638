// The Itanium and Itanium 2 descriptions: name, codename, process and core
// stepping by family, model and stepping.
#include <span>

#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/ia64_infos.h"

namespace {

constexpr int32_t kPackageSocket418PAC = 0x10020;
constexpr int32_t kPackageSocket611FCPGA4 = 0x10021;

void SetText(char (&field)[CCPUThread::kTextSize], const char* text) { FormatString(field, sizeof field, "%s", text); }

struct SteppingText {
    int32_t stepping;
    const char* text;
};

// One model of a family; a null codename leaves codename and process.
struct ItaniumModel {
    int32_t family;
    int32_t model;  // -1: any model of the family
    const char* name;
    const char* codename;
    float technology;
    std::span<const SteppingText> steppings;
};

constexpr SteppingText kMerced[] = {{0, "A0"}, {1, "B0"}, {2, "B1"}, {3, "B2"}, {4, "B3"},
                                     {5, "B4"}, {6, "C0"}, {7, "C1"}, {8, "C2"}};
constexpr SteppingText kMcKinley[] = {{7, "B3"}};
constexpr SteppingText kMadison[] = {{5, "B1"}};
constexpr SteppingText kMadison9M[] = {{1, "A1"}, {2, "A2"}};
constexpr SteppingText kMontecito[] = {{5, "C1"}, {7, "C2"}};
constexpr SteppingText kMontvale[] = {{1, "A1"}};

constexpr ItaniumModel kItaniumModels[] = {
    {7, 0, "Intel Itanium", "Merced", 0.18f, kMerced},
};
constexpr ItaniumModel kItanium2Models[] = {
    {31, 0, "Intel Itanium 2", "McKinley", 0.18f, kMcKinley},
    {31, 1, "Intel Itanium 2", "Madison", 0.13f, kMadison},
    {31, 2, "Intel Itanium 2", "Madison", 0.13f, kMadison9M},
    {32, 0, "Intel Dual-Core Itanium 2", "Montecito", 0.09f, kMontecito},
    {32, 1, "Intel Dual-Core Itanium 2", "Montvale", 0.09f, kMontvale},
    {32, -1, "Intel Dual-Core Itanium 2", nullptr, -1.0f, {}},
};

// The family's name, class and package, then its model's row.
void IdentifyItanium(CCPUThread* thread, const char* name, uint32_t classCode, int32_t packageCode,
              std::span<const ItaniumModel> models) {
    SetText(thread->m_szName, name);
    thread->m_dwClassCode = classCode;
    thread->m_iPackageCode = packageCode;
    for (const ItaniumModel& row : models) {
        if (row.family != thread->m_iFamily || (row.model != -1 && row.model != thread->m_iModel)) continue;
        SetText(thread->m_szName, row.name);
        if (row.codename) {
            SetText(thread->m_szCodename, row.codename);
            thread->m_fTechnology = row.technology;
        }
        for (const SteppingText& stepping : row.steppings)
            if (stepping.stepping == thread->m_iStepping) SetText(thread->m_szCoreStepping, stepping.text);
        return;
    }
}

} // namespace

Intel_Itanium_Infos::Intel_Itanium_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kIntelItaniumClass) {}

int Intel_Itanium_Infos::Identify(CCPUThread* thread) {
    IdentifyItanium(thread, "Intel Itanium", kIntelItaniumClass, kPackageSocket418PAC, kItaniumModels);
    return 1;
}

Intel_Itanium_2_Infos::Intel_Itanium_2_Infos() : CCPUInfos(CPU_INFOS_FAMILY, kIntelItanium2Class) {}

int Intel_Itanium_2_Infos::Identify(CCPUThread* thread) {
    IdentifyItanium(thread, "Intel Itanium 2", kIntelItanium2Class, kPackageSocket611FCPGA4, kItanium2Models);
    return 1;
}
