#include "sdk/display/edid.h"

#include <cmath>
#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"

namespace {

constexpr size_t kDescriptorOffsets[] = {0x36, 0x48, 0x5A, 0x6C};
constexpr size_t kDescriptorTextBytes = 13;

// The first of the four 18-byte descriptors with that tag (bytes 2 and 3
// being 0 and the tag), or null.
const uint8_t* FindDescriptor(const uint8_t* block, uint8_t tag) {
    for (size_t offset : kDescriptorOffsets) {
        const uint8_t* descriptor = block + offset;
        if (descriptor[2] == 0 && descriptor[3] == tag) return descriptor;
    }
    return nullptr;
}

// A descriptor's text from byte 5 on: at most 13 bytes, ended by 0x0A.
template <size_t N>
void CopyDescriptorText(const uint8_t* descriptor, char (&text)[N]) {
    static_assert(N > kDescriptorTextBytes);
    size_t length = 0;
    while (length < kDescriptorTextBytes && descriptor[5 + length] != 0x0A) {
        text[length] = char(descriptor[5 + length]);
        ++length;
    }
    text[length] = '\0';
}

void DecodePreferredTiming(const uint8_t* d, _EDID_INFOS* record) {
    const double pixelClockHz = double(d[1] << 8 | d[0]) * 10000.0;
    const int horizontalActive = (d[4] & 0xF0) << 4 | d[2];
    const int horizontalBlanking = (d[4] & 0x0F) << 8 | d[3];
    const int verticalActive = (d[7] & 0xF0) << 4 | d[5];
    const int verticalBlanking = (d[7] & 0x0F) << 8 | d[6];
    record->PreferredWidth = horizontalActive;
    record->PreferredHeight = verticalActive;
    // A timing whose totals are zero names no refresh rate: it stays 0.
    const double pixelsPerFrame =
        double(horizontalActive + horizontalBlanking) * double(verticalActive + verticalBlanking);
    if (pixelsPerFrame > 0) record->PreferredRefresh = int32_t(pixelClockHz / pixelsPerFrame);
}

} // namespace

void ParseEDID(const uint8_t* edid, size_t length, _EDID_INFOS* record) {
    std::memset(record, 0, sizeof *record);
    // A shorter block is decoded from a zeroed copy, never read past its end.
    uint8_t b[kEDIDBaseBlockBytes] = {};
    if (edid) std::memcpy(b, edid, length < sizeof b ? length : sizeof b);

    const unsigned w = unsigned(b[8]) << 8 | b[9];
    const char id[4] = {char(((w >> 10) & 0x1F) + 0x40), char(((w >> 5) & 0x1F) + 0x40), char((w & 0x1F) + 0x40),
                        '\0'};
    if (const char* maker = MonitorVendorName(id)) FormatString(record->Manufacturer, 32, "%.31s", maker);
    FormatString(record->MonitorID, sizeof record->MonitorID, "%s%02X%02X", id, b[11], b[10]);
    FormatString(record->Version, sizeof record->Version, "%X.%X", b[0x12], b[0x13]);

    if (const uint8_t* name = FindDescriptor(b, 0xFC)) CopyDescriptorText(name, record->ModelName);
    if (b[0x13] < 2) {
        FormatString(record->SerialNumber, sizeof record->SerialNumber, "%02X%02X%02X%02X", b[0x0C], b[0x0D],
                     b[0x0E], b[0x0F]);
    } else if (const uint8_t* serial = FindDescriptor(b, 0xFF)) {
        CopyDescriptorText(serial, record->SerialNumber);
    }

    record->Week = b[0x10];
    record->Year = b[0x11] + 1990;
    record->InputDefinition = b[0x14];
    record->WidthCm = b[0x15];
    record->HeightCm = b[0x16];
    const float width = float(record->WidthCm), height = float(record->HeightCm);
    record->DiagonalInches = std::sqrt(width * width + height * height) / 2.54f;
    record->Gamma = float(b[0x17] / 100.0 + 1.0);
    record->DPMSActiveOff = (b[0x18] >> 5) & 1;
    record->DPMSSuspend = (b[0x18] >> 6) & 1;
    record->DPMSStandby = (b[0x18] >> 7) & 1;
    record->EstablishedTimings1 = b[0x23];
    record->EstablishedTimings2 = b[0x24];

    if (const uint8_t* limits = FindDescriptor(b, 0xFD)) {
        record->VerticalMinHz = limits[5];
        record->VerticalMaxHz = limits[6];
        record->HorizontalMinKHz = limits[7];
        record->HorizontalMaxKHz = limits[8];
        record->MaxPixelClockMHz = limits[9] * 10;
    }
    if (b[0x18] & 0x02) DecodePreferredTiming(b + 0x36, record);
}

void DumpMonitor(const _EDID_INFOS& m, int number, CReportGenerator* report) {
    char label[256];
    FormatString(label, sizeof label, "Monitor %d", number);
    report->PrintField(label, "\t", "%s", "");
    report->PrintField("\tModel", "\t\t\t", "%s (%s)", m.ModelName, m.Manufacturer);
    report->PrintField("\tID", "\t\t\t", "%s", m.MonitorID);
    report->PrintField("\tSerial", "\t\t\t", "%s", m.SerialNumber);
    report->PrintField("\tManufacturing Date", "\t", "Week %d, Year %d", m.Week, m.Year);
    report->PrintField("\tSize", "\t\t\t", "%.1f inches", double(m.DiagonalInches));
    report->PrintField("\tMax Resolution", "\t\t", "%d x %d @ %d Hz", m.PreferredWidth, m.PreferredHeight,
                       m.PreferredRefresh);
    report->PrintField("\tHorizontal Freq. Range", "\t", "%d-%d kHz", m.HorizontalMinKHz, m.HorizontalMaxKHz);
    report->PrintField("\tVertical Freq. Range", "\t", "%d-%d Hz", m.VerticalMinHz, m.VerticalMaxHz);
    report->PrintField("\tMax Pixel Clock", "\t\t", "%d MHz", m.MaxPixelClockMHz);
    report->PrintField("\tGamma Factor", "\t\t", "%.1f", double(m.Gamma));
    report->PrintBlankLine();
}
