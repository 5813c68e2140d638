#include "sdk/system/drive.h"

#include "sdk/core/report_generator.h"

namespace {

constexpr double kGBPerMB = 0.0009765625;  // 1/1024

} // namespace

void CDrive::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("Drive", "\t", "%d", m_iNumber);
    report->PrintField("\tDevice Path", "\t\t", "%s", m_szDevicePath);
    report->PrintField("\tType", "\t\t\t", m_bRemovable ? "Removable" : "Fixed");
    if (m_szModel[0]) report->PrintField("\tName", "\t\t\t", "%s", m_szModel);
    if (m_szRevision[0]) report->PrintField("\tRevision", "\t\t", "%s", m_szRevision);
    if (m_szSerial[0]) report->PrintField("\tSerial", "\t\t\t", "%s", m_szSerial);
    // The capacity line takes the low 32 bits of the size in MB.
    const auto capacity = static_cast<uint32_t>(m_qwCapacityMB);
    if (capacity) report->PrintField("\tCapacity", "\t\t", "%.1f GB", capacity * kGBPerMB);
    report->PrintField("\tSMART Support", "\t\t", m_bSMARTSupported ? "Yes" : "No");
    report->PrintBlankLine();
}
