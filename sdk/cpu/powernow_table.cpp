// The BIOS PowerNow table of AMD K7 and K8 boards: a 24-byte header
// starting "AMDK7PNOW!" on a 16-byte boundary of 0xC0000-0xFFFFF, whose
// byte 23 counts the (FID, VID) byte pairs that follow it. Its pairs
// become the P-states of every logical processor with a FID/VID control.
#include <algorithm>
#include <cstring>
#include <vector>

#include "sdk/core/sdk.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/hw/kmdriver.h"

namespace {

constexpr uint32_t kSearchStart = 0xC0000;
constexpr uint32_t kSearchEnd = 0x100000;
constexpr uint32_t kBlockSize = 0x10000;
constexpr char kSignature[] = "AMDK7PNOW!";
constexpr size_t kSignatureLength = sizeof kSignature - 1;
constexpr size_t kHeaderSize = 24;
constexpr size_t kPairCountOffset = 23;

} // namespace

// A table is only taken whole from the block that was read: a header that
// runs past the block is no table, and the pairs stop at the block's end
// (the header's count is cut to the pairs copied).
int CCPUInterface::FindPowerNowTable() {
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return 0;
    std::vector<uint8_t> block(kBlockSize);
    for (uint32_t base = kSearchStart; base < kSearchEnd; base += kBlockSize) {
        if (!driver->ReadPhysicalMemory(0, base, kBlockSize, block.data())) continue;
        for (size_t offset = 0; offset + kHeaderSize <= kBlockSize; offset += 16) {
            if (std::memcmp(block.data() + offset, kSignature, kSignatureLength) != 0) continue;
            const size_t room = (kBlockSize - offset - kHeaderSize) / 2;
            const size_t pairs = std::min<size_t>(block[offset + kPairCountOffset], room);
            delete[] m_pPowerNowHeader;
            delete[] m_pPowerNowPairs;
            m_pPowerNowHeader = new uint8_t[kHeaderSize];
            std::memcpy(m_pPowerNowHeader, block.data() + offset, kHeaderSize);
            m_pPowerNowHeader[kPairCountOffset] = static_cast<uint8_t>(pairs);
            m_pPowerNowPairs = new uint8_t[std::max<size_t>(pairs, 1) * 2];
            std::memcpy(m_pPowerNowPairs, block.data() + offset + kHeaderSize, pairs * 2);
            return 1;
        }
    }
    return 1;
}

void CCPUInterface::GivePowerNowTable() {
    CProcessor* first = GetProcessor(0);
    if (!first) return;
    const uint32_t classCode = ClassWithoutSubcode(static_cast<uint32_t>(first->GetClassCode()));
    if (classCode != CPU_CLASS_AMD_K7 && classCode != CPU_CLASS_AMD_K8) return;
    if (!FindPowerNowTable() || !m_pPowerNowHeader) return;
    std::vector<PStateRow> rows(m_pPowerNowHeader[kPairCountOffset]);
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].fid = m_pPowerNowPairs[2 * i];
        rows[i].vid = m_pPowerNowPairs[2 * i + 1];
    }
    CTListIterator<CCPUThread> it(m_pThreads);
    for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext())
        if (FIDVID_Control* control = thread->GetFIDVIDControl()) control->SetPStates(rows);
}
