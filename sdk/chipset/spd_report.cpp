// The "Memory SPD" report section: one block per module with its identity,
// organisation and profiles, the JEDEC, EPP, XMP and AMP timing tables, and
// the register dump of every module's SPD bytes. The pads align the values
// in the text report.
#include <cmath>

#include "sdk/chipset/module_info.h"
#include "sdk/chipset/module_info_profiles.h"
#include "sdk/chipset/spd_decode_shared.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"

namespace {

constexpr size_t kRowSize = 512;
constexpr size_t kLabelSize = 32;

// Clocks a time takes at `frequency` MHz, rounded up; in single precision,
// so 36 ns at 666.67 MHz gives 24 clocks, not 25.
int ClocksAt(float ns, float frequency) { return static_cast<int>(std::ceil(ns * frequency / 1000.0f)); }

// The whole clocks of tAA at tCK (the maximum CAS latency); -1 when either
// time is unusable.
float MaxCASLatency(float tAA, float tCK) {
    if (!spd::IsUsableTime(tAA) || !spd::IsUsableTime(tCK)) return -1.0f;
    return std::ceil(tAA / tCK);
}

const char* YesNo(int value) { return value ? "yes" : "no"; }

const char* CorrectionText(int correction) {
    switch (correction) {
    case 0: return "None";
    case 1: return "Parity";
    case 2: return "ECC";
    default: return "unknown";
    }
}

void PrintRow(CReportGenerator* report, const char* labelFormat, int number, const char* pad, const char* row) {
    char label[kLabelSize];
    FormatString(label, sizeof label, labelFormat, number);
    report->PrintField(label, pad, "%s", row);
}

void PrintMaxCL(CReportGenerator* report, float tAA, float tCK) {
    const float latency = MaxCASLatency(tAA, tCK);
    if (latency < 0.0f) report->PrintField("\tMax CL", "\t\t\t", "%s", "n.a.");
    else report->PrintField("\tMax CL", "\t\t\t", "%.1f", latency);
}

void WriteIdentity(CReportGenerator* report, const CModuleInfo& r) {
    report->PrintField("DIMM #", "\t\t\t\t", "%d", r.m_iIndex + 1);
    report->PrintField("\tSMBus address", "\t\t", "0x%X", r.m_ucAddress);
    report->PrintField("\tMemory type", "\t\t", "%s", r.m_szMemoryType);
    if (r.m_szModuleFormat[0]) report->PrintField("\tModule format", "\t\t", "%s", r.m_szModuleFormat);
    const uint8_t* id = r.m_byJEDECID;
    report->PrintField("\tManufacturer (ID)", "\t", "%s (%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X)",
                       r.m_szManufacturer, id[0], id[1], id[2], id[3], id[4], id[5], id[6], id[7], id[8], id[9]);
    if (r.m_iSize > 0) report->PrintField("\tSize", "\t\t\t", "%d MBytes", r.m_iSize);
    if (r.m_iClock > 0) report->PrintField("\tMax bandwidth", "\t\t", "%s (%d MHz)", r.m_szSpeed, r.m_iClock);
    report->PrintField("\tPart number", "\t\t", "%s", r.m_szPartNumber);
    if (r.m_dwSerialNumber) report->PrintField("\tSerial number", "\t\t", "%08X", r.m_dwSerialNumber);
    if (r.m_byWeek) report->PrintField("\tManufacturing date", "\t", "Week %02d/Year %02d", r.m_byWeek, r.m_byYear);
}

void WriteOrganisation(CReportGenerator* report, const CModuleInfo& r) {
    if (r.m_iBanks > 0) report->PrintField("\tNumber of banks", "\t\t", "%d", r.m_iBanks);
    if (r.m_iDataWidth > 0) report->PrintField("\tData width", "\t\t", "%d bits", r.m_iDataWidth);
    if (r.m_iCorrection >= 0) report->PrintField("\tCorrection", "\t\t", "%s", CorrectionText(r.m_iCorrection));
    if (r.m_iRegistered >= 0) report->PrintField("\tRegistered", "\t\t", "%s", YesNo(r.m_iRegistered));
    if (r.m_iBuffered >= 0) report->PrintField("\tBuffered", "\t\t", "%s", YesNo(r.m_iBuffered));
    if (r.m_fVoltage > 0.0f) report->PrintField("\tNominal Voltage", "\t\t", "%.2f Volts", r.m_fVoltage);
    if (r.m_bEPP) report->PrintField("\tEPP", "\t\t\t", "yes (%d profiles)", r.m_iEPPProfiles);
    else report->PrintField("\tEPP", "\t\t\t", "%s", "no");
    if (r.m_bEPP2) report->PrintField("\tEPP 2.0", "\t\t\t", "%s", "yes");
    report->PrintField("\tXMP", "\t\t\t", "%s", YesNo(r.m_bXMP));
    if (r.m_bXMP)
        report->PrintField("\tXMP revision", "\t\t", "%d.%d", r.m_byXMPRevision >> 4, r.m_byXMPRevision & 0x0F);
    report->PrintField("\tAMP", "\t\t\t", "%s", YesNo(r.m_bAMP));
}

void WriteJEDECTable(CReportGenerator* report, const CModuleInfo& r) {
    if (!r.m_pCASTables || !r.m_pCASTables->GetCount()) return;
    report->PrintFieldFormatted("JEDEC timings table", "\t\t", "%s", "CL-tRCD-tRP-tRAS-tRC @ frequency");
    CTListIterator<CAS_Table> it(r.m_pCASTables);
    int number = 0;
    for (CAS_Table* entry = it.GetFirst(); entry; entry = it.GetNext()) {
        ++number;
        const float f = entry->m_fFrequency;
        if (!(f > 0.0f)) continue;
        char row[kRowSize] = {};
        AppendFormat(row, sizeof row, "%.1f-", entry->m_fCASLatency);
        AppendFormat(row, sizeof row, "%d-%d-%d-", ClocksAt(r.m_fRCD, f), ClocksAt(r.m_fRP, f), ClocksAt(r.m_fRAS, f));
        if (r.m_fRC > 0.0f) AppendFormat(row, sizeof row, "%d", ClocksAt(r.m_fRC, f));
        else AppendFormat(row, sizeof row, "%s", "n.a.");
        AppendFormat(row, sizeof row, " @ %d MHz", static_cast<int>(f));
        PrintRow(report, "\tJEDEC #%d", number, "\t\t", row);
    }
}

// The row of one EPP profile; false when its cycle time gives no clock.
template <typename Profile>
bool BuildEPPRow(const Profile& profile, const float* rc, char (&row)[kRowSize]) {
    if (!spd::IsUsableTime(profile.m_fCycleTime)) return false;
    const float f = 1000.0f / profile.m_fCycleTime;
    AppendFormat(row, sizeof row, "%.1f-", profile.m_fCASLatency);
    AppendFormat(row, sizeof row, "%d-%d-%d-", ClocksAt(profile.m_fRCD, f), ClocksAt(profile.m_fRP, f),
                 ClocksAt(profile.m_fRAS, f));
    if (rc) AppendFormat(row, sizeof row, "%d-", ClocksAt(*rc, f));
    else AppendFormat(row, sizeof row, "%s", "xx-");
    AppendFormat(row, sizeof row, "%dT @ %d MHz (%.3f Volts)", profile.m_iCommandRate, static_cast<int>(f),
                 profile.m_fVoltage);
    return true;
}

void WriteEPPTable(CReportGenerator* report, const CModuleInfo& r) {
    if (!r.m_bEPP || r.m_iEPPProfiles <= 0) return;
    report->PrintFieldFormatted("EPP timings table", "\t\t", "%s", "CL-tRCD-tRP-tRAS-tRC-CR @ frequency (voltage)");
    CTListIterator<CEPP_Profile> it(r.m_pEPPProfiles);
    int number = 0;
    for (CEPP_Profile* profile = it.GetFirst(); profile; profile = it.GetNext()) {
        ++number;
        char row[kRowSize] = {};
        if (profile->m_iType == EPP_PROFILE_FULL) {
            const auto& full = static_cast<const CEPP_FullProfile&>(*profile);
            if (BuildEPPRow(full, &full.m_fRC, row)) PrintRow(report, "\tEPP profile #%d (full)", number, "\t", row);
        } else if (profile->m_iType == EPP_PROFILE_ABBREVIATED) {
            const auto& abbreviated = static_cast<const CEPP_AbbreviatedProfile&>(*profile);
            if (BuildEPPRow(abbreviated, nullptr, row)) PrintRow(report, "\tEPP profile #%d (abb)", number, "\t", row);
        }
    }
}

void WriteXMPProfile(CReportGenerator* report, const CXMP_Profile& p) {
    report->PrintField("XMP profile", "\t\t\t", "XMP-%d", 2 * p.m_iClock);
    report->PrintField("\tSpecification", "\t\t", "%s", p.m_szSpeed);
    report->PrintField("\tVoltage level", "\t\t", "%.3f Volts", p.m_fVoltage);
    report->PrintField("\tMin Cycle time", "\t\t", "%.3f ns (%d MHz)", p.m_fCycleTime, p.m_iClock);
    PrintMaxCL(report, p.m_fAA, p.m_fCycleTime);
    report->PrintField("\tMin tRP", "\t\t\t", "%.2f ns", p.m_fRP);
    report->PrintField("\tMin tRCD", "\t\t", "%.2f ns", p.m_fRCD);
    if (p.m_fWR > 0.0f) report->PrintField("\tMin tWR", "\t\t\t", "%.2f ns", p.m_fWR);
    report->PrintField("\tMin tRAS", "\t\t", "%.2f ns", p.m_fRAS);
    report->PrintField("\tMin tRC", "\t\t\t", "%.2f ns", p.m_fRC);
    if (p.m_fRFC > 0.0f) report->PrintField("\tMin tRFC", "\t\t", "%.2f ns", p.m_fRFC);
    if (p.m_fRTP > 0.0f) report->PrintField("\tMin tRTP", "\t\t", "%.2f ns", p.m_fRTP);
    report->PrintField("\tMin tRRD", "\t\t", "%.2f ns", p.m_fRRD);
    if (p.m_iCommandRate > 0) report->PrintField("\tCommand Rate", "\t\t", "%dT", p.m_iCommandRate);

    if (!p.m_pCASTables || !p.m_pCASTables->GetCount()) return;
    report->PrintFieldFormatted("XMP timings table", "\t\t", "%s", "CL-tRCD-tRP-tRAS-tRC-CR @ frequency (voltage)");
    CTListIterator<CAS_Table> it(p.m_pCASTables);
    int number = 0;
    for (CAS_Table* entry = it.GetFirst(); entry; entry = it.GetNext()) {
        ++number;
        const float f = entry->m_fFrequency;
        if (!(f > 0.0f)) continue;
        char row[kRowSize] = {};
        AppendFormat(row, sizeof row, "%.1f-", entry->m_fCASLatency);
        AppendFormat(row, sizeof row, "%d-%d-%d-%d-", ClocksAt(p.m_fRCD, f), ClocksAt(p.m_fRP, f),
                     ClocksAt(p.m_fRAS, f), ClocksAt(p.m_fRC, f));
        if (p.m_iCommandRate < 1) AppendFormat(row, sizeof row, "%s", "n.a");
        else AppendFormat(row, sizeof row, "%dT", p.m_iCommandRate);
        AppendFormat(row, sizeof row, " @ %d MHz (%.3f Volts)", static_cast<int>(f), p.m_fVoltage);
        PrintRow(report, "\tXMP #%d", number, "\t\t\t", row);
    }
}

void WriteAMPProfile(CReportGenerator* report, const CAMP_Profile& p) {
    report->PrintField("AMP profile", "", "%s", "");
    report->PrintField("\tMin Cycle time", "\t\t", "%.3f ns (%d MHz)", p.m_fCycleTime, p.m_iClock);
    PrintMaxCL(report, p.m_fAA, p.m_fCycleTime);
    report->PrintField("\tMin tRP", "\t\t\t", "%.2f ns", p.m_fRP);
    report->PrintField("\tMin tRCD", "\t\t", "%.2f ns", p.m_fRCD);
    report->PrintField("\tMin tRAS", "\t\t", "%.2f ns", p.m_fRAS);
    report->PrintField("\tMin tRFC", "\t\t", "%.2f ns", p.m_fRFC);
    report->PrintFieldFormatted("AMP timings table", "\t\t", "%s", "CL-tRCD-tRP-tRAS-tRC @ frequency");
    const float latency = MaxCASLatency(p.m_fAA, p.m_fCycleTime);
    if (!spd::IsUsableTime(p.m_fCycleTime)) return;
    // Rounded to the nearest clock here, not up.
    const float f = 1000.0f / p.m_fCycleTime;
    char row[kRowSize] = {};
    AppendFormat(row, sizeof row, "%.1f-", latency);
    AppendFormat(row, sizeof row, "%d-%d-%d-%d", RoundToInt(p.m_fRCD * f / 1000.0f), RoundToInt(p.m_fRP * f / 1000.0f),
                 RoundToInt(p.m_fRAS * f / 1000.0f), RoundToInt(p.m_fRC * f / 1000.0f));
    AppendFormat(row, sizeof row, " @ %d MHz", p.m_iClock);
    PrintRow(report, "\tAMP #%d", 1, "\t\t\t", row);
}

} // namespace

void CSPDInterface::WriteReport(CReportGenerator* report) {
    if (!report) return;
    for (int i = 0; i < m_iModuleCount && i < kMaxModules; ++i) {
        WriteModule(report, m_pModules[i]);
        report->PrintBlankLine();
    }
}

void CSPDInterface::WriteModule(CReportGenerator* report, const CModuleInfo& r) {
    WriteIdentity(report, r);
    WriteOrganisation(report, r);
    WriteJEDECTable(report, r);
    WriteEPPTable(report, r);
    if (r.m_bXMP) {
        CTListIterator<CXMP_Profile> it(r.m_pXMPProfiles);
        for (CXMP_Profile* profile = it.GetFirst(); profile; profile = it.GetNext()) WriteXMPProfile(report, *profile);
    }
    if (r.m_bAMP) {
        CTListIterator<CAMP_Profile> it(r.m_pAMPProfiles);
        for (CAMP_Profile* profile = it.GetFirst(); profile; profile = it.GetNext()) WriteAMPProfile(report, *profile);
    }
}

void CSPDInterface::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    for (int i = 0; i < m_iModuleCount && i < kMaxModules; ++i) {
        DumpModule(report, m_pModules[i]);
        report->PrintBlankLine();
    }
}

void CSPDInterface::DumpModule(CReportGenerator* report, const CModuleInfo& r) {
    report->PrintField("DIMM #", "\t\t\t\t", "%d", r.m_iIndex + 1);
    report->PrintField("SPD registers", "\t", "%s", "");
    char row[kRowSize] = {};
    for (int column = 0; column < 16; ++column) AppendFormat(row, sizeof row, "%02X ", column);
    report->PrintField("\t", "\t", "%s", row);
    const int length = r.m_pSPD ? r.m_iSPDLength : 0;
    for (int line = 0; line < length / 16; ++line) {
        row[0] = '\0';
        for (int column = 0; column < 16 && line * 16 + column < length; ++column)
            AppendFormat(row, sizeof row, "%02X ", r.m_pSPD[line * 16 + column]);
        PrintRow(report, "\t%02X", line * 16, "\t", row);
    }
}
