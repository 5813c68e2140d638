#include "sdk/system/acpi_interface.h"

#include <algorithm>

#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

namespace {

// Boards whose ACPI tables the domain leaves alone: no timers, no FACS
// address (so no global lock) and no board record; the namespace
// operations still work.
constexpr uint32_t kBoardsWithoutTables[] = {0x35580, 0x5685A0};

// The board request's operations and the value a release carries.
constexpr uint32_t kGlobalLockRelease = 0;
constexpr uint32_t kGlobalLockAcquire = 1;
constexpr uint32_t kReleaseValue = 100;
// The value travels in the upper 16 bits of the operation word.
constexpr uint32_t kLongestLockWaitMs = 0xFFFF;

} // namespace

CACPIInterface::CACPIInterface(uint32_t boardHash, uint32_t boardByteSum, uint32_t flags)
    : CInterface(INTERFACE_ACPI), m_dwBoardHash(boardHash), m_dwBoardByteSum(boardByteSum), m_dwFlags(flags) {}

CACPIInterface::~CACPIInterface() = default;

int CACPIInterface::Init() {
    if (std::ranges::find(kBoardsWithoutTables, m_dwBoardHash) != std::end(kBoardsWithoutTables)) return 1;
    if (!ReadFirmwareTables()) ScanPhysicalMemory();
    return 1;
}

void CACPIInterface::Close() {
    if (m_bHoldsGlobalLock) ReleaseGlobalLock();
}

void CACPIInterface::EncodeSignature(uint32_t value, char (&text)[5]) {
    for (unsigned i = 0; i < 4; ++i) text[i] = static_cast<char>(value >> (8 * i));
    text[4] = '\0';
}

// ---- The global lock ----

int CACPIInterface::AcquireGlobalLock(uint32_t timeoutMs) {
    const int obtained = SendGlobalLockRequest(kGlobalLockAcquire, std::min(timeoutMs, kLongestLockWaitMs));
    if (obtained) m_bHoldsGlobalLock = true;
    return obtained;
}

int CACPIInterface::ReleaseGlobalLock() {
    const int released = SendGlobalLockRequest(kGlobalLockRelease, kReleaseValue);
    if (released) m_bHoldsGlobalLock = false;
    return released;
}

int CACPIInterface::SendGlobalLockRequest(uint32_t operation, uint32_t value) {
    if (m_dwFACSAddress == kUnknown) return 0;
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return 0;
    // The host bridge's vendor ID: the low half of its first dword.
    uint32_t ids = 0xFFFFFFFF;
    driver->ReadPCIConfig(0, 0, 0, 0, sizeof ids, &ids);
    const uint32_t pm1a = m_dwPM1aEventBlock == kUnknown ? 0 : m_dwPM1aEventBlock;
    return driver->SendBoardRequest(operation, 0, m_dwFACSAddress, pm1a, ids & 0xFFFF, value) ? 1 : 0;
}
