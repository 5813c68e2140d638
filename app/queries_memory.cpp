// The memory queries: the chipset domain's memory-controller record and
// bridges (slots 11, 42-65), the graphics card's link (82-83) and the
// memory modules of the SPD records with their JEDEC table and XMP, EPP
// and AMP profiles (84-116). Each answers the slot's unknown value without
// its domain, record, module (M not a record index below the module
// count) or profile; a record's own unknown values pass through unchanged.
// Outputs the caller passes as null are not written.
#include <climits>
#include <cmath>
#include <cstring>

#include "app/local_info_parser.h"
#include "app/query_text.h"
#include "platform/text.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/module_info.h"
#include "sdk/chipset/module_info_profiles.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/chipset/south_bridge.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/hw/pci_capability.h"
#include "sdk/hw/pci_caps_agp.h"
#include "sdk/hw/pci_caps_express.h"

namespace {

constexpr int kGraphicsAGP = 3;
constexpr int kGraphicsPCIExpress = 4;
constexpr int kEPPKind = 16;
constexpr int kEPP2Kind = 32;

template <typename T>
void Put(T* output, T value) {
    if (output) *output = value;
}

// The memory record's field, or `unknown` without the domain or record.
template <typename T, typename Read>
T AskMemory(CChipsetInterface* chipset, T unknown, Read read) {
    return chipset && chipset->m_pMemoryInfo ? read(*chipset->m_pMemoryInfo) : unknown;
}

// Whole clocks of a time at a cycle time, rounded up in single precision;
// -1.0 when either time is unusable or the count is beyond an int (a cycle
// time that fine corrections bring down to almost nothing).
float ClocksOf(float ns, float cycleTime) {
    if (!(ns > 0.0f) || !(cycleTime > 0.0f)) return -1.0f;
    const float clocks = std::ceil(ns / cycleTime);
    if (!(clocks < static_cast<float>(INT_MAX))) return -1.0f;  // also infinity
    return static_cast<float>(static_cast<int>(clocks));
}

} // namespace

// ---- Memory controller and bridges ----

int CLocalInfoParser::GetBoardCacheSize(int* sizeKB) {
    if (!m_pChipset || !m_pChipset->m_pBoardCache) return -1;
    if (m_pChipset->m_pBoardCache->m_iSize > 0) Put(sizeKB, static_cast<int>(m_pChipset->m_pBoardCache->m_iSize));
    return 1;
}

int CLocalInfoParser::GetMemorySize() { return m_iTotalMemoryMB; }

int CLocalInfoParser::GetMemoryType() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iMemoryType; });
}
int CLocalInfoParser::GetMemoryChannels() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iChannels; });
}
int CLocalInfoParser::GetMemoryChannelMode() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iChannelMode; });
}
float CLocalInfoParser::GetDRAMFrequency() {
    return AskMemory(m_pChipset, -1.0f, [](CMemoryInfo& m) { return m.m_fDRAMFrequency; });
}
float CLocalInfoParser::GetCASLatency() {
    return AskMemory(m_pChipset, -1.0f, [](CMemoryInfo& m) { return m.m_fCASLatency; });
}
float CLocalInfoParser::GetUncoreMultiplier() {
    return AskMemory(m_pChipset, -1.0f, [](CMemoryInfo& m) { return m.m_fUncoreRatio; });
}
int CLocalInfoParser::GetRASToCASDelay() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iRASToCASDelay; });
}
int CLocalInfoParser::GetRASPrecharge() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iRASPrecharge; });
}
int CLocalInfoParser::GetRASPrecharge2() { return GetRASPrecharge(); }
int CLocalInfoParser::GetCycleTime() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iCycleTime; });
}
int CLocalInfoParser::GetBankCycleTime() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iBankCycleTime; });
}
int CLocalInfoParser::GetRowRefreshCycleTime() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iRowRefreshCycleTime; });
}
int CLocalInfoParser::GetCommandRate() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iCommandRate; });
}
int CLocalInfoParser::GetDRAMIdleTimer() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iDRAMIdleTimer; });
}
int CLocalInfoParser::GetTotalCAS() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iTotalCAS; });
}
int CLocalInfoParser::GetRowToColumnDelay() {
    return AskMemory(m_pChipset, -1, [](CMemoryInfo& m) { return m.m_iRowToColumnDelay; });
}

// The text says where the DRAM clock comes from; the ratio is returned as
// the record holds it, whether or not a text was written.
float CLocalInfoParser::GetFSBDRAMRatio(wchar_t* text) {
    if (!m_pChipset || !m_pChipset->m_pMemoryInfo) return -1.0f;
    const CMemoryInfo& memory = *m_pChipset->m_pMemoryInfo;
    if (memory.m_bAsynchronous) {
        if (text) FormatStringW(text, kInfoTextChars, L"asynch.");
    } else {
        TextAnswer(memory.m_szRatio, text);
    }
    return memory.m_fFSBDRAMRatio;
}

int CLocalInfoParser::GetNorthbridgeVendor(wchar_t* text) {
    return m_pChipset && m_pChipset->m_pNorthBridge ? TextAnswer(m_pChipset->m_pNorthBridge->m_szVendor, text) : 0;
}
int CLocalInfoParser::GetNorthbridgeModel(wchar_t* text) {
    return m_pChipset && m_pChipset->m_pNorthBridge ? TextAnswer(m_pChipset->m_pNorthBridge->m_szModel, text) : 0;
}
int CLocalInfoParser::GetNorthbridgeRevision(wchar_t* text) {
    return m_pChipset && m_pChipset->m_pNorthBridge ? TextAnswer(m_pChipset->m_pNorthBridge->m_szRevision, text) : 0;
}
int CLocalInfoParser::GetSouthbridgeVendor(wchar_t* text) {
    return m_pChipset && m_pChipset->m_pSouthBridge ? TextAnswer(m_pChipset->m_pSouthBridge->m_szVendor, text) : 0;
}
int CLocalInfoParser::GetSouthbridgeModel(wchar_t* text) {
    return m_pChipset && m_pChipset->m_pSouthBridge ? TextAnswer(m_pChipset->m_pSouthBridge->m_szModel, text) : 0;
}
int CLocalInfoParser::GetSouthbridgeRevision(wchar_t* text) {
    return m_pChipset && m_pChipset->m_pSouthBridge ? TextAnswer(m_pChipset->m_pSouthBridge->m_szRevision, text) : 0;
}

// ---- Graphics link ----

// The first AGP or PCI Express capability of the VGA controllers decides;
// a disabled AGP port ends the search with nothing known.
int CLocalInfoParser::GetGraphicInterface(int* kind, int* current, int* max) {
    Put(kind, -1);
    Put(current, -1);
    Put(max, -1);
    if (!m_pPCI) return 1;
    CPCICapability* capability = CChipsetInterface::FindGraphicsCapability(false);
    if (!capability) return 1;
    if (capability->IsID(0x02)) {
        auto* agp = static_cast<CPCICaps_AGP*>(capability);
        if (!agp->m_bAGPEnabled) return 1;
        Put(kind, kGraphicsAGP);
        Put(current, static_cast<int>(agp->m_iCurrentRate));
        Put(max, static_cast<int>(agp->m_iMaxRate));
    } else {
        auto* express = static_cast<CPCICaps_PCIE*>(capability);
        Put(kind, kGraphicsPCIExpress);
        Put(current, static_cast<int>(express->m_iLinkWidth));
        Put(max, static_cast<int>(express->m_iMaxLinkWidth));
    }
    return 1;
}

int CLocalInfoParser::GetAGPInfo(int* version, int* sideBandSupported, int* sideBandEnabled) {
    Put(version, -1);
    Put(sideBandSupported, -1);
    Put(sideBandEnabled, -1);
    if (!m_pPCI) return 1;
    auto* agp = static_cast<CPCICaps_AGP*>(CChipsetInterface::FindGraphicsCapability(true));
    if (!agp || !agp->m_bAGPEnabled) return 1;
    Put(version, static_cast<int>(agp->m_byVersion));
    Put(sideBandSupported, agp->m_SidebandAddressing.m_bSupported ? 1 : 0);
    Put(sideBandEnabled, agp->m_SidebandAddressing.m_bEnabled ? 1 : 0);
    return 1;
}

// ---- Memory modules ----

namespace {

CModuleInfo* ModuleOf(CSPDInterface* spd, int M) {
    if (!spd || M < 0 || M >= spd->m_iModuleCount || M >= CSPDInterface::kMaxModules) return nullptr;
    return &spd->m_pModules[M];
}

template <typename T, typename Read>
T AskModule(CSPDInterface* spd, int M, T unknown, Read read) {
    CModuleInfo* module = ModuleOf(spd, M);
    return module ? read(*module) : unknown;
}

} // namespace

int CLocalInfoParser::GetSPDModuleCount() { return m_pSPD ? m_pSPD->m_iModuleCount : 0; }

int CLocalInfoParser::GetModuleType(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iMemoryType; });
}
int CLocalInfoParser::GetModuleManufacturer(int M, wchar_t* text) {
    return AskModule(m_pSPD, M, 0, [&](CModuleInfo& m) { return TextAnswer(m.m_szManufacturer, text); });
}
int CLocalInfoParser::GetModulePartNumber(int M, wchar_t* text) {
    return AskModule(m_pSPD, M, 0, [&](CModuleInfo& m) { return TextAnswer(m.m_szPartNumber, text); });
}
int CLocalInfoParser::GetModuleSpeedText(int M, wchar_t* text) {
    return AskModule(m_pSPD, M, 0, [&](CModuleInfo& m) { return TextAnswer(m.m_szSpeed, text); });
}

int CLocalInfoParser::GetModuleManufacturerID(int M, wchar_t* text) {
    return AskModule(m_pSPD, M, 0, [&](CModuleInfo& m) {
        const uint8_t* id = m.m_byJEDECID;
        if (text)
            FormatStringW(text, kInfoTextChars, L"%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X", id[0], id[1], id[2], id[3],
                          id[4], id[5], id[6], id[7], id[8], id[9]);
        return 1;
    });
}

int CLocalInfoParser::GetModuleSerialNumber(int M, wchar_t* text) {
    return AskModule(m_pSPD, M, 0, [&](CModuleInfo& m) {
        if (!m.m_dwSerialNumber) return 0;
        if (text) FormatStringW(text, kInfoTextChars, L"%08X", m.m_dwSerialNumber);
        return 1;
    });
}

int CLocalInfoParser::GetModulePCRating(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iPCRating; });
}
int CLocalInfoParser::GetModuleSize(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iSize; });
}

int CLocalInfoParser::GetModuleManufactureDate(int M, int* year, int* week) {
    return AskModule(m_pSPD, M, 0, [&](CModuleInfo& m) {
        Put(year, static_cast<int>(m.m_byYear));
        Put(week, static_cast<int>(m.m_byWeek));
        return 1;
    });
}

int CLocalInfoParser::GetModuleCorrection(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iCorrection; });
}
int CLocalInfoParser::GetModuleRegistered(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iRegistered; });
}
int CLocalInfoParser::GetModuleBuffered(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iBuffered; });
}
int CLocalInfoParser::GetModuleClock(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iClock; });
}
int CLocalInfoParser::GetModuleDataRate(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iDataRate; });
}
float CLocalInfoParser::GetModuleRefreshPeriod(int M) {
    return AskModule(m_pSPD, M, -1.0f, [](CModuleInfo& m) { return m.m_fRefreshPeriod; });
}
float CLocalInfoParser::GetModuleMaxCASLatency(int M) {
    return AskModule(m_pSPD, M, -1.0f, [](CModuleInfo& m) { return m.m_fMaxCASLatency; });
}
float CLocalInfoParser::GetModuleRCDTime(int M) {
    return AskModule(m_pSPD, M, -1.0f, [](CModuleInfo& m) { return m.m_fRCD; });
}
float CLocalInfoParser::GetModuleRPTime(int M) {
    return AskModule(m_pSPD, M, -1.0f, [](CModuleInfo& m) { return m.m_fRP; });
}
float CLocalInfoParser::GetModuleRASTime(int M) {
    return AskModule(m_pSPD, M, -1.0f, [](CModuleInfo& m) { return m.m_fRAS; });
}
float CLocalInfoParser::GetModuleRCTime(int M) {
    return AskModule(m_pSPD, M, -1.0f, [](CModuleInfo& m) { return m.m_fRC; });
}
int CLocalInfoParser::GetModuleBankCount(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iBanks; });
}
int CLocalInfoParser::GetModuleDataWidth(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) { return m.m_iDataWidth; });
}

// ---- JEDEC timing table ----

int CLocalInfoParser::GetJEDECTimingCount(int M) {
    return AskModule(m_pSPD, M, -1, [](CModuleInfo& m) {
        return m.m_pCASTables ? static_cast<int>(m.m_pCASTables->GetCount()) : -1;
    });
}

void CLocalInfoParser::GetJEDECTiming(int M, int i, float* frequency, float* cas, float* voltage) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    if (!module) return;
    Put(voltage, module->m_fVoltage);
    if (CAS_Table* entry = module->GetCASTable(i)) {
        Put(frequency, entry->m_fFrequency);
        Put(cas, entry->m_fCASLatency);
    }
}

// ---- EPP ----

int CLocalInfoParser::GetEPPInfo(int M, int* kind) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    if (!module || (!module->m_bEPP && !module->m_bEPP2)) return -1;
    if (module->m_bEPP) Put(kind, kEPPKind);
    if (module->m_bEPP2) Put(kind, kEPP2Kind);
    return module->m_iEPPProfiles;
}

// The timings as the profile holds them; an unknown layout writes nothing.
void CLocalInfoParser::GetEPPProfile(int M, int i, int* frequency, float* cas, float* rcd, float* ras, float* rp,
                                     float* rc, int* commandRate, float* voltage) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    CEPP_Profile* profile = module ? module->GetEPPProfile(i) : nullptr;
    if (!profile) return;
    auto common = [&](const auto& p) {
        // A cycle time of 0 gives no frequency.
        if (p.m_fCycleTime > 0.0f) Put(frequency, static_cast<int>(1000.0f / p.m_fCycleTime));
        Put(cas, p.m_fCASLatency);
        Put(rcd, p.m_fRCD);
        Put(rp, p.m_fRP);
        Put(ras, p.m_fRAS);
        Put(commandRate, p.m_iCommandRate);
        Put(voltage, p.m_fVoltage);
    };
    if (profile->m_iType == EPP_PROFILE_ABBREVIATED) {
        common(static_cast<const CEPP_AbbreviatedProfile&>(*profile));
    } else if (profile->m_iType == EPP_PROFILE_FULL) {
        const auto& full = static_cast<const CEPP_FullProfile&>(*profile);
        common(full);
        Put(rc, full.m_fRC);
    }
}

// ---- XMP ----

int CLocalInfoParser::GetXMPInfo(int M, int* revision) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    if (!module || !module->m_bXMP) return -1;
    Put(revision, static_cast<int>(module->m_byXMPRevision));
    return module->m_iXMPProfiles;
}

int CLocalInfoParser::GetXMPTimingCount(int M, int i) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    CXMP_Profile* profile = module ? module->GetXMPProfile(i) : nullptr;
    return profile && profile->m_pCASTables ? static_cast<int>(profile->m_pCASTables->GetCount()) : -1;
}

void CLocalInfoParser::GetXMPProfileTiming(int M, int i, int j, int* frequency, float* cas) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    CXMP_Profile* profile = module ? module->GetXMPProfile(i) : nullptr;
    CAS_Table* entry = profile ? profile->GetCASTable(j) : nullptr;
    if (!entry) return;
    Put(frequency, static_cast<int>(entry->m_fFrequency));
    Put(cas, entry->m_fCASLatency);
}

void CLocalInfoParser::GetXMPProfile(int M, int i, float* rcd, float* ras, float* rp, float* voltage, int* frequency,
                                     float* cas, float* rc, int* commandRate) {
    Put(rcd, -1.0f);
    Put(ras, -1.0f);
    Put(rp, -1.0f);
    Put(voltage, -1.0f);
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    CXMP_Profile* profile = module ? module->GetXMPProfile(i) : nullptr;
    if (!profile) return;
    Put(rcd, profile->m_fRCD);
    Put(ras, profile->m_fRAS);
    Put(rp, profile->m_fRP);
    Put(rc, profile->m_fRC);
    Put(frequency, profile->m_iClock);
    Put(cas, ClocksOf(profile->m_fAA, profile->m_fCycleTime));
    Put(voltage, profile->m_fVoltage);
    Put(commandRate, profile->m_iCommandRate);
}

// ---- AMP ----

int CLocalInfoParser::GetAMPInfo(int M, int* version) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    if (!module || !module->m_bAMP) return -1;
    Put(version, static_cast<int>(module->m_byAMPVersion));
    return module->m_iAMPProfiles;
}

void CLocalInfoParser::GetAMPProfile(int M, int i, int* frequency, float* cycleTime, float* cas, float* rcd, float* ras,
                                     float* rp, float* rc) {
    CModuleInfo* module = ModuleOf(m_pSPD, M);
    CAMP_Profile* profile = module ? module->GetAMPProfile(i) : nullptr;
    if (!profile) return;
    Put(frequency, profile->m_iClock);
    Put(cycleTime, profile->m_fCycleTime);
    Put(cas, ClocksOf(profile->m_fAA, profile->m_fCycleTime));
    Put(rcd, profile->m_fRCD);
    Put(ras, profile->m_fRAS);
    Put(rp, profile->m_fRP);
    Put(rc, profile->m_fRC);
}
