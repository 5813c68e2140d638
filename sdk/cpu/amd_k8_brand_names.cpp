// The K8 names by brand ID. Before revision F the brand ID of CPUID
// 0x80000001 EBX bits 11:0 (or of CPUID 1 EBX bits 7:0) is an index into a
// table of names and NN their number; the index group and the model then
// give codename, package, process technology and core stepping. From
// revision F on the 16-bit brand ID carries the index, NN and the power
// limit, and CPUID 0x80000001 EAX bits 5:4 the package type.
#include <cstring>
#include <initializer_list>

#include "sdk/core/helpers.h"

#include "sdk/cpu/amd_k8.h"
#include "sdk/cpu/amd_naming.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

constexpr uint32_t kK8Class = 0x2002000;
constexpr uint32_t kK7AthlonXPClass = 0x2001002;
enum K8Subcode : uint32_t {
    kAthlon64 = 0x01,
    kMobileAthlon64 = 0x02,
    kAthlon64FX = 0x03,
    kOpteron = 0x04,
    kTurion64 = 0x05,
    kSempron = 0x06,
    kMobileSempron = 0x07,
    kAthlon64X2 = 0x08,
    kTurion64X2 = 0x09,
    kAthlonNeo = 0x0A,
};
enum K8Package : int32_t {
    k754 = 0x10007,
    k939 = 0x10008,
    k940 = 0x10009,
    kAM2 = 0x1000A,
    kS1 = 0x1000B,
    kFr4 = 0x1000C,
    kASB1 = 0x1004F,
};

// ---- Revisions C-E ----

// The core stepping rules of the codename table.
const SteppingTexts kRuleA = {{4, "SH7-B0"}, {8, "SH7-C0"}, {10, "SH7-CG"}};
const SteppingTexts kRuleA0 = {{0, "SH7-B0"}, {4, "SH7-B0"}, {8, "SH7-C0"}, {10, "SH7-CG"}};
const SteppingTexts kRuleB = {{2, "CH7-CG"}};
const SteppingTexts kRuleC = {{0, "DH7-CG"}};
const SteppingTexts kRuleD = {{0, "DH8-D0"}};
const SteppingTexts kRuleE = {{0, "DH-E3"}, {2, "DH-E6"}};
const SteppingTexts kRuleF = {{1, "BH-E4"}, {2, "JH-E6"}};
const SteppingTexts kRuleG = {{1, "SH7-B3"}, {8, "SH7-C0"}, {10, "SH7-CG"}};
const SteppingTexts kRuleH = {{2, "SH8-E5"}};
const SteppingTexts kRuleI = {{1, "E4"}};
const SteppingTexts kRuleJ = {{0, "JH9-E1"}, {2, "JH9-E6"}};
const SteppingTexts kRuleK = {{1, "SH-E4"}};
const SteppingTexts kRuleL = {{2, "BH-E4"}};
const SteppingTexts kRuleM = {{1, "SH8-E4"}};
const SteppingTexts kRuleN = {{0, "DH8-E3"}, {2, "E6"}};
const SteppingTexts kNoRule = {};

// The index groups of the codename table; kOther is every index the name
// table does not list.
enum Group : int8_t {
    kNone = 0,
    kG4, kG5, kG6, kG8, kG10, kG12, kG16, kG20, kG33, kG34, kG36,
    kG41, kG42, kG43, kG44, kG48, kG52, kOther,
};
constexpr int32_t kAnyModel = -1;
// A codename of the level-2 cache (group 8, model 8) or of the name
// (group 12, model 36; other, model 5) that code decides.
constexpr const char* kByCode = "";

struct CodenameRow {
    Group group;
    std::initializer_list<int32_t> models;
    const char* codename;
    int32_t package;
    float technology;
    const SteppingTexts* rule;
};

const CodenameRow kCodenames[] = {
    {kG4, {4}, "ClawHammer", k754, 0.13f, &kRuleA},
    {kG4, {7}, "ClawHammer", k939, 0.13f, &kRuleA},
    {kG4, {8}, "Paris", k754, 0.13f, &kRuleB},
    {kG4, {11}, "Paris", k939, 0.13f, &kRuleB},
    {kG4, {12, 14}, "NewCastle", k754, 0.13f, &kRuleC},
    {kG4, {15}, "NewCastle", k939, 0.13f, &kRuleC},
    {kG4, {31}, "Winchester", k939, 0.09f, &kRuleD},
    {kG4, {39}, "San Diego", k939, 0.09f, &kRuleK},
    {kG4, {44}, "Venice", k754, 0.09f, &kRuleE},
    {kG4, {47}, "Venice", k939, 0.09f, &kRuleE},
    {kG4, {55}, "San Diego", k939, 0.09f, &kRuleE},
    {kG4, {63}, "Manchester", k939, 0.09f, &kRuleL},
    {kG5, {35}, "Toledo", k939, 0.09f, &kRuleF},
    {kG5, {43}, "Manchester", k939, 0.09f, &kRuleF},
    {kG6, {35}, "Toledo", k939, 0.09f, &kRuleF},
    {kG8, {4}, "ClawHammer", k754, 0.13f, &kRuleA},
    {kG8, {8}, kByCode, k754, 0.13f, &kRuleB},
    {kG8, {12, 14}, "Odessa", k754, 0.13f, &kRuleC},
    {kG8, {28, 31}, "Oakville", k754, 0.09f, &kRuleD},
    {kG8, {36}, "Newark", k754, 0.09f, &kRuleH},
    {kG10, {kAnyModel}, "Lancaster", k754, 0.09f, &kRuleH},
    {kG12, {5}, "SledgeHammer", k940, 0.13f, &kRuleG},
    {kG12, {36}, kByCode, k754, 0.09f, &kRuleH},
    {kG12, {37}, "Athens", k940, 0.09f, &kRuleI},
    {kG12, {39}, "Venus", k939, 0.09f, &kRuleI},
    {kG16, {5}, "SledgeHammer", k940, 0.13f, &kRuleG},
    {kG16, {37}, "Troy", k940, 0.09f, &kRuleI},
    {kG20, {5}, "SledgeHammer", k940, 0.13f, &kRuleG},
    {kG20, {37}, "Venus", k940, 0.09f, &kRuleI},
    {kG33, {4}, "Dublin", k754, 0.13f, &kRuleA},
    {kG33, {8}, "Dublin", k754, 0.13f, &kRuleB},
    {kG33, {12, 14}, "Paris", k754, 0.13f, &kRuleC},
    {kG33, {28}, "Sonora", k754, 0.09f, &kRuleD},
    {kG33, {44}, "Albany", k754, 0.09f, &kRuleE},
    {kG34, {4}, "Paris", k754, 0.13f, &kRuleA},
    {kG34, {7}, "Paris", k939, 0.13f, &kRuleA},
    {kG34, {8}, "Paris", k754, 0.13f, &kRuleB},
    {kG34, {11}, "Paris", k939, 0.13f, &kRuleB},
    {kG34, {12, 14}, "Paris", k754, 0.13f, &kRuleC},
    {kG34, {15}, "Paris", k939, 0.13f, &kRuleC},
    {kG34, {28}, "Palermo", k754, 0.09f, &kRuleD},
    {kG34, {31}, "Winchester", k939, 0.09f, &kRuleD},
    {kG34, {44}, "Palermo", k754, 0.09f, &kRuleE},
    {kG34, {47}, "Palermo", k939, 0.09f, &kRuleN},
    {kG36, {5}, "SledgeHammer", k940, 0.13f, &kRuleG},
    {kG36, {7, 11, 15}, "ClawHammer", k939, 0.13f, &kRuleG},
    {kG36, {39}, "San Diego", k939, 0.09f, &kRuleM},
    {kG41, {35}, "Toledo", k939, 0.09f, &kRuleJ},
    {kG41, {kAnyModel}, "Denmark", k940, 0.09f, &kRuleJ},
    {kG42, {kAnyModel}, "Italy", k940, 0.09f, &kRuleJ},
    {kG43, {kAnyModel}, "Egypt", k940, 0.09f, &kRuleJ},
    {kG44, {kAnyModel}, "Denmark", k939, 0.09f, &kRuleJ},
    {kG48, {kAnyModel}, "Italy", k940, 0.09f, &kRuleJ},
    {kG52, {kAnyModel}, "Egypt", k940, 0.09f, &kRuleJ},
    {kOther, {0}, "ClawHammer", k754, 0.13f, &kNoRule},
    {kOther, {4}, "ClawHammer", k754, 0.13f, &kRuleA0},
    {kOther, {5}, kByCode, k940, 0.13f, &kNoRule},
    {kOther, {7}, "ClawHammer", k939, 0.13f, &kRuleA},
    {kOther, {8}, "ClawHammer", k754, 0.13f, &kRuleB},
    {kOther, {11}, "ClawHammer", k939, 0.13f, &kRuleB},
    {kOther, {12, 14}, "NewCastle", k754, 0.13f, &kRuleC},
    {kOther, {15}, "NewCastle", k939, 0.13f, &kRuleC},
    {kOther, {28}, "Winchester", k754, 0.09f, &kRuleD},
    {kOther, {31}, "Winchester", k939, 0.09f, &kRuleD},
};

// The Opteron names of indexes 12 to 23 and 41 to 58: the series digit,
// the bracket, and the HE/EE suffix after the name or after the bracket.
const char* OpteronSuffix(int32_t position) { return position == 2 ? " HE" : position == 3 ? " EE" : ""; }

// The name by index; the group of the codename table it belongs to.
Group NameByIndex(AMDNaming& name, int32_t index, int32_t nn) {
    switch (index) {
    case 4: name.Rated("AMD Athlon 64 %2d00+", nn + 22).Subcode(kAthlon64); return kG4;
    case 5: name.Rated("AMD Athlon 64 X2 %2d00+", nn + 22).Subcode(kAthlon64X2); return kG5;
    case 6: name.Format("AMD Athlon 64 FX-%2d", nn + 24).Subcode(kAthlon64FX); return kG6;
    case 8:
    case 9: name.Rated("Mobile AMD Athlon 64 %2d00+", nn + 22).Subcode(kMobileAthlon64); return kG8;
    case 10: name.Rated("AMD Turion 64 ML-%d", nn + 22).Subcode(kTurion64); return kG10;
    case 11: name.Rated("AMD Turion 64 MT-%d", nn + 22).Subcode(kTurion64); return kG10;
    case 24: name.Rated("AMD Athlon 64 %2d00+", nn + 9).Subcode(kAthlon64); return kNone;
    case 29:
    case 30: name.Rated("Mobile AMD Athlon XP-M %2d00+", nn + 22).Package(k754); return kNone;
    case 32: name.Rated("AMD Athlon XP %2d00+", nn + 22).Package(k754).ClassCode(kK7AthlonXPClass); return kNone;
    case 33:
    case 35: name.Rated("Mobile AMD Sempron %2d00+", nn + 24).Package(k754).Subcode(kMobileSempron); return kG33;
    case 34:
    case 38: name.Rated("AMD Sempron %2d00+", nn + 24).Subcode(kSempron); return kG34;
    case 36: name.Format("AMD Athlon 64 FX-%2d", nn + 24).Subcode(kAthlon64FX); return kG36;
    case 41: name.Format("AMD Opteron 1%2d SE (UP)", (nn + 9) * 5).Subcode(kOpteron); return kG41;
    case 42: name.Format("AMD Opteron 2%2d SE (DP)", (nn + 9) * 5).Subcode(kOpteron); return kG42;
    case 43: name.Format("AMD Opteron 8%2d SE (MP)", (nn + 9) * 5).Subcode(kOpteron); return kG43;
    default: break;
    }
    if (index >= 12 && index <= 23) {
        static constexpr const char* kFormats[] = {"AMD Opteron 1%2d", "AMD Opteron 2%2d", "AMD Opteron 8%2d"};
        static constexpr const char* kBrackets[] = {" (UP)", " (2P)", " (MP)"};
        const int32_t series = (index - 12) / 4;
        name.Format(kFormats[series], 2 * nn + 38).Append(OpteronSuffix((index - 12) % 4)).Append(kBrackets[series]);
        name.Subcode(kOpteron);
        return series == 0 ? kG12 : series == 1 ? kG16 : kG20;
    }
    if (index >= 44 && index <= 58) {
        const int32_t series = index >= 56 ? index - 56 : (index - 44) / 4;
        const int32_t position = index >= 56 ? 0 : (index - 44) % 4;
        static constexpr const char* kFormats[] = {"AMD Opteron 1%2d (UP)", "AMD Opteron 2%2d (DP)",
                                                   "AMD Opteron 8%2d (MP)"};
        name.Format(kFormats[series], (nn + 9) * 5).Append(OpteronSuffix(position)).Subcode(kOpteron);
        return series == 0 ? kG44 : series == 1 ? kG48 : kG52;
    }
    name.Name("AMD Athlon 64");
    return kOther;
}

bool ListsModel(const CodenameRow& row, int32_t model) {
    for (int32_t listed : row.models)
        if (listed == kAnyModel || listed == model) return true;
    return false;
}

// The codenames that code decides (kByCode rows).
void CodenameByCode(AMDNaming& name, Group group, int32_t nn) {
    CCPUThread* thread = name.Thread();
    switch (group) {
    case kG8: {
        const int32_t l2 = thread->GetL2Cache();
        name.Codename(l2 == 256 ? "Paris" : l2 == 512 ? "NewCastle" : "ClawHammer");
        break;
    }
    case kG12: name.Format("AMD Turion 64 MT-%d", nn + 22).Subcode(kTurion64).Codename("Lancaster"); break;
    case kOther:
        name.Name("AMD Opteron").Codename("SledgeHammer").Subcode(kOpteron);
        if (thread->m_iStepping == 1) name.CoreStepping("SH7-B3");
        if (thread->m_iStepping == 8 || thread->m_iStepping == 10)
            name.Name("AMD Athlon 64 FX").Subcode(kAthlon64FX).CoreStepping(thread->m_iStepping == 8 ? "SH7-C0" : "SH7-CG");
        break;
    default: break;
    }
}

} // namespace

void AMD_K8_Infos::IdentifyRevCE(CCPUThread* thread) {
    int32_t index = 0;
    const uint32_t brand12 = thread->m_dwMaxExtendedLeaf >= 0x80000001 ? Cpuid(0x80000001).ebx & 0xFFF : 0;
    if (brand12) {
        index = static_cast<int32_t>(brand12 >> 6);
        m_iNN = static_cast<int32_t>(brand12 & 0x3F);
    } else if (const uint32_t brand8 = Cpuid(1).ebx & 0xFF) {
        index = static_cast<int32_t>((brand8 >> 5) * 4);
        m_iNN = static_cast<int32_t>(brand8 & 0x1F);
    } else {
        thread->m_bEngineeringSample = 1;
    }
    thread->m_iBrandId = index;
    AMDNaming name(thread, kK8Class);
    const Group group = NameByIndex(name, index, m_iNN);
    const int32_t model = thread->m_iExtModel;
    for (const CodenameRow& row : kCodenames) {
        if (row.group != group || !ListsModel(row, model)) continue;
        name.Package(row.package).Technology(row.technology).Stepping(*row.rule);
        if (row.codename == kByCode)
            CodenameByCode(name, group, m_iNN);
        else
            name.Codename(row.codename);
        break;
    }
}

// ---- Revision F and later ----

namespace {

// The fields of the 16-bit brand ID and the processor they name.
struct RevFNaming {
    AMDNaming& name;
    int32_t nn;
    bool revF;  // else revision G
    int32_t model;
    int32_t stepping;

    // The name from the format, or the plain name and the engineering
    // sample flag when NN is 0; `rated` gives the performance rating.
    RevFNaming& Named(const char* format, int32_t value, const char* plain, bool rated = false) {
        if (nn == 0) {
            name.Name(plain);
            name.Thread()->m_bEngineeringSample = 1;
        } else if (rated) {
            name.Rated(format, value);
        } else {
            name.Format(format, value);
        }
        return *this;
    }
    // Codename and technology of revision F and of revision G (null: none).
    RevFNaming& Generation(const char* codenameF, const char* codenameG) {
        if (revF) {
            name.Technology(0.09f);
            if (codenameF) name.Codename(codenameF);
        } else {
            name.Technology(0.065f);
            if (codenameG) name.Codename(codenameG);
        }
        return *this;
    }
    // Technology only for the revision that has a row.
    RevFNaming& OnlyF(const char* codename) {
        if (revF) {
            name.Technology(0.09f);
            if (codename) name.Codename(codename);
        }
        return *this;
    }
    RevFNaming& OnlyG(const char* codename) {
        if (!revF) {
            name.Technology(0.065f);
            if (codename) name.Codename(codename);
        }
        return *this;
    }
    // The core stepping text of one model of one revision.
    RevFNaming& StepF(int32_t atModel, const SteppingTexts& texts) {
        if (revF && model == atModel) name.Stepping(texts);
        return *this;
    }
    RevFNaming& StepG(int32_t atModel, const SteppingTexts& texts) {
        if (!revF && model == atModel) name.Stepping(texts);
        return *this;
    }
};

const SteppingTexts kBrisbaneG = {{0, "BH-G0"}, {1, "BH-G1"}, {2, "BH-G2"}};

void PackageS1(RevFNaming& r, int32_t index, int32_t pwrLmt, int32_t cores) {
    AMDNaming& name = r.name;
    CCPUThread* thread = name.Thread();
    const int32_t nn = r.nn;
    if (index == 2 && pwrLmt == 12 && cores == 1) {
        r.Named(nn == 7 || nn == 9 ? "AMD Turion 64 Mobile MK-%d" : "AMD Turion 64 Mobile ML-%d", nn + 29,
                "AMD Turion 64 Mobile", true);
        name.Subcode(kTurion64);
        r.OnlyF("Richmond").StepF(12, {{2, "DH-F2"}});
    } else if (index == 2 && pwrLmt == 12 && cores == 2) {
        r.Named("AMD Turion 64 X2 Mobile TL-%d", nn + 29, "AMD Turion 64 X2 Mobile", true);
        name.Subcode(kTurion64X2);
        const int32_t l2 = thread->GetL2Cache();
        r.OnlyF(l2 == 256 ? "Taylor" : l2 == 512 ? "Trinidad" : nullptr).StepF(8, {{2, "BH-F2"}});
        r.OnlyG("Tyler").StepG(11, {{0, "BH-G0"}, {1, "BH-G1"}});
    } else if (index == 3 && pwrLmt == 1 && cores == 1) {
        r.Named("Mobile AMD Sempron %2d00+", nn + 15, "Mobile AMD Sempron", true);
        name.Subcode(kSempron);
        r.OnlyG("Sherman");
    } else if (index == 3 && pwrLmt == 6) {
        r.Named("Mobile AMD Sempron %2d00+", nn + 26, "Mobile AMD Sempron", true);
        name.Subcode(kMobileSempron);
        r.Generation("Keene", "Sherman").StepF(4, {{0, "SH-F0"}}).StepF(12, {{2, "DH-F2"}});
    } else if (index == 3 && pwrLmt == 12 && thread->GetL2Cache() < 512) {
        name.Technology(0.09f);
        r.Named("Mobile AMD Sempron %2d00+", nn + 26, "Mobile AMD Sempron", true);
        name.Subcode(kMobileSempron);
    } else if (index == 3 && pwrLmt == 12) {
        name.Technology(0.09f);
        r.Named("AMD Turion 64 Mobile TK-%d", nn + 29, "AMD Turion 64 Mobile");
        name.Subcode(kTurion64X2);
        r.OnlyG("Tyler");
    } else if (index == 7 && cores == 1) {
        name.Format("AMD Athlon L%02d0", nn).Subcode(kAthlon64).Technology(0.065f);
    }
}

void PackageFr4(RevFNaming& r, int32_t index, int32_t pwrLmt) {
    AMDNaming& name = r.name;
    name.Name("AMD Opteron").Subcode(kOpteron);
    if (index == 6) {
        r.Named("AMD Athlon 64 FX-%2d", r.nn + 57, "AMD Athlon 64 FX");
        name.Subcode(kAthlon64FX);
        r.OnlyF("Windsor FX").OnlyG(nullptr);
        if (r.revF) name.Stepping({{3, "F3"}});
        return;
    }
    struct OpteronRow {
        int32_t pwrLmt;
        const char* suffix;  // after the model number
        const char* plain;
    };
    static constexpr OpteronRow kRows[] = {{2, " EE", "AMD Opteron EE"},
                                           {6, " HE", "AMD Opteron HE"},
                                           {10, "", "AMD Opteron"},
                                           {12, " SE", "AMD Opteron SE"}};
    const char* series = index == 0 ? "12" : index == 1 ? "22" : index == 4 ? "82" : nullptr;
    if (!series) return;
    for (const OpteronRow& row : kRows) {
        if (row.pwrLmt != pwrLmt || (index == 0 && (pwrLmt == 10 || pwrLmt == 12))) continue;
        char format[32];
        FormatString(format, sizeof format, "AMD Opteron %s%%d%s", series, row.suffix);
        r.Named(format, r.nn - 1, row.plain);
        r.OnlyF("Santa Rosa").OnlyG(nullptr).StepF(1, {{1, "JH-F1"}, {2, "JH-F2"}}).StepF(5, {{0, "SH-F0"}});
        return;
    }
}

void PackageAM2(RevFNaming& r, int32_t index, int32_t pwrLmt, int32_t cores, bool unlocked) {
    AMDNaming& name = r.name;
    CCPUThread* thread = name.Thread();
    const int32_t nn = r.nn;
    if (index == 1 && cores == 1) {
        r.Named("AMD Sempron LE-1%2d0", nn - 1, "AMD Sempron");
        name.Subcode(kSempron);
        r.OnlyG("Sparta").StepG(11, {{0, "BH-G0"}, {1, "BH-G1"}}).StepG(15, {{1, "DH-G1"}, {2, "DH-G2"}});
    } else if (index == 1 && cores == 2 && pwrLmt == 10) {
        r.Named("AMD Opteron 12%d", nn - 1, "AMD Opteron");
        name.Subcode(kOpteron);
        r.Generation("Santa Ana", nullptr).StepF(3, {{2, "JH-F2"}, {3, "JH-F3"}});
    } else if (index == 1 && cores == 2 && pwrLmt == 12) {
        r.Named("AMD Opteron 12%d SE", nn - 1, "AMD Opteron SE");
        name.Subcode(kOpteron);
        r.Generation("Santa Ana", nullptr).StepF(3, {{2, "JH-F2"}});
    } else if (index == 2 && cores == 1) {
        r.Named("AMD Athlon 64 LE-1%2d0", nn + 57, "AMD Athlon 64");
        name.Subcode(kAthlon64);
        r.OnlyF("Orleans");
        if (r.revF) name.Stepping({{3, "F3"}});
    } else if (index == 2 && cores == 2) {
        r.Named("Mobile AMD Athlon 64 X2 %2d00+", nn + 26, "Mobile AMD Athlon 64 X2", true);
        name.Subcode(kAthlon64X2);
        r.Generation(nullptr, nullptr);
    } else if (index == 3 && cores == 2) {
        r.Named("AMD Athlon 64 X2 BE-2%2d0", nn + 25, "AMD Athlon 64 X2");
        name.Subcode(kAthlon64X2);
        r.OnlyG("Brisbane").StepG(11, kBrisbaneG);
    } else if (index == 4 && cores == 1) {
        r.Named("AMD Athlon 64 %2d00+", nn + 15, "AMD Athlon 64", true);
        name.Subcode(kAthlon64);
        r.Generation("Orleans", r.model == 11 ? "Brisbane" : r.model == 15 ? "Lima" : nullptr);
        r.StepF(7, {{0, "SH-F0"}}).StepF(15, {{2, "DH-F2"}});
    } else if (index == 4 && cores == 2) {
        r.Named("AMD Athlon 64 X2 %2d00+", nn + 25, "AMD Athlon 64 X2", true);
        name.Subcode(kAthlon64X2);
        r.Generation("Windsor", "Brisbane");
        r.StepF(3, {{1, "JH-F1"}, {2, "JH-F2"}, {3, "JH-F3"}}).StepF(11, {{2, "BH-F2"}}).StepG(11, kBrisbaneG);
        if (!r.revF && unlocked) name.Append(" Black Edition");
    } else if (index == 5 && pwrLmt == 12) {
        r.Named("AMD Athlon 64 FX-%2d", nn + 57, "AMD Athlon 64 FX");
        name.Subcode(kAthlon64FX);
        r.Generation(r.model == 3 ? "Windsor" : r.model == 7 ? "Orleans" : nullptr, "Brisbane");
        r.StepF(3, {{1, "JH-F1"}, {2, "JH-F2"}}).StepF(7, {{0, "SH-F0"}});
    } else if (index == 6 && cores == 1) {
        r.Named("AMD Sempron %2d00+", nn + 15, "AMD Sempron", true);
        name.Subcode(kSempron);
        r.Generation("Manila", "Sherman").StepF(15, {{2, "DH-F2"}});
    } else if (index == 6 && cores == 2) {
        r.Named("AMD Sempron LE-1%2d0", nn - 1, "AMD Sempron");
        name.Subcode(kSempron);
        r.OnlyG("Sherman").StepG(11, kBrisbaneG);
    } else if (index >= 7 && index <= 9) {
        if (cores == 1) {
            if (std::strstr(thread->m_szBrandString, "Sempron")) {
                r.Named("AMD Sempron %2d0U", nn + 15, "AMD Sempron");
                name.Subcode(kSempron).Package(kASB1).Codename("Huron");
            } else if (r.stepping == 2) {
                r.Named("AMD Athlon Neo MV-%2d", nn + 15, "AMD Athlon Neo");
                name.Subcode(kAthlonNeo).Codename("Huron");
            } else {
                r.Named("AMD Athlon 64 %2d50e", nn + 15, "AMD Athlon 64");
                name.Subcode(kAthlon64).Codename("Lima");
            }
            r.OnlyG(nullptr);
        } else if (cores == 2) {
            name.Subcode(kAthlon64X2);
            if (nn == 0) {
                name.Name("AMD Athlon 64 X2");
            } else {
                if (pwrLmt == 3) name.Format("AMD Athlon 64 X2 %2d50e", nn + 25);
                if (pwrLmt == 6) name.Format("AMD Athlon 64 X2 %2d00B", nn + 25);
                name.Codename("Brisbane");
            }
            r.OnlyG(nullptr);
        }
        name.Stepping({{1, "DH-G1"}, {2, "DH-G2"}});
    }
}

} // namespace

void AMD_K8_Infos::IdentifyRevF(CCPUThread* thread) {
    if (thread->m_dwMaxExtendedLeaf <= 0x80000000) return;
    const CpuidResult extended = Cpuid(0x80000001);
    const uint32_t brand = extended.ebx & 0xFFFF;
    const uint32_t packageType = (extended.eax >> 4) & 3;
    const auto index = static_cast<int32_t>((brand >> 9) & 0x1F);
    m_iNN = static_cast<int32_t>(((brand >> 15) & 1) * 64 + (brand & 0x3F));
    const auto pwrLmt = static_cast<int32_t>(((brand >> 6) & 7) * 2 + ((brand >> 14) & 1));
    const int32_t cores = thread->m_iCoresPerPackage;
    thread->m_iBrandId = index;
    AMDNaming name(thread, kK8Class);
    RevFNaming r{name, m_iNN, m_iRevision == kRevisionF, thread->m_iModel, thread->m_iStepping};
    switch (packageType) {
    case 0:
        name.Package(kS1);
        PackageS1(r, index, pwrLmt, cores);
        break;
    case 1:
        name.Package(kFr4);
        PackageFr4(r, index, pwrLmt);
        break;
    case 3:
        name.Package(kAM2);
        PackageAM2(r, index, pwrLmt, cores, m_bUnlocked != 0);
        break;
    default: break;
    }
}
