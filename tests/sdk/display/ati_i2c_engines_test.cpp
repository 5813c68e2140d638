// The ATI I2C engines on a simulated GPU: a byte of a thermal chip's
// register through each generation's engine and bus, buses an engine does
// not have, the R4XX dividers and busy engine, the requests the engines do
// not answer; every register a transfer writes is put back.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sdk/display/ati_i2c_engines.h"
#include "sdk/hw/io_space.h"
#include "tests/sdk/display/ati_test_support.h"

namespace vexa::test {
namespace {

struct EngineCase {
    const char* engine;
    uint8_t bus;        // where the transfer goes
    uint8_t chipBus;    // where the chip sits
    int result;
    const char* name;
};

std::unique_ptr<CI2CRegisterSpace> MakeEngine(const std::string& engine, CIOSpace* window) {
    if (engine == "r4xx") {
        auto space = std::make_unique<ATI_R4XX_I2CRegisterSpace>(window, 27000);
        space->InitEngine();
        return space;
    }
    if (engine == "r5xx") return std::make_unique<ATI_R5XX_I2CRegisterSpace>(window);
    if (engine == "r6xx") return std::make_unique<ATI_R6XX_I2CRegisterSpace>(window);
    return std::make_unique<ATI_R8XX_I2CRegisterSpace>(window);
}

std::string ThermalChip(uint8_t bus, uint8_t address, uint8_t temperature) {
    char text[160];
    std::snprintf(text, sizeof text,
                  R"({"bus": %u, "address": "0x%02X", "registers": {"0x01": "0x%02X", "0xFE": "0x01", "0xFF": "0x51"}})",
                  bus, address, temperature);
    return text;
}

class AtiEngines : public AtiTest, public ::testing::WithParamInterface<EngineCase> {
protected:
    void SetUp() override {
        AtiTest::SetUp();
        const EngineCase& c = GetParam();
        // Registers the engines rewrite start with values of their own.
        startGpu({AtiFunction(0x954F)},
                 R"("memory_devices": {"ati_gpus": [)" +
                     GpuWindow(c.engine, R"("0x7D50": "0x12345678", "0x6090": "0x0ABCDEF0", "0x7D38": "0x1", "0x6430": "0x77000011")",
                               ThermalChip(c.chipBus, 0x4C, 0x3A)) +
                     "]}");
        window_ = std::make_unique<CMemoryIOSpace>(0, kGpuWindowBase, 0x10000);
        space_ = MakeEngine(c.engine, window_.get());
    }
    std::unique_ptr<CMemoryIOSpace> window_;
    std::unique_ptr<CI2CRegisterSpace> space_;
};

TEST_P(AtiEngines, ReadsTheChipsRegisterAndLeavesTheEngineAsFound) {
    const EngineCase& c = GetParam();
    machine::current().setLogging(true);
    uint8_t value = 0xEE;
    EXPECT_EQ(space_->ReadByteData(c.bus, 0x4C, 0x01, &value), c.result);
    EXPECT_EQ(value, c.result ? 0x3A : 0xEE);
    // The same bus without a device at the address.
    uint8_t other = 0xEE;
    EXPECT_EQ(space_->ReadByteData(c.bus, 0x4D, 0x01, &other), 0);
    EXPECT_EQ(other, 0xEE);
    if (c.result) expectWritesRestored();
}

INSTANTIATE_TEST_SUITE_P(
    Engines, AtiEngines,
    ::testing::Values(EngineCase{"r4xx", 0, 0, 1, "R4XXBus0"}, EngineCase{"r4xx", 2, 2, 1, "R4XXBus2"},
                      EngineCase{"r4xx", 3, 2, 0, "R4XXOtherBus"}, EngineCase{"r5xx", 1, 1, 1, "R5XXBus1"},
                      EngineCase{"r6xx", 0, 0, 1, "R6XXLine0"}, EngineCase{"r6xx", 2, 2, 1, "R6XXLine2"},
                      EngineCase{"r8xx", 1, 1, 1, "R8XXLineEngine"}, EngineCase{"r8xx", 5, 5, 1, "R8XXLine5"},
                      EngineCase{"r8xx", 7, 7, 1, "R8XXPinEngine"}, EngineCase{"r8xx", 6, 6, 1, "R8XXPinLine6"}),
    [](const ::testing::TestParamInfo<EngineCase>& row) { return std::string(row.param.name); });

struct MissingBusCase {
    const char* engine;
    uint8_t bus;
};

class AtiEngineBuses : public AtiTest, public ::testing::WithParamInterface<MissingBusCase> {};

// A bus the engine does not have fails; the R4XX and R6XX engines find
// out before any access, the R8XX pin engine after its set-up, which is
// put back.
TEST_P(AtiEngineBuses, ABusTheEngineLacksFails) {
    startGpu({AtiFunction(0x954F)}, R"("memory_devices": {"ati_gpus": [)" +
                                        GpuWindow(GetParam().engine, "", ThermalChip(0, 0x4C, 0x30)) + "]}");
    CMemoryIOSpace window(0, kGpuWindowBase, 0x10000);
    auto space = MakeEngine(GetParam().engine, &window);
    machine::current().setLogging(true);
    uint8_t value = 0xEE;
    EXPECT_EQ(space->ReadByteData(GetParam().bus, 0x4C, 0x01, &value), 0);
    EXPECT_EQ(value, 0xEE);
    if (std::string(GetParam().engine) == "r8xx")
        expectWritesRestored();
    else
        EXPECT_TRUE(machine::current().accessLog().empty());
}

INSTANTIATE_TEST_SUITE_P(Buses, AtiEngineBuses,
                         ::testing::Values(MissingBusCase{"r4xx", 4}, MissingBusCase{"r6xx", 3},
                                           MissingBusCase{"r8xx", 8}));

struct DividerCase {
    uint32_t referenceKHz, low, high, limit;
};

class AtiR4XXDividers : public ::testing::TestWithParam<DividerCase> {};

TEST_P(AtiR4XXDividers, EngineSetUpFromTheReferenceClock) {
    ATI_R4XX_I2CRegisterSpace space(nullptr, GetParam().referenceKHz);
    EXPECT_EQ(space.DividerLow, 0xFFFFFFFFu);
    EXPECT_EQ(space.InitEngine(), 1u);
    EXPECT_EQ(space.DividerLow, GetParam().low);
    EXPECT_EQ(space.DividerHigh, GetParam().high);
    EXPECT_EQ(space.TimeLimit, GetParam().limit);
}

// 27000 kHz: a limit of 84, 24 x 25 above it. 192000 kHz: a limit of 600,
// which 24 x 25 only equals. Beyond every n the loop ends at 255.
INSTANTIATE_TEST_SUITE_P(Clocks, AtiR4XXDividers,
                         ::testing::Values(DividerCase{27000, 24, 25, 50}, DividerCase{192000, 25, 26, 52},
                                           DividerCase{0, 24, 25, 50}, DividerCase{0xFFFFFFFF, 254, 255, 510}));

class AtiEngineRequests : public AtiTest {};

TEST_F(AtiEngineRequests, ABusyR4XXEngineIsLeftAlone) {
    startGpu({AtiFunction(0x4A49)}, R"("memory_devices": {"ati_gpus": [)" +
                                        GpuWindow("r4xx", R"("0x90": "0x1000")", ThermalChip(0, 0x4C, 0x30)) + "]}");
    CMemoryIOSpace window(0, kGpuWindowBase, 0x10000);
    ATI_R4XX_I2CRegisterSpace space(&window, 27000);
    space.InitEngine();
    machine::current().setLogging(true);
    uint8_t value = 0xEE;
    EXPECT_EQ(space.ReadByteData(0, 0x4C, 0x01, &value), 0);
    for (const machine::Access& access : machine::current().accessLog())
        EXPECT_EQ(access.dir, machine::AccessDir::Read) << std::hex << access.address;
}

TEST_F(AtiEngineRequests, OnlySingleByteReadsAndPinEngineWritesAreAnswered) {
    startGpu({AtiFunction(0x68B8)}, R"("memory_devices": {"ati_gpus": [)" +
                                        GpuWindow("r8xx", "", ThermalChip(7, 0x4C, 0x30)) + "]}");
    CMemoryIOSpace window(0, kGpuWindowBase, 0x10000);
    ATI_R8XX_I2CRegisterSpace space(&window);
    for (uint32_t op : {0x21u, 0x22u, 0x41u, 0x81u, 0x201u}) {
        CI2CRequest request(7, 0x4C);
        request.m_dwRegister = 1;
        request.m_dwOperation = op;
        request.m_dwData = 0x1234;
        EXPECT_EQ(space.Execute(&request), 0) << std::hex << op;
        EXPECT_EQ(request.m_dwData, 0x1234u);
    }
    machine::current().setLogging(true);
    EXPECT_EQ(space.I2CWriteByte(0, 3, 0x4C, 0x01, 0x55), 0u);
    EXPECT_TRUE(machine::current().accessLog().empty());
    // On the pin engine the byte reaches the chip and can be read back.
    EXPECT_EQ(space.I2CWriteByte(0, 7, 0x4C, 0x05, 0x55), 1u);
    uint8_t value = 0;
    EXPECT_EQ(space.ReadByteData(7, 0x4C, 0x05, &value), 1);
    EXPECT_EQ(value, 0x55);
    // A request of another kind is no I2C transfer.
    CIORequest other(IOREQUEST_PCI);
    other.m_dwOperation = 0x11;
    EXPECT_EQ(space.Execute(&other), 0);
}

TEST(AtiModifyRegister, AFailedReadWritesNothing) {
    EXPECT_EQ(ModifyMMIORegister(nullptr, 0x7D30, 1, 1), 0);
}

} // namespace
} // namespace vexa::test
