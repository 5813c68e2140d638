// The multipliers of the WinChip and the C3 from their straps and clock
// registers: MSR 0x10A (the WinChip's bus divisor), MSR 0x147 (the
// WinChip 2A/3's core clock code) and MSR 0x2A (the C3's ratio straps).
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/msr_register.h"
#include "sdk/cpu/via_centaur.h"

namespace {

constexpr uint32_t kBusDivisorMsr = 0x10A;
constexpr uint32_t kCoreClockMsr = 0x147;
constexpr uint32_t kPowerOnMsr = 0x2A;
constexpr float kReserved = -1.0f;

// MSR 0x2A bits 25:22 of the Samuel and Samuel 2 / Ezra (models 6 and 7),
// steppings up to 7 and above 7.
constexpr float kEarlyC3Ratios[16] = {5.0f, kReserved, 4.0f, 10.0f, 5.5f, 3.5f, 4.5f, 11.0f,
                                      9.0f, 7.0f,      8.0f, 6.0f,  12.0f, 7.5f, 13.0f, 6.5f};
constexpr float kLaterC3Ratios[16] = {5.0f, 3.0f, 4.0f, 10.0f, 5.5f,  3.5f, 4.5f, 9.5f,
                                      9.0f, 7.0f, 8.0f, 6.0f,  12.0f, 7.5f, 8.5f, 6.5f};
// MSR 0x2A bits 25:22 + 16 x bit 27 of the Ezra-T and Nehemiah (models 8
// and 9).
constexpr float kC3Ratios32[32] = {5.0f,  3.0f,  4.0f,  10.0f,     5.5f,  3.5f,     4.5f,  9.5f,
                                   9.0f,  7.0f,  8.0f,  6.0f,      12.0f, 7.5f,     8.5f,  6.5f,
                                   kReserved, 11.0f, 12.0f, kReserved, 13.5f, 11.5f, 12.5f, 10.5f,
                                   13.0f, 15.0f, 16.0f, 14.0f,     kReserved, 15.5f, kReserved, 14.5f};

uint32_t Field(uint32_t value, unsigned high, unsigned low) { return (value >> low) & ((1u << (high - low + 1)) - 1); }

float WinChipMultiplier(CCPUThread* thread) {
    const MSR_Register* divisor = thread->GetMSR(kBusDivisorMsr);
    if (!divisor) return -1.0f;
    const uint32_t bus = Field(divisor->m_dwLow, 1, 0);
    const bool coreClockRegister = thread->m_iModel == 9 || thread->m_iStepping >= 7;
    if (!coreClockRegister) return static_cast<float>(bus + 2);
    const MSR_Register* core = thread->GetMSR(kCoreClockMsr);
    if (!core) return -1.0f;
    return static_cast<float>(Field(core->m_dwLow, 26, 23) + 2) / static_cast<float>(bus + 2);
}

float C3Multiplier(CCPUThread* thread) {
    const MSR_Register* powerOn = thread->GetMSR(kPowerOnMsr);
    if (!powerOn) return -1.0f;
    const uint32_t code = Field(powerOn->m_dwLow, 25, 22);
    if (thread->m_iModel <= 7) return (thread->m_iStepping > 7 ? kLaterC3Ratios : kEarlyC3Ratios)[code];
    return kC3Ratios32[code + 16 * Field(powerOn->m_dwLow, 27, 27)];
}

} // namespace

float VIA_CPU_Infos::GetMultiplier(CCPUThread* thread) {
    const int32_t family = thread->m_iFamily;
    const int32_t model = thread->m_iModel;
    if (family == 5 && (model == 8 || model == 9)) return WinChipMultiplier(thread);
    if (family == 6 && model >= 6 && model <= 9) return C3Multiplier(thread);
    return -1.0f;
}
