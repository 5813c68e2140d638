// The family 15h names: by the extended model, the package type, the core
// count, the brand string and the stock clock. Lists of full names are
// tried in their order; the first whose number (the part after the dash)
// the brand string contains is taken.
#include <cstring>
#include <initializer_list>

#include "sdk/cpu/amd_bulldozer.h"
#include "sdk/cpu/amd_naming.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

constexpr uint32_t kK15Class = 0x2040000;
constexpr int32_t kFamily15h = 0x15;
constexpr int kKeep = -1;

enum K15Subcode : int {
    kFX = 0x01,
    kOpteron = 0x02,
    kTrinity = 0x03,
    kTrinityA8 = 0x04,
    kTrinityA6 = 0x05,
    kTrinityA4 = 0x06,
    kAthlonX4 = 0x07,
    kVishera = 0x08,
    kRichland = 0x09,
    kRichlandA8 = 0x0A,
    kRichlandA6 = 0x0B,
    kRichlandA4 = 0x0C,
    kSempronX2 = 0x0D,
    kAthlonX2 = 0x0E,
};

// A full name and the subcode it brings (kKeep: the code stays).
struct FullName {
    const char* name;
    int subcode = kKeep;
};
// A text appended when the brand string has its digits.
struct Suffix {
    const char* text;
    const char* digits;
};

class K15Namer {
public:
    explicit K15Namer(CCPUThread* thread) : m_thread(thread), m_naming(thread, kK15Class) {}

    bool Has(const char* text) const { return std::strstr(m_thread->m_szBrandString, text) != nullptr; }
    AMDNaming& Naming() { return m_naming; }

    void Base(const char* name, int subcode) { m_naming.Name(name).Subcode(uint32_t(subcode)); }
    // The first name whose number the brand string has.
    bool FirstOf(std::initializer_list<FullName> names) {
        for (const FullName& full : names) {
            const char* dash = std::strchr(full.name, '-');
            if (!dash || !Has(dash + 1)) continue;
            m_naming.Name(full.name);
            if (full.subcode != kKeep) m_naming.Subcode(uint32_t(full.subcode));
            return true;
        }
        return false;
    }
    void AppendFirstOf(std::initializer_list<Suffix> suffixes) {
        for (const Suffix& suffix : suffixes)
            if (Has(suffix.digits)) {
                m_naming.Append(suffix.text);
                return;
            }
    }

private:
    CCPUThread* m_thread;
    AMDNaming m_naming;
};

void NameOrochi(K15Namer& n, int32_t package, int32_t cores) {
    n.Naming().Technology(0.032f);
    if (package == 1 && n.Has("Opteron")) {
        n.Naming().Codename("Zurich");
        n.Base("AMD Opteron", kOpteron);
        n.AppendFirstOf({{" 3280", "3280"}, {" 3260HE", "3260"}, {" 3250HE", "3250"}});
    } else if (package == 1) {
        n.Naming().Codename("Zambezi");
        n.Base("AMD FX", kFX);
        if (cores == 4)
            n.FirstOf({{"AMD FX-4320"}, {"AMD FX-4170"}, {"AMD FX-4150"}, {"AMD FX-4130"}, {"AMD FX-4120"},
                       {"AMD FX-4100"}});
        else if (cores == 6)
            n.FirstOf({{"AMD FX-6300"}, {"AMD FX-6200"}, {"AMD FX-6120"}, {"AMD FX-6100"}});
        else if (cores == 8)
            n.FirstOf({{"AMD FX-8170"}, {"AMD FX-8150"}, {"AMD FX-8140"}, {"AMD FX-8120"}, {"AMD FX-8100"}});
    } else if (package == 3) {
        n.Naming().Codename("Interlagos");
        n.Base("AMD Opteron", kOpteron);
        n.AppendFirstOf({{" 6282SE", "6282"}, {" 6276", "6276"}, {" 6274", "6274"}, {" 6272", "6272"},
                         {" 6238", "6238"}, {" 6234", "6234"}, {" 6220", "6220"}, {" 6212", "6212"}});
    } else if (package == 5) {
        n.Naming().Codename("Valencia");
        n.Base("AMD Opteron", kOpteron);
    }
}

void NameVishera(K15Namer& n, int32_t package, int32_t cores) {
    n.Naming().Technology(0.032f);
    if (package == 1 && n.Has("Opteron")) {
        n.Naming().Codename("Delhi");
        n.Base("AMD Opteron", kOpteron);
        n.AppendFirstOf({{" 3380", "3380"}, {" 3365", "3365"}, {" 3350HE", "3350"}, {" 3320HE", "3320"}});
    } else if (package == 1) {
        n.Naming().Codename("Vishera");
        n.Base("AMD FX", kVishera);
        if (cores == 4)
            n.FirstOf({{"AMD FX-4350"}, {"AMD FX-4320"}, {"AMD FX-4300"}});
        else if (cores == 6)
            n.FirstOf({{"AMD FX-6350"}, {"AMD FX-6300"}});
        else if (cores == 8)
            n.FirstOf({{"AMD FX-9590"}, {"AMD FX-9370"}, {"AMD FX-8370E"}, {"AMD FX-8370"}, {"AMD FX-8350"},
                       {"AMD FX-8320E"}, {"AMD FX-8320"}, {"AMD FX-8300"}});
    } else if (package == 3 || package == 5) {
        n.Base("AMD Opteron", kOpteron);
    }
}

void NameTrinity(K15Namer& n, int32_t package, int32_t cores) {
    n.Naming().Technology(0.032f);
    if (package < 0 || package > 2) return;
    n.Naming().Codename("Trinity");
    n.Base("AMD A4/A6/A8/A10", kTrinity);
    if (package != 2) {
        if (cores == 2)
            n.FirstOf({{"AMD A6-4400M", kTrinityA6}, {"AMD A6-4455M", kTrinityA4}});
        else if (cores == 4)
            n.FirstOf({{"AMD A10-4600M"}, {"AMD A10-4657M"}, {"AMD A8-4557M", kTrinityA8},
                       {"AMD A8-4500M", kTrinityA8}});
        return;
    }
    if (cores == 2) {
        n.Base("AMD A4/A6", kTrinityA6);
        n.FirstOf({{"AMD A6-5400K"}, {"AMD A4-5300B", kTrinityA4}, {"AMD A4-5300", kTrinityA4}});
    } else if (cores == 4) {
        n.Naming().Name("AMD A8/A10");
        if (n.Has("Athlon")) {
            n.Base("AMD Athlon X4", kAthlonX4);
            n.AppendFirstOf({{" 750K", "750K"}});
        } else {
            n.FirstOf({{"AMD A10-5800K"}, {"AMD A10-5700"}, {"AMD A8-5600K", kTrinityA8}, {"AMD A8-5500", kTrinityA8}});
        }
    }
}

void NameRichland(K15Namer& n, int32_t package, int32_t cores, int32_t stockClock) {
    n.Naming().Technology(0.032f).Codename("Richland");
    n.Base("AMD A4/A6/A8/A10", kRichland);
    if (package == 0 || package == 1) {
        if (cores == 2) {
            n.Naming().Name("AMD A4/A6");
        } else if (cores == 4) {
            n.Naming().Name("AMD A8/A10");
            n.FirstOf({{"AMD A8-5557M", kRichlandA8}});
        }
    } else if (package == 2) {
        if (cores == 2 && n.Has("Sempron")) {
            n.Base("AMD Sempron X2", kSempronX2);
            if (stockClock == 3200) n.Naming().Append(" 250");
        } else if (cores == 2) {
            n.Base("AMD A4/A6", kRichlandA6);
            n.FirstOf({{"AMD A6-6420K"}, {"AMD A6-6400K"}, {"AMD A6-6400B"}, {"AMD A4-6320", kRichlandA4},
                       {"AMD A4-6300", kRichlandA4}, {"AMD A4-4020", kRichlandA4}, {"AMD A4-4000", kRichlandA4}});
        } else if (cores == 4) {
            n.Naming().Name("AMD A8/A10");
            if (n.Has("Athlon")) {
                n.Base("AMD Athlon X4", kAthlonX4);
                n.AppendFirstOf({{" 760K", "760K"}});
            } else {
                n.FirstOf({{"AMD A10-6800K"}, {"AMD A10-6800B"}, {"AMD A10-6790K"}, {"AMD A10-6700T"},
                           {"AMD A10-6700"}, {"AMD A8-6600K", kRichlandA8}, {"AMD A8-6500", kRichlandA8}});
            }
        }
    }
}

void NameKaveri(K15Namer& n, int32_t package, int32_t cores, int32_t stockClock) {
    n.Naming().Technology(0.028f).Subcode(kRichland);
    if (package == 0) {
        n.Naming().Codename("Bald Eagle");
        return;
    }
    if (package != 1) return;
    n.Naming().Codename("Kaveri");
    const bool athlon = n.Has("Athlon");
    if (cores == 2 && athlon) {
        n.Base("AMD Athlon X2", kAthlonX2);
        n.AppendFirstOf({{" 450", "450"}});
    } else if (cores == 2) {
        n.Naming().Name("AMD A4/A6");
        if (!n.FirstOf({{"AMD A6-7400K", kRichlandA6}}) && (n.Has("7300") || stockClock == 3400))
            n.Base("AMD A4-7300", kRichlandA4);
    } else if (cores == 4 && athlon) {
        n.Base("AMD Athlon X4", kAthlonX4);
        n.AppendFirstOf({{" 860K", "860K"}, {" 840", "840"}});
    } else if (cores == 4) {
        n.Naming().Name("AMD A8/A10");
        n.FirstOf({{"AMD A10-7850K"}, {"AMD A10-7800"}, {"AMD A10-7700K"}, {"AMD A8-7600", kRichlandA8}});
    }
}

} // namespace

int AMD_K15_Infos::Identify(CCPUThread* thread) {
    AMDNaming naming(thread, kK15Class);
    naming.Name("AMD K15").ClassCode(kK15Class);
    if (thread->m_iExtFamily != kFamily15h) return 1;
    NameByModel(thread);
    switch (thread->m_iExtModel) {
    case 0x00: naming.Stepping({{0, "OR-A0"}, {1, "OR-A1"}}); break;
    case 0x01: naming.Stepping({{0, "OR-B0"}, {1, "OR-B1"}, {2, "OR-B2"}, {3, "OR-B3"}}); break;
    case 0x02: naming.Stepping({{0, "OR-C0"}}); break;
    case 0x10: naming.Stepping({{0, "TN-A0"}, {1, "TN-A1"}, {2, "TN-A2"}}); break;
    case 0x11: naming.Stepping({{0, "TN-B0"}, {1, "TN-B1"}}); break;
    case 0x13: naming.Stepping({{1, "RL-A1"}}); break;
    case 0x30: naming.Stepping({{0, "KV-A0"}, {1, "KV-A1"}}); break;
    case 0x31: naming.Stepping({{0, "KV-B0"}, {1, "KV-B1"}, {2, "KV-B2"}}); break;
    case 0x60: naming.Stepping({{0, "CZ-A0"}, {1, "CZ-A1"}}); break;
    default: break;
    }
    return 1;
}

void AMD_K15_Infos::NameByModel(CCPUThread* thread) {
    K15Namer namer(thread);
    const int32_t model = thread->m_iExtModel, cores = thread->m_iCoresPerPackage;
    if (model == 0x00 || model == 0x01)
        NameOrochi(namer, m_iPackageType, cores);
    else if (model == 0x02)
        NameVishera(namer, m_iPackageType, cores);
    else if (model == 0x10 || model == 0x11)
        NameTrinity(namer, m_iPackageType, cores);
    else if (model == 0x13)
        NameRichland(namer, m_iPackageType, cores, thread->m_iStockClock);
    else if (model >= 0x30 && model <= 0x32)
        NameKaveri(namer, m_iPackageType, cores, thread->m_iStockClock);
    else if (model >= 0x40 && model <= 0x42)
        namer.Naming().Codename("Excavator");
    else if (model >= 0x60 && model <= 0x62)
        namer.Naming().Codename("Carrizo").Technology(0.028f);
}
