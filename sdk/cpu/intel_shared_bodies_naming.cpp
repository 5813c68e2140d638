#include "sdk/cpu/intel_shared_bodies_naming.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_infos.h"

namespace {

bool Contains(const char* text, const char* part) { return part && text && std::strstr(text, part) != nullptr; }

// An exact key: 0 in the table means any.
bool Matches(int32_t wanted, int32_t actual) { return wanted == 0 || wanted == actual; }

bool FlagMatches(int8_t wanted, int32_t actual) { return wanted < 0 || wanted == actual; }

bool BranchMatches(const NameBranch& branch, const NameKeys& keys) {
    const bool knownPlatform = keys.platformId >= 0 && keys.platformId < 32;
    if (branch.platformIds && !(knownPlatform && (branch.platformIds & (1u << keys.platformId)))) return false;
    if (!Matches(branch.threads, keys.threads)) return false;
    if (branch.threadsAtLeast && keys.threads < branch.threadsAtLeast) return false;
    if (branch.threadsOtherThan && keys.threads == branch.threadsOtherThan) return false;
    if (!FlagMatches(branch.turbo, keys.turbo) || !FlagMatches(branch.unlocked, keys.unlocked)) return false;
    if (!Matches(branch.l3, keys.l3)) return false;
    if (branch.l3AtLeast && keys.l3 < branch.l3AtLeast) return false;
    if (branch.l3AtMost && keys.l3 > branch.l3AtMost) return false;
    if (branch.l3OtherThan && keys.l3 == branch.l3OtherThan) return false;
    if (branch.contains && !Contains(keys.brand, branch.contains)) return false;
    if (branch.lacks && Contains(keys.brand, branch.lacks)) return false;
    return true;
}

bool ChoiceMatches(const NameChoice& choice, const NameKeys& keys) {
    return choice.mhz == keys.stockClock && (!choice.contains || Contains(keys.brand, choice.contains)) &&
           Matches(choice.tdp, keys.tdp) && Matches(choice.l3, keys.l3) && Matches(choice.threads, keys.threads) &&
           Matches(choice.turboRatio, keys.turboRatio) && Matches(choice.turboMHz, keys.turboMHz) &&
           Matches(choice.linkMultiplier, keys.linkMultiplier) && Matches(choice.qpiLinks, keys.qpiLinks) &&
           FlagMatches(choice.unlocked, keys.unlocked);
}

void SetText(char (&field)[CCPUThread::kTextSize], const char* text) { FormatString(field, sizeof field, "%s", text); }

void SetBrand(CCPUThread* thread, uint32_t classCode, int8_t subcode) {
    thread->m_dwClassCode = ClassWithoutSubcode(classCode) | static_cast<uint8_t>(subcode);
}

// The branch's base name, then the chosen alternative's suffix and the tail.
void ApplyBranch(CCPUThread* thread, const NameBranch& branch, const NameKeys& keys, uint32_t classCode) {
    const NameChoice* chosen = nullptr;
    for (const NameChoice& choice : branch.choices)
        if (ChoiceMatches(choice, keys)) {
            chosen = &choice;
            break;
        }
    const char* name = chosen && chosen->name ? chosen->name : branch.name;
    if (name) SetText(thread->m_szName, name);
    const int8_t subcode = chosen && chosen->subcode ? chosen->subcode : branch.subcode;
    if (subcode) SetBrand(thread, classCode, subcode);
    if (chosen) AppendFormat(thread->m_szName, sizeof thread->m_szName, "%s", chosen->suffix);
    if (branch.tail) AppendFormat(thread->m_szName, sizeof thread->m_szName, "%s", branch.tail);
    const char* codename = chosen && chosen->codename ? chosen->codename : branch.codename;
    if (codename) SetText(thread->m_szCodename, codename);
    if (thread->m_iStepping == 9) {
        const char* stepping = chosen && chosen->stepping9 ? chosen->stepping9 : branch.stepping9;
        if (stepping) SetText(thread->m_szCoreStepping, stepping);
    }
}

} // namespace

NameKeys ThreadNameKeys(CCPUThread* thread) {
    NameKeys keys;
    keys.platformId = thread->m_iPlatformId;
    if (auto* vendor = dynamic_cast<Intel_CPU_Infos*>(thread->m_pVendorInfos)) keys.threads = vendor->m_iLogicalPerPackage;
    keys.stockClock = thread->m_iStockClock;
    keys.tdp = thread->m_fTDP > 0 ? static_cast<int32_t>(thread->m_fTDP) : -1;
    keys.l3 = thread->GetL3Cache();
    keys.brand = thread->m_szBrandString;
    return keys;
}

const ModelRow* FindModelRow(std::span<const ModelRow> rows, int32_t extModel) {
    for (const ModelRow& row : rows)
        if (row.extModel == extModel) return &row;
    return nullptr;
}

NamingOutcome ApplyModelRow(CCPUThread* thread, const ModelRow& row, const NameKeys& keys, uint32_t classCode) {
    thread->m_fTechnology = row.technology;
    if (row.name) SetText(thread->m_szName, row.name);
    if (row.subcode) SetBrand(thread, classCode, row.subcode);
    if (row.codename) SetText(thread->m_szCodename, row.codename);
    if (row.packageCode) thread->m_iPackageCode = row.packageCode;
    for (const PlatformName& platform : row.platforms) {
        if (platform.platformId != keys.platformId) continue;
        if (platform.codename) SetText(thread->m_szCodename, platform.codename);
        if (platform.packageCode) thread->m_iPackageCode = platform.packageCode;
    }
    for (const SteppingName& stepping : row.steppings)
        if (stepping.stepping == thread->m_iStepping) SetText(thread->m_szCoreStepping, stepping.text);
    NamingOutcome outcome;
    for (const NameBranch& branch : row.branches)
        if (BranchMatches(branch, keys)) {
            ApplyBranch(thread, branch, keys, classCode);
            outcome.branch = &branch;
            break;
        }
    return outcome;
}

int32_t StockClockFromText(const char* brand, std::span<const StockClockText> list) {
    if (!brand || !*brand) return -1;
    for (const StockClockText& entry : list)
        if (std::strstr(brand, entry.text)) return entry.mhz;
    return -1;
}
