// The boards' SMBus channel switches: each board's lines, the shared
// "Access_MUX" mutex around every switch, and the devices and probes that
// use them.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/sync.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/smbus_controller.h"
#include "sdk/hw/smbus_device.h"
#include "sdk/hw/smbus_multiplexer.h"
#include "sdk/monitor/config_mode.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/sdk/smbus/smbus_fakes.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

uint32_t Dword(FakePorts& ports, uint32_t offset) {
    uint32_t value = 0;
    ports.ReadDword(offset, &value);
    return value;
}

class Multiplexers : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSDK(); }
};

// ---- ASUS P5W / P5M2: one GPIO bit ----

struct GpioBitBoard {
    const char* name;
    CMultiplexer* (*make)(CIOSpace*);
    uint8_t line;
};

const GpioBitBoard kGpioBitBoards[] = {
    {"P5W", [](CIOSpace* gpio) -> CMultiplexer* { return new Asus_P5W_SMBusMultiplexer(gpio); }, 0x01},
    {"P5M2", [](CIOSpace* gpio) -> CMultiplexer* { return new Asus_P5M2_SMBusMultiplexer(gpio); }, 0x04},
};

class GpioBitBoards : public Multiplexers, public ::testing::WithParamInterface<GpioBitBoard> {};

TEST_P(GpioBitBoards, SwitchRestoreAndNoWriteWhenUnchanged) {
    FakePorts gpio(0x500);
    gpio.At(0x38) = 0xA0;  // other lines of the byte, channel 0
    std::unique_ptr<CMultiplexer> mux(GetParam().make(&gpio));
    EXPECT_EQ(mux->m_byChannelCount, 2);
    EXPECT_EQ(mux->Save(), 0);

    const size_t before = gpio.Writes();
    EXPECT_EQ(mux->Select(5), 1) << "a channel past the last selects the last";
    EXPECT_EQ(gpio.At(0x38), 0xA0 | GetParam().line);
    EXPECT_EQ(mux->ReadChannel(), 1);
    EXPECT_EQ(gpio.Writes(), before + 1);

    EXPECT_EQ(mux->Select(1), 1);
    EXPECT_EQ(gpio.Writes(), before + 1) << "the line already shows the channel";

    EXPECT_EQ(mux->Restore(), 1);
    EXPECT_EQ(gpio.At(0x38), 0xA0) << "the firmware's channel again, the other lines untouched";
}

INSTANTIATE_TEST_SUITE_P(SMBus, GpioBitBoards, ::testing::ValuesIn(kGpioBitBoards), CaseName());

// ---- Intel S5500BC and EVGA: two GPIO lines ----

TEST_F(Multiplexers, S5500BCDrivesOneEnablePerChannel) {
    FakePorts gpio(0x500);
    Intel_S5500BC_SMBusMultiplexer mux(&gpio);
    EXPECT_EQ(mux.Save(), 0);
    mux.Select(1);
    EXPECT_EQ(Dword(gpio, 0x38) & (1u << 20 | 1u << 17), 1u << 20);
    EXPECT_EQ(mux.ReadChannel(), 1);
    mux.Restore();
    EXPECT_EQ(Dword(gpio, 0x38) & (1u << 20 | 1u << 17), 1u << 17);
    EXPECT_EQ(mux.ReadChannel(), 0);
}

// Lines the firmware never set up become outputs driven to channel 0.
TEST_F(Multiplexers, EvgaSetsUpItsLinesAndReportsChannel0) {
    FakePorts gpio(0x500);
    gpio.WriteDword(0x34, 3u << 20 | 0x1);
    const size_t before = gpio.Writes();
    EVGA_ICH10R_SMBusMultiplexer mux(&gpio);
    EXPECT_EQ(mux.Save(), 0);
    EXPECT_EQ(Dword(gpio, 0x30) & (3u << 20), 3u << 20) << "used as GPIO";
    EXPECT_EQ(Dword(gpio, 0x34), 0x1u) << "outputs; the other lines untouched";
    EXPECT_EQ(Dword(gpio, 0x38) & (3u << 20), 3u << 20) << "channel 0";
    EXPECT_EQ(gpio.Writes(), before + 3);
    mux.Select(1);
    EXPECT_EQ(Dword(gpio, 0x38) & (3u << 20), 2u << 20);
    EXPECT_EQ(mux.ReadChannel(), 1);
    mux.Restore();
    EXPECT_EQ(Dword(gpio, 0x38) & (3u << 20), 3u << 20);
}

// ---- ASUS ASB100: a line of the super-I/O chip ----

// A Winbond-protocol chip at an index/data pair: 0x87 0x87 opens the
// configuration registers, 0xAA closes them; register 7 selects the
// logical device, whose registers 0x30 and up are its own.
class SuperIOPorts : public FakePorts {
public:
    explicit SuperIOPorts(bool dead = false) : FakePorts(0x2E), m_dead(dead) {}

    int WriteByte(uint32_t offset, uint32_t value) override {
        return m_dead ? 0 : FakePorts::WriteByte(offset, value);
    }

    bool m_open = false;
    int m_keys = 0;
    uint8_t m_index = 0;
    uint8_t m_global[0x30] = {};
    std::map<uint8_t, std::array<uint8_t, 256>> m_devices;

protected:
    uint8_t OnRead(uint32_t offset) override {
        if (offset == 0) return m_index;
        if (!m_open) return 0xFF;
        return m_index < 0x30 ? m_global[m_index] : m_devices[m_global[7]][m_index];
    }
    void OnWrite(uint32_t offset, uint8_t value) override {
        if (offset == 0) {
            if (!m_open) {
                m_keys = value == 0x87 ? m_keys + 1 : 0;
                m_open = m_keys == 2;
            } else if (value == 0xAA) {
                m_open = false;
                m_keys = 0;
            }
            m_index = value;
            return;
        }
        if (!m_open) return;
        if (m_index < 0x30) m_global[m_index] = value;
        else m_devices[m_global[7]][m_index] = value;
    }

private:
    bool m_dead;
};

TEST_F(Multiplexers, Asb100SwitchesBit4OfLogicalDevice8) {
    SuperIOPorts sio;
    sio.m_global[7] = 0x0B;          // the firmware left the monitor device selected
    sio.m_devices[8][0xF1] = 0x08;   // bit 3 set, channel 0
    CLPCRegisterSpace config(&sio, 0, 1);
    Asus_ASB100_SMBusMultiplexer_Type_2 mux(new Winbond_LPCIO_ConfigMode(&config));
    EXPECT_EQ(mux.Save(), 0);
    EXPECT_FALSE(sio.m_open) << "left the configuration mode";
    EXPECT_EQ(mux.Select(1), 1);
    EXPECT_EQ(sio.m_devices[8][0xF1], 0x10) << "bit 4 set, bit 3 cleared";
    EXPECT_EQ(sio.m_global[7], 0x0B) << "the logical device select is put back";
    EXPECT_FALSE(sio.m_open);
    EXPECT_EQ(mux.ReadChannel(), 1);
    mux.Restore();
    EXPECT_EQ(sio.m_devices[8][0xF1], 0x00);
}

TEST_F(Multiplexers, Asb100WithoutConfigurationModeLeavesTheChannel) {
    SuperIOPorts sio(true);
    CLPCRegisterSpace config(&sio, 0, 1);
    Asus_ASB100_SMBusMultiplexer_Type_2 mux(new Winbond_LPCIO_ConfigMode(&config));
    EXPECT_EQ(mux.Select(1), 1);
    EXPECT_EQ(mux.ReadChannel(), 0);
    EXPECT_EQ(sio.Writes(), 0u);
}

// ---- The mutex ----

// Whether another thread could take "Access_MUX" right now.
bool MutexFreeForAnotherThread() {
    return std::async(std::launch::async, [] {
               HANDLE mutex = BRENIKSDK::CreateGlobalMutex(0, CMultiplexer::kMutexName);
               const DWORD result = WaitForSingleObject(mutex, 0);
               if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
               CloseHandle(mutex);
               return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
           })
        .get();
}

// A switch that notes whether the mutex was held while it ran.
class ProbingMultiplexer : public CMultiplexer {
public:
    ProbingMultiplexer() { m_byChannelCount = 2; }
    int32_t SetChannel(uint8_t channel) override {
        m_heldDuringSwitch = !MutexFreeForAnotherThread();
        m_channel = channel;
        ++m_switches;
        return 1;
    }
    uint8_t GetChannel() override {
        m_heldDuringRead = !MutexFreeForAnotherThread();
        return m_channel;
    }
    bool m_heldDuringSwitch = false, m_heldDuringRead = false;
    uint8_t m_channel = 0;
    int m_switches = 0;
};

TEST_F(Multiplexers, MutexIsHeldAroundEachSwitchAndReleasedAfter) {
    ProbingMultiplexer mux;
    ASSERT_NE(mux.m_hMutex, nullptr);
    EXPECT_EQ(mux.Select(1), 1);
    EXPECT_TRUE(mux.m_heldDuringSwitch);
    EXPECT_TRUE(MutexFreeForAnotherThread());
    mux.ReadChannel();
    EXPECT_TRUE(mux.m_heldDuringRead);
    EXPECT_TRUE(MutexFreeForAnotherThread());
}

// A controller that counts its transfers.
class CountingController : public CSMBusRegisterSpace {
public:
    CountingController() : CSMBusRegisterSpace(nullptr, 0) {}
    int ReadByte(uint8_t, uint32_t, uint8_t* value) override {
        ++m_transfers;
        *value = 0x42;
        return 1;
    }
    int m_transfers = 0;
};

// Another program keeps the mutex: the switch waits its bound and fails,
// and so does the transfer that needed it, without a switch or transfer.
TEST_F(Multiplexers, MutexKeptElsewhereFailsTheTransferAfterItsBound) {
    std::promise<void> taken, done;
    std::thread holder([&] {
        HANDLE mutex = BRENIKSDK::CreateGlobalMutex(0, CMultiplexer::kMutexName);
        WaitForSingleObject(mutex, INFINITE);
        taken.set_value();
        done.get_future().wait();
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    taken.get_future().wait();

    ProbingMultiplexer mux;
    mux.m_dwMutexTimeoutMs = 20;
    CountingController controller;
    CSMBusDevice device;
    device.m_pController = &controller;
    device.m_pMultiplexer = &mux;
    device.m_byChannel = 1;
    device.m_bySlaveAddress = 0x50;
    uint8_t value = 0;
    EXPECT_EQ(mux.Select(1), 0);
    EXPECT_EQ(device.ReadByte(0, &value), 0u);
    EXPECT_EQ(value, 0xFF);
    EXPECT_EQ(mux.m_switches, 0);
    EXPECT_EQ(controller.m_transfers, 0);

    done.set_value();
    holder.join();
    EXPECT_EQ(device.ReadByte(0, &value), 1u);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(mux.m_switches, 2) << "the device's channel, then the saved one";
    EXPECT_EQ(mux.m_channel, 0);
}

TEST_F(Multiplexers, DeviceWithoutMultiplexerMakesOneTransfer) {
    CountingController controller;
    CSMBusDevice device;
    uint8_t value = 0;
    EXPECT_EQ(device.ReadByte(0, &value), 0u) << "no controller";
    EXPECT_EQ(value, 0xFF);
    device.m_pController = &controller;
    EXPECT_EQ(device.ReadByte(0, &value), 0u) << "no address";
    device.m_bySlaveAddress = 0x50;
    EXPECT_EQ(device.SelectChannel(), 0);
    EXPECT_EQ(device.ReadByte(0, &value), 1u);
    EXPECT_EQ(controller.m_transfers, 1);
}

} // namespace
} // namespace vexa::test
