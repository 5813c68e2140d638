// The names of the P6 processors: by model, stepping, level-2 cache, brand
// ID and platform ID.
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/intel_legacy_bodies.h"
#include "sdk/cpu/intel_p6.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/cpu/msr_register.h"

namespace {

enum Subcode : uint32_t {
    kPentiumPro = 0x01,
    kPentiumII = 0x02,
    kMobilePentiumII = 0x03,
    kCeleron = 0x04,
    kPentiumIIXeon = 0x05,
    kPentiumIII = 0x06,
    kPentiumIIIM = 0x07,
    kPentiumIIIS = 0x08,
    kCeleronIII = 0x09,
    kPentiumIIIXeon = 0x0A,
};

enum Package : int32_t {
    kSocket8 = 0x10005,
    kSocket370PPGA = 0x1000E,
    kSocket370FCPGA = 0x1000F,
    kSocket370FCPGA2 = 0x10010,
    kNanoBGA2 = 0x10014,
    kSlot1SECC = 0x20001,
    kSlot1SECC2 = 0x20002,
    kSlot1SEPP = 0x20003,
    kSlot2SECC = 0x20004,
    kMobileCartridge = 0x20005,
    kMobileModule = 0x20006,
};

constexpr uint32_t kNoLevel2Bit = 23;  // BBL_CR_CTL3 (0x11E): the L2 is not present
constexpr int32_t kOverDriveType = 1;   // CPUID 1 EAX 13:12

} // namespace

int Intel_P6_Infos::Identify(CCPUThread* thread) {
    LegacyNamer name(thread, CPU_CLASS_INTEL_P6);
    const int32_t l2 = thread->GetL2Cache();
    const bool mobile = thread->m_bMobile != 0;
    switch (thread->m_iExtModel) {
    case 1:
        name.Name("Intel Pentium Pro", kPentiumPro);
        name.Codename("P6");
        thread->m_iPackageCode = kSocket8;
        name.Stepping({{1, "B0"}, {2, "C0"}, {6, "sA0"}, {7, "sA1"}, {9, "sB1"}});
        if (thread->m_iStepping == 1 || thread->m_iStepping == 2) thread->m_fTechnology = 0.5f;
        if (thread->m_iStepping == 6 || thread->m_iStepping == 7 || thread->m_iStepping == 9) thread->m_fTechnology = 0.35f;
        break;
    case 3: {
        name.Name("Intel Pentium II", kPentiumII);
        name.Codename("Klamath");
        thread->m_fTechnology = 0.35f;
        thread->m_iPackageCode = kSlot1SECC;
        const Intel_CPU_Infos* vendor = IntelVendorOf(thread);
        if (vendor && vendor->m_iProcessorType == kOverDriveType) {
            name.Name("Intel Pentium II Overdrive");
            thread->m_iPackageCode = kSocket8;
        }
        name.Stepping({{2, "tdB0"}, {3, "C0"}, {4, "C1"}});
        break;
    }
    case 5: {
        name.Name("Intel Pentium II", kPentiumII);
        thread->m_fTechnology = 0.25f;
        name.Stepping({{0, "dA0"}, {1, "dA1"}, {2, "dB0"}, {3, "dB1"}});
        const MSR_Register* control = thread->GetMSR(intel_legacy_msr::kL2ControlRegister);
        if (control && Bits64(control->m_dwLow, kNoLevel2Bit, kNoLevel2Bit)) {
            name.Name("Intel Celeron", kCeleron);
            name.Codename("Covington");
            thread->m_iPackageCode = kSlot1SEPP;
        } else if (l2 == 0 || l2 == 256 || l2 == 512) {
            if (mobile) {
                name.Name("Intel Mobile Pentium II");
                name.Codename("Tonga");
            } else if (!m_iPlatformBit1) {
                name.Name("Intel Pentium II");
                name.Codename("Deschutes");
                thread->m_iPackageCode = kSlot1SECC;
            } else {
                name.Name("Intel Pentium II Xeon", kPentiumIIXeon);
            }
        } else if (l2 == 1024 || l2 == 2048) {
            name.Name("Intel Pentium II Xeon", kPentiumIIXeon);
            name.Codename("Drake");
        }
        break;
    }
    case 6:
        name.Name("Intel Pentium II", kPentiumII);
        thread->m_fTechnology = 0.25f;
        if (thread->m_iStepping == 0 || thread->m_iStepping == 5) {
            name.Name("Intel Celeron", kCeleron);
            name.Codename("Mendocino");
            name.Stepping({{0, "mA0"}, {5, "mB0"}});
        } else if (thread->m_iStepping >= 10 && l2 > 128) {
            name.Name("Intel Mobile Pentium II", kMobilePentiumII);
            name.Codename("Dixon");
            name.Stepping({{thread->m_iStepping, "dmmA0"}});
        } else if (thread->m_iStepping >= 10) {
            name.Name("Intel Mobile Celeron", kCeleron);
            name.Codename("Dixon");
            name.Stepping({{thread->m_iStepping, "dpcA0"}});
            thread->m_iPackageCode = kNanoBGA2;
        }
        break;
    case 7:
        thread->m_fTechnology = 0.25f;
        if (l2 > 512 || m_iPlatformBit1) {
            name.Name("Intel Pentium III Xeon", kPentiumIIIXeon);
            name.Codename("Tanner");
        } else {
            name.Name("Intel Pentium III", kPentiumIII);
            name.Codename("Katmai");
        }
        name.Stepping({{2, "kB0"}, {3, "kC0"}});
        if (thread->m_iStepping == 3 && thread->m_iNominalBusClock == 66) thread->m_iNominalBusClock = 100;
        break;
    case 8:
        thread->m_fTechnology = 0.18f;
        name.Name("Intel Pentium III", kPentiumIII);
        switch (thread->m_iBrandId) {
        case 1: name.Name("Intel Celeron", kCeleronIII); name.Codename("Coppermine"); break;
        case 2: name.Name("Intel Pentium III E"); name.Codename("Coppermine"); break;
        case 3: name.Name("Intel Pentium III Xeon", kPentiumIIIXeon); name.Codename("Cascades"); break;
        default: break;
        }
        name.Stepping({{1, "cA2"}, {3, "cB0"}, {6, "cC0"}, {10, "cD0"}});
        break;
    case 10:
        thread->m_fTechnology = 0.18f;
        name.Name("Intel Pentium III Xeon", kPentiumIIIXeon);
        name.Codename("Cascades");
        thread->m_iPackageCode = kSlot2SECC;
        name.Stepping({{0, "A0"}, {1, "A1"}, {2, "A2"}});
        break;
    case 11:
        thread->m_fTechnology = 0.13f;
        name.Name("Intel Pentium III", kPentiumIII);
        name.Codename("Tualatin");
        switch (thread->m_iBrandId) {
        case 1:
        case 3: name.Name("Intel Celeron", kCeleronIII); break;
        case 2: name.Name("Intel Pentium III EB"); break;
        case 4: name.Name("Intel Pentium III-S", kPentiumIIIS); break;
        case 6: name.Name("Intel Pentium III-M", kPentiumIIIM); break;
        case 7: name.Name("Mobile Celeron", kCeleronIII); break;
        default: break;
        }
        name.Stepping({{0, "tA0"}, {1, "tA1"}, {4, "tB1"}});
        if (thread->m_iStepping == 0) thread->m_bEngineeringSample = 1;
        break;
    default: return 1;
    }
    PlatformPackage(thread);
    // The 133 MHz bus parts: "B" (Katmai, Coppermine E).
    const bool fastBus = thread->m_iNominalBusClock == 133 && !m_iPlatformBit1;
    if (thread->m_iExtModel == 7 && thread->m_iNominalBusClock != 133) thread->m_iNominalBusClock = 100;
    else if (thread->m_iExtModel == 7 && fastBus) name.Append(" B");
    if (thread->m_iExtModel == 8 && fastBus) name.Append("B");
    return 1;
}

void Intel_P6_Infos::PlatformPackage(CCPUThread* thread) {
    const int32_t pid = thread->m_iPlatformId;
    if (pid < 0) return;
    const bool bit2 = (pid & 4) != 0;
    const bool mobile = thread->m_bMobile != 0;
    const bool b1 = m_iPlatformBit1 != 0;
    // The socket of the desktop parts with bit 2 set, by model.
    int32_t socket = 0;
    switch (thread->m_iExtModel) {
    case 5:
        thread->m_iPackageCode = mobile ? (b1 ? kMobileModule : kMobileCartridge) : (b1 ? kSlot2SECC : kSlot1SECC);
        return;
    case 6:
        if (mobile) thread->m_iPackageCode = bit2 ? kNanoBGA2 : kMobileCartridge;
        else thread->m_iPackageCode = bit2 ? kSocket370PPGA : b1 ? kSlot2SECC : kSlot1SEPP;
        return;
    case 7: socket = kSocket370PPGA; break;
    case 8: socket = kSocket370FCPGA; break;
    case 11: socket = kSocket370FCPGA2; break;
    default: return;
    }
    if (mobile) thread->m_iPackageCode = bit2 ? kNanoBGA2 : kMobileModule;
    else thread->m_iPackageCode = bit2 ? socket : b1 ? kSlot2SECC : kSlot1SECC2;
}
