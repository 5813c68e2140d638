// The query layer's processor slots over the processor model: lookups by
// package index, counts, caches, texts, the hottest sensor, the VID and
// the multiplier history, and their unknown answers.
#include <gtest/gtest.h>

#include "app/local_info_parser.h"
#include "app/settings.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/cpu/cache_descriptor.h"
#include "sdk/cpu/cpu_class_codes.h"
#include "sdk/cpu/cpu_core.h"
#include "sdk/cpu/cpu_infos.h"
#include "sdk/cpu/cpu_interface.h"
#include "sdk/cpu/cpu_package.h"
#include "sdk/cpu/cpu_thread.h"
#include "sdk/cpu/fidvid_intel.h"
#include "sdk/cpu/intel_shared_bodies.h"
#include "tests/sdk/cpu/cpu_test_support.h"

namespace vexa::test {
namespace {

class ProcessorQueries : public ::testing::Test {
protected:
    void Scan(const std::string& manifest) {
        machine_.emplace(X58With(manifest));
        settings_.DMI = 0;
        int error = 0, detail = 0;
        ASSERT_EQ(parser_.Scan(&error, &detail), 1);
        cpu_ = GetSDK()->m_pCPU;
        ASSERT_TRUE(cpu_);
    }
    void TearDown() override { parser_.Close(); }

    VexaSettings settings_;
    int noValidation_ = 0;
    CLocalInfoParser parser_{settings_, noValidation_};
    std::optional<machine::ScopedMachine> machine_;
    CCPUInterface* cpu_ = nullptr;
};

TEST_F(ProcessorQueries, PackagesByTheirOwnIndex) {
    Scan(R"({"cpu": {"logical_processors": 16}})");
    EXPECT_EQ(parser_.GetProcessorCount(), 2);
    EXPECT_EQ(parser_.GetProcessorIndex(1), 1);
    EXPECT_EQ(parser_.GetProcessorIndex(2), -1);
    EXPECT_EQ(parser_.GetCoreCount(1), 4);
    EXPECT_EQ(parser_.GetThreadCount(1), 8);
    EXPECT_EQ(parser_.GetCoreCount(2), 1) << "the unknown value of a count";
    EXPECT_EQ(parser_.GetFamily(0), 6);
    EXPECT_EQ(parser_.GetExtModel(0), 0x1A);
    EXPECT_EQ(parser_.GetClassCode(0), int(kIntelNehalemClass | 1)) << "Nehalem, brand subcode 1 (Core i7)";
    EXPECT_EQ(parser_.GetClassCode(5), -1);
    EXPECT_EQ(parser_.HasInstructionSet(0, ISET_SSE42), 1);
    EXPECT_EQ(parser_.HasInstructionSet(0, ISET_AVX), 0);
    EXPECT_EQ(parser_.GetMicrocodeRevision(0), -1) << "the image has no MSR 0x8B";
}

TEST_F(ProcessorQueries, CacheCountsAndGeometry) {
    Scan("{}");
    int size = -7, line = -7, ways = -7;
    EXPECT_EQ(parser_.GetCacheCount(0, 2, CACHE_UNIFIED, &size), 4);
    EXPECT_EQ(size, 256);
    EXPECT_EQ(parser_.GetCacheGeometry(0, 2, CACHE_UNIFIED, &line, &ways), 4);
    EXPECT_EQ(line, 64);
    EXPECT_EQ(ways, 8);
    size = -7;
    EXPECT_EQ(parser_.GetCacheCount(0, 4, CACHE_UNIFIED, &size), 0);
    EXPECT_EQ(size, -7) << "untouched";
    EXPECT_EQ(parser_.GetCacheCount(3, 1, CACHE_DATA, &size), -1);
}

TEST_F(ProcessorQueries, TextsAndTheirMaskedCopies) {
    Scan("{}");
    wchar_t name[kInfoTextChars], unmasked[kInfoTextChars], text[kInfoTextChars];
    ASSERT_EQ(parser_.GetProcessorName(0, name), 1);
    EXPECT_STREQ(name, L"Intel Core i7") << "no platform ID without MSRs: the model's name";
    ASSERT_EQ(parser_.UnmaskProcessorName(0, unmasked), 1);
    EXPECT_STREQ(unmasked, name);
    ASSERT_EQ(parser_.GetSpecification(0, text), 1);
    EXPECT_STREQ(text, L"Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz");
    ASSERT_EQ(parser_.UnmaskCodename(0, text), 1);
    EXPECT_STREQ(text, L"Nehalem") << "the generation's codename without the platform ID";
    ASSERT_EQ(parser_.GetPackage(0, text), 1);
    EXPECT_STREQ(text, L"");
    wcscpy(text, L"untouched");
    EXPECT_EQ(parser_.GetCodename(1, text), 0);
    EXPECT_STREQ(text, L"untouched");
}

TEST_F(ProcessorQueries, HottestTemperatureSensorOfThePackage) {
    Scan("{}");
    CProcessor* package = cpu_->GetProcessor(0);
    EXPECT_EQ(parser_.GetMaxTemperature(0), -1.0f) << "no temperature sensor";
    for (float value : {45.0f, 52.5f}) {
        auto* sensor = new CTemperatureSensor(0);
        sensor->SetValue(value, 1);
        GetSDK()->m_pSensors->AddTail(sensor);
        package->AddSensor(sensor);
    }
    EXPECT_EQ(parser_.GetMaxTemperature(0), 52.5f);
    EXPECT_EQ(parser_.GetMaxTemperature(1), -1.0f);
}

TEST_F(ProcessorQueries, VoltageOfCoreZeroOnly) {
    Scan("{}");
    CProcessor* package = cpu_->GetProcessor(0);
    EXPECT_EQ(parser_.GetCoreVID(0), -1.0f);
    // A FID/VID control on the second core's logical processor is not asked.
    CCPUThread* second = package->GetCore(1)->GetFirstThread();
    struct WithControl : public CCPUInfos {
        WithControl() : CCPUInfos(CPU_INFOS_FAMILY, CPU_CLASS_INTEL) {
            m_pFIDVID = new Silvermont_FIDVID_Control;
            m_pFIDVID->m_iCurrentVID = 90;
        }
    };
    second->SetFamilyInfos(new WithControl);
    EXPECT_EQ(parser_.GetCoreVID(0), -1.0f);
    package->GetCore(0)->GetFirstThread()->SetFamilyInfos(new WithControl);
    EXPECT_FLOAT_EQ(parser_.GetCoreVID(0), 0.9f);
}

TEST_F(ProcessorQueries, ClocksMultipliersAndTheirHistory) {
    Scan("{}");
    CProcessor* package = cpu_->GetProcessor(0);
    CCPUCore* core = package->GetCore(2);
    core->m_fClock = PiScaledClock::FromMHz(2660.0f);
    core->m_fMultiplier = 20.0f;
    EXPECT_FLOAT_EQ(parser_.GetCoreClock(0, 2), 2660.0f * PiScaledClock::kPi);
    EXPECT_EQ(parser_.GetCoreMultiplier(0, 2), 20.0f);
    EXPECT_EQ(parser_.GetCoreMultiplier(0, 4), -1.0f) << "no fifth core";
    EXPECT_EQ(parser_.GetCoreMaxMultiplier(0, 0), -1.0f);
    int count = 0;
    float* samples = nullptr;
    ASSERT_EQ(parser_.GetMultiplierHistory(0, 2, &count, &samples), 1);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(samples, core->GetFirstThread()->m_fMultiplierRing);
    EXPECT_EQ(parser_.GetMultiplierHistory(0, 9, &count, &samples), 0);
    cpu_->m_fBusClock = 133.0f;
    EXPECT_EQ(parser_.GetBusClock(), 133.0f);
    EXPECT_EQ(parser_.SetCoreEnableMask(0, 3), 0) << "no description applies masks";
}

TEST(ProcessorQueriesAbsent, WithoutTheProcessorDomain) {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser parser(settings, noValidation);
    EXPECT_EQ(parser.GetProcessorCount(), -1);
    EXPECT_EQ(parser.GetProcessorIndex(0), -1);
    EXPECT_EQ(parser.GetThreadCount(0), 1);
    EXPECT_EQ(parser.GetBusClock(), -1.0f);
    EXPECT_EQ(parser.IsEngineeringSample(0), 0);
    EXPECT_EQ(parser.GetMaxTemperature(0), -1.0f);
    wchar_t text[kInfoTextChars] = L"untouched";
    EXPECT_EQ(parser.UnmaskProcessorName(0, text), 0);
    EXPECT_STREQ(text, L"untouched");
}

} // namespace
} // namespace vexa::test
