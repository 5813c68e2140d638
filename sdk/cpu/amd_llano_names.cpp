// The family 12h names from the brand fields of CPUID 0x80000001 EBX: the
// package type picks the socket, the core count and string 1 the series
// and its number (formatted with the model number - 1), string 2 the
// suffix of the FS1 mobile parts.
#include "sdk/cpu/amd_llano.h"
#include "sdk/cpu/amd_naming.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

constexpr uint32_t kK12Class = 0x2010000;
constexpr int32_t kFamily12h = 18;
constexpr int32_t kSocketFS1 = 0x10039;
constexpr int32_t kSocketFM1 = 0x10038;

// The series formats of one socket and core count by string 1 (index 0
// unused; null: no row).
using SeriesByString1 = const char* const[14];

constexpr SeriesByString1 kFS1DualCore = {nullptr,     "A4-35%02d", "A4-34%02d", "A4-33%02d",
                                          "A4-32%02d", "E2-30%02d", "E2-20%02d", "E210%02d"};
constexpr SeriesByString1 kFS1QuadCore = {nullptr, "A8-35%02d", "A8-34%02d", "A6-34%02d", "A6-33%02d"};
constexpr SeriesByString1 kFM1DualCore = {nullptr,     "A4-33%02d", "E2-32%02d", "Sempron II X2 2%02d",
                                          "Athlon II X2 2%02d", "A4-34%02d", "A4-3%02d", "E2-3%02d",
                                          nullptr,     nullptr,     nullptr,     nullptr,
                                          "Sempron X2 1%02d", "Sempron X2 2%02d"};
constexpr SeriesByString1 kFM1TripleCore = {nullptr,        "A6-34%02d",     "Sempron II X3 3%02d", "Athlon II X3 3%02d",
                                            "A6-36%02d",    "A6-35%02d",     "A6-3%02d",            "Sempron II X3",
                                            "Athlon II X3", "Sempron X3",    "Athlon X3",           "Athlon II X3 4%02d"};
constexpr SeriesByString1 kFM1QuadCore = {nullptr,     "A8-35%02d", "A6-34%02d", "Sempron II X4 4%02d",
                                          "Athlon II X4 4%02d", "A8-38%02d", "A6-36%02d", "A8-3%02d",
                                          "A6-3%02d",  nullptr,     nullptr,     nullptr,
                                          nullptr,     "Athlon II X4 6%02d"};
// The FS1 suffix by string 2.
constexpr const char* kFS1Suffixes[8] = {nullptr, "M", "MX", "ML", "MZ", "MC", "MF", "MG"};

const SeriesByString1* FS1Series(int32_t cores) {
    if (cores == 1 || cores == 2) return &kFS1DualCore;
    if (cores == 3 || cores == 4) return &kFS1QuadCore;
    return nullptr;
}

const SeriesByString1* FM1Series(int32_t cores) {
    switch (cores) {
    case 2: return &kFM1DualCore;
    case 3: return &kFM1TripleCore;
    case 4: return &kFM1QuadCore;
    default: return nullptr;
    }
}

const char* Pick(const SeriesByString1& series, int32_t string1) {
    return string1 >= 0 && string1 < 14 ? series[string1] : nullptr;
}

} // namespace

int AMD_K12_Infos::Identify(CCPUThread* thread) {
    if (thread->m_iExtFamily != kFamily12h) return 1;
    AMDNaming naming(thread, kK12Class);
    naming.Name("AMD K12").Codename("Llano").ClassCode(kK12Class);
    if (thread->m_iExtModel < 0 || thread->m_iExtModel > 2) return 1;
    naming.Technology(0.032f);
    NameFromBrandFields(thread);
    switch (thread->m_iExtModel) {
    case 0: naming.Stepping({{0, "LN1-A0"}, {1, "LN1-A1"}, {2, "LN1-A2"}}); break;
    case 1: naming.Stepping({{0, "LN1-B0"}}); break;
    default: naming.Stepping({{0, "LN2-B0"}}); break;
    }
    return 1;
}

void AMD_K12_Infos::NameFromBrandFields(CCPUThread* thread) {
    AMDNaming naming(thread, kK12Class);
    const int32_t cores = thread->m_iCoresPerPackage;
    const int32_t number = m_iModelNumber - 1;
    if (m_iPackageType == 1) {
        naming.Package(kSocketFS1);
        const SeriesByString1* series = FS1Series(cores);
        if (!series) return;
        naming.Name("AMD ");
        if (const char* format = Pick(*series, m_iString1)) naming.AppendFormat(format, number);
        if (m_iString2 > 0 && m_iString2 < 8) naming.Append(kFS1Suffixes[m_iString2]);
    } else if (m_iPackageType == 2) {
        const SeriesByString1* series = FM1Series(cores);
        if (!series) return;
        naming.Package(kSocketFM1).Name("AMD ");
        if (const char* format = Pick(*series, m_iString1)) naming.AppendFormat(format, number);
    }
}
