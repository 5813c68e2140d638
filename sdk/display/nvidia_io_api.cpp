#include "sdk/display/nvidia_io_api.h"

#include <algorithm>
#include <bit>
#include <initializer_list>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/display_interface.h"
#include "sdk/display/nvidia_g80_i2c.h"
#include "sdk/display/nvidia_gpu_tables.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"

namespace {

constexpr uint16_t kNvidiaVendor = 0x10DE;

// BAR0 offsets.
constexpr uint32_t kBoot = 0x000000;
constexpr uint32_t kMemoryConfigNV20 = 0x001218;
constexpr uint32_t kMemoryPartitions = 0x001540;
constexpr uint32_t kMemoryPllControl = 0x004008, kMemoryPllCoefficients = 0x00400C;
constexpr uint32_t kMemoryPll2Control = 0x004018, kMemoryPll2Coefficients = 0x00401C;
constexpr uint32_t kShaderPllControl = 0x004020, kCoefficientsA = 0x004024, kCorePllControl = 0x004028,
                   kCoefficientsB = 0x00402C;
constexpr uint32_t kClockSource = 0x00C040;
constexpr uint32_t kThermal = 0x020400;
constexpr uint32_t kMemoryConfig = 0x100200, kMemorySize = 0x10020C, kMemoryConfigG84 = 0x100214,
                   kMemoryConfigNV40 = 0x100474, kMemoryTypeG80 = 0x100714;

// BAR layout bits of PCI configuration.
constexpr uint32_t kBar0 = 0x10, kBar0High = 0x14;
constexpr uint32_t kBarIo = 0x1, kBarTypeMask = 0x6, kBar64 = 0x4;

// GPUMemoryTypeCode.
constexpr uint32_t kDDR = 1, kDDR2 = 2, kDDR3 = 3, kGDDR3 = 0x30, kGDDR4 = 0x40;

constexpr float kCoreReferenceKHz = 27000.0f, kMemoryReferenceKHz = 108000.0f;
constexpr float kMemoryClockUnlocked = 100.0f;

bool IsOneOf(uint32_t family, std::initializer_list<uint32_t> families) {
    return std::find(families.begin(), families.end(), family) != families.end();
}

bool IsNV40Generation(uint32_t family) {
    return IsOneOf(family, {0x1040000, 0x1040003, 0x1040004}) || (family >= 0x1040070 && family <= 0x1040073);
}

bool ReadRegister(CDisplayAdapter* adapter, uint32_t offset, uint32_t* value) {
    return adapter && adapter->MMIOSpace && adapter->MMIOSpace->ReadDword(offset, value);
}

// N * reference / M shifted right by the post divider, in kHz; false for
// the 0/0 of an unselected or empty coefficient word.
bool PllKHz(uint32_t coefficients, uint32_t control, float referenceKHz, int32_t* khz) {
    const uint32_t n = coefficients >> 8 & 0xFF, m = coefficients & 0xFF, p = control >> 16 & 0x7;
    if (m == 0) return false;
    *khz = int32_t(float(n) * referenceKHz / float(m)) >> p;
    return true;
}

// The memory window BAR0 names; null for an absent or I/O BAR.
CIOSpace* MapRegisterWindow(CPCIDevice* pci) {
    uint32_t bar = 0;
    if (!pci->ReadConfigDword(kBar0, &bar) || bar == 0 || bar == 0xFFFFFFFF || (bar & kBarIo)) return nullptr;
    const uint32_t base = bar & ~0xFu;
    uint32_t high = 0;
    if ((bar & kBarTypeMask) == kBar64 && !pci->ReadConfigDword(kBar0High, &high)) return nullptr;
    if (base == 0 && high == 0) return nullptr;
    BRENIKSDK* sdk = GetSDK();
    CIOSpace* space = sdk->FindIOSpace(high, base, IOSPACE_MEMORY);
    if (!space) {
        space = new CMemoryIOSpace(high, base, 0xFFFFFFFF);
        sdk->m_pIOSpaces->AddTail(space);
    }
    return space;
}

} // namespace

NVIDIA_DirectIO_DisplayAPI::NVIDIA_DirectIO_DisplayAPI() : CDisplayAPI(DISPLAY_API_NVIDIA_IO) {
    FormatString(Name, sizeof Name, "%s", "NVIDIA I/O");
}

void NVIDIA_DirectIO_DisplayAPI::BindAdapter(CDisplayAdapter* adapter) {
    CPCIDevice* pci = adapter->GetPCIDevice();
    adapter->AddAPIEntry(this, -1);
    if (adapter->FamilyCode == 0xFFFFFFFF) adapter->FamilyCode = GPU_FAMILY_NVIDIA;
    adapter->MMIOSpace = MapRegisterWindow(pci);
    const auto device = uint16_t(pci->GetDeviceID());
    if (const char* name = NvidiaGPUName(device)) FormatString(adapter->Name, sizeof adapter->Name, "%s", name);
    uint32_t boot = 0;
    if (ReadRegister(adapter, kBoot, &boot)) adapter->Revision = int32_t(boot & 0xFF);
    NvidiaFamilyFacts facts;
    if (NvidiaGPUFamily(device, adapter->Revision, &facts)) {
        adapter->FamilyCode = facts.familyCode;
        FormatString(adapter->Codename, sizeof adapter->Codename, "%s", facts.codename);
        if (facts.technology > 0) adapter->Technology = facts.technology;
    }
    const uint32_t group = adapter->FamilyCode & kNvidiaGroupMask;
    if ((group == kNvidiaGroupG80 || group == kNvidiaGroupGF100) && adapter->MMIOSpace && !adapter->I2CSpace) {
        auto* i2c = new NVIDIA_G80_I2CRegisterSpace(adapter->MMIOSpace);
        i2c->InitEngine();
        GetSDK()->m_pRegisterSpaces->AddTail(i2c);
        adapter->I2CSpace = i2c;
    }
}

int NVIDIA_DirectIO_DisplayAPI::Init() {
    CDisplayInterface* display = GetSDK()->m_pDisplay;
    if (!display) return 0;
    int result = 0;
    CTListIterator<CDevice> it(display->Adapters);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* adapter = static_cast<CDisplayAdapter*>(device);
        CPCIDevice* pci = adapter->GetPCIDevice();
        if (!pci || pci->GetVendorID() != kNvidiaVendor) continue;
        BindAdapter(adapter);
        result = 1;
    }
    return result;
}

void NVIDIA_DirectIO_DisplayAPI::Dump(CReportGenerator* report) { DumpNameField(report); }

void NVIDIA_DirectIO_DisplayAPI::Dump2(CReportGenerator* report) { DumpNameSection(report); }

int NVIDIA_DirectIO_DisplayAPI::GetTemperature(CDisplayAdapter* adapter, float* celsius) {
    if (!IsOneOf(adapter->FamilyCode, {0x1050084, 0x1050086, 0x1050094, 0x1050096, 0x1050216, 0x1050218})) return 0;
    uint32_t value = 0;
    if (!ReadRegister(adapter, kThermal, &value)) return 0;
    *celsius = float(value & 0xFF);
    return 1;
}

int32_t NVIDIA_DirectIO_DisplayAPI::ReadFanDuty(CDisplayAdapter* adapter, uint32_t periodRegister,
                                                uint32_t dutyRegister) {
    uint32_t period = 0, duty = 0;
    if (!ReadRegister(adapter, periodRegister, &period) || !ReadRegister(adapter, dutyRegister, &duty)) return -1;
    if (period == 0xFFFFFFFF || duty == 0xFFFFFFFF || (period == 1 && duty == 0)) return -1;
    const uint32_t p = period & 0xFFFFFF, d = duty & 0xFFFFFF;
    if (p <= 1) return 100;
    // A duty beyond the period cannot drive the fan above full speed.
    return int32_t(std::min<uint64_t>(uint64_t(d) * 100 / (p - 1), 100));
}

int NVIDIA_DirectIO_DisplayAPI::GetFanDuty(CDisplayAdapter* adapter, uint32_t* percent) {
    struct Pairs {
        uint32_t family, period1, duty1, period2, duty2;
    };
    static constexpr Pairs kPairs[] = {{0x1050098, 0x00E11C, 0x00E120, 0x00E114, 0x00E118},
                                       {0x1070107, 0x0200D8, 0x0200DC, 0x0200C4, 0x0200C8}};
    for (const Pairs& pairs : kPairs) {
        if (pairs.family != adapter->FamilyCode) continue;
        int32_t duty = ReadFanDuty(adapter, pairs.period1, pairs.duty1);
        if (duty < 0) duty = ReadFanDuty(adapter, pairs.period2, pairs.duty2);
        if (duty < 0) return 0;
        *percent = uint32_t(duty);
        return 1;
    }
    return 0;
}

namespace {
bool HasKnownClocks(uint32_t family) {
    return IsOneOf(family, {0x1050084, 0x1050086, 0x1050094, 0x1050096, 0x1050200});
}
} // namespace

int NVIDIA_DirectIO_DisplayAPI::ReadEngineClock(CDisplayAdapter* adapter, uint32_t selectShift,
                                                uint32_t controlRegister, uint32_t coefficientAtTwo,
                                                uint32_t coefficientAtThree, float* mhz) {
    if (!HasKnownClocks(adapter->FamilyCode)) return 0;
    uint32_t source = 0, control = 0, coefficients = 0;
    if (!ReadRegister(adapter, kClockSource, &source) || !ReadRegister(adapter, controlRegister, &control)) return 0;
    const uint32_t select = source >> selectShift & 0x3;
    if (select != 2 && select != 3) return 0;  // no coefficient word: no clock to compute
    if (!ReadRegister(adapter, select == 2 ? coefficientAtTwo : coefficientAtThree, &coefficients)) return 0;
    int32_t khz = 0;
    if (!PllKHz(coefficients, control, kCoreReferenceKHz, &khz)) return 0;
    *mhz = float(double(khz) * 4.0 / 1000.0);
    return 1;
}

int NVIDIA_DirectIO_DisplayAPI::GetCoreClock(CDisplayAdapter* adapter, int32_t, float* mhz, float* minMHz,
                                             float* maxMHz) {
    if (!ReadEngineClock(adapter, 0, kCorePllControl, kCoefficientsA, kCoefficientsB, mhz)) return 0;
    *minMHz = *maxMHz = -1.0f;
    return 1;
}

int NVIDIA_DirectIO_DisplayAPI::GetShaderClock(CDisplayAdapter* adapter, int32_t, float* mhz, float* minMHz,
                                               float* maxMHz) {
    if (!ReadEngineClock(adapter, 4, kShaderPllControl, kCoefficientsB, kCoefficientsA, mhz)) return 0;
    *minMHz = *maxMHz = -1.0f;
    return 1;
}

int NVIDIA_DirectIO_DisplayAPI::GetMemoryClock(CDisplayAdapter* adapter, int32_t, float* mhz, float* minMHz,
                                               float* maxMHz) {
    if (!HasKnownClocks(adapter->FamilyCode)) return 0;
    uint32_t control1 = 0, coefficients1 = 0, control2 = 0, coefficients2 = 0;
    if (!ReadRegister(adapter, kMemoryPllControl, &control1) ||
        !ReadRegister(adapter, kMemoryPllCoefficients, &coefficients1) ||
        !ReadRegister(adapter, kMemoryPll2Control, &control2) ||
        !ReadRegister(adapter, kMemoryPll2Coefficients, &coefficients2))
        return 0;
    const bool second = control1 == kMemoryPll2Control && coefficients1 == coefficients2;
    const uint32_t control = second ? control2 : control1;
    const uint32_t coefficients = second ? coefficients2 : coefficients1;
    float value = kMemoryClockUnlocked;
    if (control & 0x80000000u) {
        int32_t khz = 0;
        if (!PllKHz(coefficients, control, kMemoryReferenceKHz, &khz)) return 0;
        value = float(double(khz) / 1000.0);
    }
    *mhz = value;
    *minMHz = *maxMHz = -1.0f;
    return 1;
}

int NVIDIA_DirectIO_DisplayAPI::GetMemoryType(CDisplayAdapter* adapter, uint32_t* type) {
    const uint32_t family = adapter->FamilyCode;
    uint32_t value = 0;
    if (IsOneOf(family, {0x1020000, 0x1030004})) {
        if (!ReadRegister(adapter, kMemoryConfigNV20, &value)) return 0;
        *type = (value >> 8 & 3) == 3 ? kDDR2 : kDDR;
        return 1;
    }
    if (IsNV40Generation(family)) {
        if (!ReadRegister(adapter, kMemoryConfigNV40, &value)) return 0;
        *type = value & 4 ? kDDR3 : kDDR;
        return 1;
    }
    const bool g80 = family == 0x1050080;
    if (!g80 && !IsOneOf(family, {0x1050084, 0x1050086, 0x1050092, 0x1050094, 0x1050096, 0x1050200})) return 0;
    if (!ReadRegister(adapter, kMemoryTypeG80, &value)) return 0;
    switch (value & 3) {
    case 0: *type = kDDR; return 1;
    case 1: *type = kDDR2; return 1;
    case 3: *type = kGDDR4; return 1;
    default: break;
    }
    uint32_t config = 0;
    if (!ReadRegister(adapter, g80 ? kMemoryConfig : kMemoryConfigG84, &config)) return 0;
    const bool ddr3 = g80 ? (config >> 4 & 7) == 1 : (config & 0xF) == 3;
    *type = ddr3 ? kDDR3 : kGDDR3;
    return 1;
}

int NVIDIA_DirectIO_DisplayAPI::GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb) {
    const uint32_t family = adapter->FamilyCode;
    if (!(IsOneOf(family, {0x1030004, 0x1050080, 0x1050084, 0x1050086, 0x1050092, 0x1050094, 0x1050096, 0x1050200}) ||
          IsNV40Generation(family)))
        return 0;
    uint32_t value = 0;
    if (!ReadRegister(adapter, kMemorySize, &value) || value == 0 || value == 0xFFFFFFFF) return 0;
    *mb = value >> 20;
    return 1;
}

int NVIDIA_DirectIO_DisplayAPI::GetMemoryBusWidth(CDisplayAdapter* adapter, uint32_t* bits) {
    const uint32_t family = adapter->FamilyCode;
    uint32_t value = 0;
    if (IsNV40Generation(family) && family != 0x1040004) {
        if (!ReadRegister(adapter, kMemoryConfig, &value)) return 0;
        const uint32_t code = value & 7;
        if (code != 1 && code != 3) return 0;
        *bits = code == 1 ? 128 : 256;
        return 1;
    }
    uint32_t partitionMask = 0;
    if (IsOneOf(family, {0x1050084, 0x1050086, 0x1050094, 0x1050096})) partitionMask = 0xF0000;
    else if (IsOneOf(family, {0x1050080, 0x1050092, 0x1050200})) partitionMask = 0xFF0000;
    if (!partitionMask || !ReadRegister(adapter, kMemoryPartitions, &value)) return 0;
    *bits = 64u * uint32_t(std::popcount(value & partitionMask));
    return 1;
}
