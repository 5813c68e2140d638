#include "sdk/system/dmi_processor.h"

#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_table.h"

namespace {

constexpr size_t kProcessorTextChars = 127;

// The ratio of two clocks on a multiple of 0.5: twenty times the ratio,
// plus 0.51 and cut to an integer, is rounded to tens and halved, so that
// 2400 MHz over 133 MHz gives 18.0 and 2667 over 133 gives 20.0.
float HalfStepRatio(float clock, float reference) {
    const int twentieths = static_cast<int>(clock * 20.0f / reference + 0.51f);
    return static_cast<float>((twentieths + 5) / 10) * 0.5f;
}

} // namespace

void CDMI_Processor::Fill(const DMIStructureView& structure) {
    CopyDMIString(m_Manufacturer, structure, 0x07, kProcessorTextChars);
    CopyDMIString(m_Version, structure, 0x10, kProcessorTextChars);
    if (const auto speed = structure.Word(0x16); speed && *speed) m_fCurrentSpeed = *speed;
    if (const auto clock = structure.Word(0x12); clock && *clock) m_fExternalClock = *clock;
    if (m_fCurrentSpeed > 0 && m_fExternalClock > 0)
        m_fMultiplier = HalfStepRatio(m_fCurrentSpeed, m_fExternalClock);
}

void CDMI_Processor::Dump(CReportGenerator* report) {
    PrintHeading(report, "DMI Processor");
    PrintText(report, "\tmanufacturer", "\t\t", m_Manufacturer);
    PrintText(report, "\tmodel", "\t\t\t", m_Version);
    if (m_fCurrentSpeed > 0) report->PrintField("\tclock speed", "\t\t", "%.1f MHz", m_fCurrentSpeed);
    if (m_fExternalClock > 0) report->PrintField("\tFSB speed", "\t\t", "%.1f MHz", m_fExternalClock);
    if (m_fMultiplier > 0) report->PrintField("\tmultiplier", "\t\t", "%.1fx", m_fMultiplier);
}
