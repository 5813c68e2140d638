// Temperature, memory and clocks of an ATI/AMD adapter from its registers,
// its thermal chip and the reference clocks its video BIOS gave.
#include "sdk/display/ati_directio_api.h"
#include "sdk/display/display_adapter.h"
#include "sdk/display/gpu_i2c.h"
#include "sdk/hw/io_space.h"

namespace {

constexpr uint32_t kFamilyGroupMask = 0xFFFFF000;
constexpr uint32_t kGroupR6XX = 0x2600000;
constexpr uint32_t kGroupR7XX = 0x2700000;
constexpr uint32_t kGroupR8XX = 0x2800000;
constexpr uint8_t kThermalChipTemperature = 0x01;
constexpr uint8_t kImplausibleTemperature = 127;
constexpr uint32_t kMemorySizeRegister = 0x5428;
constexpr float kPLLFraction = 6.103515625e-05f;  // 1 / 16384

bool IsI2CThermalChip(uint32_t code) {
    switch (code) {
    case THERMAL_CHIP_1063:
    case THERMAL_CHIP_1064:
    case THERMAL_CHIP_1082:
    case THERMAL_CHIP_1089:
    case THERMAL_CHIP_2063:
    case THERMAL_CHIP_3063: return true;
    default: return false;
    }
}

bool IsEvergreen(uint32_t family) { return family == 0x2800130 || family == 0x2800140 || family == 0x2800170; }

bool ReadRegister(CDisplayAdapter* adapter, uint32_t offset, uint32_t* value) {
    return adapter->MMIOSpace && adapter->MMIOSpace->ReadDword(offset, value);
}

// Control and divider registers with the two-register PLL formula of the
// R6XX parts; -1.0 when a register cannot be read.
float DirectPLLClock(CDisplayAdapter* adapter, uint32_t control, uint32_t dividers, int32_t referenceKHz) {
    uint32_t a = 0, b = 0;
    if (!ReadRegister(adapter, control, &a) || !ReadRegister(adapter, dividers, &b)) return -1.0f;
    const uint32_t feedback = (((b & 0xF) * 256 + ((a >> 5) & 0xFF)) | 1) + 1;
    const uint32_t reference = (b & 0x70) * 16 + ((a >> 2) & 7) + 1;
    const uint32_t post = (a & (1u << 24)) ? ((a >> 20) & 0xF) + ((a >> 16) & 0xF) + 2 : 1;
    return float(double(uint32_t(referenceKHz)) * feedback / 1000.0 / reference / post);
}

// The PLL registers 0x600, 0x604 and 0x608; -1.0 when one cannot be read.
float EnginePLLClock(CDisplayAdapter* adapter, uint32_t family) {
    uint32_t a = 0, b = 0, f = 0;
    if (!ReadRegister(adapter, 0x600, &a) || !ReadRegister(adapter, 0x604, &b) || !ReadRegister(adapter, 0x608, &f))
        return -1.0f;
    return ATI_DirectIO_DisplayAPI::ComputePLLClock(family, float(adapter->CoreReferenceClock) / 1000.0f, a, b, f);
}

// Stores a clock that was worked out; a failed read or an impossible
// divider is no answer.
int Answer(float clock, float* mhz) {
    if (!(clock > 0.0f)) return 0;
    *mhz = clock;
    return 1;
}

} // namespace

float ATI_DirectIO_DisplayAPI::ComputePLLClock(uint32_t family, float referenceMHz, uint32_t control, uint32_t,
                                               uint32_t feedbackRegister) {
    const uint32_t feedback = feedbackRegister & 0x03FFFFFF;
    const uint32_t reference = ((control >> 4) & 0x3F) + 1;
    uint32_t post = 1;
    if (family == 0x2700140 || IsEvergreen(family)) {
        if (control & 0x07F00000)
            post = (control >> 20) & 0x7F;
        else if (control & 0x4)
            post = ((control >> 16) & 0xF) + ((control >> 12) & 0xF) + 2;
        if (post == 0) return -1.0f;
    }
    const float clock = referenceMHz / float(reference) * float(feedback) / float(post);
    return clock * kPLLFraction;
}

float ATI_DirectIO_DisplayAPI::ComputeMemoryPLLClock(float referenceMHz, uint32_t value) {
    static const uint32_t kPostDividers[8] = {1, 2, 4, 8, 16, 1, 1, 1};
    const uint32_t post = kPostDividers[(value >> 17) & 7];
    uint32_t reference = 1;
    switch ((value >> 7) & 0x1F) {
    case 0x10: reference = 2; break;
    case 0x11: reference = 3; break;
    case 0x12: reference = 2; break;
    case 0x13: reference = 3; break;
    case 0x14: reference = 4; break;
    case 0x15: reference = 5; break;
    default: reference = 1; break;
    }
    uint32_t m = value & 0x7F;
    if (m == 0) m = 2;
    else if (m == 1) m = 3;
    else if (m == 2) m = 2;
    const uint32_t n = ((value >> 12) & 0x1F) | (m << 3);
    return float(referenceMHz / float(reference) * float(n) / float(post) * 0.0625f);
}

int ATI_DirectIO_DisplayAPI::GetTemperature(CDisplayAdapter* adapter, float* degrees) {
    if (!adapter || !adapter->MMIOSpace) return 0;
    int32_t temperature = 0;
    if (IsI2CThermalChip(adapter->ThermalChip)) {
        auto* space = static_cast<CI2CRegisterSpace*>(adapter->APII2CSpace ? adapter->APII2CSpace : adapter->I2CSpace);
        uint8_t reading = 0;
        if (!space || !space->ReadByteData(uint8_t(adapter->ThermalChipBus), uint8_t(adapter->ThermalChipAddress),
                                           kThermalChipTemperature, &reading))
            return 0;
        if (reading < kImplausibleTemperature) adapter->LastTemperature = reading;
        temperature = adapter->LastTemperature;
    } else if (adapter->ThermalChip == THERMAL_ON_DIE_R6XX || adapter->ThermalChip == THERMAL_ON_DIE_R7XX) {
        uint32_t value = 0;
        if (!ReadRegister(adapter, adapter->ThermalChip == THERMAL_ON_DIE_R6XX ? 0x7F4 : 0x730, &value)) return 0;
        temperature = ATIOnDieTemperature(value);
    } else {
        return 0;
    }
    *degrees = float(temperature);
    return 1;
}

int ATI_DirectIO_DisplayAPI::GetMemorySize(CDisplayAdapter* adapter, uint32_t* mb) {
    if (!adapter) return 0;
    const uint32_t group = adapter->FamilyCode & kFamilyGroupMask;
    if (group != kGroupR6XX && group != kGroupR7XX && group != kGroupR8XX) return 0;
    uint32_t value = 0;
    if (!ReadRegister(adapter, kMemorySizeRegister, &value) || value == 0xFFFFFFFF) return 0;
    *mb = group == kGroupR8XX ? value : value >> 20;
    return 1;
}

int ATI_DirectIO_DisplayAPI::GetMemoryBusWidth(CDisplayAdapter* adapter, uint32_t* bits) {
    if (!adapter) return 0;
    const uint32_t group = adapter->FamilyCode & kFamilyGroupMask;
    if (group != kGroupR6XX && group != kGroupR7XX) return 0;
    uint32_t value = 0;
    if (!ReadRegister(adapter, 0x2004, &value)) return 0;
    uint32_t width = 32u << ((value >> 12) & 3);
    uint32_t second = 0;
    if (group == kGroupR6XX ? ReadRegister(adapter, 0x2408, &second) && (second & 0x80)
                            : ReadRegister(adapter, 0x2760, &second) && (second & 0x100))
        width *= 2;
    *bits = width;
    return 1;
}

int ATI_DirectIO_DisplayAPI::GetCoreClock(CDisplayAdapter* adapter, int32_t, float* mhz, float*, float*) {
    if (!adapter) return 0;
    const uint32_t family = adapter->FamilyCode;
    if (family == 0x2600080 || family == 0x2600130)
        return Answer(DirectPLLClock(adapter, 0x600, 0x7D4, adapter->CoreReferenceClock), mhz);
    if (family == 0x2700110) return Answer(EnginePLLClock(adapter, 0x2700110), mhz);
    if (IsEvergreen(family)) return Answer(EnginePLLClock(adapter, 0x2800140), mhz);
    return 0;
}

int ATI_DirectIO_DisplayAPI::GetMemoryClock(CDisplayAdapter* adapter, int32_t, float* mhz, float*, float*) {
    if (!adapter) return 0;
    const uint32_t family = adapter->FamilyCode;
    if (family == 0x2600130)
        return Answer(DirectPLLClock(adapter, 0x610, 0x7D8, adapter->MemoryReferenceClock), mhz);
    if (!IsEvergreen(family)) return 0;
    uint32_t value = 0;
    if (!ReadRegister(adapter, 0x624, &value)) return 0;
    return Answer(2.0f * ComputeMemoryPLLClock(float(adapter->MemoryReferenceClock) / 1000.0f, value), mhz);
}
