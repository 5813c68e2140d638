#include "sdk/cpu/amd_node_infos.h"

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "sdk/hw/register_space_amd_ecs.h"

namespace {

constexpr uint32_t kHardwarePStatesBit = 1u << 7;  // CPUID 0x80000007 EDX
constexpr uint32_t kFunction4 = 4;
constexpr uint32_t kBoostControl = 0x15C;  // F4x15C bits 4:2: boosted P-states
constexpr uint32_t kUnreadDword = 0xBABABABA;

// The SMU behind the host bridge and in the graphics' registers.
constexpr int32_t kSmuIndexRegister = 0xB8;  // 00:00.0
constexpr int32_t kSmuDataRegister = 0xBC;
constexpr uint32_t kSmuMessageOffset = 0x250;
constexpr uint32_t kSmuResponseOffset = 0x254;
constexpr int kSmuMessageAttempts = 100;
constexpr uint32_t kSmuAttemptWaitMs = 1;

} // namespace

bool AMDNodeInfos::CachePStateMsrs(CCPUThread* thread) {
    if (!(Cpuid(0x80000007).edx & kHardwarePStatesBit)) return false;
    CacheMSRs(thread, {amd_msr::kPStateLimit, amd_msr::kPStateControl, amd_msr::kPStateStatus});
    for (uint32_t i = 0; i < 5; ++i) thread->GetMSR(amd_msr::kPState0 + i);
    return true;
}

void AMDNodeInfos::ReadCoreCount(CCPUThread* thread) {
    m_iNC = static_cast<int32_t>(Cpuid(0x80000008).ecx & 0xFF);
    thread->m_iCoresPerPackage = m_iNC + 1;
    if (CCacheDescriptor* level3 = thread->FindCacheDescriptor(3, 3)) level3->m_iSharedBy = m_iNC + 1;
}

void AMDNodeInfos::OpenExtendedConfig(std::initializer_list<uint16_t> function3Ids) {
    if (!m_pNodeDevices) return;
    CTListIterator<CDevice> it(m_pNodeDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* function = static_cast<CPCIDevice*>(device);
        for (uint16_t id : function3Ids)
            if (function->GetDeviceID() == id) m_pExtendedConfig = NodeExtendedConfigSpace(function);
    }
}

void AMDNodeInfos::AppendNodeFunctions(std::initializer_list<uint16_t> deviceIds) {
    if (!m_pNodeDevices || m_pNodeDevices->GetCount() == 0) return;
    CTListIterator<CDevice> nodes(m_pNodeDevices);
    const auto* function0 = static_cast<CPCIDevice*>(nodes.GetFirst());
    const uint8_t bus = function0->m_byBus, slot = function0->m_byDevice;
    CTListIterator<CDevice> all(GetSDK()->m_pDevices);
    for (CDevice* device = all.GetFirst(); device; device = all.GetNext()) {
        auto* function = dynamic_cast<CPCIDevice*>(device);
        if (!function || function->GetVendorID() != kAMDVendor || function->m_byBus != bus ||
            function->m_byDevice != slot)
            continue;
        for (uint16_t id : deviceIds)
            if (function->GetDeviceID() == id) m_pNodeDevices->AddTail(function);
    }
}

void AMDNodeInfos::ReadBoostedPStates() {
    uint32_t boost = 0;
    if (ReadNode(kFunction4, kBoostControl, &boost)) m_iBoostedPStates = static_cast<int32_t>((boost >> 2) & 7);
}

bool AMDNodeInfos::ReadNode(uint32_t function, uint32_t reg, uint32_t* value) {
    return m_pExtendedConfig && m_pExtendedConfig->ReadConfigDword(function, reg, value);
}

void AMDNodeInfos::ReadPStateRatios(CCPUThread* thread, const RatioRules& rules) {
    thread->m_iNominalBusClock = rules.nominalBusClock;
    m_fMultiplierScale = rules.multiplierScale;
    if (FIDVID_Control* control = m_pFIDVID) {
        const float scale = rules.multiplierScale;
        int32_t fid = -1;
        if (m_fMaxTurboRatio <= 0 && control->GetPState(0, &fid, nullptr, nullptr))
            m_fMaxTurboRatio = thread->m_fMaxMultiplier = control->GetMultiplier(fid) * scale;
        auto nonTurboFrom = [&](int32_t index) {
            if (m_fMaxNonTurboRatio > 0 || !control->GetPState(index, &fid, nullptr, nullptr)) return;
            m_fMaxNonTurboRatio = control->GetMultiplier(fid) * scale;
            if (thread->m_iStockClock == -1)
                thread->m_iStockClock = static_cast<int32_t>(float(rules.nominalBusClock) * m_fMaxNonTurboRatio);
        };
        if (m_iBoostedPStates != -1 && m_iBoostedPStates < control->m_iPStateCount) nonTurboFrom(m_iBoostedPStates);
        nonTurboFrom(0);
        // A processor whose first three P-states run at one ratio has no
        // turbo range to tell apart.
        int32_t fids[3] = {0, 0, 1};
        for (int32_t i = 0; i < 3; ++i) control->GetPState(i, &fids[i], nullptr, nullptr);
        if (fids[0] == fids[1] && fids[1] == fids[2]) m_fMaxNonTurboRatio = -1.0f;
        if (rules.writeThreadNonTurboAndMin) {
            thread->m_fMaxNonTurboMultiplier = control->GetMaxMultiplier() * scale;
            thread->m_fMinMultiplier = control->GetMinMultiplier() * scale;
        }
    }
    if (!rules.measureRates || !GetSDK()->GetACPITimer()) return;
    m_fTSCRate = MeasureAMDMsrRate(amd_msr::kTimeStampCounter);
    m_fAPERFRate = MeasureAMDMsrRate(amd_msr::kAperf);
    m_fMPERFRate = MeasureAMDMsrRate(amd_msr::kMperf);
}

float AMDNodeInfos::GetMultiplier(CCPUThread*) {
    const float multiplier = FIDVIDCurrentMultiplier(this);
    return multiplier > 0 ? multiplier * m_fMultiplierScale : multiplier;
}

float AMDNodeInfos::GetCoreClock(CCPUThread*, CTimer*) { return AMDEffectiveFrequency(); }

void AMDNodeInfos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    const struct {
        const char* label;
        const char* tabs;
        const char* format;
        int32_t value;
    } lines[] = {
        {"\tPackage Type", "\t\t", "0x%X", m_iPackageType},
        {"\tModel", "\t\t\t", "%02d", m_iModelNumber},
        {"\tString 1", "\t\t", "0x%X", m_iString1},
        {"\tString 2", "\t\t", "0x%X", m_iString2},
        {"\tPage", "\t\t\t", "0x%X", m_iPage},
        {"\tTDC Limit", "\t\t", "%d Amps", m_iTDCLimit},
        {"\tBase TDP", "\t\t", "%d Watts", m_iBaseTDP},
        {"\tBoosted P-States", "\t", "%d", m_iBoostedPStates},
    };
    for (const auto& line : lines)
        if (line.value != -1) report->PrintField(line.label, line.tabs, line.format, line.value);
    if (m_fMaxNonTurboRatio > 0) report->PrintField("\tMax non-turbo ratio", "\t", "%.2fx", double(m_fMaxNonTurboRatio));
    if (m_fMaxTurboRatio > 0) report->PrintField("\tMax turbo ratio", "\t\t", "%.2fx", double(m_fMaxTurboRatio));
    auto dumpRates = [&] {
        const struct {
            const char* label;
            float rate;
        } rates[] = {{"\tTSC", m_fTSCRate}, {"\tAPERF", m_fAPERFRate}, {"\tMPERF", m_fMPERFRate}};
        for (const auto& rate : rates)
            if (rate.rate > 0) report->PrintField(rate.label, "\t\t\t", "%.1f MHz", double(rate.rate));
    };
    if (!m_bDumpNodeRegisters) {
        DumpNodeDevices(report, m_pNodeDevices);
        dumpRates();
        return;
    }
    dumpRates();
    if (!m_pNodeDevices) return;
    CTListIterator<CDevice> it(m_pNodeDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        const auto* function = static_cast<CPCIDevice*>(device);
        report->PrintFieldFormatted("\tAttached device", "\t\t", "PCI device at bus %d, device %d, function %d",
                                    function->m_byBus, function->m_byDevice, function->m_byFunction);
        if (m_pExtendedConfig) DumpNodeRegisterRows(report, function->m_byFunction);
    }
}

void AMDNodeInfos::DumpNodeRegisterRows(CReportGenerator* report, uint32_t function) {
    for (uint32_t row = 0x100; row < 0x200; row += 16) {
        char label[32];
        FormatString(label, sizeof label, "\t\t\t%02X", row);
        uint32_t dwords[4];
        for (uint32_t i = 0; i < 4; ++i)
            if (!ReadNode(function, row + 4 * i, &dwords[i])) dwords[i] = kUnreadDword;
        report->PrintFieldFormatted(label, "\t", "%08X %08X %08X %08X ", dwords[0], dwords[1], dwords[2], dwords[3]);
    }
    report->PrintField("\t", "\t", "%s", "");
}

// ---- The SMU ----

bool amd_smu::ReadRegister(uint32_t index, uint32_t* value) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    uint32_t saved = 0;
    if (!pci || !pci->ReadConfig(0, 0, 0, kSmuIndexRegister, &saved)) return false;
    uint32_t data = 0;
    const bool read = pci->WriteConfig(0, 0, 0, kSmuIndexRegister, index) &&
                      pci->ReadConfig(0, 0, 0, kSmuDataRegister, &data);
    pci->WriteConfig(0, 0, 0, kSmuIndexRegister, saved);
    if (read) *value = data;
    return read;
}

bool amd_smu::SendMessage(uint32_t mmioBase, uint32_t message, uint32_t* response) {
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return false;
    for (int attempt = 0; attempt < kSmuMessageAttempts; ++attempt) {
        *response = 0;
        if (driver->WriteMemoryDword(0, mmioBase, kSmuMessageOffset, message)) {
            Sleep(kSmuAttemptWaitMs);
            if (!driver->ReadMemoryDword(0, mmioBase, kSmuResponseOffset, response)) *response = 0;
        }
        if (*response != 0) return true;
    }
    return false;
}
