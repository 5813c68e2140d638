// The x86 identification of a logical processor: the CPUID basics, the
// instruction-set extensions, the local APIC, the vendor description and
// the masked copies of the texts.
#include <cstring>
#include <iterator>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/amd_infos.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/cyrix.h"
#include "sdk/cpu/dmp_vortex.h"
#include "sdk/cpu/intel_infos.h"
#include "sdk/cpu/transmeta.h"
#include "sdk/cpu/via_centaur.h"
#include "sdk/hw/timer.h"

namespace {

constexpr uint32_t kTimeStampCounterBit = 1u << 4;  // CPUID 1 EDX
constexpr uint32_t kAPICBit = 1u << 9;              // CPUID 1 EDX
constexpr uint32_t kNoExecuteBit = 1u << 20;        // CPUID 0x80000001 EDX

enum Register { EAX, EBX, ECX, EDX };

// Where each instruction-set flag comes from, in the order of the thread's
// flag array.
struct InstructionSetBit {
    InstructionSetIndex index;
    uint32_t leaf;
    Register reg;
    unsigned bit;
};

constexpr InstructionSetBit kInstructionSets[] = {
    {ISET_MMX, 1, EDX, 23},
    {ISET_MMX_EXTENSIONS, 0x80000001, EDX, 22},
    {ISET_3DNOW, 0x80000001, EDX, 31},
    {ISET_3DNOW_EXTENSIONS, 0x80000001, EDX, 30},
    {ISET_SSE, 1, EDX, 25},
    {ISET_SSE2, 1, EDX, 26},
    {ISET_SSE3, 1, ECX, 0},
    {ISET_SSSE3, 1, ECX, 9},
    {ISET_SSE41, 1, ECX, 19},
    {ISET_SSE42, 1, ECX, 20},
    {ISET_SSE4A, 0x80000001, ECX, 6},
    {ISET_XOP, 0x80000001, ECX, 11},
    {ISET_X86_64, 0x80000001, EDX, 29},
    {ISET_AES, 1, ECX, 25},
    {ISET_AVX, 1, ECX, 28},
    {ISET_AVX2, 7, EBX, 5},
    {ISET_FMA3, 1, ECX, 12},
    {ISET_FMA4, 0x80000001, ECX, 16},
    {ISET_RTM, 7, EBX, 11},
    {ISET_HLE, 7, EBX, 4},
};
static_assert(std::size(kInstructionSets) == CCPUThread::kInstructionSetFlags);

uint32_t RegisterOf(const CpuidResult& r, Register reg) {
    switch (reg) {
    case EAX: return r.eax;
    case EBX: return r.ebx;
    case ECX: return r.ecx;
    default: return r.edx;
    }
}

// The vendors by their CPUID vendor string (12 characters, compared
// exactly): the name the thread starts with and the vendor description,
// where there is one.
struct VendorRow {
    const char* vendor;
    const char* name;
    CCPUInfos* (*create)();
    uint32_t presetClassCode;  // 0: none
};

constexpr VendorRow kVendors[] = {
    {"GenuineIntel", "Intel Processor", CreateIntelInfos, 0},
    {"AuthenticAMD", "AMD Processor", CreateAMDInfos, 0},
    {"CyrixInstead", "Cyrix Processor", CreateCyrixInfos, CPU_CLASS_CYRIX},
    {"CentaurHauls", "VIA Processor", CreateVIAInfos, 0},
    {"GenuineTMx86", "Transmeta Processor", CreateTransmetaInfos, 0},
    {"UMC UMC UMC ", "UMC Processor", nullptr, 0},
    {"NexGenDriven", "NexGen Processor", nullptr, 0},
    {"RiseRiseRise", "Rise Processor", nullptr, 0},
    {"SiS SiS SiS ", "SiS Processor", nullptr, 0},
    {"Geode by NSC", "National Semiconductor Processor", nullptr, 0},
    {"Vortex86 SoC", "DM&P Processor", CreateDMPInfos, 0},
};

void Mask(char (&masked)[CCPUThread::kTextSize], const char (&text)[CCPUThread::kTextSize], uint8_t key) {
    const size_t length = strnlen(text, sizeof text - 1);
    for (size_t i = 0; i < length; ++i) masked[i] = static_cast<char>(static_cast<uint8_t>(text[i]) ^ key);
    masked[length] = '\0';
}

} // namespace

int CCPUThread::HasInstructionSet(int32_t index) const {
    switch (index) {
    case ISET_NO_EXECUTE: return m_bNoExecute ? 1 : 0;
    case ISET_VIRTUALIZATION: return m_bVirtualization ? 1 : 0;
    default: break;
    }
    for (size_t i = 0; i < std::size(kInstructionSets); ++i)
        if (kInstructionSets[i].index == index) return m_dwInstructionSets[i] ? 1 : 0;
    return 0;
}

void CCPUThread::DetectInstructionSets() {
    for (size_t i = 0; i < std::size(kInstructionSets); ++i) {
        const InstructionSetBit& flag = kInstructionSets[i];
        const bool available = flag.leaf >= 0x80000000u ? m_dwMaxExtendedLeaf >= flag.leaf
                                                         : m_dwMaxStandardLeaf >= flag.leaf;
        m_dwInstructionSets[i] = available ? (RegisterOf(Cpuid(flag.leaf), flag.reg) >> flag.bit) & 1 : 0;
    }
}

void CCPUThread::InstallVendorDescription() {
    for (const VendorRow& row : kVendors) {
        if (std::strncmp(m_szVendor, row.vendor, kTextSize) != 0) continue;
        FormatString(m_szName, sizeof m_szName, "%s", row.name);
        if (row.presetClassCode) m_dwClassCode = row.presetClassCode;
        if (row.create) SetVendorInfos(row.create());
        return;
    }
    FormatString(m_szName, sizeof m_szName, "%s Processor", m_szVendor);
}

void CCPUThread::WriteMaskedTexts() {
    Mask(m_szMaskedName, m_szName, kMaskedNameKey);
    Mask(m_szMaskedBrandString, m_szBrandString, kMaskedBrandStringKey);
    Mask(m_szMaskedCodename, m_szCodename, kMaskedCodenameKey);
}

// Cyrix and Geode processors of the 486 and MediaGX generations run with
// CPUID switched off (or have none); their configuration registers still
// tell them. Any other processor without CPUID stays unknown.
void CCPUThread::IdentifyWithoutCPUID() {
    CCPUInfos* cyrix = CreateCyrixInfosByConfigurationRegisters();
    if (!cyrix) return;
    FormatString(m_szName, sizeof m_szName, "%s", "Cyrix Processor");
    SetVendorInfos(cyrix);
    WriteMaskedTexts();
}

int CCPUThread::Identify() {
    if (!IsCPUIDSupported()) {
        IdentifyWithoutCPUID();
        return 0;
    }
    const CpuidResult vendor = Cpuid(0);
    std::memcpy(m_szVendor, &vendor.ebx, 4);
    std::memcpy(m_szVendor + 4, &vendor.edx, 4);
    std::memcpy(m_szVendor + 8, &vendor.ecx, 4);
    m_szVendor[12] = '\0';
    m_dwMaxStandardLeaf = vendor.eax;
    if (m_dwMaxStandardLeaf != 0) {
        const CpuidResult basic = Cpuid(1);
        if (basic.edx & kTimeStampCounterBit) {
            m_pTSC = new CTSCCounter;
            GetSDK()->m_pTimers->AddTail(m_pTSC);
        }
        m_iFamily = static_cast<int32_t>((basic.eax >> 8) & 0xF);
        m_iModel = static_cast<int32_t>((basic.eax >> 4) & 0xF);
        m_iStepping = static_cast<int32_t>(basic.eax & 0xF);
        m_iSignature = static_cast<int32_t>(basic.eax & 0xFFF);
        m_dwFeatures[0] = basic.ecx;
        m_dwFeatures[1] = basic.edx;
        m_bAPICPresent = (basic.edx & kAPICBit) ? 1 : 0;
    }
    m_dwMaxExtendedLeaf = Cpuid(0x80000000).eax;
    if (m_dwMaxExtendedLeaf >= 0x80000001) {
        const CpuidResult extended = Cpuid(0x80000001);
        m_dwFeatures[2] = extended.ecx;
        m_dwFeatures[3] = extended.edx;
        m_bNoExecute = (extended.edx & kNoExecuteBit) ? 1 : 0;
    }
    DetectInstructionSets();
    MapLocalAPIC();
    InstallVendorDescription();
    WriteMaskedTexts();
    return 1;
}
