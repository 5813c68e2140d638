// Packages and cores from the APIC ids: the splitting of the ids, their
// renumbering, x2APIC ids above 255, cache instances and the sensors each
// package gathers.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

class Topology : public ProcessorTest {
protected:
    void SetUp() override {
        ProcessorTest::SetUp();
        Use(MachineOf({Leaves("GenuineIntel", 0)}), false);
    }
    // A logical processor with this APIC id and package counts, owned by
    // the interface.
    CCPUThread* Add(CCPUInterface& cpu, int32_t apicId, int32_t logical, int32_t cores) {
        auto* thread = new CCPUThread;
        thread->m_iApicId = apicId;
        thread->m_iLogicalPerPackage = logical;
        thread->m_iCoresPerPackage = cores;
        cpu.m_pThreads->AddTail(thread);
        return thread;
    }
};

struct Place {
    int32_t package, core, smt;
    bool operator==(const Place&) const = default;
};

std::vector<Place> Places(CCPUInterface& cpu) {
    std::vector<Place> places;
    CTListIterator<CCPUThread> it(cpu.m_pThreads);
    for (CCPUThread* t = it.GetFirst(); t; t = it.GetNext()) places.push_back({t->m_iPackageId, t->m_iCoreId, t->m_iSmtId});
    return places;
}

void PrintTo(const Place& p, std::ostream* out) { *out << p.package << "/" << p.core << "/" << p.smt; }

TEST_F(Topology, ApicIdsSplitIntoPackageCoreAndThread) {
    CCPUInterface cpu(0);
    for (int32_t id : {0, 1, 2, 3, 8, 9, 10, 11}) Add(cpu, id, 8, 4);  // two packages of 4 cores x 2 threads
    cpu.BuildTopology();
    EXPECT_EQ(Places(cpu), (std::vector<Place>{{0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {0, 1, 1}, {1, 0, 0}, {1, 0, 1},
                                               {1, 1, 0}, {1, 1, 1}}));
    EXPECT_EQ(cpu.m_iProcessorCount, 2);
    ASSERT_TRUE(cpu.GetProcessor(1));
    EXPECT_EQ(cpu.GetProcessor(1)->m_iPackageId, 1);
    EXPECT_EQ(cpu.GetProcessor(1)->GetCoreCount(), 2);
    EXPECT_EQ(cpu.GetProcessor(1)->GetThreadCount(), 4);
    EXPECT_FALSE(cpu.GetProcessor(2));
    EXPECT_EQ(cpu.FindProcessorByPackageId(1), cpu.GetProcessor(1));
}

TEST_F(Topology, OneThreadPerPackageMakesEveryIdAPackage) {
    CCPUInterface cpu(0);
    for (int32_t id : {0, 1, 6}) Add(cpu, id, 1, 1);
    cpu.BuildTopology();
    EXPECT_EQ(Places(cpu), (std::vector<Place>{{0, 0, 0}, {1, 0, 0}, {6, 0, 0}}));
    EXPECT_EQ(cpu.m_iProcessorCount, 3);
}

TEST_F(Topology, RepeatedOrMissingIdsAreRenumbered) {
    for (const std::vector<int32_t>& ids : {std::vector<int32_t>{5, 5, 5, 5}, std::vector<int32_t>{-1, -1, -1, -1},
                                           std::vector<int32_t>{-1, 1, 2, 3}}) {
        CCPUInterface cpu(0);
        for (int32_t id : ids) Add(cpu, id, 2, 1);
        cpu.BuildTopology();
        EXPECT_EQ(Places(cpu), (std::vector<Place>{{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}})) << ids[0];
    }
}

// The fields are cut with masks as wide as the id.
TEST_F(Topology, X2ApicIdsAbove255KeepTheirCoreAndThread) {
    CCPUInterface cpu(0);
    for (int32_t id : {0x100, 0x101, 0x102, 0x103}) Add(cpu, id, 2, 1);
    cpu.BuildTopology();
    EXPECT_EQ(Places(cpu), (std::vector<Place>{{0x80, 0, 0}, {0x80, 0, 1}, {0x81, 0, 0}, {0x81, 0, 1}}));
}

// A cache shared by 2 of 8 logical processors is listed 4 times; one
// shared by all once; the per-thread sharing counts round up to powers
// of two (3 -> 4).
TEST_F(Topology, CacheInstancesFollowTheSharing) {
    CCPUInterface cpu(0);
    CCPUThread* first = nullptr;
    for (int32_t id = 0; id < 8; ++id) {
        CCPUThread* thread = Add(cpu, id, 8, 4);
        if (!first) first = thread;
    }
    for (auto [level, sharing] : {std::pair{1, 2}, std::pair{2, 3}, std::pair{3, 8}}) {
        auto* cache = new CCacheDescriptor(level, CACHE_UNIFIED);
        cache->m_iSharedBy = sharing;
        cache->m_iSize = 64 * level;
        first->m_pCaches->AddTail(cache);
    }
    cpu.BuildTopology();
    CProcessor* package = cpu.GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->CountCaches(1, CACHE_UNIFIED), 4);
    EXPECT_EQ(package->CountCaches(2, CACHE_UNIFIED), 2);
    EXPECT_EQ(package->CountCaches(3, CACHE_UNIFIED), 1);
    EXPECT_EQ(package->CountCaches(1, CACHE_DATA), 0);
}

TEST_F(Topology, PackagesGatherCoreAndPackageSensorsAndALoadSensor) {
    CCPUInterface cpu(0);
    CCPUThread* thread0 = Add(cpu, 0x10, 2, 2);
    Add(cpu, 0x11, 2, 2);
    auto* temperature = new CTemperatureSensor(0);
    auto* packagePower = new CPowerSensor(0);
    thread0->m_pCoreTemperature = temperature;
    thread0->m_pPackageSensors[PACKAGE_SENSOR_PACKAGE_POWER] = packagePower;
    GetSDK()->m_pSensors->AddTail(temperature);
    GetSDK()->m_pSensors->AddTail(packagePower);
    cpu.BuildTopology();
    CProcessor* package = cpu.GetProcessor(0);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->m_iPackageId, 8);
    EXPECT_EQ(package->GetCoreCount(), 2);
    EXPECT_STREQ(temperature->m_szName, "Core #0");
    EXPECT_EQ(temperature->m_dwId, uint32_t(SENSOR_TEMPERATURE) | (0 << 4));
    EXPECT_EQ(thread0->m_pClockSensor->m_dwId, uint32_t(SENSOR_CLOCK_SPEED));
    EXPECT_EQ(packagePower->m_dwId, uint32_t(SENSOR_POWER) | (8 << 4));
    ASSERT_TRUE(package->m_pLoadSensor);
    EXPECT_STREQ(package->m_pLoadSensor->m_szName, "UC");
    EXPECT_EQ(package->m_pLoadSensor->m_dwId, uint32_t(SENSOR_UTILIZATION) | ((8u | 0x120000u) << 4));
    EXPECT_TRUE(package->FindSensor(package->m_pLoadSensor));
    EXPECT_TRUE(package->FindSensor(temperature));
    EXPECT_TRUE(package->FindSensor(packagePower));
    // Two cores: the second core's clock sensor is named after it.
    CCPUCore* core1 = package->GetCore(1);
    ASSERT_TRUE(core1);
    EXPECT_STREQ(core1->GetFirstThread()->m_pClockSensor->m_szName, "Core #1");
}

TEST_F(Topology, RebuildingReplacesThePackagesInTheDeviceList) {
    CCPUInterface cpu(0);
    Add(cpu, 0, 1, 1);
    Add(cpu, 1, 1, 1);
    cpu.BuildTopology();
    const uint32_t devices = GetSDK()->m_pDevices->GetCount();
    cpu.BuildTopology();
    EXPECT_EQ(GetSDK()->m_pDevices->GetCount(), devices);
    EXPECT_EQ(cpu.m_pProcessors->GetCount(), 2u);
    EXPECT_EQ(cpu.m_pCores->GetCount(), 2u);
}

} // namespace
} // namespace vexa::test
