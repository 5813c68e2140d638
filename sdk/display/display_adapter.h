// One graphics adapter: a composite device whose child is the GPU's PCI
// function. The display APIs bound to it (in binding order) answer its
// questions; Refresh keeps their performance levels and clocks in clock
// generators of the root's list and their memory facts in its fields.
#pragma once

#include <cstdint>

#include "sdk/core/device.h"

class CDisplayAPI;
class CIOSpace;
class CPCIDevice;
class CPLL;
class CRegisterSpace;

// Vendor in bits 24-31 (0x01 NVIDIA, 0x02 ATI/AMD, 0x04 Intel), the chip or
// architecture below; -1 unknown.
enum GPUFamilyVendor : uint32_t {
    GPU_FAMILY_NVIDIA = 0x1000000,
    GPU_FAMILY_ATI = 0x2000000,
    GPU_FAMILY_INTEL = 0x4000000,
};

enum GPUClockDomain : int32_t {
    GPU_CLOCK_CORE = 0,
    GPU_CLOCK_SHADER = 4,
    GPU_CLOCK_MEMORY = 7,
};

// The bare family of a PCI vendor id: 0x1002 ATI/AMD, 0x10DE NVIDIA,
// 0x8086 Intel; 0xFFFFFFFF for any other.
uint32_t GPUFamilyOfVendor(uint16_t vendor);

struct _stAPIEntry {
    CDisplayAPI* API;
    int32_t Index;  // the GPU's position in the API's own enumeration; -1 for the adapter itself
};

class CDisplayAdapter : public CCompositeDevice {
public:
    static constexpr int kMaxPerfLevels = 8;

    CDisplayAdapter();
    ~CDisplayAdapter() override;

    void Dump(CReportGenerator* report) override;
    const char* GetName() override { return Name; }
    virtual const char* GetBoardVendor() { return BoardVendor; }
    // The keyed form of the block; no keyed writer exists, so it is empty.
    virtual void DumpKeyed(void*) {}

    // Binds an API once; a second call for the same API changes nothing.
    void AddAPIEntry(CDisplayAPI* api, int32_t index);
    _stAPIEntry* FindAPIEntry(CDisplayAPI* api);
    int32_t GetAPIIndex(CDisplayAPI* api);
    CPCIDevice* GetPCIDevice();
    int32_t GetVendorID();
    int32_t GetDeviceID();
    int32_t GetPCIBus();
    // Asks every bound API for levels, clocks and memory facts.
    void Refresh();
    // The frequency of a generator by GPUClockDomain and level; -1.0 when
    // there is none.
    float GetClock(int32_t domain, int32_t level);

    char Name[256];
    char Codename[256];
    char BoardVendor[256];
    char DisplayName[32];
    int32_t Revision = -1;
    float Technology = -1.0f;
    int32_t Index = -1;
    uint32_t FamilyCode = 0xFFFFFFFF;
    CTList<_stAPIEntry>* APIEntries;
    uint32_t ThermalChip = 0xFFFFFFFF;
    int32_t LastTemperature = 0;
    uint32_t ThermalChipBus = 0xFFFFFFFF;
    uint32_t ThermalChipAddress = 0xFFFFFFFF;
    int32_t CoreReferenceClock = -1;
    int32_t MemoryReferenceClock = -1;
    int32_t MemorySize = -1;
    uint32_t MemoryType = 0xFFFFFFFF;
    int32_t MemoryBusWidth = -1;
    float TemperatureOffset = -1.0f;
    CPLL* CorePLL[kMaxPerfLevels] = {};
    CPLL* ShaderPLL[kMaxPerfLevels] = {};
    CPLL* MemoryPLL[kMaxPerfLevels] = {};
    int32_t PerfLevelCount = 1;
    int32_t CurrentPerfLevel = -1;
    char PerfLevelName[kMaxPerfLevels][64];
    CIOSpace* MMIOSpace = nullptr;         // not owned
    CRegisterSpace* I2CSpace = nullptr;     // owned
    CRegisterSpace* APII2CSpace = nullptr;  // owned

private:
    void RefreshFrom(CDisplayAPI* api);
    void RefreshLevel(CDisplayAPI* api, int32_t level);
    void RefreshMemory(CDisplayAPI* api);
};
