// IntelRAPLPowerAndVoltages and IntelRatioAndVoltageDump, the GetPower and
// DumpRegisters of Haswell and Skylake, and the overclocking mailbox they
// read the voltage planes through.
#include "platform/sync.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/intel_haswell.h"
#include "sdk/cpu/intel_shared_bodies_rapl.h"
#include "sdk/cpu/msr_register.h"

namespace {

constexpr uint32_t kBusy = 0x80000000;  // bit 63, in the high dword
constexpr uint8_t kReadVoltage = 0x10;
constexpr int kVoltagePolls = 1000;

struct PlaneNames {
    const char* sensor;  // with a target
    const char* offset;  // offset only
    const char* dump;    // the report's label stem
    const char* modePad;
    const char* valuePad;
};
constexpr PlaneNames kPlanes[PLANE_COUNT] = {
    {"IA", "IA Offset", "IA", "\t\t", "\t"},
    {"GT", "GT Offset", "GT", "\t\t", "\t"},
    {"LLC/Ring", "LLC/Ring Offset", "LLC/Ring", "\t", "\t"},
    {"System Agent", "System Agent Offset", "Agent", "\t", "\t"},
};

// The 11-bit offset of bits 31:21, a two's complement number.
int32_t SignedOffset(uint32_t reply) {
    const auto field = static_cast<int32_t>((reply >> 21) & 0x7FF);
    return field >= 0x400 ? field - 0x800 : field;
}

} // namespace

// ---- The mailbox ----

MailboxLock::MailboxLock(HANDLE mutex) : m_hMutex(mutex) {
    if (!mutex) return;
    const DWORD result = WaitForSingleObject(mutex, kWaitMs);
    m_bOwned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

MailboxLock::~MailboxLock() {
    if (m_bOwned) ReleaseMutex(m_hMutex);
}

MailboxResult MailboxCommand(uint8_t command, uint8_t parameter, int polls, uint32_t& data) {
    MSR_Register mailbox(intel_msr::kOcMailbox);
    if (!mailbox.Read()) return MailboxResult::NotSent;
    if (!mailbox.Write(kBusy | command | (uint32_t(parameter) << 8), 0)) return MailboxResult::Failed;
    for (int poll = 0; poll < polls; ++poll) {
        if (!mailbox.Read()) return MailboxResult::Failed;
        if (mailbox.m_dwHigh & kBusy) continue;
        // Bits 39:32 hold the completion code; only a success carries data.
        if ((mailbox.m_dwHigh & 0xFF) != 0) return MailboxResult::Failed;
        data = mailbox.m_dwLow;
        return MailboxResult::Answered;
    }
    return MailboxResult::Failed;
}

// ---- Power ----

float Intel_Haswell_Infos::ReadEnergyCounter(CCPUThread* thread, uint32_t msr) {
    CPowerSensor* sensor = EnergySensor(thread, msr);
    EnergyDelta delta;
    if (!SampleEnergyCounter(sensor, msr, delta)) return -1.0f;
    const auto power = static_cast<float>(delta.counts * delta.hpetFrequency * m_dEnergyUnit / delta.ticks);
    if (power <= 0) return -1.0f;
    sensor->SetValue(power, 1);
    return power;
}

float Intel_Haswell_Infos::GetPower(CCPUThread* thread) {
    float last = -1.0f;
    for (uint32_t msr : {intel_msr::kPackageEnergy, intel_msr::kCoresEnergy, intel_msr::kGraphicsEnergy,
                         intel_msr::kDramEnergy})
        last = ReadEnergyCounter(thread, msr);
    const float result = UpdateUncorePower(thread, last);
    ReadVoltagePlanes(thread);
    return result;
}

// A plane whose mailbox did not answer keeps its settings and its sensor's
// value: the low dword of an unfinished or failed command is stale.
void Intel_Haswell_Infos::ReadVoltagePlanes(CCPUThread* thread) {
    if (!GetSDK()->GetDriver()) return;
    MailboxLock lock(m_hMailboxMutex);
    if (!lock.Owned()) return;
    for (int plane = 0; plane < PLANE_COUNT; ++plane) {
        uint32_t reply = 0;
        if (MailboxCommand(kReadVoltage, static_cast<uint8_t>(plane), kVoltagePolls, reply) != MailboxResult::Answered)
            continue;
        VoltagePlaneSettings& settings = m_Planes[plane];
        settings.target = static_cast<int32_t>((reply >> 8) & 0xFFF);
        settings.mode = static_cast<int32_t>((reply >> 20) & 1);
        settings.offset = SignedOffset(reply);
        CSensor*& slot = thread->m_pPackageSensors[PACKAGE_SENSOR_CORE_VOLTAGE + 1 + plane];
        if (!slot) {
            slot = new CVoltageSensor(static_cast<uint8_t>(plane + 1));
            GetSDK()->m_pSensors->AddTail(slot);
        }
        const PlaneNames& names = kPlanes[plane];
        const float offset = static_cast<float>(settings.offset) / 1000.0f;
        if (settings.target == 0) {
            FormatString(slot->m_szName, sizeof slot->m_szName, "%s", names.offset);
            // A positive offset shows its sign; a negative one has its own.
            slot->m_dwFlags = settings.offset >= 0 ? (slot->m_dwFlags | SENSOR_FLAG_PLUS_SIGN)
                                                   : (slot->m_dwFlags & ~uint32_t(SENSOR_FLAG_PLUS_SIGN));
            slot->SetValue(offset, 1);
        } else {
            FormatString(slot->m_szName, sizeof slot->m_szName, "%s", names.sensor);
            slot->m_dwFlags &= ~uint32_t(SENSOR_FLAG_PLUS_SIGN);
            slot->SetValue(static_cast<float>(settings.target) / 1000.0f + offset, 1);
        }
    }
}

// ---- Report ----

void Intel_Haswell_Infos::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    DumpRatioState(report, m_Ratios, IntelRatioState::kMaxActiveCores, true);
    char label[64];
    for (int plane = 0; plane < PLANE_COUNT; ++plane) {
        const VoltagePlaneSettings& settings = m_Planes[plane];
        const PlaneNames& names = kPlanes[plane];
        if (settings.mode != -1) {
            FormatString(label, sizeof label, "\t%s Voltage Mode", names.dump);
            report->PrintField(label, names.modePad, "%s", settings.mode == 1 ? "Override" : "PCU adaptive");
        }
        if (settings.target > 0) {
            FormatString(label, sizeof label, "\t%s Voltage Target", names.dump);
            report->PrintField(label, names.valuePad, "%d mV", settings.target);
        }
        if (settings.mode != -1) {
            FormatString(label, sizeof label, "\t%s Voltage Offset", names.dump);
            report->PrintField(label, names.valuePad, "%d mV", settings.offset);
        }
    }
}
