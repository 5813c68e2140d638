// The family 10h and 11h names from the brand fields of CPUID 0x80000001
// EBX (package type, model number, string 1, string 2, page) and the core
// count of the northbridge (CmpCap): per extended model, a table of rows
// that each match a package type, a core count and some string-1 values.
#include <cstring>
#include <initializer_list>
#include <span>

#include "sdk/cpu/amd_k10.h"
#include "sdk/cpu/amd_naming.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

constexpr uint32_t kK10Class = 0x2004000;
constexpr int32_t kFamily10h = 16;
constexpr int32_t kFamily11h = 17;
constexpr int32_t kAM2Plus = 0x10022;
constexpr int32_t kAM3 = 0x10024;
constexpr int32_t kFr6 = 0x1002B;

enum K10Subcode : int8_t {
    kK10 = 0x00,
    kPhenom = 0x01,
    kPhenomX3 = 0x02,
    kPhenomFX = 0x03,
    kOpteron = 0x04,
    kTurion = 0x05,
    kTurionUltra = 0x06,
    kAthlon = 0x07,
    kSempron = 0x08,
    kPhenomIIX4 = 0x09,
    kPhenomIIX2 = 0x0A,
    kAthlonIIX2 = 0x0B,
    kAthlonIIX4 = 0x0C,
    kAthlonIIX3 = 0x0D,
    kPhenomIIMobile3 = 0x0E,
    kPhenomIIMobile4 = 0x0F,
    kPhenomIIX6 = 0x10,
    kAthlonIINeo = 0x11,
    kKeepSubcode = -1,
};

// The argument a row formats its name with.
enum class Arg : uint8_t { Model, ModelMinus1, ModelTens };

// One row of a naming table: package type, CmpCap (0 any), the string-1
// values it takes (empty: any), the name format (null: the name stays),
// codename (null: stays), subcode and package code (-1: stays).
struct BrandRow {
    int8_t packageType;
    int8_t cmpCap;
    std::initializer_list<int> strings1;
    const char* format;
    const char* codename;
    int8_t subcode;
    Arg arg = Arg::Model;
    int32_t packageCode = -1;
};

// Extended models 4 to 6 (45 nm); every matching row applies, in order.
const BrandRow kModels4To6[] = {
    {0, 0, {}, "AMD Opteron", "Shanghai", kOpteron},
    {0, 0, {0, 2}, "AMD Opteron 83%02d", nullptr, kKeepSubcode},
    {0, 0, {1, 3}, "AMD Opteron 23%02d", nullptr, kKeepSubcode},
    {0, 0, {4}, "AMD Opteron 13%02d", nullptr, kKeepSubcode},
    {1, 1, {2}, "AMD Sempron 1%02d", "Sargas", kSempron},
    {1, 1, {3}, "AMD Athlon II 1%02d", "Sargas", kAthlonIINeo},
    {1, 2, {0}, "AMD Opteron 13%02d", "Shanghai", kOpteron},
    {1, 2, {1}, "AMD Athlon X2 %02d00+", "Regor", kAthlonIIX2},
    {1, 2, {2}, "AMD Athlon II X2 4%02d", "Regor", kAthlonIIX2},
    {1, 2, {3}, "AMD Athlon II X2 2%02d", "Regor", kAthlonIIX2},
    {1, 2, {4, 5}, "AMD Athlon II X2", "Regor", kAthlonIIX2},
    {1, 2, {6}, "AMD Athlon II Neo X2", "Regor", kAthlonIIX2},
    {1, 2, {8}, "AMD Athlon II X2 5%02d", "Regor", kAthlonIIX2},
    {1, 2, {9}, "AMD Athlon II X2 3%02d", "Regor", kAthlonIIX2},
    {1, 2, {7}, "AMD Phenom II X2 5%02d", "Callisto", kPhenomIIX2},
    {1, 2, {10}, "AMD Phenom II X2", "Callisto", kPhenomIIX2},
    {1, 2, {11}, "AMD Phenom II X2 B%02d", "Callisto", kPhenomIIX2},
    {1, 2, {12}, "AMD Sempron X2 1%02d", "Regor", kSempron},
    {1, 3, {1}, "AMD Phenom II X3 5%02d", "Heka", kPhenomIIX4},
    {1, 3, {2}, "AMD Phenom II X3 4%02d", "Heka", kPhenomIIX4},
    {1, 3, {3, 4}, "AMD Phenom II X3", "Heka", kPhenomIIX4},
    {1, 3, {8}, "AMD Phenom II X3 7%02d", "Heka", kPhenomIIX4},
    {1, 3, {5}, "AMD Athlon II X3 3%02d", "Rana", kAthlonIIX3},
    {1, 3, {6}, "AMD Athlon II Neo X3", "Rana", kAthlonIIX3},
    {1, 3, {7}, "AMD Athlon II X3 4%02d", "Rana", kAthlonIIX3},
    {1, 3, {9, 10}, "AMD Athlon II X3", "Rana", kAthlonIIX3},
    {1, 4, {0}, "AMD Opteron 13%02d", "Deneb", kOpteron},
    {1, 4, {1}, "AMD Phenom FX-%02d00", "Deneb", kPhenomFX, Arg::Model, kAM2Plus},
    {1, 4, {3}, "AMD Phenom II X4 9%02d", "Deneb", kPhenomIIX4},
    {1, 4, {4}, "AMD Phenom II X4 8%02d", nullptr, kPhenomIIX4},
    {1, 4, {5}, "AMD Phenom II X4 7%02d", nullptr, kPhenomIIX4},
    {1, 4, {6}, "AMD Phenom II X4 6%02d", nullptr, kPhenomIIX4},
    {1, 4, {7}, "AMD Phenom II X4 B%02d", nullptr, kPhenomIIX4},
    {1, 4, {8}, "AMD Phenom II X4", nullptr, kPhenomIIX4},
    {1, 4, {9}, "AMD Phenom II Neo X4", nullptr, kPhenomIIX4},
    {1, 4, {10}, "AMD Athlon II X4 6%02d", "Propus", kAthlonIIX4},
    {1, 4, {11}, "AMD Athlon II X4 5%02d", "Propus", kAthlonIIX4},
    {1, 4, {12}, "AMD Athlon II Neo X4", "Propus", kAthlonIIX4},
    {1, 4, {13, 15}, "AMD Athlon II X4 %02d0e", "Propus", kAthlonIIX4},
    {1, 4, {14}, "AMD Phenom II FX", "Deneb", kPhenomIIX4},
    {2, 1, {0}, "AMD Sempron II M1%02d", "Caspian", kSempron, Arg::ModelTens},
    {2, 1, {1}, "AMD V%02d0", "Champlain", kK10, Arg::ModelMinus1},
    {2, 2, {0}, "AMD Turion II Ultra M6%02d", "Caspian", kTurionUltra, Arg::ModelTens},
    {2, 2, {1}, "AMD Turion II M5%02d", "Caspian", kTurion, Arg::ModelTens},
    {2, 2, {2}, "AMD Athlon II M3%02d", "Caspian", kAthlonIIX2, Arg::ModelTens},
    {2, 3, {}, nullptr, "Caspian", kPhenomIIMobile3},
    {2, 3, {2}, "AMD Phenom II P%02d0", nullptr, kKeepSubcode, Arg::ModelMinus1},
    {2, 3, {3}, "AMD Phenom II N%02d0", nullptr, kKeepSubcode, Arg::ModelMinus1},
    {2, 4, {}, nullptr, "Caspian", kPhenomIIMobile4},
    {2, 4, {1}, "AMD Phenom II P%02d0", nullptr, kKeepSubcode, Arg::ModelMinus1},
    {2, 4, {2}, "AMD Phenom II X%02d0", nullptr, kKeepSubcode, Arg::ModelMinus1},
    {2, 4, {3}, "AMD Phenom II N%02d0", nullptr, kKeepSubcode, Arg::ModelMinus1},
};

// The Athlon II Neo of package type 4 (extended models 4 to 6 and 10):
// CmpCap 2, with Model - 1.
const BrandRow kNeoDualCore[] = {
    {4, 2, {}, "AMD Athlon II Neo", nullptr, kAthlonIINeo},
    {4, 2, {1}, "Turion II Neo K%d", nullptr, kTurion, Arg::ModelMinus1},
    {4, 2, {4}, "Turion II Neo N%d", nullptr, kTurion, Arg::ModelMinus1},
};

// The core stepping texts of family 10h by extended model.
struct K10Stepping {
    int32_t extModel;
    SteppingTexts texts;
};
const K10Stepping kSteppings[] = {
    {0, {{0, "DR-A0"}, {1, "DR-A1"}, {2, "DR-A2"}}},
    {2, {{0, "DR-B0"}, {1, "DR-B1"}, {2, "DR-B2"}, {3, "DR-B3"}, {10, "DR-BA"}}},
    {4, {{0, "RB-C0"}, {2, "RB-C2"}, {3, "RB-C3"}}},
    {5, {{2, "BL-C2"}, {3, "BL-C3"}}},
    {6, {{2, "DA-C2"}, {3, "DA-C3"}}},
    {8, {{0, "HY-D0"}, {1, "HY-D1"}}},
    {9, {{0, "HY-D0"}, {1, "HY-D1"}}},
    {10, {{0, "PH-E0"}}},
};

bool Takes(const BrandRow& row, int32_t packageType, int32_t cmpCap, int32_t string1) {
    if (row.packageType != packageType || (row.cmpCap != 0 && row.cmpCap != cmpCap)) return false;
    if (row.strings1.size() == 0) return true;
    for (int value : row.strings1)
        if (value == string1) return true;
    return false;
}

int32_t ArgumentOf(Arg arg, int32_t model) {
    switch (arg) {
    case Arg::ModelMinus1: return model - 1;
    case Arg::ModelTens: return model / 10 * 10;
    default: return model;
    }
}

void ApplyTable(AMDNaming& name, std::span<const BrandRow> rows, int32_t packageType, int32_t cmpCap,
                int32_t string1, int32_t model) {
    for (const BrandRow& row : rows) {
        if (!Takes(row, packageType, cmpCap, string1)) continue;
        if (row.format) name.Format(row.format, ArgumentOf(row.arg, model));
        if (row.codename) name.Codename(row.codename);
        if (row.subcode != kKeepSubcode) name.Subcode(static_cast<uint32_t>(row.subcode));
        if (row.packageCode != -1) name.Package(row.packageCode);
    }
}

// The Athlon II Neo of package type 4; `singleArg` is the argument of the
// single-core " K%d" and " R%d" suffixes.
void AthlonIINeo(AMDNaming& name, int32_t cmpCap, int32_t string1, int32_t string2, int32_t model,
                 int32_t singleArg) {
    if (cmpCap == 1) {
        if (string1 == 1) name.AppendFormat(" K%d", singleArg);
        if (string1 == 3) name.AppendFormat(" R%d", singleArg);
    } else if (cmpCap == 2) {
        ApplyTable(name, kNeoDualCore, 4, cmpCap, string1, model);
        if (string1 == 2) name.AppendFormat(" K%d", model - 1);
        if (string1 == 5) name.AppendFormat(" N%d", model - 1);
    }
    if (cmpCap == 1 || cmpCap == 2) {
        if (string2 == 1) name.Append("5");
        if (string2 == 2) name.Append("L");
    }
}

} // namespace

int AMD_K10_Infos::Identify(CCPUThread* thread) {
    AMDNaming name(thread, kK10Class);
    const int32_t extModel = thread->m_iExtModel;
    const int32_t model = m_iModelNumber, s1 = m_iString1, s2 = m_iString2, type = m_iPackageType;
    if (thread->m_iExtFamily == kFamily11h) {
        if (extModel != 3) return 1;
        if (type == 2) {
            name.Name("AMD Turion").Codename("Griffin").Technology(0.065f).Subcode(kTurion);
            if (model != 0 && m_iPage == 0) {
                if (m_iCmpCap == 1) name.Format("AMD Sempron SI-%d", model).Subcode(kSempron);
                if (m_iCmpCap == 2 && s1 == 0) name.Format("AMD Turion X2 Ultra ZM-%d", model).Subcode(kTurionUltra);
                if (m_iCmpCap == 2 && s1 == 1) name.Format("AMD Turion X2 RM-%d", model).Subcode(kTurion);
                if (m_iCmpCap == 2 && s1 == 2) name.Format("AMD Athlon X2 QL-%d", model).Subcode(kAthlon);
            }
        }
        if (thread->m_iStepping == 1) name.CoreStepping("LG-B1");
        return 1;
    }
    if (thread->m_iExtFamily != kFamily10h) return 1;
    name.Name("AMD K10").ClassCode(kK10Class);
    switch (extModel) {
    case 0:
    case 2:
        name.Technology(0.065f);
        if (type == 0) {
            name.Name("AMD Opteron").Codename("Barcelona").Subcode(kOpteron);
            if (model != 0 && m_iPage == 0) {
                if (s1 == 0 || s1 == 2) name.Format("AMD Opteron 83%02d", model);
                if (s1 == 1 || s1 == 3) name.Format("AMD Opteron 23%02d", model);
                if (s1 == 4) name.Format("AMD Opteron 13%02d", model);
                if (s2 == 10) name.Append(" SE");
                if (s2 == 11) name.Append(" HE");
                if (s2 == 12) name.Append(" EE");
            }
            if (m_iPage == 1 && s2 == 15) name.Append(" GF HE");
        } else if (type == 1 && s1 == 0 && m_iCmpCap == 4) {
            name.Format("AMD Opteron 13%02d", model).Codename("Barcelona").Subcode(kOpteron);
        } else if (type == 1) {
            name.Name("AMD Phenom").Subcode(kPhenom);
            if (model == 0) break;
            const int32_t series = model / 10;
            if (m_iPage == 0) {
                if (series == 6 || series == 7) name.Name("AMD Athlon").Subcode(kAthlon);
                if (series == 8) name.Name("AMD Phenom X3").Subcode(kPhenomX3);
                if (series == 9) name.Name("AMD Phenom X4").Subcode(kPhenom);
                static constexpr const char* kSuffixes[] = {" %02d00", " %02d00e", " %02d00B",
                                                            " %02d50", " %02d50e", " %02d50B"};
                if (s2 >= 0 && s2 < 6) name.AppendFormat(kSuffixes[s2], model);
                if (m_bUnlocked) name.Append(" Black Edition");
            }
            if (series == 6 || series == 7) name.Codename("Kuma");
            if (series == 8) name.Codename("Toliman");
            if (series == 9) name.Codename("Agena");
        }
        break;
    case 4:
    case 5:
    case 6:
        name.Technology(0.045f);
        if (type == 1 && m_iCmpCap == 4) name.Codename(thread->GetL3Cache() > 0 ? "Deneb" : "Propus");
        ApplyTable(name, kModels4To6, type, m_iCmpCap, s1, model);
        if (type == 1 && m_iCmpCap == 3 && s1 == 8 && model == 15) name.Package(kAM2Plus);
        if (type == 1 && m_iCmpCap == 4 && s1 == 3 && (model == 20 || model == 40)) name.Package(kAM2Plus);
        if (type == 4 && (m_iCmpCap == 1 || m_iCmpCap == 2)) {
            name.Name("AMD Athlon II Neo").Codename("Champlain").Subcode(kAthlonIINeo);
            AthlonIINeo(name, m_iCmpCap, s1, s2, model, model - 1);
        }
        break;
    case 8:
        name.Technology(0.045f);
        if (type == 0) {
            name.Name("AMD Opteron").Codename("Istanbul").Package(kFr6).Subcode(kOpteron);
            if (s1 == 0) name.Format("AMD Opteron 84%02d", model);
            if (s1 == 1) name.Format("AMD Opteron 24%02d", model);
            static constexpr const char* kSuffixes[] = {" SE", " HE", " EE"};
            if (s2 >= 0 && s2 < 3) name.Append(kSuffixes[s2]);
        } else if (type == 1) {
            name.Name("AMD Phenom II X6").Codename("Thuban").Package(kAM3).Subcode(kPhenomIIX6);
        }
        break;
    case 9:
        name.Technology(0.045f);
        if (type == 3) {
            name.Name("AMD Opteron").Codename("Magny-Cours").Subcode(kOpteron);
            if (model != 0 && s1 == 0) name.Format("AMD Opteron 61%02d", model - 1);
        }
        break;
    case 10:
        name.Technology(0.045f);
        if (type == 1) {
            name.Codename("Thuban").Package(kAM3);
            if (m_iCmpCap == 2) {
                name.Subcode(kPhenomIIX2);
                if (model == 0) name.Name("AMD Phenom II X2");
                else name.Format("AMD Phenom II X2 B%02d", model);
            } else if (m_iCmpCap == 4 && s1 == 10) {
                name.Format("AMD Athlon II X4 6%02dT", model).Subcode(kAthlonIIX4);
            } else if (m_iCmpCap == 4) {
                name.Subcode(kPhenomIIMobile4);
                if (model == 0) name.Name("AMD Phenom II X4");
                else name.Format("AMD Phenom II X4 9%02dT", model);
            } else if (m_iCmpCap == 6) {
                name.Subcode(kPhenomIIX6);
                if (model == 0) name.Name("AMD Phenom II X6");
                else name.Format(thread->m_iStockClock >= 3200 ? "AMD Phenom II X6 1%02d0T" : "AMD Phenom II X6 1%02d5T", model);
            }
        } else if (type == 4) {
            name.Name("AMD Athlon II Neo").Codename("Sargas").Subcode(kAthlonIINeo);
            AthlonIINeo(name, m_iCmpCap, s1, s2, model, model);
        }
        break;
    default: break;
    }
    for (const K10Stepping& row : kSteppings)
        if (row.extModel == extModel) name.Stepping(row.texts);
    return 1;
}
