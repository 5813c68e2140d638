// The processor queries (slots 5-41 but 11, the board cache): counts,
// caches, names, identification numbers, instruction sets, clocks,
// multipliers and voltages of each package, read from the processor
// model. Each per-package query looks the package up by its own index P
// and answers the slot's unknown value without the processor domain or
// the package; the model's getters answer their own unknown values
// unchanged. Callers reading measured values hold the library lock.
#include <cmath>
#include <cstring>

#include "app/local_info_parser.h"
#include "platform/text.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_control.h"

namespace {

constexpr size_t kUnmaskBytes = 512;

CProcessor* PackageOf(CCPUInterface* cpu, int P) { return cpu ? cpu->GetProcessor(P) : nullptr; }

// The package's value, or `unknown`.
template <typename T, typename Read>
T Ask(CCPUInterface* cpu, int P, T unknown, Read read) {
    CProcessor* processor = PackageOf(cpu, P);
    return processor ? read(processor) : unknown;
}

// A text query: the package's narrow text into the caller's buffer.
template <typename Read>
int AskText(CCPUInterface* cpu, int P, wchar_t* text, Read read) {
    CProcessor* processor = PackageOf(cpu, P);
    if (!processor || !text) return 0;
    vexa::platform::narrowToWide(read(processor), text, kInfoTextChars);
    return 1;
}

// The masked copy undone byte by byte; a byte that unmasks to 0 ends the
// text there.
template <typename Read>
int AskMaskedText(CCPUInterface* cpu, int P, wchar_t* text, uint8_t key, Read read) {
    CProcessor* processor = PackageOf(cpu, P);
    if (!processor || !text) return 0;
    const char* masked = read(processor);
    char plain[kUnmaskBytes];
    size_t i = 0;
    for (; i + 1 < kUnmaskBytes && i < std::strlen(masked); ++i)
        plain[i] = static_cast<char>(static_cast<uint8_t>(masked[i]) ^ key);
    plain[i] = '\0';
    vexa::platform::narrowToWide(plain, text, kInfoTextChars);
    return 1;
}

} // namespace

int CLocalInfoParser::GetProcessorCount() { return m_pCPU ? m_pCPU->m_iProcessorCount : -1; }

int CLocalInfoParser::GetProcessorIndex(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->m_iIndex); });
}

int CLocalInfoParser::GetCoreCount(int P) {
    return Ask(m_pCPU, P, 1, [](CProcessor* p) { return static_cast<int>(p->GetCoreCount()); });
}

int CLocalInfoParser::GetThreadCount(int P) {
    return Ask(m_pCPU, P, 1, [](CProcessor* p) { return static_cast<int>(p->GetThreadCount()); });
}

int CLocalInfoParser::GetCacheCount(int P, int level, int type, int* sizeKB) {
    return Ask(m_pCPU, P, -1, [&](CProcessor* p) {
        const int count = p->CountCaches(level, type);
        if (count < 1) return count;
        if (sizeKB) *sizeKB = p->FindCache(level, type)->m_iSize;
        return count;
    });
}

int CLocalInfoParser::GetCacheGeometry(int P, int level, int type, int* lineBytes, int* ways) {
    return Ask(m_pCPU, P, -1, [&](CProcessor* p) {
        const int count = p->CountCaches(level, type);
        if (count < 1) return count;
        const CCacheDescriptor* cache = p->FindCache(level, type);
        if (lineBytes) *lineBytes = cache->m_iLineSize;
        if (ways) *ways = cache->m_iWays;
        return count;
    });
}

int CLocalInfoParser::GetProcessorName(int P, wchar_t* text) {
    return AskText(m_pCPU, P, text, [](CProcessor* p) { return p->GetName(); });
}

int CLocalInfoParser::UnmaskProcessorName(int P, wchar_t* text) {
    return AskMaskedText(m_pCPU, P, text, kMaskedNameKey, [](CProcessor* p) { return p->GetMaskedName(); });
}

int CLocalInfoParser::GetCodename(int P, wchar_t* text) {
    return AskText(m_pCPU, P, text, [](CProcessor* p) { return p->GetCodename(); });
}

int CLocalInfoParser::UnmaskCodename(int P, wchar_t* text) {
    return AskMaskedText(m_pCPU, P, text, kMaskedCodenameKey, [](CProcessor* p) { return p->GetMaskedCodename(); });
}

int CLocalInfoParser::GetCoreStepping(int P, wchar_t* text) {
    return AskText(m_pCPU, P, text, [](CProcessor* p) { return p->GetCoreSteppingText(); });
}

int CLocalInfoParser::GetSpecification(int P, wchar_t* text) {
    return AskText(m_pCPU, P, text, [](CProcessor* p) { return p->GetSpecification(); });
}

int CLocalInfoParser::GetPackage(int P, wchar_t* text) {
    return AskText(m_pCPU, P, text, [](CProcessor* p) { return p->GetPackageName(); });
}

int CLocalInfoParser::GetBrandID(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetBrandID()); });
}

float CLocalInfoParser::GetTDP(int P) {
    return Ask(m_pCPU, P, -1.0f, [](CProcessor* p) { return p->GetTDP(); });
}

float CLocalInfoParser::GetTechnology(int P) {
    return Ask(m_pCPU, P, -1.0f, [](CProcessor* p) { return p->GetTechnology(); });
}

// The hottest of the package's temperature sensors.
float CLocalInfoParser::GetMaxTemperature(int P) {
    return Ask(m_pCPU, P, -1.0f, [](CProcessor* p) {
        float hottest = -1.0f;
        CTListIterator<CSensor> it(p->m_pSensors);
        for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext())
            if (dynamic_cast<CTemperatureSensor*>(sensor) && sensor->m_fValue > hottest) hottest = sensor->m_fValue;
        return hottest;
    });
}

int CLocalInfoParser::GetStockClock(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetStockClock()); });
}

float CLocalInfoParser::GetRatedBusClock(int P) {
    return Ask(m_pCPU, P, -1.0f, [](CProcessor* p) { return p->GetRatedBusClock(); });
}

int CLocalInfoParser::IsEngineeringSample(int P) {
    return Ask(m_pCPU, P, 0, [](CProcessor* p) { return p->IsEngineeringSample(); });
}

int CLocalInfoParser::GetFamily(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetFamily()); });
}

int CLocalInfoParser::GetModel(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetModel()); });
}

int CLocalInfoParser::GetStepping(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetStepping()); });
}

int CLocalInfoParser::GetExtFamily(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetExtFamily()); });
}

int CLocalInfoParser::GetExtModel(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetExtModel()); });
}

int CLocalInfoParser::HasInstructionSet(int P, int instructionSet) {
    return Ask(m_pCPU, P, 0, [instructionSet](CProcessor* p) { return p->HasInstructionSet(instructionSet); });
}

int CLocalInfoParser::GetClassCode(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetClassCode()); });
}

int CLocalInfoParser::GetMicrocodeRevision(int P) {
    return Ask(m_pCPU, P, -1, [](CProcessor* p) { return static_cast<int>(p->GetMicrocodeRevision()); });
}

float CLocalInfoParser::GetCoreMultiplier(int P, int C) {
    return Ask(m_pCPU, P, -1.0f, [C](CProcessor* p) { return p->GetCoreMultiplier(C); });
}

float CLocalInfoParser::GetCoreMinMultiplier(int P, int C) {
    return Ask(m_pCPU, P, -1.0f, [C](CProcessor* p) { return p->GetCoreMinMultiplier(C); });
}

float CLocalInfoParser::GetCoreMaxMultiplier(int P, int C) {
    return Ask(m_pCPU, P, -1.0f, [C](CProcessor* p) { return p->GetCoreMaxMultiplier(C); });
}

// PiScaledClock: MHz times pi; the callers decode it with PiScaledClock::ToMHz.
float CLocalInfoParser::GetCoreClock(int P, int C) {
    return Ask(m_pCPU, P, -1.0f, [C](CProcessor* p) { return p->GetCoreClock(C); });
}

// The one measured bus clock of the system.
float CLocalInfoParser::GetBusClock() { return m_pCPU ? m_pCPU->m_fBusClock : -1.0f; }

// The voltage of core 0's current VID, whatever core the caller means.
float CLocalInfoParser::GetCoreVID(int P) {
    return Ask(m_pCPU, P, -1.0f, [](CProcessor* p) {
        CCPUCore* core = p->GetCore(0);
        FIDVID_Control* control = core ? core->GetFIDVIDControl() : nullptr;
        return control ? control->GetCurrentVoltage() : -1.0f;
    });
}

// The ten samples of the core's first logical processor, written in turn
// by its measurement thread; the pointer stays valid until Close.
int CLocalInfoParser::GetMultiplierHistory(int P, int C, int* count, float** samples) {
    return Ask(m_pCPU, P, 0, [&](CProcessor* p) {
        CCPUCore* core = p->GetCore(C);
        CCPUThread* thread = core ? core->GetFirstThread() : nullptr;
        if (!thread) return 0;
        if (count) *count = CCPUThread::kMultiplierSamples;
        if (samples) *samples = thread->m_fMultiplierRing;
        return 1;
    });
}
