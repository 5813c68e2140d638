// The display queries: the number of display adapters (slot 120) and each
// adapter's name, revision, performance levels and their clocks, video
// memory, PCI ids and technology (slots 121-129, 134-136, 140, 141).
#include <string>

#include "app/local_info_parser.h"
#include "app/query_text.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/pci_device.h"

int CLocalInfoParser::GetDisplayAdapterCount() {
    if (!m_pDisplay || !m_pDisplay->Adapters) return -1;
    return int(m_pDisplay->Adapters->GetCount());
}

namespace {

CDisplayAdapter* AdapterAt(CDisplayInterface* display, int A) {
    return display && A >= 0 ? display->GetAdapter(A) : nullptr;
}

int LevelCount(const CDisplayAdapter& adapter) {
    return adapter.PerfLevelCount < CDisplayAdapter::kMaxPerfLevels ? adapter.PerfLevelCount
                                                                    : CDisplayAdapter::kMaxPerfLevels;
}

// Slots 134-136: -1 first, then the adapter's value (which may be -1).
int MemoryAnswer(CDisplayAdapter* adapter, int32_t value, int* output) {
    if (!output) return 0;
    *output = -1;
    if (!adapter) return 0;
    *output = value;
    return 1;
}

} // namespace

int CLocalInfoParser::GetGPUFamilyCode(int A) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? int(adapter->FamilyCode) : -1;
}

int CLocalInfoParser::GetGPUName(int A, wchar_t* text) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? TextAnswer(adapter->GetName(), text) : 0;
}

int CLocalInfoParser::GetGPUBoardVendor(int A, wchar_t* text) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? TextAnswer(adapter->GetBoardVendor(), text) : 0;
}

int CLocalInfoParser::GetGPURevision(int A) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? adapter->Revision : -1;
}

int CLocalInfoParser::GetGPUCodename(int A, wchar_t* text) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? TextAnswer(adapter->Codename, text) : 0;
}

int CLocalInfoParser::GetPerfLevelCount(int A) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? LevelCount(*adapter) : -1;
}

// An unnamed level is "Perf Level %d".
int CLocalInfoParser::GetPerfLevelName(int A, int level, wchar_t* text) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    if (!adapter || !text || level < 0 || level >= LevelCount(*adapter)) return 0;
    const char* name = adapter->PerfLevelName[level];
    if (name[0]) {
        vexa::platform::narrowToWide(name, text, kInfoTextChars);
    } else {
        const std::string numbered = "Perf Level " + std::to_string(level);
        vexa::platform::narrowToWide(numbered.c_str(), text, kInfoTextChars);
    }
    return 1;
}

int CLocalInfoParser::GetCurrentPerfLevel(int A) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? adapter->CurrentPerfLevel : -1;
}

float CLocalInfoParser::GetGPUClock(int A, int level, int clockDomain) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    if (!adapter || level < 0 || level >= LevelCount(*adapter)) return -1.0f;
    if (clockDomain != GPU_CLOCK_CORE && clockDomain != GPU_CLOCK_SHADER && clockDomain != GPU_CLOCK_MEMORY) return -1.0f;
    return adapter->GetClock(clockDomain, level);
}

int CLocalInfoParser::GetGPUMemoryType(int A, int* type) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return MemoryAnswer(adapter, adapter ? int32_t(adapter->MemoryType) : -1, type);
}

int CLocalInfoParser::GetGPUMemorySize(int A, int* sizeMB) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return MemoryAnswer(adapter, adapter ? adapter->MemorySize : -1, sizeMB);
}

int CLocalInfoParser::GetGPUMemoryBusWidth(int A, int* bits) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return MemoryAnswer(adapter, adapter ? adapter->MemoryBusWidth : -1, bits);
}

// The first PCI function among the adapter's children; each id its low 16
// bits (an unknown one 0xFFFF).
int CLocalInfoParser::GetGPUPCIIDs(int A, int* vendor, int* device, int* revision, int* subVendor, int* subSystem) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    CPCIDevice* pci = adapter ? adapter->GetPCIDevice() : nullptr;
    if (!pci || !pci->m_pCommonHeader) return 0;
    const auto low = [](int32_t value) { return int(value & 0xFFFF); };
    if (vendor) *vendor = pci->m_pCommonHeader->m_wVendorID;
    if (device) *device = pci->m_pCommonHeader->m_wDeviceID;
    if (revision) *revision = pci->m_pCommonHeader->m_byRevisionID;
    if (subVendor) *subVendor = low(pci->GetSubVendorID());
    if (subSystem) *subSystem = low(pci->GetSubSystemID());
    return 1;
}

float CLocalInfoParser::GetGPUTechnology(int A) {
    CDisplayAdapter* adapter = AdapterAt(m_pDisplay, A);
    return adapter ? adapter->Technology : -1.0f;
}
