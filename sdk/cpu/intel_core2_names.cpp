// The names of the Core 2 processors of extended models 0x0F, 0x15, 0x16
// and 0x1D (0x17 in intel_core2_penryn_names.cpp): by core count, level-2
// (or level-3) cache, mobile and server flags and the stock clock.
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/cpu/intel_core2.h"
#include "sdk/cpu/intel_core2_naming.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

namespace core2_naming {

Facts FactsOf(CCPUThread* thread, int32_t extremeEdition) {
    return {thread->m_iCoresPerPackage, thread->GetL2Cache(), thread->GetL3Cache(), thread->m_iNominalBusClock,
            thread->m_iStockClock,      thread->m_bMobile != 0, extremeEdition != 0,  thread->m_bVirtualization != 0};
}

} // namespace core2_naming

namespace {

using namespace core2_naming;

constexpr uint32_t kSafeModeExtensionsBit = 1u << 6;  // CPUID 1 ECX
constexpr int32_t kTigertonDualCoreCode = 1;          // MSR 0xEE bits 2:1

// The suffixes of the mobile Merom dual and single cores; `dual` admits
// the rows only dual cores have.
const char* MeromSuffix(const Facts& f, bool dual, LegacyNamer& name) {
    const bool l2_2m = f.l2 == 2048, l2_4m = f.l2 == 4096;
    switch (f.mhz) {
    case 1066: return dual && l2_2m ? " U7500" : nullptr;
    case 1200: return dual ? FirstOf({{l2_2m, " U7600"}, {l2_4m, " L7100"}}) : nullptr;
    case 1333: return dual ? FirstOf({{l2_2m, " U7700"}, {l2_4m, " L7200"}}) : nullptr;
    case 1400: return FirstOf({{l2_2m, " T5270"}, {l2_4m, " L7300"}});
    case 1500: return dual ? FirstOf({{l2_2m, " T5250"}, {l2_4m, " L7400"}}) : nullptr;
    case 1600: return FirstOf({{f.bus == 133, " T5200"}, {f.bus == 200 && l2_2m, " T5470"}, {f.bus == 200 && l2_4m, " L7500"}});
    case 1666: return FirstOf({{l2_2m, " T5500"}, {l2_4m, " T5500P"}});
    case 1800: return name.BrandHas("T7100") ? " T7100" : " T5670";
    case 1833: return f.vt ? " T5600" : " T5550";
    case 2000:
        if (f.bus == 166) return FirstOf({{l2_2m, " T5750"}, {l2_4m, " T7200"}});
        if (f.bus != 200) return nullptr;
        if (l2_4m) return " T7300";
        if (!l2_2m) return nullptr;
        return FirstOf({{name.BrandHas("T5870"), " T5870"}, {name.BrandHas("T5800"), " T5800"}, {true, " T7250"}});
    case 2166: return FirstOf({{l2_2m, " T5850"}, {l2_4m, " T7400"}});
    case 2200: return " T7500";
    case 2333: return f.xe ? " T7600G" : " T7600";
    case 2400: return " T7700";
    case 2600:
    case 2800:
        if (f.xe) {
            name.Codename("Merom XE");
            name.Subcode(kExtreme);
            return f.mhz == 2600 ? " X7800" : " X7900";
        }
        return f.mhz == 2600 ? " T7800" : nullptr;
    default: return nullptr;
    }
}

} // namespace

int Intel_Core_2_Infos::Identify(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_CORE_2);
    name.Name("Intel Core 2", 0);
    thread->m_iLinkMultiplier = 4;
    switch (thread->m_iExtModel) {
    case 0x0F: IdentifyMerom(thread); break;
    case 0x15:
        name.Name("Intel LE80578", 0);
        name.Codename("Vermillion");
        break;
    case 0x16: IdentifyConroeL(thread); break;
    case 0x17: IdentifyPenryn(thread); break;
    case 0x1D: IdentifyDunnington(thread); break;
    default: break;
    }
    return 1;
}


void Intel_Core_2_Infos::IdentifyMerom(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_CORE_2);
    const Facts f = FactsOf(thread, m_bExtremeEdition);
    thread->m_fTechnology = 0.065f;
    name.Stepping({{1, "A1"}, {2, "L2"}, {4, "B0"}, {5, "B1"}, {6, "B2"}, {7, "B3"}, {9, "E0"}, {10, "E1"}, {11, "G0"},
                   {13, "M0"}});
    if (f.cores == 1 && f.mobile) {
        if (Is(f.l2, {512, 1024})) {
            name.Name("Intel Celeron M", kCeleronSingle);
            name.Codename("Merom");
            name.NumberAt({{1600, 520}, {1733, 530}, {2166, 585}});
        } else {
            name.Name("Intel Mobile Core 2 Duo", kDuo);
            name.Codename("Merom");
            name.Append(MeromSuffix(f, false, name));
        }
    } else if (f.cores == 2 && f.mobile) {
        if (f.l2 == 512) {
            name.Name("Intel Celeron", kCeleronDual);
            name.AppendAt({{1733, " T1400"}, {1866, " T1500"}});
        } else if (f.l2 == 1024) {
            name.Name("Intel Pentium", kPentium);
            name.Codename("Merom");
            if (f.mhz == 1666 || f.mhz == 1833) name.Name("Intel Celeron", kCeleronDual);
            name.AppendAt({{1466, " T2310"}, {1600, " T2330"}, {1733, " T2370"}, {1866, " T2390"}, {2000, " T3200"},
                           {2166, " T3400"}, {1666, " T1600"}, {1833, " T1700"}});
        } else if (Is(f.l2, {2048, 4096})) {
            name.Name("Intel Mobile Core 2 Duo", kDuo);
            name.Codename("Merom");
            name.Append(MeromSuffix(f, true, name));
        }
    } else if (f.cores == 2 && !m_bServerSocket) {
        name.Name("Intel Core 2 Duo", kDuo);
        name.Codename("Conroe");
        if (name.BrandHas("Xeon")) {
            name.Name("Intel Xeon", kXeon);
            m_bServerSocket = 1;
            name.NumberAt({{1866, 3040}, {2133, 3050}, {2400, 3060}});
            if (f.mhz == 2666) name.Number(f.bus == 266 ? 3070 : f.bus == 333 ? 3075 : 0);
        } else if (name.BrandHas("X6")) {
            name.Name("Intel Core 2 Extreme", kExtreme);
            name.AppendAt({{2933, " X6800"}, {3200, " X6900"}});
        } else if (f.l2 == 512) {
            name.Name("Intel Celeron", kCeleronDual);
            name.AppendAt({{1600, " E1200"}, {2000, " E1400"}, {2200, " E1500"}, {2400, " E1600"}});
        } else if (f.l2 == 1024 && f.bus == 166) {
            name.Name("Intel Celeron", kCeleronDual);
            name.AppendAt({{1600, " T1600"}, {1833, " T1700"}});
        } else if (f.l2 == 1024) {
            name.Name("Intel Pentium", kPentium);
            if (f.mhz == 1600) name.Append(FirstOf({{f.bus == 133, " T2060"}, {f.bus == 200, " E2140"}}));
            name.AppendAt({{1733, " T2080"}, {1800, " E2160"}, {1866, " T2130"}, {2000, " E2180"}, {2200, " E2200"},
                           {2400, " E2220"}});
        } else if (Is(f.l2, {2048, 4096})) {
            const bool l2_2m = f.l2 == 2048, l2_4m = f.l2 == 4096, bus200 = f.bus == 200;
            const bool later = thread->m_iStepping != 1;
            const bool smx = !thread->m_pVendorInfos || (thread->m_dwFeatures[0] & kSafeModeExtensionsBit);
            switch (f.mhz) {
            case 1600: name.Append(FirstOf({{bus200, " E4200"}, {f.bus == 266, " E6200"}})); break;
            case 1800: name.Append(FirstOf({{l2_2m && bus200, " E4300"}})); break;
            case 1866: name.Append(l2_4m && later ? " E6320" : " E6300"); break;
            case 2000: name.Append(FirstOf({{l2_2m && bus200, " E4400"}})); break;
            case 2133: name.Append(l2_4m && later ? " E6420" : " E6400"); break;
            case 2200: name.Append(FirstOf({{l2_2m && bus200, " E4500"}})); break;
            case 2333: name.Append(smx ? " E6550" : " E6540"); break;
            case 2400: name.Append(FirstOf({{l2_2m && bus200, " E4600"}, {l2_2m, " E6500"}, {l2_4m, " E6600"}})); break;
            case 2600: name.Append(FirstOf({{l2_2m && bus200, " E4700"}})); break;
            case 2666: name.Append(FirstOf({{f.bus == 266, " E6700"}, {f.bus == 333, " E6750"}})); break;
            default: name.AppendAt({{2933, " E6800"}, {3000, " E6850"}, {3200, " E6900"}}); break;
            }
        }
    } else if (f.cores == 2) {
        name.Name("Intel Xeon", kXeon);
        name.Codename("Woodcrest");
        const bool lowVoltage = m_pFIDVID && m_pFIDVID->m_iMaxVID != -1 && m_pFIDVID->m_iMaxVID < 0x21;
        name.NumberAt({{1600, 5110}, {1866, 5120}, {2000, 5130}, {2333, lowVoltage ? 5148 : 5140}, {2666, 5150},
                       {3000, 5160}});
    } else if (f.cores == 4 && m_bServerSocket) {
        name.Name("Intel Xeon", kXeon);
        if (!(thread->m_iPlatformId & 1)) {
            name.Codename("Clovertown");
            name.AppendAt({{1600, " E5310"}, {1866, " E5320"}, {2000, " E5335"}, {2133, " E5330"}, {2333, " E5345"},
                           {2400, " X5340"}, {3000, " X5365"}});
            if (f.mhz == 2666) name.Append(FirstOf({{f.bus == 266, " X5350"}, {f.bus == 333, " X5355"}}));
        } else {
            name.Codename("Tigerton");
            const MSR_Register* config = thread->GetMSR(intel_legacy_msr::kExtendedConfig);
            const bool dual = config && Bits64(config->m_dwLow, 2, 1) == kTigertonDualCoreCode;
            if (dual) {
                if (thread->m_iCoresPerPackage == 4) thread->m_iCoresPerPackage = 2;
                if (thread->m_iLogicalPerPackage == 4) thread->m_iLogicalPerPackage = 2;
            }
            name.AppendAt({{1600, " E7310"}, {1866, " L7345"}, {2133, " E7320"}});
            if (f.mhz == 2400) name.Append(FirstOf({{dual, " E7210"}, {f.l2 == 3072, " E7330"}, {f.l2 == 4096, " E7340"}}));
            if (f.mhz == 2933) name.Append(dual ? " E7220" : " X7350");
        }
    } else if (f.cores == 4) {
        name.Codename("Kentsfield");
        if (name.BrandHas("Xeon")) {
            name.Name("Intel Xeon", kXeon);
            m_bServerSocket = 1;
            name.AppendAt({{2133, " X3210"}, {2400, " X3220"}, {2666, " X3230"}});
        } else {
            const bool extreme = name.BrandHas("QX") || f.xe;
            name.Name(extreme ? "Intel Core 2 Extreme" : "Intel Core 2 Quad", extreme ? kExtreme : kQuad);
            name.AppendAt({{1600, " Q6200"}, {1866, " Q6300"}, {2133, " Q6400"}, {2400, " Q6600"},
                           {2666, extreme ? " QX6700" : " Q6700"}, {2933, " QX6800"},
                           {3000, extreme ? " QX6850" : " Q6850"}, {3200, " QX6900"}});
        }
    }
}

void Intel_Core_2_Infos::IdentifyConroeL(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_CORE_2);
    const Facts f = FactsOf(thread, m_bExtremeEdition);
    thread->m_fTechnology = 0.065f;
    name.Stepping({{0, "A0"}, {1, "A1"}});
    if (f.cores == 1 && f.l2 == 512) {
        name.Name("Intel Celeron", kCeleronSingle);
        name.Codename("Conroe-L");
        name.NumberAt({{1200, 220}, {1600, 420}, {1800, 430}, {2000, 440}, {2200, 450}, {2400, 460}});
    } else if (f.cores == 1 && f.l2 == 1024) {
        name.Name(f.mobile ? "Intel Celeron M" : "Intel Celeron", kCeleronSingle);
        name.Codename("Conroe-L");
        name.NumberAt({{1600, 520}, {1733, 530}, {1866, 540}, {2000, 550}, {2133, 560}});
    } else if (f.cores == 2 && f.l2 == 1024) {
        name.Name("Intel Pentium", kPentium);
        name.Codename("Conroe-L");
        if (f.mobile) {
            name.AppendAt({{1466, " T2310"}, {1600, " T2330"}, {1733, " T2370"}});
        } else {
            if (f.mhz == 1600) name.Append(FirstOf({{f.bus == 133, " T2060"}, {f.bus == 200, " E2140"}}));
            name.AppendAt({{1733, " T2080"}, {1800, " E2160"}, {1866, " T2130"}, {2000, " E2180"}, {2400, " E2220"}});
        }
    } else if (f.cores == 2 && f.l2 == 2048) {
        name.Codename("Conroe");
    }
}

void Intel_Core_2_Infos::IdentifyDunnington(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_CORE_2);
    thread->m_fTechnology = 0.045f;
    name.Name("Intel Xeon", kXeon);
    name.Codename("Dunnington");
    name.Stepping({{0, "A0"}, {1, "A1"}});
    const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
    const int32_t k = vendor ? vendor->m_iCoresPerPackage : -1;
    const int32_t l3 = thread->GetL3Cache();
    switch (thread->m_iStockClock) {
    case 2133: name.Append(FirstOf({{k == 4 && l3 == 8192, " E7420"}, {k == 4 && l3 == 12288, " E7430"},
                                    {k == 6 && l3 == 12288, " L7455"}}));
        break;
    case 2400: name.Append(FirstOf({{k == 4 && l3 == 16384, " E7440"}, {k == 6 && l3 == 12288, " E7450"}})); break;
    case 2666: name.Append(FirstOf({{k == 6 && l3 == 16384, " X7460"}})); break;
    default: break;
    }
}
