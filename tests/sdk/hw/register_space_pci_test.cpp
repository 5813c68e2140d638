// PCI configuration register spaces on machines/x58-nehalem: by the
// driver, by the ports (mechanisms 1 and 2) and by the PCI Express window.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_pci.h"
#include "tests/sdk/hw/access_test_support.h"

namespace vexa::test {
namespace {

using machine::AccessKind;
using machine::PciAddress;
using vexa::test::PrintTo;

constexpr PciAddress kHostBridge{0, 0, 0};
constexpr PciAddress kRootPort{0, 1, 0};  // a PCI-to-PCI bridge: header type 1
constexpr uint32_t kEcamBase = 0xE0000000;
constexpr uint32_t kEcamSize = 256u << 20;

class PciSpaceTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        startX58();
    }

    std::unique_ptr<CPCIRequest> request(PciAddress function, uint32_t operation, uint32_t reg, uint32_t data = 0) {
        auto made = std::make_unique<CPCIRequest>(function.bus, function.device, function.function);
        made->m_dwOperation = operation;
        made->m_dwRegister = reg;
        made->m_dwData = data;
        return made;
    }
};

// ---- By the driver and by the ports: the same registers ----

struct PciSpaceCase {
    const char* name;
    std::function<CPCIRegisterSpace*()> make;
};

class PciSpaces : public PciSpaceTest, public ::testing::WithParamInterface<PciSpaceCase> {};

TEST_P(PciSpaces, DwordRequestsReadAndWriteTheFunctionsRegisters) {
    std::unique_ptr<CPCIRegisterSpace> space(GetParam().make());
    auto read = request(kRootPort, IOOP_READ_DWORD, 0x0C);
    ASSERT_EQ(space->Execute(read.get()), 1);
    EXPECT_EQ(read->m_dwData, configDword(kRootPort, 0x0C));

    auto write = request(kRootPort, IOOP_WRITE_DWORD, 0x70, 0xCAFEF00D);
    ASSERT_EQ(space->Execute(write.get()), 1);
    EXPECT_EQ(configDword(kRootPort, 0x70), 0xCAFEF00Du);
}

TEST_P(PciSpaces, RequestsOfOtherKindsOrUnknownOperationsFailUnsent) {
    std::unique_ptr<CPCIRegisterSpace> space(GetParam().make());
    record();
    CLPCRequest lpc;
    lpc.m_dwOperation = IOOP_READ_DWORD;
    EXPECT_EQ(space->Execute(&lpc), 0);
    EXPECT_EQ(space->Execute(nullptr), 0);
    for (uint32_t operation : {uint32_t(IOOP_READ_BYTE), uint32_t(IOOP_WRITE_WORD), uint32_t(IOOP_READ_BYTE_RUN),
                               uint32_t(IOOP_UNSET)})
        EXPECT_EQ(space->Execute(request(kRootPort, operation, 0).get()), 0) << std::hex << operation;
    EXPECT_TRUE(hw().accessLog().empty());
}

TEST_P(PciSpaces, FailedReadLeavesAllOnes) {
    std::unique_ptr<CPCIRegisterSpace> space(GetParam().make());
    sdk().m_pDriver = nullptr;
    uint32_t value = 0;
    EXPECT_EQ(space->ReadConfigDword(0, 1, 0, 0, &value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_EQ(space->WriteConfigDword(0, 1, 0, 0x70, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(, PciSpaces,
                         ::testing::Values(PciSpaceCase{"ByDriver", [] { return new CPCIRegisterSpace(nullptr); }},
                                           PciSpaceCase{"ByPorts", [] { return new CPCIRegisterSpace_2(nullptr); }}),
                         CaseName());

TEST_F(PciSpaceTest, DriverSpaceMovesBlocksThroughTheBuffer) {
    CPCIRegisterSpace space(nullptr);
    uint8_t bytes[0x20] = {};
    auto read = request(kHostBridge, IOOP_READ_BLOCK, 0x100, sizeof bytes);
    read->m_pBuffer = bytes;
    ASSERT_EQ(space.Execute(read.get()), 1);
    uint8_t expected[sizeof bytes];
    ASSERT_TRUE(hw().readPciConfig(kHostBridge, 0x100, expected));
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0) << "extended space, beyond the ports' reach";

    const uint8_t pattern[6] = {1, 2, 3, 4, 5, 6};
    auto write = request(kHostBridge, IOOP_WRITE_BLOCK, 0x60, sizeof pattern);
    write->m_pBuffer = const_cast<uint8_t*>(pattern);
    ASSERT_EQ(space.Execute(write.get()), 1);
    EXPECT_EQ(configDword(kHostBridge, 0x60), 0x04030201u);
    EXPECT_EQ(configDword(kHostBridge, 0x64) & 0xFFFF, 0x0605u);
}

TEST_F(PciSpaceTest, PortSpaceReadsBlocksByteByByteUpToRegister255) {
    CPCIRegisterSpace_2 space(nullptr);
    uint8_t bytes[8];
    std::memset(bytes, 0xEE, sizeof bytes);
    auto read = request(kRootPort, IOOP_READ_BLOCK, 0x0B, 5);
    read->m_pBuffer = bytes;
    ASSERT_EQ(space.Execute(read.get()), 1);
    uint8_t expected[5];
    ASSERT_TRUE(hw().readPciConfig(kRootPort, 0x0B, expected));
    EXPECT_EQ(std::memcmp(bytes, expected, 5), 0);
    EXPECT_EQ(bytes[5], 0xEE) << "nothing beyond the count";

    std::memset(bytes, 0xEE, sizeof bytes);
    auto pastEnd = request(kRootPort, IOOP_READ_BLOCK, 0xFE, 4);
    pastEnd->m_pBuffer = bytes;
    EXPECT_EQ(space.Execute(pastEnd.get()), 0);
    EXPECT_EQ(bytes[1], uint8_t(configDword(kRootPort, 0xFC) >> 24));
    EXPECT_EQ(bytes[2], 0xEE) << "register 0x100 is out of the ports' reach";

    auto write = request(kRootPort, IOOP_WRITE_BLOCK, 0x60, 1);
    write->m_pBuffer = bytes;
    EXPECT_EQ(space.Execute(write.get()), 0) << "no block writes by the ports";
}

TEST_F(PciSpaceTest, PortSpaceGoesThroughTheConfigurationPorts) {
    CPCIRegisterSpace_2 space(nullptr);
    record();
    uint32_t value = 0;
    ASSERT_EQ(space.ReadConfigDword(0, 1, 0, 0x0C, &value), 1);
    const auto ports = ofKind(hw().accessLog(), AccessKind::Port);
    ASSERT_EQ(ports.size(), 4u);  // save 0xCF8, select, read 0xCFC, restore
    EXPECT_EQ(ports[1].address, 0xCF8u);
    EXPECT_EQ(ports[1].value, 0x8000080Cu);
    EXPECT_EQ(ports[2].address, 0xCFCu);
    EXPECT_TRUE(ofKind(hw().accessLog(), AccessKind::PciConfig).empty());
}

TEST_F(PciSpaceTest, Mechanism2SpaceReadsThroughTheWindowAndWritesByTheDriver) {
    CPCIRegisterSpace_3 space(nullptr);
    record();
    auto read = request(PciAddress{2, 5, 3}, IOOP_READ_DWORD, 0x08);
    EXPECT_EQ(space.Execute(read.get()), 1);
    EXPECT_EQ(read->m_dwData, 0xFFFFFFFFu) << "no mechanism 2 on this board";
    const auto ports = ofKind(hw().accessLog(), AccessKind::Port);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].address, 0xCF8u);
    EXPECT_EQ(ports[0].value, 0xF0u | 3 << 1);
    EXPECT_EQ(ports[1].address, 0xCFAu);
    EXPECT_EQ(ports[1].value, 2u);
    EXPECT_EQ(ports[2].address, 0xC508u);

    auto write = request(kRootPort, IOOP_WRITE_DWORD, 0x74, 0x600DF00D);
    EXPECT_EQ(space.Execute(write.get()), 1);
    EXPECT_EQ(configDword(kRootPort, 0x74), 0x600DF00Du);
}

// ---- The PCI Express window ----

class PciExpressSpaceTest : public PciSpaceTest {
protected:
    CMemoryIOSpace window_{0, kEcamBase, kEcamSize};
    CPCIExpressRegisterSpace space_{&window_};
};

TEST_F(PciExpressSpaceTest, ReadShiftsTheDwordToTheRegistersByte) {
    uint32_t headerType = 0, dword = 0, extended = 0;
    ASSERT_EQ(space_.ReadConfigDword(0, 1, 0, 0x0E, &headerType), 1);
    ASSERT_EQ(space_.ReadConfigDword(0, 1, 0, 0x0C, &dword), 1);
    EXPECT_EQ(headerType, dword >> 16);
    EXPECT_EQ(dword, configDword(kRootPort, 0x0C));
    EXPECT_EQ(headerType & 0x7F, 1u) << "a bridge";
    ASSERT_EQ(space_.ReadConfigDword(0xFF, 4, 0, 0x1FF, &extended), 1);
    EXPECT_EQ(extended, configDword(PciAddress{0xFF, 4, 0}, 0x1FC) >> 24);
}

TEST_F(PciExpressSpaceTest, WritesNeedADwordRegister) {
    record();
    EXPECT_EQ(space_.WriteConfigDword(0, 1, 0, 0x0E, 0x12345678), 0);
    EXPECT_TRUE(hw().accessLog().empty());
    EXPECT_EQ(space_.WriteConfigDword(0, 1, 0, 0x100, 0x12345678), 1);
    EXPECT_EQ(configDword(kRootPort, 0x100), 0x12345678u);
}

TEST_F(PciExpressSpaceTest, BlockRequestReadsTheFunctionsWholeSpace) {
    std::unique_ptr<CPCIRequest> made(space_.CreateRequest());
    EXPECT_EQ(made->m_dwKind, uint32_t(IOREQUEST_PCI));
    EXPECT_EQ(made->m_dwBus & made->m_dwDevice & made->m_dwFunction, 0xFFFFFFFFu);

    std::vector<uint8_t> bytes(4096);
    auto read = request(PciAddress{0xFF, 4, 0}, IOOP_READ_BLOCK, 0x40, 4096);
    read->m_pBuffer = bytes.data();
    ASSERT_EQ(space_.Execute(read.get()), 1);
    std::vector<uint8_t> expected(4096);
    ASSERT_TRUE(hw().readPciConfig(PciAddress{0xFF, 4, 0}, 0, expected));
    EXPECT_EQ(bytes, expected) << "from register 0, whatever the request's register";

    EXPECT_EQ(space_.Execute(request(kRootPort, IOOP_READ_DWORD, 0).get()), 0) << "only block reads";
    CPCIExpressRegisterSpace bare(nullptr);
    uint32_t value = 0;
    EXPECT_EQ(bare.Execute(read.get()), 0);
    EXPECT_EQ(bare.ReadConfigDword(0, 0, 0, 0, &value), 0);
    EXPECT_EQ(value, 0xFFFFFFFFu);
}

} // namespace
} // namespace vexa::test
