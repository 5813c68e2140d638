// A monitor described by its EDID base block (VESA EDID 1.x, 128 bytes).
#pragma once

#include <cstddef>
#include <cstdint>

class CReportGenerator;

struct _EDID_INFOS {
    uint32_t DPMSActiveOff;  // byte 0x18 bit 5
    uint32_t DPMSSuspend;    // byte 0x18 bit 6
    uint32_t DPMSStandby;    // byte 0x18 bit 7
    int32_t Week;
    int32_t Year;
    int32_t InputDefinition;
    int32_t WidthCm;
    int32_t HeightCm;
    int32_t VerticalMinHz;
    int32_t VerticalMaxHz;
    int32_t HorizontalMinKHz;
    int32_t HorizontalMaxKHz;
    int32_t PreferredWidth;
    int32_t PreferredHeight;
    int32_t PreferredRefresh;
    int32_t MaxPixelClockMHz;
    int32_t EstablishedTimings1;
    int32_t EstablishedTimings2;
    float DiagonalInches;
    float Gamma;
    char Version[8];
    char MonitorID[8];
    char ModelName[16];
    char SerialNumber[16];
    char Manufacturer[32];
};

constexpr size_t kEDIDBaseBlockBytes = 128;

// Decodes the base block at the start of `edid` (`length` bytes; bytes a
// shorter block lacks count as zero) into `record`.
void ParseEDID(const uint8_t* edid, size_t length, _EDID_INFOS* record);

// The maker's name of a three-letter PNP id; null when the table has none.
const char* MonitorVendorName(const char* pnpId);

// The report block of monitor `number`.
void DumpMonitor(const _EDID_INFOS& monitor, int number, CReportGenerator* report);
