// The names of the 45 nm Core 2 processors (extended model 0x17): mobile
// Penryn, desktop Wolfdale and Yorkfield, their Xeon siblings and the
// server Wolfdale-DP and Harpertown.
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_core2.h"
#include "sdk/cpu/intel_core2_naming.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

namespace {

using namespace core2_naming;

constexpr int32_t kSocket771 = 0x1001D;
constexpr int32_t kLowPowerTdp = 65;  // watts: the "S" parts

void NameMobilePenryn(CCPUThread* thread, const Facts& f, LegacyNamer& name) {
    const bool eist = HasEnhancedSpeedStep(thread);
    const bool one = f.cores == 1, two = f.cores == 2, four = f.cores == 4;
    const int32_t l2 = f.l2;
    name.Codename("Penryn");
    if (four) name.Name("Intel Mobile Core 2 Quad", kQuad);
    else if (two && l2 == 1024) name.Name(eist ? "Intel Pentium" : "Intel Celeron M", eist ? kPentium : kCeleronDual);
    else if (two) name.Name("Intel Mobile Core 2 Duo", kDuo);
    else if (one) name.Name("Intel Mobile Core 2 Solo", kSolo);
    auto pentium = [&](const char* suffix) {
        name.Name("Intel Pentium", kPentium);
        name.Append(suffix);
    };
    auto celeron = [&](const char* suffix) {
        name.Name("Intel Celeron", kCeleronDual);
        name.Append(suffix);
    };
    auto extreme = [&](const char* suffix) {
        if (f.xe) name.Name("Intel Core 2 Extreme", kExtreme);
        name.Append(suffix);
    };
    switch (f.mhz) {
    case 1200:
        if (one && l2 == 1024) name.Name("Intel Celeron 723", kCeleronSingle);
        else if (one && l2 == 3072) name.Append(" SU3300");
        else if (two && l2 == 1024) name.Name("Intel Celeron SU2300", kCeleronSingle);
        else if (two && l2 == 3072) name.Append(" SU9300");
        break;
    case 1300:
        if (one && l2 == 1024) name.Name("Intel Celeron 743", kCeleronSingle);
        else if (one && l2 == 2048) pentium(" SU2700");
        else if (two && l2 == 2048) pentium(" SU4100");
        else if (two && l2 == 3072) name.Append(" SU7300");
        break;
    case 1400:
        if (one) name.Append(" SU3500");
        else if (two && l2 == 2048) pentium(" SU2800");
        else if (two && l2 == 3072) name.Append(" SU9400");
        break;
    case 1600: name.Append(FirstOf({{l2 == 3072, " SU9600"}, {l2 == 6144, " SL9300"}})); break;
    case 1733: name.Append(" T7400"); break;
    case 1866: name.Append(" SL9400"); break;
    case 1800: celeron(" T3000"); break;
    case 1900: celeron(" T3100"); break;
    case 2000:
        if (four) name.Append(" Q9000");
        else if (l2 == 1024) eist ? pentium(" T4200") : celeron(" T3300");
        else name.Append(FirstOf({{l2 == 2048, " T6400"}, {l2 == 3072, " P7350"}}));
        break;
    case 2100:
        if (!two) break;
        if (l2 == 1024) eist ? pentium(" T4300") : celeron(" T3500");
        else if (l2 == 2048) name.Append(name.BrandHas("T6500") ? " T6500" : " T6570");
        else if (l2 == 3072) name.Append(" T8100");
        break;
    case 2133:
        if (two && l2 == 3072) name.Append(" P7450");
        break;
    case 2200:
        if (one && l2 == 1024) {
            name.Name("Intel Celeron", kCeleronSingle);
            name.Append(" 900");
        } else if (two && l2 == 1024) {
            pentium(" T4400");
        } else if (two && l2 == 2048) {
            name.Append(name.BrandHas("T6600") ? " T6600" : " T6670");
        }
        break;
    case 2266:
        if (four) extreme(f.xe ? " QX9100" : " Q9100");
        else if (l2 == 3072 && name.BrandHas("P75")) name.Append(f.vt ? " P7570" : " P7550");
        else name.Append(FirstOf({{l2 == 3072, " P8400"}, {l2 == 6144, " SP9300"}}));
        break;
    case 2300:
        if (one && l2 == 1024) name.Name("Intel Celeron 925", kCeleronSingle);
        else if (two && l2 == 1024) pentium(" T4500");
        else if (two && l2 == 2048) name.Append(" T6700");
        break;
    case 2400:
        if (four) extreme(" QX9200");
        else if (l2 == 2048) name.Append(f.vt ? " T6870" : " T6800");
        else if (l2 == 3072 && name.BrandHas("P76")) name.Append(f.vt ? " P7670" : " P7650");
        else if (l2 == 3072) name.Append(FirstOf({{f.bus == 200, " T8300"}, {f.bus == 266, " P8600"}}));
        else if (l2 == 6144) name.Append(" SP9400");
        break;
    case 2500:
        if (l2 == 2048) name.Append(f.vt ? " T6970" : " T6900");
        else if (l2 == 6144) name.Append(" T9300");
        break;
    case 2533:
        if (four) extreme(" QX9300");
        else if (l2 == 3072) name.Append(" P8700");
        else if (l2 == 6144)
            name.Append(FirstOf({{name.BrandHas("P9500"), " P9500"}, {name.BrandHas("SP9600"), " SP9600"}, {true, " T9400"}}));
        break;
    case 2600: name.Append(" T9500"); break;
    case 2666:
        if (l2 == 3072) name.Append(" P8800");
        else if (l2 == 6144 && !f.xe)
            name.Append(FirstOf({{name.BrandHas("P9600"), " P9600"}, {name.BrandHas("E8135"), " E8135"}, {true, " T9550"}}));
        break;
    case 2800:
        if (f.xe) extreme(" X9000");
        else name.Append(FirstOf({{name.BrandHas("P9700"), " P9700"}, {name.BrandHas("E8235"), " E8235"}, {true, " T9600"}}));
        break;
    case 3066: f.xe ? extreme(" X9100") : name.Append(" T9900"); break;
    default: break;
    }
}

void NameXeonByBrand(const Facts& f, LegacyNamer& name) {
    name.Name("Intel Xeon", kXeon);
    if (f.cores == 2) {
        name.Codename("Wolfdale");
        name.AppendAt({{3000, " E3110"}, {3166, " E3120"}});
    } else if (f.cores == 4) {
        name.Codename("Yorkfield");
        name.AppendAt({{2500, " X3320"}, {2833, " X3360"}, {3000, " X3370"}});
        if (f.mhz == 2666) name.Append(FirstOf({{f.l2 == 3072, " X3330"}, {f.l2 == 6144, " X3350"}}));
    }
}

void NameWolfdale(CCPUThread* thread, const Facts& f, LegacyNamer& name) {
    name.Codename("Wolfdale");
    const bool bus200 = f.bus == 200, bus266 = f.bus == 266;
    if (f.l2 == 1024) {
        name.Name("Intel Celeron", kCeleronDual);
        if (f.mhz == 2200) name.Name("Intel Pentium E2210", kPentium);
        name.AppendAt({{2400, " E3200"}, {2500, " E3300"}, {2600, " E3400"}, {2700, " E3500"}, {3400, " E3900"}});
    } else if (f.l2 == 2048) {
        name.Name("Intel Pentium", kPentium);
        name.AppendAt({{2500, " E5200"}, {2600, " E5300"}, {2700, " E5400"}, {3066, " E6600"}, {3333, " E6800"},
                       {3400, " E6900"}});
        if (f.mhz == 2800) name.Append(FirstOf({{bus200, " E5500"}, {bus266, " E6300"}}));
        if (f.mhz == 2933) name.Append(f.xe ? " E6500K" : " E6500");
        if (f.mhz == 3000 && bus200) name.Append(" E5700");
        if (f.mhz == 3200) name.Append(FirstOf({{bus200, " E5800"}, {bus266, " E6700"}}));
    } else {
        name.Name("Intel Core 2 Duo", kDuo);
        const bool l2_3m = f.l2 == 3072, l2_6m = f.l2 == 6144;
        const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
        const bool smx = !vendor || (thread->m_dwFeatures[0] & (1u << 6));
        name.AppendAt({{2833, " E8300"}, {3000, " E8400"}, {3166, " E8500"}, {3333, " E8600"}, {3500, " E8700"}});
        switch (f.mhz) {
        case 2000: name.Append(FirstOf({{l2_3m, " P7350"}})); break;
        case 2333: name.Append(FirstOf({{l2_6m, " E8100"}})); break;
        case 2533: name.Append(FirstOf({{l2_3m, " E7200"}})); break;
        case 2666: name.Append(FirstOf({{l2_3m, " E7300"}, {l2_6m, smx ? " E8200" : " E8190"}})); break;
        case 2800: name.Append(FirstOf({{l2_3m, " E7400"}})); break;
        case 2933: name.Append(FirstOf({{l2_3m, " E7500"}})); break;
        case 3066: name.Append(FirstOf({{l2_3m, " E7600"}, {l2_6m, " E8435"}})); break;
        default: break;
        }
    }
}

void NameYorkfield(CCPUThread* thread, const Facts& f, LegacyNamer& name) {
    name.Codename("Yorkfield");
    const MSR_Register* config = thread->GetMSR(intel_legacy_msr::kExtendedConfig);
    if (config && (config->m_dwLow & 1)) {
        if (f.mhz == 3200) {
            name.Name("Intel Core 2 Extreme QX9775", kExtreme);
            thread->m_iPackageCode = kSocket771;
        }
        return;
    }
    name.Name(f.xe ? "Intel Core 2 Extreme" : "Intel Core 2 Quad", f.xe ? kExtreme : kQuad);
    const bool l2_1m = f.l2 == 1024, l2_2m = f.l2 == 2048, l2_3m = f.l2 == 3072, l2_6m = f.l2 == 6144;
    switch (f.mhz) {
    case 2333: name.Append(FirstOf({{l2_2m, " Q8200"}, {l2_3m, " Q9100"}})); break;
    case 2500: name.Append(FirstOf({{l2_2m, " Q8300"}, {l2_3m, " Q9300"}})); break;
    case 2666: name.Append(FirstOf({{l2_2m, " Q8400"}, {l2_3m, " Q9400"}, {l2_6m, " Q9450"}})); break;
    case 2700: name.Append(FirstOf({{l2_1m, " Q7600"}})); break;
    case 2833:
        name.Append(FirstOf({{l2_3m && name.BrandHas("Q9505"), " Q9505"}, {l2_3m, " Q9500"}, {l2_6m, " Q9550"}}));
        break;
    case 3000: name.Append(f.xe ? " QX9650" : " Q9650"); break;
    case 3200: name.Append(FirstOf({{f.xe, " QX9770"}})); break;
    default: break;
    }
    const bool lowPowerClock = f.mhz == 2333 || f.mhz == 2666 || f.mhz == 2833;
    if (lowPowerClock && static_cast<int32_t>(thread->m_fTDP) == kLowPowerTdp) name.Append("S");
}

void NameServerPenryn(const Facts& f, LegacyNamer& name) {
    name.Name("Intel Xeon", kXeon);
    if (f.cores == 2) {
        name.Codename("Wolfdale-DP");
        name.AppendAt({{1866, " E5205"}, {3333, " E5260"}, {3400, " E5272"}, {3500, " X5270"}});
    } else if (f.cores == 4) {
        name.Codename("Harpertown");
        auto lowVoltage = [&](const char* low, const char* standard) { return name.BrandHas(low + 1) ? low : standard; };
        name.AppendAt({{2000, " E5405"}, {2333, lowVoltage(" L5410", " E5410")}, {2500, lowVoltage(" L5420", " E5420")},
                       {2666, lowVoltage(" L5430", " E5430")}, {2800, " E5462"}, {2833, " E5440"}, {3166, " X5460"},
                       {3333, " X5470"}});
        if (f.mhz == 3000) name.Append(FirstOf({{f.bus == 333, " E5450"}, {f.bus == 400, " E5472"}}));
    }
}

} // namespace

void Intel_Core_2_Infos::IdentifyPenryn(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_CORE_2);
    const Facts f = FactsOf(thread, m_bExtremeEdition);
    thread->m_fTechnology = 0.045f;
    if (m_bServerSocket) {
        NameServerPenryn(f, name);
    } else if (f.mobile) {
        NameMobilePenryn(thread, f, name);
    } else if (name.BrandHas("Xeon")) {
        m_bServerSocket = 1;
        NameXeonByBrand(f, name);
    } else if (f.cores == 2) {
        NameWolfdale(thread, f, name);
    } else if (f.cores == 4) {
        NameYorkfield(thread, f, name);
    }
    const int32_t l2 = f.l2;
    const bool small = l2 == 2048 || l2 == 3072, large = l2 == 6144;
    switch (thread->m_iStepping) {
    case 4: name.Stepping({{4, "B1"}}); break;
    case 6: name.Stepping({{6, small ? "M0" : large ? "C0" : nullptr}}); break;
    case 7: name.Stepping({{7, small ? "M1" : large ? "C1" : nullptr}}); break;
    case 10: name.Stepping({{10, (small || l2 == 1024) ? "R0" : large ? "E0" : nullptr}}); break;
    default: break;
    }
}
