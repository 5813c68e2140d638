// The processor report's block of a package: which lines appear, their
// number formats, the instruction-set text and the cache lines.
#include <gtest/gtest.h>

#include <iterator>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

// A package of one core and one logical processor, all owned here.
struct Package {
    CProcessor processor{0, 0};
    CCPUCore core{0};
    CCPUThread thread;

    Package() {
        processor.m_pCores->AddTail(&core);
        processor.m_pThreads->AddTail(&thread);
        core.m_pThreads->AddTail(&thread);
        thread.m_dwClassCode = CPU_CLASS_INTEL;
    }
    ~Package() {
        processor.m_pCores->RemoveAll();
        processor.m_pThreads->RemoveAll();
        core.m_pThreads->RemoveAll();
        processor.m_pCaches->RemoveAll();
        for (CCacheDescriptor* cache : owned) delete cache;
    }
    // `instances` entries of one cache.
    void AddCache(int32_t level, int32_t type, int32_t size, int32_t ways, int32_t line, int instances = 1) {
        auto* cache = new CCacheDescriptor(level, type);
        cache->m_iSize = size;
        cache->m_iWays = ways;
        cache->m_iLineSize = line;
        for (int i = 0; i < instances; ++i) processor.m_pCaches->AddTail(cache);
        owned.push_back(cache);
    }
    std::string Report() {
        CReportGenerator_Buffer report;
        processor.Dump(&report);
        return report.GetText();
    }
    std::vector<CCacheDescriptor*> owned;
};

bool Has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

TEST(ProcessorReport, HeadingCountsAndIdentification) {
    Package p;
    p.thread.m_iLogicalPerPackage = 2;
    p.thread.m_iCoresPerPackage = 1;
    FormatString(p.thread.m_szName, sizeof p.thread.m_szName, "Intel Nehalem");
    p.thread.m_iFamily = 6, p.thread.m_iModel = 10, p.thread.m_iStepping = 4;
    p.thread.m_iExtFamily = 6, p.thread.m_iExtModel = 0x1A;
    p.thread.m_bEngineeringSample = 1;
    p.thread.m_iPackageCode = 0x10028;
    p.thread.m_iPlatformId = 0x12;
    const std::string text = p.Report();
    EXPECT_EQ(text.rfind("Processor 1\t\t\tID = 0\n"
                         "\tNumber of cores\t\t1 (max 1)\n"
                         "\tNumber of threads\t1 (max 2)\n"
                         "\tName\t\t\tIntel Nehalem\n"
                         "\tCodename\t\t\n"
                         "\tSpecification\t\t (Engineering Sample)\n"
                         "\tPackage (platform ID)\tSocket 1366 LGA (0x12)\n"
                         "\tCPUID\t\t\t6.A.4\n"
                         "\tExtended CPUID\t\t6.1A\n"
                         "\tCore Stepping\t\t\n",
                         0),
              0u)
        << text;
    EXPECT_FALSE(Has(text, "Brand ID")) << "brand 0";
    EXPECT_FALSE(Has(text, "Core Speed")) << "no clock";
    EXPECT_TRUE(Has(text, "\tFID/VID Control\t\tno\n"));
}

TEST(ProcessorReport, NumbersAsTheirSizesAsk) {
    struct Case {
        float multiplier, bus, technology;
        const char* multiplierLine;
        const char* technologyLine;
    };
    const Case cases[] = {
        {14.25f, 200.0f, 0.045f, "\tMultiplier x Bus Speed\t14.25 x 200.0 MHz\n", "\tTechnology\t\t45 nm\n"},
        {14.5f, 200.0f, 0.13f, "\tMultiplier x Bus Speed\t14.5 x 200.0 MHz\n", "\tTechnology\t\t0.13 um\n"},
        {15.0f, 200.0f, 0.065f, "\tMultiplier x Bus Speed\t15.0 x 200.0 MHz\n", "\tTechnology\t\t65 nm\n"},
        {8.25f, -1.0f, 0.18f, "\tMultiplier\t\tx 8.25\n", "\tTechnology\t\t0.18 um\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.multiplierLine);
        Package p;
        p.core.m_fMultiplier = c.multiplier;
        p.core.m_fClock = PiScaledClock::FromMHz(2850.0f);
        p.processor.m_fBusClock = c.bus;
        p.thread.m_fTechnology = c.technology;
        p.thread.m_fTDP = 95.0f;
        p.thread.m_fTjMax = 100.0f;
        p.thread.m_iStockClock = 2800;
        const std::string text = p.Report();
        EXPECT_TRUE(Has(text, "\tCore Speed\t\t2850.0 MHz\n")) << text;
        EXPECT_TRUE(Has(text, c.multiplierLine)) << text;
        EXPECT_TRUE(Has(text, c.technologyLine)) << text;
        EXPECT_TRUE(Has(text, "\tTDP Limit\t\t95.0 Watts\n"));
        EXPECT_TRUE(Has(text, std::string("\tTjmax\t\t\t100.0 ") + kDegreeSign + "C\n"));
        EXPECT_TRUE(Has(text, "\tStock frequency\t\t2800 MHz\n"));
    }
}

TEST(ProcessorReport, RatedBusSpeedOrHyperTransport) {
    for (auto [classCode, label] : {std::pair{uint32_t(CPU_CLASS_INTEL), "\tRated Bus speed\t\t800.0 MHz\n"},
                                    std::pair{uint32_t(CPU_CLASS_AMD_K8 | 4), "\tHT Link speed\t\t800.0 MHz\n"}}) {
        Package p;
        p.thread.m_dwClassCode = classCode;
        p.thread.m_iLinkMultiplier = 4;
        p.processor.m_fBusClock = 200.0f;
        p.core.m_fMultiplier = 10.0f;
        p.core.m_fClock = PiScaledClock::FromMHz(2000.0f);
        EXPECT_TRUE(Has(p.Report(), label)) << label;
    }
}

TEST(ProcessorReport, InstructionSetTextByVendor) {
    struct Case {
        uint32_t classCode;
        std::vector<int32_t> sets;
        const char* text;
    };
    const Case cases[] = {
        {CPU_CLASS_AMD, {ISET_MMX, ISET_MMX_EXTENSIONS, ISET_3DNOW, ISET_3DNOW_EXTENSIONS, ISET_SSE, ISET_X86_64},
         "MMX (+), 3DNow! (+), SSE, x86-64"},
        {CPU_CLASS_INTEL, {ISET_SSE2, ISET_X86_64, ISET_AES, ISET_RTM, ISET_HLE}, ", SSE2, EM64T, AES, TSX"},
        {CPU_CLASS_AMD, {ISET_SSE4A, ISET_XOP, ISET_FMA4, ISET_HLE}, ", SSE4A, XOP, FMA4, HLE"},
        {CPU_CLASS_VIA, {ISET_SSE3, ISET_RTM}, ", SSE3, RTM"},
    };
    for (const Case& c : cases) {
        Package p;
        p.thread.m_dwClassCode = c.classCode;
        // The flags by their position in the thread's array (see the
        // instruction-set table of the identification).
        const int32_t order[] = {ISET_MMX, ISET_MMX_EXTENSIONS, ISET_3DNOW, ISET_3DNOW_EXTENSIONS, ISET_SSE,
                                 ISET_SSE2, ISET_SSE3, ISET_SSSE3, ISET_SSE41, ISET_SSE42, ISET_SSE4A, ISET_XOP,
                                 ISET_X86_64, ISET_AES, ISET_AVX, ISET_AVX2, ISET_FMA3, ISET_FMA4, ISET_RTM, ISET_HLE};
        for (int32_t set : c.sets)
            for (size_t i = 0; i < std::size(order); ++i)
                if (order[i] == set) p.thread.m_dwInstructionSets[i] = 1;
        EXPECT_TRUE(Has(p.Report(), std::string("\tInstructions sets\t") + c.text + "\n")) << c.text;
    }
    Package virtualization;
    virtualization.thread.m_bVirtualization = 1;
    EXPECT_TRUE(Has(virtualization.Report(), "\tInstructions sets\t, VT-x\n"));
    virtualization.thread.m_dwClassCode = CPU_CLASS_AMD;
    EXPECT_TRUE(Has(virtualization.Report(), "\tInstructions sets\t, AMD-V\n"));
}

TEST(ProcessorReport, CacheLines) {
    Package p;
    p.AddCache(1, CACHE_DATA, 32, 8, 64, 4);
    p.AddCache(1, CACHE_TRACE, 12, 8, -1);
    p.AddCache(2, CACHE_UNIFIED, 4096, 1, -1);
    p.AddCache(3, CACHE_UNIFIED, 6144, kFullyAssociative, 64, 2);
    p.AddCache(4, CACHE_UNIFIED, 1536, -1, 64);
    std::string text = p.Report();
    EXPECT_TRUE(Has(text, "\tL1 Data cache\t\t4 x 32 KBytes, 8-way set associative, 64-byte line size\n")) << text;
    EXPECT_TRUE(Has(text, "\tTrace cache\t\t12 Kuops, 8-way set associative\n"));
    EXPECT_TRUE(Has(text, "\tL2 cache\t\t4096 KBytes, Direct mapped\n"));
    EXPECT_TRUE(Has(text, "\tL3 cache\t\t2 x 6 MBytes, Fully associative, 64-byte line size\n"));
    EXPECT_TRUE(Has(text, "\tL4 cache\t\t1536 KBytes, 64-byte line size\n"));
    p.AddCache(1, CACHE_INSTRUCTION, 16, 4, 64);
    text = p.Report();
    EXPECT_FALSE(Has(text, "Trace cache")) << "the instruction cache wins";
    EXPECT_TRUE(Has(text, "\tL1 Instruction cache\t16 KBytes, 4-way set associative, 64-byte line size\n"));
    p.AddCache(3, CACHE_DATA, -1, 4, 64);
    EXPECT_FALSE(Has(p.Report(), "L3 Data")) << "no such line, and unknown sizes are not written";
}

} // namespace
