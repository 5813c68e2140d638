#include "sdk/core/sensor.h"

#include <cmath>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"

namespace {

constexpr size_t kLabelSize = 64;   // 63 characters and the terminator
constexpr size_t kValueSize = 256;  // 255 characters and the terminator

} // namespace

CSensor::CSensor(uint32_t classCode) : m_dwId(classCode) { ResetMinMax(); }

CSensor::CSensor(uint32_t classCode, uint8_t index, float value) : CSensor(classCode + index) { m_fValue = value; }

bool CSensor::IsValid() const { return !std::isnan(m_fValue) && m_fValue != -1.0f; }

void CSensor::SetValue(float value, uint32_t track) {
    m_fValue = value;
    if (!track || !IsValid()) return;
    if (value > m_fMaximum) m_fMaximum = value;
    if (value < m_fMinimum) m_fMinimum = value;
}

void CSensor::ResetMinMax() {
    m_fMinimum = kMinimumStart;
    m_fMaximum = kMaximumStart;
}

void CSensor::Dump(CReportGenerator* report) {
    if (!report) return;
    char label[kLabelSize];
    FormatString(label, sizeof label, "\tSensor %d", static_cast<int>(m_dwId));
    char value[kValueSize];
    FormatString(value, sizeof value, "%.2f [0x%X]", static_cast<double>(m_fValue), m_dwRawValue);
    if (m_szName[0]) AppendFormat(value, sizeof value, " (%.255s)", m_szName);  // the name may fill its array
    report->PrintField(label, "\t", "%s", value);
}

void CSensor::DumpReading(CReportGenerator* report, const char* labelFormat, const char* pad,
                          const char* reading) const {
    if (!report) return;
    char label[kLabelSize];
    FormatString(label, sizeof label, labelFormat, static_cast<int>(GetIndex()));
    char value[kValueSize];
    FormatString(value, sizeof value, "%s", IsValid() ? reading : "n.a.");
    if (m_dwRawValue != kNoRawValue) AppendFormat(value, sizeof value, " [0x%X]", m_dwRawValue);
    if (m_szName[0]) AppendFormat(value, sizeof value, " (%.255s)", m_szName);  // the name may fill its array
    report->PrintField(label, pad, "%s", value);
}
