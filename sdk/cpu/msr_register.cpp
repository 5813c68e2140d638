#include "sdk/cpu/msr_register.h"

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

CKMDriver* Driver() { return GetSDK()->GetDriver(); }

} // namespace

int MSR_Register::Read() {
    CKMDriver* driver = Driver();
    if (!driver || m_dwIndex == kUnusable) return 0;
    uint32_t high = 0, low = 0;
    if (!driver->ReadMSR(m_dwIndex, &high, &low)) return 0;
    m_dwHigh = high;
    m_dwLow = low;
    return 1;
}

int MSR_Register::Write(uint32_t high, uint32_t low) {
    CKMDriver* driver = Driver();
    if (!driver || m_dwIndex == kUnusable) return 0;
    return driver->WriteMSR(m_dwIndex, high, low) ? 1 : 0;
}

int MSR_Register::SetBit(uint32_t bit, uint32_t value) {
    if (bit > 63 || !Read()) return 0;
    uint32_t high = m_dwHigh, low = m_dwLow;
    uint32_t& word = bit >= 32 ? high : low;
    const uint32_t mask = 1u << (bit & 31);
    word = value ? (word | mask) : (word & ~mask);
    return Write(high, low);
}

int MSR_Register::TestBit(uint32_t bit, uint32_t* set) {
    if (bit > 63 || !Read()) return 0;
    const uint32_t word = bit >= 32 ? m_dwHigh : m_dwLow;
    if (set) *set = (word >> (bit & 31)) & 1;
    return 1;
}

void MSR_Register::Dump(CReportGenerator* report) {
    if (!report) return;
    char label[64];
    FormatString(label, sizeof label, "\tMSR 0x%08X", m_dwIndex);
    report->PrintField(label, "\t\t", "0x%08X\t0x%08X", m_dwHigh, m_dwLow);
}
