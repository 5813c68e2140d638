// Register spaces of byte registers on I/O ports: index/data pairs (LPC),
// power-management blocks, plain and banked, and the VIA 686 monitor.
#include <gtest/gtest.h>

#include <memory>

#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/register_space_pmio.h"
#include "tests/sdk/hw/access_test_support.h"

namespace vexa::test {
namespace {

using machine::Access;
using machine::AccessDir;
using machine::AccessKind;
using machine::Fault;
using vexa::test::PrintTo;

constexpr uint16_t kSuperIO = 0x2E;  // index port; data at 0x2F
constexpr uint16_t kBlock = 0x800;   // a 0x80-port register block

struct PortStep {
    AccessDir dir;
    uint64_t port;
    uint64_t value;
};

class PortSpaceTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        devices.push_back(std::make_unique<IndexDataPorts>(kSuperIO));
        devices.push_back(std::make_unique<PortRegisterFile>(kBlock, 0x80));
        startWithPorts(std::move(devices));
    }

    // The port accesses since record(), as (direction, port, value).
    void expectPortSteps(const std::vector<PortStep>& steps) {
        const auto log = ofKind(hw().accessLog(), AccessKind::Port);
        ASSERT_EQ(log.size(), steps.size());
        for (size_t i = 0; i < steps.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(log[i].dir, steps[i].dir);
            EXPECT_EQ(log[i].address, steps[i].port);
            EXPECT_EQ(log[i].value, steps[i].value);
        }
    }

    void poke(uint16_t port, uint8_t value) { ASSERT_TRUE(hw().writePort(port, 1, value)); }
    uint8_t peek(uint16_t port) {
        uint32_t value = 0;
        EXPECT_TRUE(hw().readPort(port, 1, value));
        return uint8_t(value);
    }

    CPortIOSpace superIOPorts_{kSuperIO, 2};
    CPortIOSpace blockPorts_{kBlock, 0x80};
};

// ---- LPC index/data pairs ----

TEST_F(PortSpaceTest, LpcRegistersGoIndexFirstThenData) {
    CLPCRegisterSpace space(&superIOPorts_, 0, 1);
    record();
    uint8_t value = 0;
    ASSERT_EQ(space.ReadRegister(0x20, &value), 1);
    EXPECT_EQ(value, 0xA0);
    ASSERT_EQ(space.WriteRegister(0x07, 0x0B), 1);
    expectPortSteps({{AccessDir::Write, kSuperIO, 0x20},
                     {AccessDir::Read, kSuperIO + 1, 0xA0},
                     {AccessDir::Write, kSuperIO, 0x07},
                     {AccessDir::Write, kSuperIO + 1, 0x0B}});
    EXPECT_EQ(space.ReadIndexed(0x07), 0x0B);
    EXPECT_EQ(space.WriteIndexed(0x07, 0x04), 1);
    EXPECT_EQ(space.ReadIndexed(0x07), 0x04);
}

TEST_F(PortSpaceTest, LpcReadWhoseIndexWriteFailsLeavesAllOnes) {
    CLPCRegisterSpace space(&superIOPorts_, 0, 1);
    hw().injectFault(Fault{AccessKind::Port, AccessDir::Write, kSuperIO, kSuperIO});
    record();
    uint8_t value = 0x12;
    EXPECT_EQ(space.ReadRegister(0x20, &value), 0);
    EXPECT_EQ(value, 0xFF);
    EXPECT_EQ(space.WriteRegister(0x20, 1), 0);
    EXPECT_EQ(space.ReadIndexed(0x20), 0xFF);
    for (const Access& access : hw().accessLog()) EXPECT_NE(access.address, kSuperIO + 1u) << "data port touched";
}

// ---- Requests by their direction ----

struct ByteRequestCase {
    const char* name;
    uint32_t operation;
    bool read, write;
};

class ByteRequests : public PortSpaceTest, public ::testing::WithParamInterface<ByteRequestCase> {
protected:
    // Runs the request at register 0x10 of the space; data 0x1234AB.
    void check(CRegisterSpace& space, uint16_t dataPort) {
        poke(dataPort, 0x5C);
        CPMIORequest request;
        request.m_dwOperation = GetParam().operation;
        request.m_dwRegister = 0x110;  // a byte register: 0x10
        request.m_dwData = 0x1234AB;
        EXPECT_EQ(space.Execute(&request), GetParam().read || GetParam().write ? 1 : 0);
        EXPECT_EQ(request.m_dwData, GetParam().read ? 0x12345Cu : 0x1234ABu) << "only a read replaces the low byte";
        EXPECT_EQ(peek(dataPort), GetParam().write ? 0xAB : 0x5C);
    }
};

TEST_P(ByteRequests, LpcSpaceCountsOnlyTheDirection) {
    CLPCRegisterSpace space(&superIOPorts_, 0, 1);
    poke(kSuperIO, 0x10);
    check(space, kSuperIO + 1);
}

TEST_P(ByteRequests, PmioSpaceCountsOnlyTheDirection) {
    PMIO_RegisterSpace space(&blockPorts_);
    check(space, kBlock + 0x10);
}

INSTANTIATE_TEST_SUITE_P(, ByteRequests,
                         ::testing::Values(ByteRequestCase{"ReadByte", IOOP_READ_BYTE, true, false},
                                           ByteRequestCase{"WriteByte", IOOP_WRITE_BYTE, false, true},
                                           ByteRequestCase{"ReadDwordAsByte", IOOP_READ_DWORD, true, false},
                                           ByteRequestCase{"WriteWordAsByte", IOOP_WRITE_WORD, false, true},
                                           ByteRequestCase{"NoDirection", IOOP_BYTE, false, false},
                                           ByteRequestCase{"Unset", IOOP_UNSET, false, false}),
                         CaseName());

// ---- Banked PMIO ----

TEST_F(PortSpaceTest, BankedRegisterSelectsTheBankKeepingTheHighBits) {
    Banked_PMIO_RegisterSpace space(&blockPorts_, 0x4E);
    poke(kBlock + 0x4E, 0xA7);
    poke(kBlock + 0x20, 0x42);
    record();
    uint8_t value = 0;
    ASSERT_EQ(space.ReadRegister(3, 0x20, &value), 1);
    EXPECT_EQ(value, 0x42);
    ASSERT_EQ(space.WriteRegister(0x15, 0x21, 0x99), 1);
    expectPortSteps({{AccessDir::Read, kBlock + 0x4E, 0xA7},
                     {AccessDir::Write, kBlock + 0x4E, 0xA3},
                     {AccessDir::Read, kBlock + 0x20, 0x42},
                     {AccessDir::Read, kBlock + 0x4E, 0xA3},
                     {AccessDir::Write, kBlock + 0x4E, 0xA5},
                     {AccessDir::Write, kBlock + 0x21, 0x99}});
}

TEST_F(PortSpaceTest, BankMinusOneLeavesTheBankRegisterAlone) {
    Banked_PMIO_RegisterSpace space(&blockPorts_, 0x4E);
    poke(kBlock + 0x20, 0x42);
    record();
    uint8_t value = 0;
    ASSERT_EQ(space.ReadRegister(-1, 0x20, &value), 1);
    EXPECT_EQ(value, 0x42);
    ASSERT_EQ(space.WriteRegister(-1, 0x20, 0x43), 1);
    expectPortSteps({{AccessDir::Read, kBlock + 0x20, 0x42}, {AccessDir::Write, kBlock + 0x20, 0x43}});
}

TEST_F(PortSpaceTest, BankThatCannotBeSelectedLeavesTheRegisterAlone) {
    Banked_PMIO_RegisterSpace space(&blockPorts_, 0x4E);
    hw().injectFault(Fault{AccessKind::Port, AccessDir::Read, kBlock + 0x4E, kBlock + 0x4E});
    record();
    uint8_t value = 0x12;
    EXPECT_EQ(space.ReadRegister(2, 0x20, &value), 0);
    EXPECT_EQ(space.WriteRegister(2, 0x20, 0x55), 0);
    EXPECT_EQ(value, 0x12);
    EXPECT_EQ(ofKind(hw().accessLog(), AccessKind::Port).size(), 2u) << "the two failed bank reads only";
}

// ---- VIA 686 monitor ----

TEST_F(PortSpaceTest, ViaMonitorStartsMonitoringBeforeEachRead) {
    VIA_686AB_HWM_RegisterSpace space(&blockPorts_);
    poke(kBlock + 0x29, 0x77);
    record();
    uint32_t value = 0;
    EXPECT_EQ(space.ReadRegister(0x29, &value), 1);
    EXPECT_EQ(value, 0x77u);
    expectPortSteps({{AccessDir::Write, kBlock + 0x40, 0x01}, {AccessDir::Read, kBlock + 0x29, 0x77}});

    hw().injectFault(Fault{AccessKind::Port, AccessDir::Read, kBlock + 0x29, kBlock + 0x29});
    EXPECT_EQ(space.ReadRegister(0x29, &value), 1);
    EXPECT_EQ(value, VIA_686AB_HWM_RegisterSpace::kNoReading);
}

} // namespace
} // namespace vexa::test
