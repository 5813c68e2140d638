// The ICH controllers' protocol on the machine's ICH model: the in-use
// semaphore, bounded waits, devices that do not answer, block transfers.
#include <gtest/gtest.h>

#include <cstring>

#include "machine/clock.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/smbus_intel_ich.h"
#include "tests/sdk/smbus/smbus_fakes.h"
#include "tests/support/manual_clock_guard.h"

namespace vexa::test {
namespace {

using machine::IchSmbusHost;

constexpr uint8_t kEeprom = 0x50;
constexpr uint8_t kChip = 0x2C;  // a register image: keeps what is written

class IchProtocol : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSDK(); }

    uint64_t ElapsedMs() const { return (machine::clock().nowNs() - start_) / 1000000; }

    ManualClockGuard clock_;
    uint64_t start_ = machine::clock().nowNs();
};

// Each transfer ends with the semaphore released, so that the next one
// (and firmware) finds the controller free at once.
TEST_F(IchProtocol, TransfersReleaseTheInUseSemaphore) {
    IchBench bench({kEeprom});
    Intel_ICH4_SMBusRegisterSpace ich(&bench.Ports());
    uint8_t value = 0, low = 0, high = 0;
    EXPECT_EQ(ich.ReadByteData(kEeprom, 3, &value), 1);
    EXPECT_FALSE(bench.Host().status() & IchSmbusHost::kInUse);
    EXPECT_EQ(ich.ReadWordData(kEeprom, 3, &low, &high), 1);
    EXPECT_FALSE(bench.Host().status() & IchSmbusHost::kInUse);
    EXPECT_EQ(ich.ReadByteData(0x51, 3, &value), 0);
    EXPECT_FALSE(bench.Host().status() & IchSmbusHost::kInUse) << "a failed transfer releases it too";
    EXPECT_EQ(ElapsedMs(), 0u) << "a controller that is done at once costs no sleep";
}

// Someone else holds the semaphore: the transfer gives up after its bound
// without touching the controller and without releasing what is not ours.
TEST_F(IchProtocol, SemaphoreHeldByAnotherPartyFailsWithoutReleasingIt) {
    IchBench bench({kEeprom});
    uint8_t status = 0;
    bench.Ports().ReadByte(0x00, &status);  // the other party takes it
    ASSERT_TRUE(bench.Host().status() & IchSmbusHost::kInUse);
    Intel_ICH1_SMBusRegisterSpace ich(&bench.Ports());
    const size_t writesBefore = bench.Ports().Writes();
    uint8_t value = 0x5A;
    EXPECT_EQ(ich.ReadByteData(kEeprom, 3, &value), 0);
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(bench.Ports().Writes(), writesBefore) << "nothing is written to a controller we do not own";
    EXPECT_TRUE(bench.Host().status() & IchSmbusHost::kInUse);
    const uint64_t waited = ElapsedMs();
    EXPECT_GE(waited, uint64_t(Intel_ICH1_SMBusRegisterSpace::kSemaphorePolls));
    EXPECT_LE(waited, uint64_t(Intel_ICH1_SMBusRegisterSpace::kSemaphorePolls) + 1);
}

// A controller that never finishes: the byte read gives up after its bound
// and still releases the semaphore.
TEST_F(IchProtocol, StuckBusyControllerFailsWithinItsBound) {
    IchBench bench({kEeprom}, true);
    Intel_ICH4_SMBusRegisterSpace ich(&bench.Ports());
    uint8_t value = 0x5A;
    EXPECT_EQ(ich.ReadByteData(kEeprom, 3, &value), 0);
    EXPECT_EQ(value, 0x5A);
    EXPECT_LE(ElapsedMs(), uint64_t(Intel_ICH1_SMBusRegisterSpace::kByteReadPolls) + 1);
    EXPECT_FALSE(bench.Host().status() & IchSmbusHost::kInUse);
}

// Controllers and slaves that are not there cost no wait at all: their
// status reads as all ones.
TEST_F(IchProtocol, AbsentControllerFailsAtOnce) {
    FakePorts nothing;
    for (uint32_t port = 0; port < 32; ++port) nothing.At(port) = 0xFF;
    Intel_ICH4_SMBusRegisterSpace ich(&nothing);
    uint8_t value = 0;
    uint8_t block[32];
    EXPECT_EQ(ich.ReadByteData(kEeprom, 3, &value), 0);
    EXPECT_EQ(ich.ReadBlockData(kEeprom, 3, block, sizeof block), 0u);
    EXPECT_EQ(ElapsedMs(), 0u);
}

// Block reads take their length from the device, capped at 32 bytes and
// at the caller's buffer; the controller ends the transfer after the last
// byte it was told about.
class IchBlocks : public IchProtocol, public ::testing::WithParamInterface<bool> {
protected:
    std::unique_ptr<CSMBusRegisterSpace> Controller(IchBench& bench) {
        if (GetParam()) return std::make_unique<Intel_ICH4_SMBusRegisterSpace>(&bench.Ports());
        return std::make_unique<Intel_ICH1_SMBusRegisterSpace>(&bench.Ports());
    }
};

TEST_P(IchBlocks, LengthIsTheDevicesCountCappedAt32AndAtTheBuffer) {
    IchBench bench({}, false, {kChip});
    auto ich = Controller(bench);
    struct {
        uint8_t announced;
        uint32_t buffer;
        uint32_t stored;
    } const cases[] = {{5, 32, 5}, {32, 32, 32}, {40, 32, 32}, {200, 32, 32}, {20, 8, 8}, {0, 32, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << int(c.announced) << ", buffer " << c.buffer);
        ASSERT_EQ(ich->WriteByte(kChip, 0x10, c.announced), 1);
        uint8_t buffer[40];
        std::memset(buffer, 0xEE, sizeof buffer);
        EXPECT_EQ(ich->ReadBlockData(kChip, 0x10, buffer, c.buffer), c.stored);
        for (uint32_t i = 0; i < c.stored; ++i) EXPECT_EQ(buffer[i], SlaveByte(kChip, 0x11 + i)) << i;
        EXPECT_EQ(buffer[c.stored], 0xEE) << "nothing past what was stored";
        EXPECT_FALSE(bench.Host().status() & (IchSmbusHost::kBusy | IchSmbusHost::kInUse))
            << "the transfer ended and the semaphore is free";
        // The next transfer works.
        uint8_t value = 0;
        EXPECT_EQ(ich->ReadByteData(kChip, 0x30, &value), 1);
    }
}

TEST_P(IchBlocks, WrittenBlockReadsBack) {
    IchBench bench({}, false, {kChip});
    auto ich = Controller(bench);
    uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ich->WriteBlock(kChip, 0x40, data, 6), 6);
    EXPECT_EQ(ich->WriteBlock(kChip, 0x60, data, 1), 1) << "a one-byte block";
    uint8_t back[32] = {};
    EXPECT_EQ(ich->ReadBlockData(kChip, 0x40, back, sizeof back), 6u);
    EXPECT_EQ(std::memcmp(back, data, 6), 0);
    EXPECT_EQ(ich->ReadBlockData(kChip, 0x60, back, sizeof back), 1u);
    EXPECT_EQ(back[0], 1);
    EXPECT_EQ(ich->WriteBlock(0x51, 0x40, data, 6), 0) << "nobody at the address";
    EXPECT_FALSE(bench.Host().status() & IchSmbusHost::kInUse);
}

INSTANTIATE_TEST_SUITE_P(SMBus, IchBlocks, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? std::string("ICH4") : std::string("ICH1"); });

// ICH4 block transfers switch the 32-byte buffer off for their duration and
// put the firmware's setting back.
TEST_F(IchProtocol, Ich4BlockRestoresTheBufferMode) {
    IchBench bench({}, false, {kChip});
    bench.Ports().WriteByte(0x0D, 0x02);
    Intel_ICH4_SMBusRegisterSpace ich(&bench.Ports());
    ASSERT_EQ(ich.WriteByte(kChip, 0x10, 4), 1);
    uint8_t block[32];
    EXPECT_EQ(ich.ReadBlockData(kChip, 0x10, block, sizeof block), 4u);
    EXPECT_EQ(block[0], SlaveByte(kChip, 0x11));
    uint8_t aux = 0;
    bench.Ports().ReadByte(0x0D, &aux);
    EXPECT_EQ(aux, 0x02);
}

} // namespace
} // namespace vexa::test
