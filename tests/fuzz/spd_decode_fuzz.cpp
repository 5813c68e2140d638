// SPD bytes as a module's EEPROM might answer them -> the decoder of the
// type byte 2 names, its profiles, the module's report lines and register
// dump. Lengths from 0 to 512 reach the short-read paths as well.
#include <cstring>

#include "sdk/chipset/module_info.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/report_generator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 512) size = 512;
    CModuleInfo record;
    record.m_iIndex = 0;
    record.m_ucAddress = 0x50;
    uint8_t* buffer = record.AllocateSPD(static_cast<int>(size));
    if (size) std::memcpy(buffer, data, size);
    record.m_iSPDLength = static_cast<int>(size);
    CSPDInterface::DecodeRecord(&record);
    CReportGenerator_Buffer report;
    CSPDInterface::WriteModule(&report, record);
    CSPDInterface::DumpModule(&report, record);
    return 0;
}
