// Requests that cannot be served: without an open device, and refused by
// the driver. Each fails with its outputs at their presets; the SMBus reads
// tell the two apart.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sdk/core/list.h"
#include "sdk/system/acpi_node.h"
#include "tests/sdk/hw/kmdriver_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

constexpr uint32_t kAllOnes = 0xFFFFFFFF;

// ---- SMBus ----

struct SMBusCase {
    const char* name;
    std::function<uint32_t(CKMDriver&, uint8_t*)> read;
};

class KMDriverSMBus : public KMDriverOnMachine, public ::testing::WithParamInterface<SMBusCase> {};

TEST_P(KMDriverSMBus, AnswersUsePortsOrFailure) {
    uint8_t byte = 0x11;
    CKMDriver& idle = newDriver();
    EXPECT_EQ(GetParam().read(idle, &byte), 0u) << "no device";
    EXPECT_EQ(byte, 0x11);

    CKMDriver& driver = lockedDriver();
    EXPECT_EQ(GetParam().read(driver, &byte), 2u) << "the stand-in's answer";

    install(simulatedMachine(R"({"driver": {"fail": ["0x9C402468", "0x9C40246C", "0x9C4024A8"]}})"));
    byte = 0x11;
    EXPECT_EQ(GetParam().read(driver, &byte), 2u) << "a failed request";
    EXPECT_EQ(byte, 0x11);
}

INSTANTIATE_TEST_SUITE_P(
    , KMDriverSMBus,
    ::testing::Values(
        SMBusCase{"ICH", [](CKMDriver& d, uint8_t* b) { return d.ReadSMBusByteICH(0x400, 0x50, 3, b); }},
        SMBusCase{"Engine",
                  [](CKMDriver& d, uint8_t* b) {
                      return d.ReadSMBusByteEngine(0x80000A00, 0x180, 10, 0, 3, b);
                  }},
        SMBusCase{"NVidia", [](CKMDriver& d, uint8_t* b) { return d.ReadSMBusByteNVidia(0x4C00, 0x50, 3, b); }}),
    CaseName());

// ---- Every request fails cleanly ----

// A request run on a manager; true when it failed and left its outputs at
// their presets.
struct FailureCase {
    const char* name;
    std::function<bool(CKMDriver&)> failsWithPresets;
};

bool bytesAre(const uint8_t* bytes, size_t size, uint8_t value) {
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != value) return false;
    return true;
}

// A node record of the stand-in's handle form, for the ACPI requests.
const uint32_t kNodeRecord[CACPITreeNode::kRecordDwords] = {0xFFFFF800, 0x80, 0, 0, 0, 0, 0, 0, 0x504D5452};

const FailureCase kFailures[] = {
    {"ReadMSR",
     [](CKMDriver& d) {
         uint32_t high = 0, low = 0;
         return !d.ReadMSR(0x17, &high, &low) && high == kAllOnes && low == kAllOnes;
     }},
    {"WriteMSR", [](CKMDriver& d) { return !d.WriteMSR(0x17, 0, 0); }},
    {"ReadPortByte", [](CKMDriver& d) { uint8_t v = 0; return !d.ReadPortByte(0x80, &v) && v == 0xFF; }},
    {"ReadPortWord", [](CKMDriver& d) { uint16_t v = 0; return !d.ReadPortWord(0x80, &v) && v == 0xFFFF; }},
    {"ReadPortDword", [](CKMDriver& d) { uint32_t v = 0; return !d.ReadPortDword(0x80, &v) && v == kAllOnes; }},
    {"WritePortByte", [](CKMDriver& d) { return !d.WritePortByte(0x80, 1); }},
    {"WritePortWord", [](CKMDriver& d) { return !d.WritePortWord(0x80, 1); }},
    {"WritePortDword", [](CKMDriver& d) { return !d.WritePortDword(0x80, 1); }},
    {"ReadPhysicalMemory",
     [](CKMDriver& d) {
         uint8_t bytes[8] = {};
         return !d.ReadPhysicalMemory(0, 0xF0000, 8, bytes) && bytesAre(bytes, 8, 0);
     }},
    {"WritePhysicalMemory", [](CKMDriver& d) { return !d.WritePhysicalMemory(0, 0xF0000, 1); }},
    {"MapPhysicalMemory",
     [](CKMDriver& d) {
         uint32_t mapping[2] = {7, 7};
         return !d.MapPhysicalMemory(0xF0000, 0, 16, mapping) && mapping[0] == 7 && mapping[1] == 7;
     }},
    {"ReadPCIConfig",
     [](CKMDriver& d) {
         uint8_t bytes[8] = {};
         return !d.ReadPCIConfig(0, 0, 0, 0, 8, bytes) && bytesAre(bytes, 8, 0);
     }},
    {"WritePCIConfig",
     [](CKMDriver& d) {
         uint8_t bytes[4] = {};
         return !d.WritePCIConfig(0, 0, 0, 0x40, 4, bytes);
     }},
    {"GetDriverVersion",
     [](CKMDriver& d) {
         uint32_t version = 0;
         return !d.GetDriverVersion(&version) && version == kAllOnes && d.m_dwDriverVersion == kAllOnes;
     }},
    {"GetKernelVersion",
     [](CKMDriver& d) {
         uint32_t major = 0, minor = 0, build = 0;
         return !d.GetKernelVersion(&major, &minor, &build) && major == kAllOnes && minor == kAllOnes &&
                build == kAllOnes;
     }},
    {"MeasureBusClock", [](CKMDriver& d) { return d.MeasureBusClock(3579545.0, 0x808) == -1.0f; }},
    {"MeasureBusClockEx", [](CKMDriver& d) { return d.MeasureBusClockEx(3579545.0, 0x808, 0xFEE00000) == -1.0f; }},
    {"MeasureMSRClockByPMTimer",
     [](CKMDriver& d) { return d.MeasureMSRClockByPMTimer(3579545.0, 0x808, 0x10) == -1.0f; }},
    {"MeasureMSRClockByHPET",
     [](CKMDriver& d) { return d.MeasureMSRClockByHPET(14318180.0, 0xFED00000, 0x10) == -1.0f; }},
    {"CallSMI",
     [](CKMDriver& d) {
         uint32_t registers[4] = {1, 2, 3, 4};
         return !d.CallSMI(registers) && registers[0] == 1 && registers[3] == 4;
     }},
    {"SendBoardRequest", [](CKMDriver& d) { return !d.SendBoardRequest(1, 0, 0xCFFDE000, 0x800, 0x8086, 100); }},
    {"GetACPIRoot",
     [](CKMDriver& d) {
         uint32_t root[2] = {7, 7};
         return !d.GetACPIRoot(root) && root[0] == 7 && root[1] == 7;
     }},
    {"GetACPINode",
     [](CKMDriver& d) {
         CACPITreeNode node(kNodeRecord);
         return !d.GetACPINode(&node, 2);
     }},
    {"EvaluateACPIMethod",
     [](CKMDriver& d) {
         CACPITreeNode method(kNodeRecord);
         const uint32_t root[2] = {0xFFFFF800, 0x40};
         CTList<CACPIMethod> results;
         return !d.EvaluateACPIMethod(root, &method, &results) && results.GetCount() == 0;
     }},
    {"ReadMemoryByte", [](CKMDriver& d) { uint8_t v = 0; return !d.ReadMemoryByte(0, 0xF0000, 0, &v) && v == 0xFF; }},
    {"ReadMemoryQword",
     [](CKMDriver& d) {
         uint32_t high = 0, low = 0;
         return !d.ReadMemoryQword(0, 0xF0000, 0, &high, &low) && high == kAllOnes && low == kAllOnes;
     }},
    {"WriteMemoryByte", [](CKMDriver& d) { return !d.WriteMemoryByte(0, 0xF0000, 0, 1); }},
    {"ReadPCIConfigDwordByPorts",
     [](CKMDriver& d) { uint32_t v = 0; return !d.ReadPCIConfigDwordByPorts(0, 0, 0, 0, &v) && v == kAllOnes; }},
    {"WritePCIConfigDwordByPorts", [](CKMDriver& d) { return !d.WritePCIConfigDwordByPorts(0, 0, 0, 0x40, 1); }},
    {"ReadPCIConfigMech2",
     [](CKMDriver& d) { uint32_t v = 0; return !d.ReadPCIConfigMech2(0, 0, 0, 0, &v) && v == kAllOnes; }},
};

class KMDriverWithoutDevice : public KMDriverTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(KMDriverWithoutDevice, RequestFailsUnsent) {
    CKMDriver& driver = startedDriver();  // initialised, but not locked
    EXPECT_TRUE(GetParam().failsWithPresets(driver));
}

INSTANTIATE_TEST_SUITE_P(, KMDriverWithoutDevice, ::testing::ValuesIn(kFailures), CaseName());

// Every control code of the driver refused, as by a driver that does not
// know them.
const char kRefusingDriver[] = R"({"driver": {"fail": [
  "0x9C402400", "0x9C402404", "0x9C402408", "0x9C40240C", "0x9C402410", "0x9C402414", "0x9C402418",
  "0x9C402420", "0x9C402424", "0x9C402430", "0x9C402438", "0x9C40243C", "0x9C402440", "0x9C402444",
  "0x9C402448", "0x9C40244C", "0x9C402450", "0x9C402454", "0x9C402458", "0x9C40245C", "0x9C402464",
  "0x9C402468", "0x9C40246C", "0x9C4024A8", "0x9C402500", "0x9C402508", "0x9C402510", "0x9C402514",
  "0x9C402518"]},
  "acpi_namespace": {"_SB_": {}}})";

class KMDriverRefused : public KMDriverOnMachine, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(KMDriverRefused, RequestFailsWithItsPresets) {
    CKMDriver& driver = lockedDriver();
    install(simulatedMachine(kRefusingDriver));
    EXPECT_TRUE(GetParam().failsWithPresets(driver));
}

INSTANTIATE_TEST_SUITE_P(, KMDriverRefused, ::testing::ValuesIn(kFailures), CaseName());

} // namespace
} // namespace vexa::test
