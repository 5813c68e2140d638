// The processor interface on simulated machines: identification of every
// logical processor on its own processor, the packages of the sample
// board and of a two-package image, the measurement passes, the bus
// clock's sources, the load, the PowerNow table, the thread dumps and the
// end of the measurement threads.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/modules.h"
#include "platform/system_information.h"
#include "platform/testing.h"
#include "platform/threads.h"
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/fidvid_amd.h"
#include "sdk/hw/timer.h"
#include "tests/sdk/cpu/cpu_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

class ProcessorInterface : public ProcessorTest {
protected:
    CCPUInterface* Create(uint32_t flags = 0) {
        EXPECT_EQ(GetSDK()->CreateCPUInterface(flags), 1);
        return GetSDK()->m_pCPU;
    }
    // An interface of identified logical processors without measurement
    // threads: the passes run when the test calls them.
    std::unique_ptr<CCPUInterface> Quiet(unsigned processors) {
        auto cpu = std::make_unique<CCPUInterface>(0);
        GetSDK()->m_pTimers->AddTail(new CWin32PerformanceTimer);
        for (unsigned i = 0; i < processors; ++i) cpu->m_pThreads->AddTail(Identified(i).release());
        cpu->BuildTopology();
        return cpu;
    }
};

std::string Text(CCPUInterface& cpu, void (CCPUInterface::*dump)(CReportGenerator*)) {
    CReportGenerator_Buffer report;
    (cpu.*dump)(&report);
    return report.GetText();
}

TEST_F(ProcessorInterface, SampleBoardIsOnePackageOfFourCoresAndEightThreads) {
    std::string error;
    Use(machine::loadImage(sourcePath("machines/x58-nehalem"), error), false);
    CCPUInterface* cpu = Create();
    ASSERT_TRUE(cpu);
    EXPECT_EQ(cpu->m_dwType, uint32_t(INTERFACE_CPU));
    EXPECT_EQ(cpu->m_iThreadCount, 8);
    EXPECT_EQ(cpu->m_iProcessorCount, 1);
    CProcessor* package = cpu->GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->GetCoreCount(), 4);
    EXPECT_EQ(package->GetThreadCount(), 8);
    EXPECT_STREQ(package->GetSpecification(), "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz");
    EXPECT_EQ(package->CountCaches(1, CACHE_DATA), 4);
    EXPECT_EQ(package->CountCaches(1, CACHE_INSTRUCTION), 4);
    EXPECT_EQ(package->CountCaches(2, CACHE_UNIFIED), 4);
    EXPECT_EQ(package->CountCaches(3, CACHE_UNIFIED), 1);
    EXPECT_EQ(package->FindCache(3, CACHE_UNIFIED)->m_iSize, 8192);
    // Each logical processor was identified on its own processor: its APIC
    // id is that processor's. The measurement threads rewrite the measured
    // clock under the library lock, so it is read under that lock too.
    uint32_t status = 0;
    ASSERT_EQ(GetSDK()->Lock(&status, 10000), 1) << status;
    int32_t expected = 0;
    CTListIterator<CCPUThread> it(cpu->m_pThreads);
    for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext(), ++expected) {
        EXPECT_EQ(thread->m_iApicId, expected);
        EXPECT_EQ(thread->m_iProcessorNumber, expected);
        EXPECT_GT(thread->m_fMeasuredTSCClock, 0.0f) << "measured during the identification";
    }
    GetSDK()->Unlock();
    const std::string report = Text(*cpu, &CCPUInterface::Dump);
    EXPECT_EQ(report.rfind("Number of processors\t\t1\nNumber of threads\t\t8\n", 0), 0u) << report;
    EXPECT_NE(report.find("\tNumber of cores\t\t4 (max 8)\n\tNumber of threads\t8 (max 16)\n"), std::string::npos);
    EXPECT_NE(report.find("\tInstructions sets\tMMX, SSE, SSE2, SSE3, SSSE3, SSE4.1, SSE4.2, EM64T, VT-x\n"),
              std::string::npos);
    EXPECT_NE(report.find("\tL3 cache\t\t8 MBytes, 16-way set associative, 64-byte line size\n"), std::string::npos);
}

// Two packages with x2APIC ids above 255 for the second: the ids come from
// leaf 0xB whole and keep their fields.
TEST_F(ProcessorInterface, TwoPackageImageWithX2ApicIds) {
    Use(X58With(R"({"cpu": {"logical_processors": 16,
                            "apic_ids": [0, 1, 2, 3, 4, 5, 6, 7, 256, 257, 258, 259, 260, 261, 262, 263]}})"),
        false);
    CCPUInterface* cpu = Create();
    ASSERT_EQ(cpu->m_iProcessorCount, 2);
    for (int32_t index : {0, 1}) {
        SCOPED_TRACE(index);
        CProcessor* package = cpu->GetProcessor(index);
        ASSERT_TRUE(package);
        EXPECT_EQ(package->m_iPackageId, index == 0 ? 0 : 16);
        EXPECT_EQ(package->GetCoreCount(), 4);
        EXPECT_EQ(package->GetThreadCount(), 8);
        EXPECT_EQ(package->CountCaches(2, CACHE_UNIFIED), 4);
        EXPECT_EQ(package->CountCaches(3, CACHE_UNIFIED), 1);
        for (int32_t core = 0; core < 4; ++core) EXPECT_TRUE(package->FindCoreById(core)) << core;
    }
    EXPECT_NE(Text(*cpu, &CCPUInterface::Dump).find("Processor 1\t\n\t-- Core 0\t\n\t\t-- Thread 0\t256\n"),
              std::string::npos);
}

TEST_F(ProcessorInterface, WithoutProcessorGroupsThirtyTwoOfFortyAreIdentified) {
    platform::testing::hideExport("kernel32.dll", "GetActiveProcessorGroupCount");
    Use(X58With(R"({"cpu": {"logical_processors": 40}})"), false);
    CCPUInterface* cpu = Create();
    EXPECT_EQ(cpu->m_iThreadCount, 40);
    EXPECT_EQ(cpu->m_pThreads->GetCount(), 32u);
    EXPECT_EQ(cpu->m_MonitorThreads.size(), 32u);
    EXPECT_NE(Text(*cpu, &CCPUInterface::Dump).find("Number of threads\t\t40\n"), std::string::npos);
}

TEST_F(ProcessorInterface, CloseEndsEveryMeasurementThread) {
    Use(X58With("{}"), false);
    CCPUInterface* cpu = Create();
    ASSERT_TRUE(cpu->m_hBusClockThread);
    cpu->Close();
    EXPECT_TRUE(cpu->StopRequested());
    EXPECT_FALSE(cpu->m_hBusClockThread);
    for (HANDLE handle : cpu->m_MonitorThreads) EXPECT_FALSE(handle);
    cpu->Close();  // again: nothing left to wait for
}

TEST(StopSignal, EndsAWaitInProgress) {
    StopSignal stop;
    EXPECT_FALSE(stop.WaitFor(0));
    std::thread setter([&] { stop.Set(); });
    EXPECT_TRUE(stop.WaitFor(600000)) << "the signal, not the time-out, ends the wait";
    setter.join();
    EXPECT_TRUE(stop.IsSet());
}

// The scan holds the library lock while it creates the interface, so the
// threads' first tries fail; once it lets go, the first passes follow at
// once, not after the pauses of 500 and 1000 ms that follow a busy lock.
TEST_F(ProcessorInterface, FirstPassesFollowOnceTheLibraryLockIsFree) {
    Use(X58With("{}"), false);
    uint32_t status = 0;
    ASSERT_TRUE(GetSDK()->Lock(&status, 1000));
    CCPUInterface* cpu = Create();
    Sleep(2 * CCPUInterface::kLibraryLockMs);  // every first try ran out meanwhile
    GetSDK()->Unlock();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(cpu->WaitForFirstPasses(1000));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(CCPUInterface::kThreadPassMs))
        << "ended by the passes, not by a pause";
    cpu->Close();
}

// Threads that never get to measure (the library stays busy) hold the
// wait only up to its bound.
TEST_F(ProcessorInterface, FirstPassesWaitEndsAtItsBoundWhenNoThreadMeasures) {
    Use(X58With("{}"), false);
    uint32_t status = 0;
    ASSERT_TRUE(GetSDK()->Lock(&status, 1000));
    CCPUInterface* cpu = Create();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(cpu->WaitForFirstPasses(1000));
    const auto waited = std::chrono::steady_clock::now() - started;
    GetSDK()->Unlock();
    cpu->Close();
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_LT(waited, std::chrono::milliseconds(3000));
}

// A description that knows the multiplier: the measurement pass then
// measures neither the core clock nor the time-stamp counter.
class KnownMultiplier : public CCPUInfos {
public:
    explicit KnownMultiplier(float multiplier) : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_INTEL), m_fMultiplier(multiplier) {}
    float GetMultiplier(CCPUThread*) override {
        ++m_iMultiplierReads;
        return m_fMultiplier;
    }
    float GetTemperature(CCPUThread*) override { return 41.0f; }
    float m_fMultiplier;
    int m_iMultiplierReads = 0;
};

TEST_F(ProcessorInterface, MeasurementPassSkipsTheClocksWhenTheMultiplierIsKnown) {
    Use(X58With("{}"), false);
    const auto cpu = Quiet(1);
    CCPUThread* thread = CTListIterator<CCPUThread>(cpu->m_pThreads).GetFirst();
    thread->m_fMeasuredTSCClock = -1.0f;
    thread->SetVendorInfos(new KnownMultiplier(20.0f));
    CCPUInterface::MeasureThread(thread);
    EXPECT_EQ(thread->m_fMeasuredMultiplier, 20.0f);
    EXPECT_EQ(thread->m_fMultiplierRing[0], 20.0f);
    EXPECT_EQ(thread->m_fMeasuredTSCClock, -1.0f);
    EXPECT_EQ(thread->m_fMeasuredTemperature, 41.0f);
    static_cast<KnownMultiplier*>(thread->m_pVendorInfos)->m_fMultiplier = -1.0f;
    CCPUInterface::MeasureThread(thread);
    EXPECT_GT(thread->m_fMeasuredTSCClock, 2000.0f) << "2667 MHz, measured";
    EXPECT_EQ(thread->m_fMultiplierRing[1], -1.0f);
}

// Without a bus clock of its own, the pass divides the processor's
// measured clock (2667 MHz) by its multiplier, read once. The clock stands
// still between readings, so a busy machine cannot stretch the measurement.
TEST_F(ProcessorInterface, BusClockBeneathTheMeasuredClock) {
    useManualClock();
    Use(X58With("{}"), false);
    const auto cpu = Quiet(1);
    CCPUThread* thread = CTListIterator<CCPUThread>(cpu->m_pThreads).GetFirst();
    auto* infos = new KnownMultiplier(20.0f);
    thread->SetVendorInfos(infos);
    EXPECT_NEAR(cpu->MeasureBusClock(), 2666.67f / 20.0f, 1.0f);
    EXPECT_EQ(infos->m_iMultiplierReads, 1);
    infos->m_fMultiplier = -1.0f;
    EXPECT_EQ(cpu->MeasureBusClock(), -1.0f) << "no multiplier, no clocks measured";
}

// The sample board's SMBIOS processor gives 133 MHz when nothing else does;
// with the driver, the local APIC timer gives the machine's 133.33, halved
// for the classes whose timer runs at twice the bus clock.
TEST_F(ProcessorInterface, BusClockSources) {
    ImageDir image;
    for (const char* file : {"cpuid.txt", "smbios.bin"})
        image.write(file, readFile(sourcePath(std::string("machines/x58-nehalem/") + file)));
    image.write("machine.json", R"({"cpu": {"bus_mhz": 133.33, "msrs": {"0x1B": "0xFEE00900"}},
                                     "ports": {"acpi_pm_timer": "0x808"}})");
    Use(image.load());
    const auto cpu = Quiet(1);
    CCPUThread* thread = CTListIterator<CCPUThread>(cpu->m_pThreads).GetFirst();
    EXPECT_EQ(cpu->MeasureBusClock(), -1.0f) << "no source yet";
    ASSERT_EQ(GetSDK()->CreateDMIInterface(), 1);
    EXPECT_EQ(cpu->MeasureBusClock(), 133.0f);
    EXPECT_EQ(cpu->m_fBusClock, 133.0f);

    EXPECT_EQ(cpu->MeasureBusClockByDriver(), -1.0f) << "no ACPI PM timer";
    GetSDK()->m_pTimers->AddTail(new CACPITimer(0x808));
    cpu->m_dwFlags = CPU_INTERFACE_BUS_CLOCK_BY_DRIVER;
    EXPECT_NEAR(cpu->MeasureBusClock(), 133.33f, 0.01f);
    thread->m_dwClassCode = CPU_CLASS_AMD_K7 | 0x05;
    EXPECT_NEAR(cpu->MeasureBusClockByDriver(), 66.67f, 0.01f);
    thread->m_dwClassCode = CPU_CLASS_INTEL_P6;
    EXPECT_EQ(cpu->MeasureBusClockByDriver(), -1.0f);
    EXPECT_EQ(cpu->MeasureBusClock(), 133.0f) << "back to the SMBIOS record";
}

TEST_F(ProcessorInterface, LoadFromTheProcessorTimes) {
    ManualClockGuard time;
    Use(X58With(R"({"cpu": {"load_percent": 25}})"), false);
    const auto cpu = Quiet(2);
    cpu->m_pNtQuerySystemInformation = &NtQuerySystemInformation;
    const uint32_t sensors = GetSDK()->m_pSensors->GetCount();
    cpu->MeasureLoad();
    CCPUThread* thread = CTListIterator<CCPUThread>(cpu->m_pThreads).GetFirst();
    ASSERT_TRUE(thread->m_pLoadSensor);
    EXPECT_EQ(GetSDK()->m_pSensors->GetCount(), sensors + 2) << "one load sensor per logical processor";
    EXPECT_NEAR(thread->m_pLoadSensor->m_fValue, 50.0f, 0.1f) << "no deltas yet";
    time.clock().advanceNs(1'000'000'000);
    cpu->MeasureLoad();
    EXPECT_NEAR(thread->m_pLoadSensor->m_fValue, 25.0f, 0.01f);
    CProcessor* package = cpu->GetProcessor(0);
    package->UpdateClocks();
    EXPECT_NEAR(package->m_pLoadSensor->m_fValue, 25.0f, 0.01f) << "the package's mean";
}

TEST_F(ProcessorInterface, NoLoadWithoutTheSystemInformationQuery) {
    platform::testing::hideLibrary("ntdll.dll");
    Use(X58With("{}"), false);
    CCPUInterface* cpu = Create();
    EXPECT_FALSE(cpu->m_pNtQuerySystemInformation);
    cpu->MeasureLoad();
    CTListIterator<CCPUThread> it(cpu->m_pThreads);
    for (CCPUThread* thread = it.GetFirst(); thread; thread = it.GetNext()) EXPECT_FALSE(thread->m_pLoadSensor);
}

// The thread dumps move the process from processor to processor and give
// it back every processor at the end.
TEST_F(ProcessorInterface, ThreadDumpsListEveryProcessorsLeavesAndRestoreTheAffinity) {
    Use(X58With("{}"), false);
    CCPUInterface* cpu = Create();
    SetProcessAffinityMask(GetCurrentProcess(), 0x4);
    const std::string dumps = Text(*cpu, &CCPUInterface::DumpThreads);
    for (int n = 0; n < 8; ++n) {
        SCOPED_TRACE(n);
        const size_t block = dumps.find("CPU Thread " + std::to_string(n) + "\t\n");
        ASSERT_NE(block, std::string::npos);
        char leaf1[96];
        std::snprintf(leaf1, sizeof leaf1, "\t0x00000001\t\t0x000106A4\t0x%02X100800\t", n);
        EXPECT_NE(dumps.find(leaf1, block), std::string::npos) << "leaf 1 read on processor " << n;
    }
    EXPECT_NE(dumps.find("\t0x00000004\t\t0x1C03C163\t0x03C0003F\t0x00001FFF\t0x00000002\n"), std::string::npos);
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    EXPECT_EQ(process, system);
}

// ---- The BIOS PowerNow table ----

std::string Bios(size_t offset, uint8_t pairs, size_t bytes = 0x10000) {
    std::string bios(bytes, '\0');
    const std::string header = "AMDK7PNOW!";
    bios.replace(offset, header.size(), header);
    if (offset + 23 < bytes) bios[offset + 23] = static_cast<char>(pairs);
    for (size_t i = 0; i < 2u * pairs && offset + 24 + i < bytes; ++i) bios[offset + 24 + i] = static_cast<char>(0x10 + i);
    return bios;
}

std::unique_ptr<machine::Machine> WithBios(const std::string& bios) {
    ImageDir image;
    image.write("bios.bin", bios);
    image.write("machine.json", R"({"memory": [{"base": "0xE0000", "size": "0x10000", "file": "bios.bin"}]})");
    return image.load();
}

// A description of an AMD K8 with its FID/VID control.
class K8Description : public CCPUInfos {
public:
    K8Description() : CCPUInfos(CPU_INFOS_VENDOR, CPU_CLASS_AMD_K8) { m_pFIDVID = new K8_FIDVID_Control; }
};

TEST_F(ProcessorInterface, PowerNowTableGivesTheK8ItsPStates) {
    Use(WithBios(Bios(0x4A0, 3)));
    CCPUInterface cpu(0);
    auto* thread = new CCPUThread;
    cpu.m_pThreads->AddTail(thread);
    thread->SetVendorInfos(new K8Description);
    cpu.BuildTopology();
    cpu.GivePowerNowTable();
    ASSERT_TRUE(cpu.m_pPowerNowHeader);
    EXPECT_EQ(cpu.m_pPowerNowHeader[23], 3);
    FIDVID_Control* control = thread->GetFIDVIDControl();
    ASSERT_EQ(control->m_iPStateCount, 3);
    int32_t fid = 0, vid = 0, current = 0;
    ASSERT_EQ(control->GetPState(2, &fid, &vid, &current), 1);
    EXPECT_EQ(fid, 0x14);
    EXPECT_EQ(vid, 0x15);
    EXPECT_EQ(current, -1);
}

// A table only counts as far as the block that was read holds it.
TEST_F(ProcessorInterface, PowerNowTableStaysInsideTheBlockRead) {
    struct Case {
        const char* name;
        size_t offset;
        uint8_t pairs;
        bool found;
        uint8_t kept;
    };
    const Case cases[] = {
        {"whole", 0x100, 5, true, 5},
        {"pairs cut at the block's end", 0xFFD0, 20, true, 12},
        {"header past the end", 0xFFF0, 2, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Use(WithBios(Bios(c.offset, c.pairs)));
        CCPUInterface cpu(0);
        EXPECT_EQ(cpu.FindPowerNowTable(), 1);
        EXPECT_EQ(cpu.m_pPowerNowHeader != nullptr, c.found);
        if (c.found) {
            EXPECT_EQ(cpu.m_pPowerNowHeader[23], c.kept);
            EXPECT_EQ(cpu.m_pPowerNowPairs[2 * c.kept - 1], static_cast<uint8_t>(0x10 + 2 * c.kept - 1));
        }
        GetSDK()->Close();
        ReleaseSDK();
    }
    Use(WithBios(std::string(0x10000, 'x')), false);
    CCPUInterface cpu(0);
    EXPECT_EQ(cpu.FindPowerNowTable(), 0) << "no driver";
}

} // namespace
} // namespace vexa::test
