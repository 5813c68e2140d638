// What the controller base does with a request: the operations it maps to
// transfers, the ones it refuses, block sizes, and the page select through
// which byte reads reach registers 256-511 of a DDR4 SPD EEPROM.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/smbus_controller.h"
#include "tests/sdk/smbus/smbus_fakes.h"

namespace vexa::test {
namespace {

constexpr uint8_t kModule = 0x50;

// A controller on a bus of SPD EEPROMs (a DDR4 one of 512 bytes when
// `ddr4`), recording its transfers. Byte reads fail above register 255 as
// every port controller's do.
class RecordingController : public CSMBusRegisterSpace {
public:
    explicit RecordingController(bool ddr4) : CSMBusRegisterSpace(nullptr, 0), m_ddr4(ddr4) {
        for (uint32_t i = 0; i < m_bytes.size(); ++i) m_bytes[i] = uint8_t(i < 256 ? i : 0x80 | (i & 0x7F));
    }

    int ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) override {
        m_log.push_back("read " + std::to_string(reg));
        if (slave != kModule || reg > 255) return 0;
        *value = m_bytes[m_page * 256 + reg];
        return 1;
    }
    int WriteByte(uint8_t slave, uint32_t, uint8_t) override {
        if (slave != kSpdPage0Address && slave != kSpdPage1Address) return 0;
        m_log.push_back(slave == kSpdPage0Address ? "page 0" : "page 1");
        if (!m_ddr4) return 0;
        m_page = slave - kSpdPage0Address;
        return 1;
    }
    void PrepareTransfer() override { ++m_prepared; }

    std::vector<std::string> m_log;
    int m_prepared = 0;
    unsigned m_page = 0;

private:
    bool m_ddr4;
    std::array<uint8_t, 512> m_bytes{};
};

class Requests : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSDK(); }

    static int Run(CSMBusRegisterSpace& controller, uint32_t op, uint32_t reg, uint32_t data = 0,
                   uint8_t* buffer = nullptr, uint32_t* dataOut = nullptr) {
        CSMBusRequest request;
        request.m_dwOperation = op;
        request.m_dwRegister = reg;
        request.m_bySlaveAddress = kModule;
        request.m_dwData = data;
        request.m_pBuffer = buffer;
        const int result = controller.LockedExecute(&request);
        if (dataOut) *dataOut = request.m_dwData;
        return result;
    }
};

TEST_F(Requests, OperationsWithoutATransferAreRefused) {
    RecordingController controller(false);
    uint8_t buffer[4] = {};
    for (const uint32_t op : {0x82u, 0x41u, 0x42u, 0x13u, 0x200u, 0x0u})
        EXPECT_EQ(Run(controller, op, 0, 4, buffer), 0) << std::hex << op;
    CPCIRequest other;
    other.m_dwOperation = IOOP_READ_BYTE;
    EXPECT_EQ(controller.LockedExecute(&other), 0) << "a request of another kind";
    EXPECT_TRUE(controller.m_log.empty());
}

// A controller that only reads bytes (the SCH, the AMD 755) answers the
// other transfers with the base results.
TEST_F(Requests, TransfersAClassLacksGiveTheBaseResults) {
    RecordingController controller(false);
    uint8_t buffer[32] = {};
    uint32_t data = 0;
    EXPECT_EQ(Run(controller, IOOP_READ_WORD, 0), 0);
    EXPECT_EQ(Run(controller, IOOP_WRITE_WORD, 0, 0x1234), 0);
    EXPECT_EQ(Run(controller, IOOP_READ_BLOCK, 0, 32, buffer, &data), 1);
    EXPECT_EQ(data, 0xFFFFFFFFu) << "-1: no block reads";
    EXPECT_EQ(Run(controller, IOOP_WRITE_BLOCK, 0, 4, buffer, &data), 1);
    EXPECT_EQ(data, 0xFFFFFFFFu);
    EXPECT_EQ(controller.ReadBlockData(kModule, 0, buffer, sizeof buffer), 0u);
}

TEST_F(Requests, ByteRunOfNothingStillPreparesOnce) {
    RecordingController controller(false);
    EXPECT_EQ(controller.ReadBytes(kModule, 0, nullptr, 0), 0u);
    EXPECT_EQ(controller.m_prepared, 1);
    EXPECT_TRUE(controller.m_log.empty());
}

// Commands are 8 bits: a word or a write of register 256 is refused, not
// sent as register 0.
TEST_F(Requests, CommandsAbove255AreRefused) {
    RecordingController controller(true);
    EXPECT_EQ(Run(controller, IOOP_READ_WORD, 0x100), 0);
    EXPECT_EQ(Run(controller, IOOP_WRITE_BYTE, 0x100, 1), 0);
    uint8_t value = 0;
    EXPECT_EQ(controller.ReadByteData(kModule, 512, &value), 0);
    EXPECT_TRUE(controller.m_log.empty());
}

TEST_F(Requests, Ddr4ByteAbove255IsReadThroughThePageSelect) {
    RecordingController controller(true);
    uint8_t value = 0;
    ASSERT_EQ(controller.ReadByteData(kModule, 320, &value), 1);
    EXPECT_EQ(value, 0x80 | (320 & 0x7F));
    EXPECT_EQ(controller.m_log, (std::vector<std::string>{"page 1", "read 64", "page 0"}));
    EXPECT_EQ(controller.m_page, 0u) << "page 0 again for everybody else";
    ASSERT_EQ(controller.ReadByteData(kModule, 64, &value), 1);
    EXPECT_EQ(value, 64);
}

TEST_F(Requests, Ddr4EepromReadWholeSelectsEachPageOnce) {
    RecordingController controller(true);
    controller.m_page = 1;  // left there by someone else
    uint8_t spd[512] = {};
    EXPECT_EQ(controller.ReadBytes(kModule, 0, spd, 512), 512u);
    for (uint32_t i = 0; i < 512; ++i) ASSERT_EQ(spd[i], uint8_t(i < 256 ? i : 0x80 | (i & 0x7F))) << i;
    std::vector<std::string> pages;
    for (const auto& entry : controller.m_log)
        if (entry.rfind("page", 0) == 0) pages.push_back(entry);
    EXPECT_EQ(pages, (std::vector<std::string>{"page 0", "page 1", "page 0"}));
    EXPECT_EQ(controller.m_page, 0u);
}

// On a bus without DDR4 EEPROMs the page select goes unanswered: the
// upper half fails after one try, and a run within 256 bytes never tries.
TEST_F(Requests, PageSelectUnansweredFailsTheUpperHalfOnce) {
    RecordingController controller(false);
    uint8_t spd[512] = {};
    EXPECT_EQ(controller.ReadBytes(kModule, 0, spd, 512), 256u);
    size_t selects = 0;
    for (const auto& entry : controller.m_log) selects += entry == "page 1";
    EXPECT_EQ(selects, 1u);
    controller.m_log.clear();
    EXPECT_EQ(controller.ReadBytes(kModule, 0, spd, 256), 256u);
    for (const auto& entry : controller.m_log) EXPECT_EQ(entry.rfind("page", 0), std::string::npos) << entry;
}

TEST_F(Requests, RunPastTheLastRegisterStops) {
    RecordingController controller(true);
    uint8_t spd[16] = {};
    EXPECT_EQ(controller.ReadBytes(kModule, 504, spd, 0xFFFFFFFF), 8u) << "the run ends at register 511";
    EXPECT_EQ(controller.ReadBytes(kModule, 508, spd, 8), 4u);
}

TEST_F(Requests, DumpNamesTheBase) {
    FakePorts ports(0x400);
    RecordingController controller(false);
    controller.m_pIOSpace = &ports;
    CReportGenerator_Buffer report;
    controller.Dump(&report);
    EXPECT_NE(std::string(report.GetText()).find("SMBus, base address = 0x0400"), std::string::npos)
        << report.GetText();
}

} // namespace
} // namespace vexa::test
