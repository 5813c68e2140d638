// The processors section of the report (counts, the APIC tree, the timers
// and one block per package) and the thread dumps.
#include <cmath>
#include <optional>
#include <string>

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/hw/timer.h"

namespace {

// The thread dumps move the whole process onto each logical processor in
// turn. SetProcessAffinityMask moves the calling thread before it returns
// here, so there is nothing to wait for before reading.
constexpr uint32_t kThreadDumpSettleMs = 0;

void DumpTimer(CReportGenerator* report, CTimer* timer, const char* label, const char* format, double divisor) {
    if (timer) report->PrintFieldFormatted(label, "\t\t", format, static_cast<double>(static_cast<float>(timer->m_dFrequency / divisor)));
}

// "MMX (+), 3DNow! (+), SSE, ..." as far as the processor has them.
std::string InstructionSetText(CProcessor* processor) {
    auto has = [processor](int32_t index) { return processor->HasInstructionSet(index) != 0; };
    const bool intelStyle = processor->HasClassFlags(CPU_CLASS_INTEL) != 0;
    std::string text = has(ISET_MMX) ? "MMX" : "";
    if (has(ISET_MMX_EXTENSIONS)) text += " (+)";
    if (has(ISET_3DNOW)) text += ", 3DNow!";
    if (has(ISET_3DNOW_EXTENSIONS)) text += " (+)";
    constexpr std::pair<int32_t, const char*> kSSE[] = {{ISET_SSE, ", SSE"},     {ISET_SSE2, ", SSE2"},
                                                        {ISET_SSE3, ", SSE3"},   {ISET_SSSE3, ", SSSE3"},
                                                        {ISET_SSE41, ", SSE4.1"}, {ISET_SSE42, ", SSE4.2"},
                                                        {ISET_SSE4A, ", SSE4A"}};
    for (const auto& [index, name] : kSSE)
        if (has(index)) text += name;
    if (has(ISET_X86_64)) text += intelStyle ? ", EM64T" : ", x86-64";
    if (has(ISET_VIRTUALIZATION))
        text += intelStyle || processor->HasClassFlags(CPU_CLASS_VIA) ? ", VT-x" : ", AMD-V";
    constexpr std::pair<int32_t, const char*> kLater[] = {{ISET_AES, ", AES"},   {ISET_AVX, ", AVX"},
                                                          {ISET_AVX2, ", AVX2"}, {ISET_XOP, ", XOP"},
                                                          {ISET_FMA3, ", FMA3"}, {ISET_FMA4, ", FMA4"}};
    for (const auto& [index, name] : kLater)
        if (has(index)) text += name;
    if (has(ISET_RTM) && has(ISET_HLE)) text += ", TSX";
    else if (has(ISET_RTM)) text += ", RTM";
    else if (has(ISET_HLE)) text += ", HLE";
    return text;
}

// ", Direct mapped, 64-byte line size" and the like.
std::string Organisation(const CCacheDescriptor* cache) {
    char text[128];
    const bool line = cache->m_iLineSize != -1;
    switch (cache->m_iWays) {
    case -1:
        if (!line) return "";
        FormatString(text, sizeof text, ", %d-byte line size", cache->m_iLineSize);
        break;
    case 1: FormatString(text, sizeof text, line ? ", Direct mapped, %d-byte line size" : ", Direct mapped", cache->m_iLineSize); break;
    case kFullyAssociative:
        FormatString(text, sizeof text, line ? ", Fully associative, %d-byte line size" : ", Fully associative",
                     cache->m_iLineSize);
        break;
    default:
        if (line)
            FormatString(text, sizeof text, ", %d-way set associative, %d-byte line size", cache->m_iWays,
                         cache->m_iLineSize);
        else
            FormatString(text, sizeof text, ", %d-way set associative", cache->m_iWays);
        break;
    }
    return text;
}

struct CacheLine {
    const char* label;
    int32_t level;
    int32_t type;
    const char* pad;
    bool megabytes;  // L3 and L4 sizes of whole megabytes in MB
};

constexpr CacheLine kCacheLines[] = {
    {"\tL1 Data cache", 1, CACHE_DATA, "\t\t", false},
    {"\tL1 Instruction cache", 1, CACHE_INSTRUCTION, "\t", false},
    {"\tTrace cache", 1, CACHE_TRACE, "\t\t", false},
    {"\tL2 Instruction cache", 2, CACHE_INSTRUCTION, "\t", false},
    {"\tL2 Data cache", 2, CACHE_DATA, "\t\t", false},
    {"\tL2 cache", 2, CACHE_UNIFIED, "\t\t", false},
    {"\tL3 cache", 3, CACHE_UNIFIED, "\t\t", true},
    {"\tL4 cache", 4, CACHE_UNIFIED, "\t\t", true},
};

void DumpCaches(CProcessor* processor, CReportGenerator* report) {
    for (const CacheLine& line : kCacheLines) {
        const int32_t instances = processor->CountCaches(line.level, line.type);
        const CCacheDescriptor* cache = processor->FindCache(line.level, line.type);
        if (instances < 1 || !cache || cache->m_iSize == -1) continue;
        char value[256];
        if (line.type == CACHE_TRACE) {
            // A processor with a level-1 instruction cache shows that one.
            if (processor->CountCaches(1, CACHE_INSTRUCTION) > 0) continue;
            if (instances > 1) FormatString(value, sizeof value, "%d x %d Kuops", instances, cache->m_iSize);
            else FormatString(value, sizeof value, "%d Kuops", cache->m_iSize);
            AppendFormat(value, sizeof value, ", %d-way set associative", cache->m_iWays);
        } else {
            const bool mb = line.megabytes && cache->m_iSize >= 1024 && cache->m_iSize % 1024 == 0;
            const int32_t size = mb ? cache->m_iSize / 1024 : cache->m_iSize;
            const char* unit = mb ? "MBytes" : "KBytes";
            if (instances > 1) FormatString(value, sizeof value, "%d x %d %s", instances, size, unit);
            else FormatString(value, sizeof value, "%d %s", size, unit);
            AppendFormat(value, sizeof value, "%s", Organisation(cache).c_str());
        }
        report->PrintField(line.label, line.pad, "%s", value);
    }
}

} // namespace

void CCPUInterface::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("Number of processors", "\t\t", "%d", m_iProcessorCount);
    report->PrintField("Number of threads", "\t\t", "%d", m_iThreadCount);
    report->PrintBlankLine();
    report->PrintSectionTitle("APICs");
    CTListIterator<CProcessor> processors(m_pProcessors);
    for (CProcessor* processor = processors.GetFirst(); processor; processor = processors.GetNext()) {
        char label[256];
        FormatString(label, sizeof label, "Processor %d", processor->m_iIndex);
        report->PrintFieldFormatted(label, "\t", "%s", "");
        CTListIterator<CCPUCore> cores(processor->m_pCores);
        for (CCPUCore* core = cores.GetFirst(); core; core = cores.GetNext()) {
            FormatString(label, sizeof label, "\t-- Core %d", core->m_iCoreId);
            report->PrintFieldFormatted(label, "\t", "%s", "");
            CTListIterator<CCPUThread> threads(core->m_pThreads);
            for (CCPUThread* thread = threads.GetFirst(); thread; thread = threads.GetNext()) {
                FormatString(label, sizeof label, "\t\t-- Thread %d", thread->m_iSmtId);
                report->PrintFieldFormatted(label, "\t", "%d", thread->m_iApicId);
            }
        }
    }
    report->PrintBlankLine();
    report->PrintSectionTitle("Timers");
    BRENIKSDK* sdk = GetSDK();
    DumpTimer(report, sdk->GetACPITimer(), "\tACPI timer", "%.3f MHz", 1000000.0);
    DumpTimer(report, sdk->GetHPETTimer(), "\tHPET timer", "%.3f MHz", 1000000.0);
    DumpTimer(report, sdk->GetPerformanceTimer(), "\tPerf timer", "%.3f MHz", 1000000.0);
    DumpTimer(report, sdk->GetSystemTimer(), "\tSys timer", "%.3f KHz", 1000.0);
    report->PrintBlankLine();
    report->PrintBlankLine();
    report->PrintSectionTitle("Processors Information");
    for (CProcessor* processor = processors.GetFirst(); processor; processor = processors.GetNext())
        processor->Dump(report);
    report->PrintBlankLine();
}

void CCPUInterface::DumpThreads(CReportGenerator* report) {
    if (!report) return;
    report->PrintTitle("Thread dumps");
    // With processor groups the process mask reaches only the first 32
    // processors of the first group; the calling thread is moved to each
    // processor's group and bit instead, and back afterwards.
    const auto callerGroup = m_bGroupMode ? SaveCallerGroup() : std::nullopt;
    CTListIterator<CCPUThread> it(m_pThreads);
    size_t position = 0;
    for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext(), ++position) {
        if (m_bGroupMode) Pin(GetCurrentThread(), m_Placements[position]);
        else thread->BindAndSleep(kThreadDumpSettleMs);
        thread->Dump(report);
        report->PrintBlankLine();
    }
    report->PrintBlankLine();
    RestoreProcessAffinity();
    if (callerGroup) RestoreCallerGroup(*callerGroup);
}

void CProcessor::Dump(CReportGenerator* report) {
    if (!report) return;
    CCPUThread* first = GetFirstThread();
    char label[512];
    FormatString(label, sizeof label, "Processor %d", m_iIndex + 1);
    report->PrintField(label, "\t\t\t", "ID = %d", m_iPackageId);
    report->PrintField("\tNumber of cores", "\t\t", "%d (max %d)", GetCoreCount(), GetMaxCoreCount());
    report->PrintField("\tNumber of threads", "\t", "%d (max %d)", GetThreadCount(), GetMaxThreadCount());
    report->PrintField("\tName", "\t\t\t", "%s", GetName());
    report->PrintField("\tCodename", "\t\t", "%s", GetCodename());
    report->PrintField("\tSpecification", "\t\t", "%s%s", GetSpecification(),
                       IsEngineeringSample() ? " (Engineering Sample)" : "");
    if (first && first->m_iPlatformId != -1)
        report->PrintField("\tPackage (platform ID)", "\t", "%s (0x%X)", GetPackageName(), first->m_iPlatformId);
    else
        report->PrintField("\tPackage ", "\t\t", "%s", GetPackageName());
    if (GetFamily() != -1) report->PrintField("\tCPUID", "\t\t\t", "%X.%X.%X", GetFamily(), GetModel(), GetStepping());
    if (GetExtFamily() != -1) report->PrintField("\tExtended CPUID", "\t\t", "%X.%X", GetExtFamily(), GetExtModel());
    if (GetBrandID() > 0) report->PrintField("\tBrand ID", "\t\t", "%d", GetBrandID());
    report->PrintField("\tCore Stepping", "\t\t", "%s", GetCoreSteppingText());
    if (const float technology = GetTechnology(); technology > 0) {
        if (technology < 0.1f)
            report->PrintField("\tTechnology", "\t\t", "%d nm", static_cast<int>(std::lround(technology * 1000.0f)));
        else
            report->PrintField("\tTechnology", "\t\t", "%1.2f um", static_cast<double>(technology));
    }
    if (GetTDP() > 0) report->PrintField("\tTDP Limit", "\t\t", "%.1f Watts", static_cast<double>(GetTDP()));
    if (GetTjMax() > 0)
        report->PrintField("\tTjmax", "\t\t\t", "%.1f %sC", static_cast<double>(GetTjMax()), kDegreeSign);
    if (const double clock = PiScaledClock::ToMHz(GetCoreClock(0)); clock > 0) {
        report->PrintField("\tCore Speed", "\t\t", "%.1f MHz", clock);
        const float multiplier = GetCoreMultiplier(0);
        // Quarter steps show two decimals, whole and half steps one.
        const bool twoDecimals = static_cast<int>(multiplier * 100.0f) % 10 != 0;
        if (multiplier > 0 && m_fBusClock > 0)
            report->PrintField("\tMultiplier x Bus Speed", "\t", twoDecimals ? "%.2f x %.1f MHz" : "%.1f x %.1f MHz",
                               static_cast<double>(multiplier), static_cast<double>(m_fBusClock));
        else if (multiplier > 0)
            report->PrintField("\tMultiplier", "\t\t", twoDecimals ? "x %.2f" : "x %.1f", static_cast<double>(multiplier));
        if (const float rated = GetRatedBusClock(); rated > 0) {
            const uint32_t family = ClassWithoutSubcode(static_cast<uint32_t>(GetClassCode()));
            const bool hyperTransport = family == CPU_CLASS_AMD_K8 || family == CPU_CLASS_AMD_K10;
            report->PrintField(hyperTransport ? "\tHT Link speed" : "\tRated Bus speed", "\t\t", "%.1f MHz",
                               static_cast<double>(rated));
        }
    }
    if (GetStockClock() != -1) report->PrintField("\tStock frequency", "\t\t", "%d MHz", GetStockClock());
    report->PrintField("\tInstructions sets", "\t", "%s", InstructionSetText(this).c_str());
    DumpCaches(this, report);
    if (first) {
        first->DumpRegisters(report);
        report->PrintBlankLine();
    }
}
