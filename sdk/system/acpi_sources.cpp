// Where CACPIInterface::Init finds the tables, and what it takes from each.
//
// The firmware-table path asks kernel32's GetSystemFirmwareTable for the
// 'FACP', 'TAMG' and 'HPET' tables one by one. Where kernel32 lacks that
// function (Windows before Server 2003 SP1), the legacy path finds the
// root pointer in physical memory through the kernel driver and follows
// the RSDT. A missing table or field leaves its value unknown; no checksum
// but the root pointer's is verified.
#include <algorithm>
#include <vector>

#include "platform/firmware_tables.h"
#include "platform/modules.h"
#include "platform/sysinfo.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/timer.h"
#include "sdk/system/acpi_interface.h"

namespace {

using GetSystemFirmwareTableFunction = UINT (*)(DWORD, DWORD, PVOID, DWORD);
using GetNativeSystemInfoFunction = void (*)(SYSTEM_INFO*);

// One buffer serves every table; a table that does not fit is not read.
constexpr uint32_t kTableBufferSize = 4096;

// Boards whose PM timer is not used.
constexpr uint32_t kBoardsWithoutPMTimer[] = {0x8014E67A, 0xA758B28A};
// The PM timer is a port; a larger value in its field is no port at all.
constexpr uint32_t kHighestPort = 0xFFFF;

// The HPET's general capabilities register: the counter period in
// femtoseconds is its high dword.
constexpr uint32_t kHPETCapabilities = 0;
constexpr uint32_t kHPETPeriod = 4;
constexpr double kFemtosecondsPerSecond = 1e15;

// Where the root pointer may lie: the first KB of memory, then the BIOS
// area 0xE0000-0xFFFFF.
struct MemoryBlock {
    uint32_t base;
    uint32_t size;
};
constexpr MemoryBlock kRootPointerAreas[] = {{0, 1024}, {0xE0000, 0x20000}};

constexpr uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

bool CACPIInterface::ReadFirmwareTables() {
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    if (!kernel32) return false;
    const auto getTable =
        vexa::platform::lookup<GetSystemFirmwareTableFunction>(kernel32, "GetSystemFirmwareTable");
    if (!getTable) {
        FreeLibrary(kernel32);
        return false;
    }
    std::vector<uint8_t> buffer(kTableBufferSize);
    // The table with that signature, or an empty view when the function
    // gives none or needs more room than the buffer has (it then wrote
    // nothing).
    const auto fetch = [&](uint32_t signature) {
        std::fill(buffer.begin(), buffer.end(), 0);
        const UINT delivered = getTable(FIRMWARE_PROVIDER_ACPI, signature, buffer.data(), kTableBufferSize);
        if (delivered == 0 || delivered > kTableBufferSize) return ACPITableView({});
        return ACPITableView(std::span<const uint8_t>(buffer.data(), delivered));
    };
    TakeFADT(fetch(kACPISignatureFACP), true);
    TakeBoardRecord(fetch(kACPISignatureTAMG));
    TakeHPET(fetch(kACPISignatureHPET));
    FreeLibrary(kernel32);
    return true;
}

void CACPIInterface::ScanPhysicalMemory() {
    SYSTEM_INFO system {};
    HMODULE kernel32 = LoadLibraryA("kernel32.dll");
    const auto native = kernel32 ? vexa::platform::lookup<GetNativeSystemInfoFunction>(kernel32, "GetNativeSystemInfo")
                                 : nullptr;
    if (native) native(&system);
    else GetSystemInfo(&system);
    if (kernel32) FreeLibrary(kernel32);
    if (system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64) return;

    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return;
    for (const MemoryBlock& area : kRootPointerAreas) {
        std::vector<uint8_t> block(area.size);
        if (!driver->ReadPhysicalMemory(0, area.base, area.size, block.data())) continue;
        const auto at = FindACPIRootPointer(block);
        if (!at) continue;
        m_pRSDP = std::make_unique<std::array<uint8_t, kACPIRootPointerSize>>();
        std::copy_n(&block[*at], kACPIRootPointerSize, m_pRSDP->begin());
        break;
    }
    if (!m_pRSDP) return;

    const uint32_t rsdtAddress = LittleEndian32(&(*m_pRSDP)[kACPIRootPointerRSDTOffset]);
    auto rsdt = std::make_unique<std::array<uint8_t, kRSDTCopySize>>();
    if (!driver->ReadPhysicalMemory(0, rsdtAddress, kRSDTCopySize, rsdt->data())) return;
    const ACPITableView rsdtView(*rsdt);
    if (rsdtView.Signature() != kACPISignatureRSDT) return;
    m_pRSDT = std::move(rsdt);

    // Only the entries inside the copy are followed: an RSDT that announces
    // more than 17 ends there.
    for (const uint32_t address : ACPIRSDTEntries(rsdtView)) {
        uint8_t header[ACPITableView::kHeaderSize];
        if (!driver->ReadPhysicalMemory(0, address, sizeof header, header)) continue;
        const uint32_t length = LittleEndian32(&header[4]);
        if (length == 0 || length > kTableBufferSize) continue;
        std::vector<uint8_t> table(length);
        if (!driver->ReadPhysicalMemory(0, address, length, table.data())) continue;
        const ACPITableView view(table);
        switch (view.Signature()) {
        case kACPISignatureFACP: TakeFADT(view, false); break;
        case kACPISignatureTAMG: TakeBoardRecord(view); break;
        case kACPISignatureHPET: TakeHPET(view); break;
        default: break;
        }
    }
}

bool CACPIInterface::AllowsPMTimer() const {
    return (m_dwFlags & kFlagPMTimer) &&
           std::ranges::find(kBoardsWithoutPMTimer, m_dwBoardHash) == std::end(kBoardsWithoutPMTimer);
}

void CACPIInterface::TakeFADT(const ACPITableView& fadt, bool testTimer) {
    const auto fields = ReadACPIFADT(fadt);
    if (!fields) return;
    const uint32_t port = fields->pmTimerBlock.value_or(0);
    if (port > 0 && port <= kHighestPort && AllowsPMTimer()) {
        auto* timer = new CACPITimer(port);
        if (testTimer && !(timer->Read() > 0)) {
            delete timer;
        } else {
            m_pPMTimer = timer;
            GetSDK()->m_pTimers->AddTail(timer);
        }
    }
    // FIRMWARE_CTRL 0 names no FACS (hardware-reduced systems, or one
    // given only as a 64-bit address): the global lock must not be looked
    // for at physical address 0.
    const uint32_t facs = fields->firmwareControl.value_or(0);
    m_dwFACSAddress = facs ? facs : kUnknown;
    m_dwPM1aEventBlock = fields->pm1aEventBlock.value_or(kUnknown);
}

void CACPIInterface::TakeBoardRecord(const ACPITableView& table) {
    if (const auto record = FindACPIBoardRecord(table)) m_pBoardRecord = std::make_unique<ACPIBoardRecord>(*record);
}

void CACPIInterface::TakeHPET(const ACPITableView& hpet) {
    const auto base = ReadACPIHPETBase(hpet);
    if (!base || base->low == 0 || !base->IsSystemMemory()) return;
    BRENIKSDK* sdk = GetSDK();
    CIOSpace* space = sdk->FindIOSpace(base->high, base->low, IOSPACE_MEMORY);
    if (!space) {
        space = new CMemoryIOSpace(base->high, base->low, 0xFFFFFFFF);
        sdk->m_pIOSpaces->AddTail(space);
    }
    uint32_t capabilities = 0, period = 0;
    if (!space->ReadDword(kHPETCapabilities, &capabilities) || !space->ReadDword(kHPETPeriod, &period)) return;
    // A period of 0 or beyond 100 ns is no HPET's: no timer rather than a
    // division by zero or a nonsense rate.
    if (!IsPlausibleHPETPeriod(period)) return;
    auto* timer = new CHPETTimer(space);
    timer->m_dFrequency = kFemtosecondsPerSecond / static_cast<int32_t>(period);
    sdk->m_pTimers->AddTail(timer);
}
