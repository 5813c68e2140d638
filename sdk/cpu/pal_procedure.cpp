#include "sdk/cpu/pal_procedure.h"

#include <cstring>

#include "platform/low_memory.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

uint64_t Join(uint32_t low, uint32_t high) { return (uint64_t(high) << 32) | low; }
uint32_t High(uint64_t value) { return static_cast<uint32_t>(value >> 32); }
uint32_t Low(uint64_t value) { return static_cast<uint32_t>(value); }

constexpr char kQuadFormat[] = "0x%08X%08X 0x%08X%08X 0x%08X%08X 0x%08X%08X";

} // namespace

PAL_Procedure::PAL_Procedure(uint32_t a0Low, uint32_t a0High, uint32_t a1Low, uint32_t a1High, uint32_t a2Low,
                             uint32_t a2High, uint32_t a3Low, uint32_t a3High)
    : m_qwArguments{Join(a0Low, a0High), Join(a1Low, a1High), Join(a2Low, a2High), Join(a3Low, a3High)} {}

int PAL_Procedure::Call() {
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return 0;
    // Arguments first, then the four result slots, in one block the
    // request's dword address can name.
    vexa::platform::LowMemoryBlock memory(8 * sizeof(uint64_t));
    auto* block = static_cast<uint64_t*>(memory.data());
    if (!block) return 0;
    std::memcpy(block, m_qwArguments, sizeof m_qwArguments);
    if (!driver->CallPALProcedure(block)) return 0;
    std::memcpy(m_qwResults, block + 4, sizeof m_qwResults);
    return m_qwResults[0] == 0 ? 1 : 0;
}

uint64_t PAL_Procedure::GetArgument(uint32_t i) const { return i < 4 ? m_qwArguments[i] : ~0ull; }

bool PAL_Procedure::SameArguments(const uint64_t (&arguments)[4]) const {
    return std::memcmp(arguments, m_qwArguments, sizeof m_qwArguments) == 0;
}

void PAL_Procedure::Dump(CReportGenerator* report) {
    if (!report) return;
    const uint64_t* in = m_qwArguments;
    const uint64_t* out = m_qwResults;
    report->PrintField("PAL Procedure", "\t", "%d", static_cast<int>(Low(in[0])));
    report->PrintField("IN", "\t\t", kQuadFormat, High(in[0]), Low(in[0]), High(in[1]), Low(in[1]), High(in[2]),
                       Low(in[2]), High(in[3]), Low(in[3]));
    report->PrintField("OUT", "\t\t", kQuadFormat, High(out[0]), Low(out[0]), High(out[1]), Low(out[1]),
                       High(out[2]), Low(out[2]), High(out[3]), Low(out[3]));
}
