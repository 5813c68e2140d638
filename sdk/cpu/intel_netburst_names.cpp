// The names of the NetBurst processors: by extended model, platform ID,
// core count, cache sizes, package and stock clock.
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_netburst.h"

namespace {

enum Subcode : uint32_t {
    kPentium4 = 0x01,
    kMobilePentium4 = 0x02,
    kPentium4HT = 0x03,
    kPentium4EE = 0x04,
    kCeleron = 0x05,
    kCeleronD = 0x06,
    kXeon = 0x07,
    kPentiumD = 0x08,
    kPentiumEE = 0x09,
};

enum Package : int32_t {
    kSocket423 = 0x10016,
    kSocket478 = 0x10017,
    kSocket603 = 0x1001A,
    kSocket604 = 0x1001B,
    kSocket775 = 0x1001C,
    kSocket771 = 0x1001D,
};

// The desktop package of platform ID AND 6: 2 Socket 478, 4 Socket 775.
void DesktopPackage(CCPUThread* thread) {
    if (thread->m_iPlatformId < 0) return;
    const int32_t bits = thread->m_iPlatformId & 6;
    if (bits == 2) thread->m_iPackageCode = kSocket478;
    if (bits == 4) thread->m_iPackageCode = kSocket775;
}

// Celeron D of model 3 (C3) and model 4 (C4), mobile Pentium 4 (M).
const std::initializer_list<ClockNumber> kCeleronD3 = {{2266, 315}, {2400, 320}, {2533, 325}, {2666, 330},
                                                       {2800, 335}, {2933, 340}, {3066, 345}};
const std::initializer_list<ClockNumber> kCeleronD4 = {{2266, 315}, {2400, 320}, {2533, 325}, {2666, 330}, {2800, 335},
                                                       {2933, 340}, {3066, 345}, {3200, 350}, {3333, 355}};
const std::initializer_list<ClockNumber> kMobile = {{2800, 518}, {3066, 532}, {3200, 538},
                                                    {3333, 548}, {3466, 552}, {3600, 558}};

// Desktop Pentium 4 in Socket 775 (P), without 3066 MHz, which depends on
// the model.
int32_t DesktopNumber(int32_t mhz, int32_t bus) {
    if (mhz == 2800) return bus == 133 ? 510 : bus == 200 ? 520 : 0;
    return NumberAt({{2666, 505}, {2933, 515}, {3000, 530}, {3200, 540}, {3400, 550}, {3600, 560}, {3800, 570},
                     {4000, 580}, {4200, 590}},
                    mhz);
}

} // namespace

int Intel_Netburst_Infos::Identify(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_NETBURST);
    if (m_bXeon) name.Name("Intel Xeon", kXeon);
    else if (m_bCeleron) name.Name("Intel Celeron", kCeleron);
    else name.Name("Intel Pentium 4", thread->m_bMobile ? kMobilePentium4 : m_bHyperThreading ? kPentium4HT : kPentium4);
    thread->m_iLinkMultiplier = 4;
    const int32_t pid = thread->m_iPlatformId;
    switch (thread->m_iExtModel) {
    case 0:
    case 1:
        thread->m_fTechnology = 0.18f;
        if (m_bXeon) {
            name.Codename("Foster");
            thread->m_iPackageCode = kSocket603;
        } else {
            name.Codename("Willamette");
            if (pid >= 0 && (pid & 6) == 0) thread->m_iPackageCode = kSocket423;
            else if (pid >= 0 && (pid & 6) == 2) thread->m_iPackageCode = kSocket478;
        }
        name.Stepping(thread->m_iExtModel == 0 ? std::initializer_list<SteppingName>{{2, "A2"}, {7, "B2"}, {10, "C1"}}
                                               : std::initializer_list<SteppingName>{{1, "C0"}, {2, "D0"}, {3, "E0"}});
        break;
    case 2:
        thread->m_fTechnology = 0.13f;
        if (m_bXeon) {
            name.Codename(thread->GetL3Cache() < 1 ? "Prestonia" : "Gallatin");
            thread->m_iPackageCode = kSocket604;
        } else if (thread->GetL3Cache() < 1024) {
            name.Codename("Northwood");
            DesktopPackage(thread);
        } else {
            name.Name("Intel Pentium 4 Extreme Edition", kPentium4EE);
            name.Codename("Gallatin");
            DesktopPackage(thread);
        }
        name.Stepping({{2, "A0"}, {4, "B0"}, {5, "M0"}, {6, "C0"}, {7, "C1"}, {9, "D1"}});
        break;
    case 3: IdentifyPrescott(thread); break;
    case 4: IdentifyModel4(thread); break;
    case 6: IdentifyModel6(thread); break;
    default: break;
    }
    return 1;
}

void Intel_Netburst_Infos::IdentifyPrescott(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_NETBURST);
    thread->m_fTechnology = 0.09f;
    name.Stepping({{3, "C0"}, {4, "D0"}});
    if (thread->m_iPlatformId == 0) {
        m_bXeon = 1;
        name.Name("Intel Xeon", kXeon);
        name.Codename("Nocona");
        thread->m_iPackageCode = kSocket604;
        return;
    }
    name.Codename("Prescott");
    DesktopPackage(thread);
    const int32_t mhz = thread->m_iStockClock;
    if (thread->GetL2Cache() <= 256) {
        m_bCeleron = 1;
        name.Name("Intel Celeron", kCeleronD);
        name.NumberAt(kCeleronD3);
    } else if (thread->m_bMobile) {
        name.NumberAt(kMobile);
    } else if (thread->m_iPackageCode == kSocket775) {
        name.Number(mhz == 3066 ? (m_bHyperThreading ? 524 : 518) : DesktopNumber(mhz, thread->m_iNominalBusClock));
    }
}

void Intel_Netburst_Infos::IdentifyModel4(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_NETBURST);
    thread->m_fTechnology = 0.09f;
    name.Stepping({{1, "E0"}, {2, "G0"}, {3, "N0"}, {4, "A0"}, {7, "B0"}, {8, "A0"}, {9, "G1"}, {10, "R0"}});
    const int32_t pid = thread->m_iPlatformId;
    if (pid == 0 || pid == 1 || pid == 5) {
        m_bXeon = 1;
        name.Name("Intel Xeon", kXeon);
        thread->m_iPackageCode = kSocket604;
    } else {
        DesktopPackage(thread);
    }
    const int32_t l2 = thread->GetL2Cache();
    const int32_t bus = thread->m_iNominalBusClock;
    const bool x86_64 = thread->HasInstructionSet(ISET_X86_64) != 0;
    if (thread->m_iCoresPerPackage == 2) {
        if (m_bXeon) {
            name.Codename("Paxville");
            const int32_t mhz = thread->m_iStockClock;
            name.Number(mhz == 3000 ? (bus == 166 ? 7040 : bus == 200 ? 7041 : 0) : NumberAt({{2666, 7020}, {2800, 7030}}, mhz));
            return;
        }
        if (m_bHyperThreading) {
            name.Name("Intel Pentium Extreme Edition", kPentiumEE);
            GetBrandStockClock(thread);
        } else {
            name.Name("Intel Pentium D", kPentiumD);
        }
        name.Codename("SmithField");
        name.NumberAt({{2666, 805}, {2800, 820}, {3000, 830}, {3200, 840}, {3400, 850}, {3600, 860}, {3800, 870},
                       {4000, 880}, {4200, 890}});
        return;
    }
    if (thread->m_iCoresPerPackage != 1) return;
    if (m_bXeon) {
        if (thread->GetL3Cache() != 0) name.Codename("Potomac");
        else if (l2 >= 2048) name.Codename("Irwindale");
        else name.Codename(pid == 0 ? "Nocona" : "Cranford");
        return;
    }
    name.Codename("Prescott");
    const int32_t mhz = thread->m_iStockClock;
    if (l2 <= 256) {
        m_bCeleron = 1;
        name.Name("Intel Celeron", kCeleronD);
        const int32_t number = NumberAt(kCeleronD4, mhz);
        name.Number(number && x86_64 && number != 355 ? number + 1 : number);
    } else if (bus == 266) {
        name.Name("Intel Pentium 4 Extreme Edition", kPentium4EE);
    } else if (thread->m_bMobile) {
        name.NumberAt(kMobile);
    } else if (thread->m_iPackageCode == kSocket775) {
        if (mhz == 3066) {
            name.Append(m_bHyperThreading ? " 524" : x86_64 ? " 519K" : " 519");
            return;
        }
        int32_t number = DesktopNumber(mhz, bus);
        if (number && l2 == 2048) {
            number += thread->m_bVirtualization ? 102 : 100;
            m_bHyperThreading = 1;
            thread->m_iLogicalPerPackage = 2;
            name.Subcode(kPentium4HT);
        } else if (number && x86_64) {
            number += bus == 133 && m_bHyperThreading ? 2 : 1;
        }
        name.Number(number);
    }
}

void Intel_Netburst_Infos::IdentifyModel6(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_NETBURST);
    thread->m_fTechnology = 0.065f;
    name.Stepping({{2, "B1"}, {4, "C1"}, {5, "D0"}, {6, "A0"}, {8, "B0"}});
    switch (thread->m_iPlatformId) {
    case 0:
        m_bXeon = 1;
        name.Name("Intel Xeon DP", kXeon);
        thread->m_iPackageCode = kSocket771;
        break;
    case 1:
    case 5:
        m_bXeon = m_bXeonMP = 1;
        name.Name("Intel Xeon MP", kXeon);
        thread->m_iPackageCode = kSocket604;
        break;
    case 2: thread->m_iPackageCode = kSocket775; break;
    default: break;
    }
    const bool vt = thread->m_bVirtualization != 0;
    if (m_bXeon) {
        const int32_t mhz = thread->m_iStockClock;
        if (thread->m_iStepping < 6) {
            name.Codename("Dempsey");
            name.NumberAt({{2500, 5020}, {2666, 5030}, {2833, 5040}, {3000, 5050}, {3200, 5060}, {3466, 5070}, {3733, 5080}});
            return;
        }
        name.Codename("Tulsa");
        const int32_t bus = thread->m_iNominalBusClock;
        if (mhz == 3000) name.Append(bus == 166 ? " 7120N" : bus == 200 ? " 7120M" : nullptr);
        name.AppendAt({{2533, " 7110N"}, {2600, " 7110M"}, {3166, " 7130N"}, {3200, " 7130M"}, {3333, " 7140N"},
                       {3400, " 7140M"}});
        return;
    }
    if (thread->m_iCoresPerPackage == 1) {
        name.Codename("Cedar Mill");
        if (thread->GetL2Cache() <= 512) {
            m_bCeleron = 1;
            name.Name("Intel Celeron", kCeleronD);
            name.NumberAt({{3066, 347}, {3200, 352}, {3333, 356}, {3466, 360}, {3600, 365}});
        } else if (thread->m_iPackageCode == kSocket775) {
            name.NumberAt({{3000, 631}, {3200, 641}, {3400, 651}, {3600, 661}, {3800, 671}, {4000, 681}, {4200, 691}});
        }
    } else if (thread->m_iCoresPerPackage == 2) {
        if (m_bHyperThreading) {
            name.Name("Intel Pentium Extreme Edition", kPentiumEE);
            GetBrandStockClock(thread);
        } else {
            name.Name("Intel Pentium D", kPentiumD);
        }
        name.Codename("Presler");
        name.NumberAt({{2800, vt ? 920 : 915}, {3000, vt ? 930 : 925}, {3200, vt ? 940 : 935}, {3400, vt ? 950 : 945},
                       {3600, 960}, {3800, 970}, {4000, 980}, {4200, 990}});
    }
}
