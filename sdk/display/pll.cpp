#include "sdk/display/pll.h"

#include "sdk/core/helpers.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_api.h"

CPLLOutput::CPLLOutput(const char* name, uint32_t type, float divider) : Type(type), Divider(divider) {
    FormatString(Name, sizeof Name, "%s", name);
}

CPLL::CPLL(uint32_t type, uint32_t id) : Type(type), Id(id), Outputs(new CTList<CPLLOutput>) {
    FormatString(Name, sizeof Name, "PLL ID = 0x%X", id);
}

CPLL::CPLL(uint32_t type, uint32_t id, CDisplayAdapter* owner, int32_t level, const char* name) : CPLL(type, id) {
    Owner = owner;
    Level = level;
    FormatString(Name, sizeof Name, "%s", name);
}

CPLL::~CPLL() {
    delete Attachment;
    Outputs->DeleteAll();
    delete Outputs;
}

int GPUCorePLL::Update() {
    if (Owner) Owner->Refresh();
    return 1;
}

int GPUCorePLL::SetFrequency(float mhz) {
    Frequency = mhz;
    return 1;
}

int GPUSecondaryPLL::Update() {
    Outputs->DeleteAll();
    return 0;
}

int GPUSecondaryPLL::SetFrequency(float mhz) {
    Frequency = mhz;
    return 1;
}

ATI_GPU_CORE_PLL::ATI_GPU_CORE_PLL(CDisplayAdapter* owner, int32_t level)
    : GPUCorePLL(PLL_TYPE_CORE, PLL_ID_ATI_GPU, owner, level, "ATI GPU Core PLL") {}
ATI_GPU_MEM_PLL::ATI_GPU_MEM_PLL(CDisplayAdapter* owner, int32_t level)
    : GPUSecondaryPLL(PLL_TYPE_MEMORY, PLL_ID_ATI_GPU, owner, level, "ATI GPU Memory PLL") {}
NVIDIA_GPU_CORE_PLL::NVIDIA_GPU_CORE_PLL(CDisplayAdapter* owner, int32_t level)
    : GPUCorePLL(PLL_TYPE_CORE, PLL_ID_NVIDIA_GPU, owner, level, "NVIDIA GPU Core PLL") {}
NVIDIA_GPU_SHADER_PLL::NVIDIA_GPU_SHADER_PLL(CDisplayAdapter* owner, int32_t level)
    : GPUSecondaryPLL(PLL_TYPE_SHADER, PLL_ID_NVIDIA_GPU, owner, level, "NVIDIA GPU Shaders PLL") {}
NVIDIA_GPU_MEM_PLL::NVIDIA_GPU_MEM_PLL(CDisplayAdapter* owner, int32_t level)
    : GPUSecondaryPLL(PLL_TYPE_MEMORY, PLL_ID_NVIDIA_GPU, owner, level, "NVIDIA GPU Memory PLL") {}
INTEL_GPU_CORE_PLL::INTEL_GPU_CORE_PLL(CDisplayAdapter* owner, int32_t level)
    : GPUCorePLL(PLL_TYPE_CORE, PLL_ID_INTEL_GPU, owner, level, "Intel IGP Core PLL") {}

int NVIDIA_GPU_CORE_PLL::Apply() {
    if (!Owner) return 0;
    CTListIterator<_stAPIEntry> entries(Owner->APIEntries);
    for (_stAPIEntry* entry = entries.GetFirst(); entry; entry = entries.GetNext())
        if (entry->API && entry->API->SetCoreClock(Owner, Level, Frequency)) return 1;
    return 0;
}
