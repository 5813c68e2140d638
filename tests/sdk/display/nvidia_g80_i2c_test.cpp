// The G80 bit-banged I2C buses on the GPU register window's model: what
// goes over the lines (decoded here from the levels the bus records, apart
// from the bus model's own decoding), the transfers' results, and the
// line registers left released as found.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "machine/devices/nvidia_registers.h"
#include "sdk/display/nvidia_g80_i2c.h"
#include "sdk/hw/io_space.h"
#include "tests/sdk/hw/access_test_support.h"

namespace vexa::test {
namespace {

using machine::I2cLineLevels;

// The register window's model reached directly, as the driver would.
class WindowSpace final : public CIOSpace {
public:
    explicit WindowSpace(machine::NvidiaRegisterWindow& window) : CIOSpace(IOSPACE_MEMORY, 0, 0, 0), window_(window) {}
    int ReadByte(uint32_t offset, uint8_t* value) override { return Read(offset, value, 1); }
    int ReadWord(uint32_t, uint16_t*) override { return 0; }
    int ReadDword(uint32_t offset, uint32_t* value) override { return Read(offset, value, 4); }
    int ReadQword(uint32_t, uint32_t*, uint32_t*) override { return 0; }
    int WriteByte(uint32_t offset, uint32_t value) override { return Write(offset, value, 1); }
    int WriteWord(uint32_t, uint32_t) override { return 0; }
    int WriteDword(uint32_t offset, uint32_t value) override { return Write(offset, value, 4); }

    std::map<uint32_t, unsigned> writes;  // offset -> how many

private:
    template <typename T>
    int Read(uint32_t offset, T* value, size_t size) {
        if (offset + size > window_.size()) return 0;
        uint8_t bytes[4] = {};
        window_.read(offset, std::span(bytes, size));
        uint32_t v = 0;
        for (size_t i = 0; i < size; ++i) v |= uint32_t(bytes[i]) << (8 * i);
        *value = T(v);
        return 1;
    }
    int Write(uint32_t offset, uint32_t value, size_t size) {
        if (offset + size > window_.size()) return 0;
        uint8_t bytes[4];
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(value >> (8 * i));
        window_.write(offset, std::span<const uint8_t>(bytes, size));
        ++writes[offset];
        return 1;
    }
    machine::NvidiaRegisterWindow& window_;
};

// START "S", STOP "P", and each nine clocks as a byte and "A" or "N", from
// the line levels alone: a bit is what the data line holds as the clock
// rises; the data line changing while the clock is high starts or stops.
std::string Decode(const std::vector<I2cLineLevels>& history) {
    std::string out;
    unsigned bits = 0, value = 0;
    for (size_t i = 1; i < history.size(); ++i) {
        const I2cLineLevels before = history[i - 1], now = history[i];
        if (before.clock && now.clock && before.data != now.data) {
            out += now.data ? "P " : "S ";
            bits = value = 0;
        } else if (!before.clock && now.clock) {
            if (++bits <= 8) {
                value = value << 1 | now.data;
            } else {
                char text[8];
                std::snprintf(text, sizeof text, "%02X %c ", value, now.data ? 'N' : 'A');
                out += text;
                bits = value = 0;
            }
        }
    }
    if (!out.empty()) out.pop_back();
    return out;
}

class G80Bus : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        startWithPorts({});  // the delay's CPUID runs on this machine's processor
        machine::GpuRegisterSettings settings;
        settings.base = 0xFA000000;
        settings.registers[0xE150] = 0x7;
        // A thermal diode chip at 0x4C of bus 1: local 45, remote 61 degrees.
        settings.i2c[1][0x4C] = {0x2D, 0x3D, 0x00, 0x00, 0x08};
        window = std::make_unique<machine::NvidiaRegisterWindow>(settings, config);
        space = std::make_unique<WindowSpace>(*window);
        i2c = std::make_unique<NVIDIA_G80_I2CRegisterSpace>(space.get());
    }
    std::string Wire(unsigned bus = 1) const { return Decode(window->bus(bus).history()); }
    uint32_t LineRegister(uint32_t offset) const {
        uint32_t value = 0;
        space->ReadDword(offset, &value);
        return value;
    }

    machine::PciConfigSpace config;
    std::unique_ptr<machine::NvidiaRegisterWindow> window;
    std::unique_ptr<WindowSpace> space;
    std::unique_ptr<NVIDIA_G80_I2CRegisterSpace> i2c;
};

TEST_F(G80Bus, ByteReadIsAddressRegisterRepeatedStartAndNotAcknowledgedByte) {
    uint8_t value = 0;
    ASSERT_EQ(i2c->I2CReadByte(0, 1, 0x4C, 0x01, &value), 1);
    EXPECT_EQ(value, 0x3D);
    EXPECT_EQ(Wire(), "S 98 A 01 A S 99 A 3D N P");
    EXPECT_EQ(LineRegister(0xE150), 0x7u) << "both lines released and driven as found";
    EXPECT_EQ(window->bus(1).levels(), (I2cLineLevels{1, 1}));
}

TEST_F(G80Bus, RequestsMapOntoTheTransfers) {
    CI2CRequest read(1, 0x4C);
    read.m_dwRegister = 0x00;
    read.m_dwOperation = IOOP_READ_BYTE;
    read.m_dwData = 0xAABBCC00;
    ASSERT_EQ(i2c->LockedExecute(&read), 1);
    EXPECT_EQ(read.m_dwData, 0xAABBCC2Du);

    CI2CRequest word(1, 0x4C);
    word.m_dwRegister = 0x00;
    word.m_dwOperation = IOOP_READ_WORD;
    ASSERT_EQ(i2c->LockedExecute(&word), 1);
    EXPECT_EQ(word.m_dwData, 0x3D2Du) << "the first byte received is the low byte";

    CI2CRequest wide(1, 0x4C);
    wide.m_dwRegister = 0x0001;  // register bytes 0x00 (high), 0x01 (low)
    wide.m_dwOperation = 0x201;
    ASSERT_EQ(i2c->LockedExecute(&wide), 1);
    EXPECT_EQ(wide.m_dwData & 0xFFFF, 0x3D00u) << "first received byte high";

    for (uint32_t op : {0x41u, 0x81u, 0x13u}) {
        CI2CRequest other(1, 0x4C);
        other.m_dwRegister = 0;
        other.m_dwOperation = op;
        other.m_dwData = 0x1234;
        EXPECT_EQ(i2c->LockedExecute(&other), 0) << op;
        EXPECT_EQ(other.m_dwData, 0x1234u);
    }
}

TEST_F(G80Bus, WriteStoresTheByteAndReadByteDataReadsItBack) {
    ASSERT_EQ(i2c->I2CWriteByte(0, 1, 0x4C, 0x04, 0x05), 1);
    EXPECT_EQ(Wire(), "S 98 A 04 A 05 A P");
    uint8_t value = 0;
    ASSERT_EQ(i2c->ReadByteData(1, 0x4C, 0x04, &value), 1);
    EXPECT_EQ(value, 0x05);
    ASSERT_EQ(i2c->I2CWriteWord(0, 1, 0x4C, 0x02, 0x1122), 1);
    EXPECT_EQ((*window->bus(1).registers(0x4C))[2], 0x22) << "low byte first";
    EXPECT_EQ((*window->bus(1).registers(0x4C))[3], 0x11);
}

TEST_F(G80Bus, AbsentDeviceGetsStopAfterItsAddressAndNoAnswer) {
    uint8_t value = 0x77;
    EXPECT_EQ(i2c->I2CReadByte(0, 1, 0x2E, 0x00, &value), 0);
    EXPECT_EQ(value, 0x77);
    EXPECT_EQ(i2c->ReadByteData(1, 0x2E, 0x00, &value), 0);
    EXPECT_EQ(value, 0x77) << "a failing transfer leaves the caller's byte";
    EXPECT_EQ(Wire(), "S 5C N P S 5C N P");
    EXPECT_EQ(i2c->I2CWriteByte(0, 1, 0x2E, 0x00, 0x01), 0);
    EXPECT_EQ(LineRegister(0xE150), 0x7u);
}

TEST_F(G80Bus, GeneralCallAddressIsFollowedByASecondAddressByte) {
    machine::GpuRegisterSettings settings;
    settings.base = 0xFA000000;
    settings.i2c[1][0x00] = {0x42};  // answers the general call
    window = std::make_unique<machine::NvidiaRegisterWindow>(settings, config);
    space = std::make_unique<WindowSpace>(*window);
    i2c = std::make_unique<NVIDIA_G80_I2CRegisterSpace>(space.get());
    EXPECT_EQ(i2c->I2CWriteByte(0, 1, 0x00, 0x00, 0x42), 1);
    EXPECT_EQ(Wire(), "S 00 A 00 A 00 A 42 A P");
}

TEST_F(G80Bus, BusFourAndAboveTouchNothing) {
    uint8_t byte = 0;
    uint16_t word = 0;
    EXPECT_EQ(i2c->I2CReadByte(0, 4, 0x4C, 0, &byte), 0);
    EXPECT_EQ(i2c->I2CWriteByte(0, 5, 0x4C, 0, 0), 0);
    EXPECT_EQ(i2c->I2CReadWord(0, 4, 0x4C, 0, &word), 0);
    EXPECT_EQ(i2c->I2CWriteWord(0, 4, 0x4C, 0, 0), 0);
    EXPECT_EQ(i2c->I2CReadWord16(0, 4, 0x4C, 0, 0, &byte, &byte), 0);
    EXPECT_EQ(i2c->I2CWriteByte16(0, 4, 0x4C, 0, 0, 0, 0), 0);
    EXPECT_TRUE(space->writes.empty());
}

TEST_F(G80Bus, LockWritesTheCrtIndexAndValueOnlyForLockAndUnlock) {
    EXPECT_EQ(i2c->SetLock(2), 1);
    EXPECT_TRUE(space->writes.empty());
    EXPECT_EQ(i2c->SetLock(0), 1);
    uint8_t data = 0;
    space->ReadByte(0x6013D5, &data);
    EXPECT_EQ(data, 0x57);
    EXPECT_EQ(i2c->SetLock(1), 1);
    space->ReadByte(0x6013D5, &data);
    EXPECT_EQ(data, 0x99);
}

} // namespace
} // namespace vexa::test
