#include "sdk/cpu/fidvid_control.h"

#include <algorithm>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/msr_register.h"

FIDVID_Control::FIDVID_Control(uint32_t statusMsr, uint32_t controlMsr)
    : m_pStatus(new MSR_Register(statusMsr)), m_pControl(new MSR_Register(controlMsr)) {}

FIDVID_Control::~FIDVID_Control() {
    delete m_pStatus;
    delete m_pControl;
}

int FIDVID_Control::GetPState(int32_t i, int32_t* fid, int32_t* vid, int32_t* current) const {
    if (i < 0 || i >= m_iPStateCount || static_cast<size_t>(i) >= m_PStates.size()) return 0;
    const PStateRow& row = m_PStates[static_cast<size_t>(i)];
    if (fid) *fid = row.fid;
    if (vid) *vid = row.vid;
    if (current) *current = row.current;
    return 1;
}

void FIDVID_Control::SetPStates(std::vector<PStateRow> rows) {
    m_PStates = std::move(rows);
    m_iPStateCount = static_cast<int32_t>(m_PStates.size());
}

void FIDVID_Control::SortPStates() {
    const auto count = static_cast<size_t>(std::clamp<int32_t>(m_iPStateCount, 0, int32_t(m_PStates.size())));
    std::stable_sort(m_PStates.begin(), m_PStates.begin() + static_cast<std::ptrdiff_t>(count),
                     [this](const PStateRow& a, const PStateRow& b) {
                         return MultiplierOf(a.fid) > MultiplierOf(b.fid);
                     });
}

void FIDVID_Control::DumpMSRs(CReportGenerator* report) {
    for (MSR_Register* reg : {m_pStatus, m_pControl})
        if (reg && reg->Read()) reg->Dump(report);
}

namespace {

// A range line when both ends are known, else the end that is.
void DumpRange(CReportGenerator* report, const char* name, const char* unitFormat, float low, float high) {
    char label[32], format[64];
    if (low > 0 && high > 0) {
        FormatString(label, sizeof label, "\t%s range", name);
        FormatString(format, sizeof format, "%s - %s", unitFormat, unitFormat);
        report->PrintField(label, "\t\t", format, low, high);
    } else if (low > 0) {
        FormatString(label, sizeof label, "\tMin %s", name);
        report->PrintField(label, "\t\t\t", unitFormat, low);
    } else if (high > 0) {
        FormatString(label, sizeof label, "\tMax %s", name);
        report->PrintField(label, "\t\t\t", unitFormat, high);
    }
}

} // namespace

void FIDVID_Control::Dump(CReportGenerator* report) {
    if (!report) return;
    DumpRange(report, "FID", "%.1fx", GetMinMultiplier(), GetMaxMultiplier());
    DumpRange(report, "VID", "%.3f V", GetMinVoltage(), GetMaxVoltage());
    if (m_iPStateCount > 0) {
        report->PrintField("\t# of P-States", "\t\t", "%d", m_iPStateCount);
        for (int32_t i = 0; i < m_iPStateCount && static_cast<size_t>(i) < m_PStates.size(); ++i) {
            const PStateRow& row = m_PStates[static_cast<size_t>(i)];
            const double multiplier = MultiplierOf(row.fid), voltage = VoltageOf(row.vid);
            if (row.current == -1)
                report->PrintField("\tP-State", "\t\t\t", "FID 0x%X - VID 0x%02X (%.2fx - %.3f V)", row.fid, row.vid,
                                   multiplier, voltage);
            else if (row.frequency == -1)
                report->PrintField("\tP-State", "\t\t\t", "FID 0x%X - VID 0x%02X - IDD %d (%.2fx - %.3f V)", row.fid,
                                   row.vid, row.current, multiplier, voltage);
            else
                report->PrintField("\tP-State", "\t\t\t", "%d MHz - FID 0x%X - VID 0x%02X - IDD %d (%.2fx - %.3f V)",
                                   row.frequency, row.fid, row.vid, row.current, multiplier, voltage);
        }
    }
    report->PrintBlankLine();
    DumpExtra(report);
}
