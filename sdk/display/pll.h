// GPU clock generators: one per clock (core, shader, memory) and
// performance level of an adapter, owned by the root's clock-generator
// list; the adapter writes the frequencies its display APIs report.
#pragma once

#include <cstdint>

#include "sdk/core/list.h"

class CDisplayAdapter;

enum PLLType : uint32_t {
    PLL_TYPE_CORE = 0x20000000,
    PLL_TYPE_MEMORY = 0x40000000,
    PLL_TYPE_SHADER = 0x80000000,
};

enum PLLId : uint32_t {
    PLL_ID_NVIDIA_GPU = 0x1001000,
    PLL_ID_ATI_GPU = 0x2000010,
    PLL_ID_INTEL_GPU = 0x80000001,
};

enum PLLOutputType : uint32_t {
    PLL_OUTPUT_GPU_CORE = 6,
    PLL_OUTPUT_GPU_MEMORY = 7,
    PLL_OUTPUT_GPU_SHADERS = 8,
};

class CPLLOutput {
public:
    CPLLOutput(const char* name, uint32_t type, float divider);
    virtual ~CPLLOutput() = default;
    char Name[128];
    uint32_t Type;
    float Divider;
    float Factor = 1.0f;
};

// Owned by an attachment slot no part of this program fills.
class CPLLAttachment {
public:
    virtual ~CPLLAttachment() = default;
};

class CPLL {
public:
    CPLL(uint32_t type, uint32_t id);
    CPLL(const CPLL&) = delete;
    CPLL& operator=(const CPLL&) = delete;

    // Puts Frequency into the hardware; 1 when an API took it.
    virtual int Apply() { return 0; }
    virtual ~CPLL();
    virtual int Update() { return 0; }
    virtual int SetFrequency(float) { return 0; }
    virtual int ReservedOpA(void*) { return 0; }
    virtual int ReservedOpB(void*) { return 0; }
    virtual void DumpExtra() {}
    // Name, clock and outputs through the root's debug print callback; the
    // library installs none, so nothing is written.
    virtual void DebugDump() {}

    char Name[256];
    uint32_t Type;
    uint32_t Id;
    float Spare1 = -1.0f;
    int32_t Spare2 = -1;
    int32_t Spare3 = -1;
    float Frequency = -1.0f;  // MHz
    float Spare4 = -1.0f;
    float Spare5 = -1.0f;
    float Frequency2 = -1.0f;  // the level's second clock value
    CTList<CPLLOutput>* Outputs;
    uint32_t Spare6 = 0;
    CPLLAttachment* Attachment = nullptr;
    CDisplayAdapter* Owner = nullptr;
    int32_t Level = -1;

protected:
    CPLL(uint32_t type, uint32_t id, CDisplayAdapter* owner, int32_t level, const char* name);
};

// The vendor generators. Core ones refresh their owner on Update; memory
// and shader ones drop their outputs.
class GPUCorePLL : public CPLL {
public:
    int Update() override;
    int SetFrequency(float mhz) override;

protected:
    using CPLL::CPLL;
};

class GPUSecondaryPLL : public CPLL {
public:
    int Update() override;
    int SetFrequency(float mhz) override;

protected:
    using CPLL::CPLL;
};

class ATI_GPU_CORE_PLL final : public GPUCorePLL {
public:
    ATI_GPU_CORE_PLL(CDisplayAdapter* owner, int32_t level);
};
class ATI_GPU_MEM_PLL final : public GPUSecondaryPLL {
public:
    ATI_GPU_MEM_PLL(CDisplayAdapter* owner, int32_t level);
};
class NVIDIA_GPU_CORE_PLL final : public GPUCorePLL {
public:
    NVIDIA_GPU_CORE_PLL(CDisplayAdapter* owner, int32_t level);
    // SetCoreClock through the owner's APIs in binding order.
    int Apply() override;
};
class NVIDIA_GPU_SHADER_PLL final : public GPUSecondaryPLL {
public:
    NVIDIA_GPU_SHADER_PLL(CDisplayAdapter* owner, int32_t level);
};
class NVIDIA_GPU_MEM_PLL final : public GPUSecondaryPLL {
public:
    NVIDIA_GPU_MEM_PLL(CDisplayAdapter* owner, int32_t level);
};
class INTEL_GPU_CORE_PLL final : public GPUCorePLL {
public:
    INTEL_GPU_CORE_PLL(CDisplayAdapter* owner, int32_t level);
};
