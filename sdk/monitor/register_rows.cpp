#include "sdk/monitor/register_rows.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"

namespace {
constexpr uint32_t kColumns = 16;
} // namespace

void PrintRegisterRow(CReportGenerator* report, uint32_t base,
                      const std::function<bool(uint32_t reg, uint8_t* value)>& read) {
    if (!report) return;
    char row[kColumns * 3 + 1] = {};
    for (uint32_t column = 0; column < kColumns; ++column) {
        uint8_t value = 0xFF;
        if (read(base + column, &value)) AppendFormat(row, sizeof row, "%02X ", value);
        else AppendFormat(row, sizeof row, "%s", "ER ");
    }
    char label[8];
    FormatString(label, sizeof label, "\t%02X", base);
    report->PrintField(label, "\t", "%s", row);
}

void PrintRegisterRows(CReportGenerator* report, uint32_t registers,
                       const std::function<bool(uint32_t reg, uint8_t* value)>& read) {
    if (!report) return;
    char header[kColumns * 3 + 1] = {};
    for (uint32_t column = 0; column < kColumns; ++column) AppendFormat(header, sizeof header, "%02X ", column);
    report->PrintField("\t", "\t", "%s", header);
    for (uint32_t base = 0; base < registers; base += kColumns) PrintRegisterRow(report, base, read);
}
