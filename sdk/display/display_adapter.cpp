#include "sdk/display/display_adapter.h"

#include <memory>

#include "sdk/core/sdk.h"
#include "sdk/display/display_api.h"
#include "sdk/display/pll.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/register_space.h"

uint32_t GPUFamilyOfVendor(uint16_t vendor) {
    switch (vendor) {
    case 0x1002: return GPU_FAMILY_ATI;
    case 0x10DE: return GPU_FAMILY_NVIDIA;
    case 0x8086: return GPU_FAMILY_INTEL;
    default: return 0xFFFFFFFF;
    }
}

CDisplayAdapter::CDisplayAdapter()
    : CCompositeDevice(DEVICE_DISPLAY_ADAPTER), Name{}, Codename{}, BoardVendor{}, DisplayName{},
      APIEntries(new CTList<_stAPIEntry>), PerfLevelName{} {}

CDisplayAdapter::~CDisplayAdapter() {
    APIEntries->FreeAll();
    delete APIEntries;
    for (CRegisterSpace* space : {I2CSpace, APII2CSpace}) {
        if (!space) continue;
        GetSDK()->m_pRegisterSpaces->Remove(space);
        delete space;
    }
}

void CDisplayAdapter::AddAPIEntry(CDisplayAPI* api, int32_t index) {
    if (!FindAPIEntry(api)) APIEntries->AddTail(new _stAPIEntry{api, index});
}

_stAPIEntry* CDisplayAdapter::FindAPIEntry(CDisplayAPI* api) {
    CTListIterator<_stAPIEntry> it(APIEntries);
    for (_stAPIEntry* entry = it.GetFirst(); entry; entry = it.GetNext())
        if (entry->API == api) return entry;
    return nullptr;
}

int32_t CDisplayAdapter::GetAPIIndex(CDisplayAPI* api) {
    const _stAPIEntry* entry = FindAPIEntry(api);
    return entry ? entry->Index : -1;
}

CPCIDevice* CDisplayAdapter::GetPCIDevice() {
    CTListIterator<CDevice> it(m_pChildren);
    for (CDevice* child = it.GetFirst(); child; child = it.GetNext())
        if (child->m_dwKind & DEVICE_PCI) return static_cast<CPCIDevice*>(child);
    return nullptr;
}

int32_t CDisplayAdapter::GetVendorID() {
    CPCIDevice* pci = GetPCIDevice();
    return pci ? pci->GetVendorID() : -1;
}

int32_t CDisplayAdapter::GetDeviceID() {
    CPCIDevice* pci = GetPCIDevice();
    return pci ? pci->GetDeviceID() : -1;
}

int32_t CDisplayAdapter::GetPCIBus() {
    CPCIDevice* pci = GetPCIDevice();
    return pci ? pci->m_byBus : -1;
}

float CDisplayAdapter::GetClock(int32_t domain, int32_t level) {
    if (level < 0 || level >= PerfLevelCount || level >= kMaxPerfLevels) return -1.0f;
    CPLL* const* generators = domain == GPU_CLOCK_CORE     ? CorePLL
                              : domain == GPU_CLOCK_SHADER ? ShaderPLL
                              : domain == GPU_CLOCK_MEMORY ? MemoryPLL
                                                           : nullptr;
    return generators && generators[level] ? generators[level]->Frequency : -1.0f;
}

namespace {

enum class Clock { Core, Shader, Memory };

// The generator class for a clock and the family's vendor byte; null when
// that vendor has no such generator.
CPLL* CreateGenerator(Clock clock, uint32_t family, CDisplayAdapter* adapter, int32_t level) {
    switch (family >> 24) {
    case 0x01:
        return clock == Clock::Core     ? static_cast<CPLL*>(new NVIDIA_GPU_CORE_PLL(adapter, level))
               : clock == Clock::Shader ? static_cast<CPLL*>(new NVIDIA_GPU_SHADER_PLL(adapter, level))
                                        : new NVIDIA_GPU_MEM_PLL(adapter, level);
    case 0x02:
        if (clock == Clock::Core) return new ATI_GPU_CORE_PLL(adapter, level);
        return clock == Clock::Memory ? new ATI_GPU_MEM_PLL(adapter, level) : nullptr;
    case 0x04: return clock == Clock::Core ? new INTEL_GPU_CORE_PLL(adapter, level) : nullptr;
    default: return nullptr;
    }
}

void StoreClock(CPLL*& slot, Clock clock, CDisplayAdapter* adapter, int32_t level, float mhz) {
    if (!slot) {
        slot = CreateGenerator(clock, adapter->FamilyCode, adapter, level);
        if (!slot) return;
        static constexpr struct {
            const char* name;
            uint32_t type;
        } kOutputs[] = {{"GPU Core", PLL_OUTPUT_GPU_CORE},
                        {"GPU Shaders", PLL_OUTPUT_GPU_SHADERS},
                        {"GPU Memory", PLL_OUTPUT_GPU_MEMORY}};
        const auto& output = kOutputs[static_cast<int>(clock)];
        slot->Outputs->AddTail(new CPLLOutput(output.name, output.type, 1.0f));
        GetSDK()->m_pPLLs->AddTail(slot);
    }
    slot->Frequency = mhz;
}

} // namespace

void CDisplayAdapter::RefreshLevel(CDisplayAPI* api, int32_t level) {
    float mhz = 0, low = 0, high = 0;
    if (api->GetCoreClock(this, level, &mhz, &low, &high)) StoreClock(CorePLL[level], Clock::Core, this, level, mhz);
    if (api->GetShaderClock(this, level, &mhz, &low, &high))
        StoreClock(ShaderPLL[level], Clock::Shader, this, level, mhz);
    if (api->GetMemoryClock(this, level, &mhz, &low, &high))
        StoreClock(MemoryPLL[level], Clock::Memory, this, level, mhz);
    if (api->GetCoreClock2(this, level, &mhz) && CorePLL[level]) CorePLL[level]->Frequency2 = mhz;
    if (api->GetShaderClock2(this, level, &mhz) && ShaderPLL[level]) ShaderPLL[level]->Frequency2 = mhz;
    if (api->GetMemoryClock2(this, level, &mhz) && MemoryPLL[level]) MemoryPLL[level]->Frequency2 = mhz;
}

// Memory size, type and bus width: the first API that answers wins.
void CDisplayAdapter::RefreshMemory(CDisplayAPI* api) {
    uint32_t value = 0xFFFFFFFF;
    if (MemorySize == -1 && api->GetMemorySize(this, &value)) MemorySize = int32_t(value);
    value = 0xFFFFFFFF;
    if (MemoryType == 0xFFFFFFFF && api->GetMemoryType(this, &value)) MemoryType = value;
    value = 0xFFFFFFFF;
    if (MemoryBusWidth == -1 && api->GetMemoryBusWidth(this, &value)) MemoryBusWidth = int32_t(value);
}

void CDisplayAdapter::RefreshFrom(CDisplayAPI* api) {
    PerfLevelCount = api->GetPerfLevelCount(this);
    if (PerfLevelCount > kMaxPerfLevels) PerfLevelCount = kMaxPerfLevels;
    if (PerfLevelCount > 1) {
        CurrentPerfLevel = api->GetCurrentPerfLevel(this);
        if (PerfLevelName[0][0] == '\0')
            for (int32_t level = 0; level < PerfLevelCount; ++level)
                api->GetPerfLevelName(this, level, PerfLevelName[level]);
    }
    for (int32_t level = 0; level < PerfLevelCount; ++level) RefreshLevel(api, level);
    RefreshMemory(api);
}

void CDisplayAdapter::Refresh() {
    CTListIterator<_stAPIEntry> it(APIEntries);
    for (_stAPIEntry* entry = it.GetFirst(); entry; entry = it.GetNext())
        if (entry->API) RefreshFrom(entry->API);
    if (MemorySize == -1) {
        auto generic = std::make_unique<CDisplayAPI>(DISPLAY_API_GENERIC);
        uint32_t mb = 0xFFFFFFFF;
        if (generic->GetMemorySize(this, &mb)) MemorySize = int32_t(mb);
    }
}
