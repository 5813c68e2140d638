// The package and core records: package names, the exact bus clocks, the
// unknown answers of a package without logical processors, and the core
// clock as the refresh derives it.
#include <gtest/gtest.h>

#include "sdk/core/sensor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"

namespace {

TEST(PackageNames, CodesAndTheirGaps) {
    struct Case {
        uint32_t code;
        const char* name;  // null: none
    };
    const Case cases[] = {{0x10001, "Socket 4 (273)"}, {0x1002A, "Socket 196 PGA"}, {0x10039, "Socket FS1 (905)"},
                          {0x1003A, nullptr},         {0x1003F, nullptr},         {0x10040, "Socket 1150 LGA"},
                          {0x10051, "Socket FP4"},     {0x10052, nullptr},         {0x20006, "MMC"},
                          {0x20007, "Slot A"},         {0x20008, nullptr},         {0xFFFFFFFF, nullptr}};
    for (const Case& c : cases) {
        const char* name = PackageCodeName(static_cast<int32_t>(c.code));
        if (c.name) EXPECT_STREQ(name, c.name) << std::hex << c.code;
        else EXPECT_EQ(name, nullptr) << std::hex << c.code;
    }
}

TEST(PackageNames, UnknownNameIsLookedUpAgain) {
    CProcessor package(0, 0);
    CCPUThread thread;
    package.m_pThreads->AddTail(&thread);
    thread.m_iPackageCode = 0x1003C;
    EXPECT_STREQ(package.GetPackageName(), "");
    thread.m_iPackageCode = 0x10028;
    EXPECT_STREQ(package.GetPackageName(), "Socket 1366 LGA");
    thread.m_iPackageCode = 0x10001;
    EXPECT_STREQ(package.GetPackageName(), "Socket 1366 LGA") << "kept once found";
    package.m_pThreads->RemoveAll();
}

TEST(ExactBusClock, NominalClocks) {
    CCPUThread thread;
    const std::pair<int32_t, float> cases[] = {{33, 33.34f}, {133, 133.34f}, {200, 200.0f}, {267, -1.0f}, {-1, -1.0f}};
    for (auto [nominal, exact] : cases) {
        thread.m_iNominalBusClock = nominal;
        EXPECT_EQ(GetExactBusClock(&thread), exact) << nominal;
    }
}

TEST(Package, WithoutLogicalProcessorsEveryGetterAnswersUnknown) {
    CProcessor package(3, 1);
    EXPECT_EQ(package.GetMaxCoreCount(), -1);
    EXPECT_EQ(package.GetMaxThreadCount(), -1);
    EXPECT_STREQ(package.GetName(), "");
    EXPECT_STREQ(package.GetMaskedName(), "");
    EXPECT_EQ(package.GetClassCode(), -1);
    EXPECT_EQ(package.HasClassFlags(0), 0);
    EXPECT_EQ(package.GetFamily(), -1);
    EXPECT_EQ(package.GetBrandID(), -1);
    EXPECT_EQ(package.GetTDP(), -1.0f);
    EXPECT_EQ(package.GetStockClock(), -1);
    EXPECT_EQ(package.GetRatedBusClock(), -1.0f);
    EXPECT_EQ(package.GetCoreClock(0), -1.0f);
    EXPECT_EQ(package.GetCoreMaxMultiplier(0), -1.0f);
    EXPECT_EQ(package.SetCoreEnableMask(1), 0u);
    EXPECT_EQ(package.HasInstructionSet(ISET_MMX), 0);
}

TEST(Package, InstructionSetTenIsNeverThere) {
    CProcessor package(0, 0);
    CCPUThread thread;
    std::fill(std::begin(thread.m_dwInstructionSets), std::end(thread.m_dwInstructionSets), 1u);
    package.m_pThreads->AddTail(&thread);
    for (int32_t index : {10, 11, 15, 0, 26}) EXPECT_EQ(package.HasInstructionSet(index), 0) << index;
    EXPECT_EQ(package.HasInstructionSet(ISET_SSE42), 1);
    thread.m_iLinkMultiplier = 9;
    package.m_fBusClock = 200.0f;
    EXPECT_EQ(package.GetRatedBusClock(), 1800.0f);
    package.m_pThreads->RemoveAll();
}

// The refresh: bus clock x multiplier, else the measured clock with the
// multiplier derived from it.
TEST(CoreClock, DerivedFromTheMeasuredClock) {
    struct Case {
        const char* name;
        uint32_t classCode;
        int32_t extModel;
        float measuredMultiplier, measuredTSC, bus;
        float multiplier, clockMHz;
    };
    const Case cases[] = {
        {"known multiplier", CPU_CLASS_INTEL, 0x1A, 20.0f, 2666.0f, 133.0f, 20.0f, 2660.0f},
        {"ordinary class", CPU_CLASS_INTEL, 0x1A, -1.0f, 2666.0f, 200.0f, 13.0f, 2600.0f},
        {"Core 2 of model 0x17", CPU_CLASS_INTEL_CORE_2 | 3, 0x17, -1.0f, 2666.0f, 200.0f, 13.5f, 2700.0f},
        {"Core 2 before it", CPU_CLASS_INTEL_CORE_2, 0x16, -1.0f, 2666.0f, 200.0f, 13.0f, 2600.0f},
        // 166.67 x 14 divided by 166.67 again is 13.999999 in single precision.
        {"a whole step stays whole", CPU_CLASS_INTEL, 0x1A, -1.0f, 2333.0f, 166.67f, 14.0f, 166.67f * 14.0f},
        {"no bus clock", CPU_CLASS_INTEL, 0x1A, -1.0f, 2666.0f, -1.0f, -1.0f, 2666.0f},
        {"nothing known", CPU_CLASS_INTEL, 0x1A, -1.0f, -1.0f, 200.0f, -1.0f, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCPUThread thread;
        thread.m_dwClassCode = c.classCode;
        thread.m_iExtModel = c.extModel;
        thread.m_fMeasuredMultiplier = c.measuredMultiplier;
        thread.m_fMeasuredTSCClock = c.measuredTSC;
        CCPUCore core(0);
        core.m_pThreads->AddTail(&thread);
        core.m_fBusClock = c.bus;
        core.Update();
        EXPECT_EQ(core.m_fMultiplier, c.multiplier);
        EXPECT_FLOAT_EQ(core.m_fClock, c.clockMHz > 0 ? c.clockMHz * PiScaledClock::kPi : -1.0f);
        EXPECT_FLOAT_EQ(thread.m_pClockSensor->m_fValue, c.clockMHz);
        core.m_pThreads->RemoveAll();
    }
}

} // namespace
