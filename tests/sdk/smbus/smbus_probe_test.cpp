// The SMBus interface's probes: devices found, kept and dropped per
// (controller, multiplexer, channel, address), on boards with and without
// channel switches.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/smbus_controller.h"
#include "sdk/hw/smbus_device.h"
#include "sdk/hw/smbus_interface.h"
#include "sdk/hw/smbus_multiplexer.h"

namespace vexa::test {
namespace {

// A two-channel switch in memory.
class TwoChannels : public CMultiplexer {
public:
    TwoChannels() { m_byChannelCount = 2; }
    int32_t SetChannel(uint8_t channel) override {
        m_channel = channel;
        return 1;
    }
    uint8_t GetChannel() override { return m_channel; }
    uint8_t m_channel = 0;
};

// A controller whose devices sit on the channels of a switch (or on the
// controller itself without one).
class ChannelController : public CSMBusRegisterSpace {
public:
    explicit ChannelController(TwoChannels* mux) : CSMBusRegisterSpace(nullptr, 0), m_mux(mux) {}
    int ReadByte(uint8_t slave, uint32_t, uint8_t* value) override {
        ++m_transfers;
        if (!m_present.contains({m_mux ? m_mux->m_channel : 0, slave})) return 0;
        *value = slave;
        return 1;
    }
    int ReadWord(uint8_t slave, uint32_t reg, uint8_t* low, uint8_t* high) override {
        *high = 0;
        return ReadByte(slave, reg, low);
    }
    std::set<std::pair<uint8_t, uint8_t>> m_present;  // (channel, address)
    int m_transfers = 0;

private:
    TwoChannels* m_mux;
};

class Probes : public ::testing::Test {
protected:
    void TearDown() override {
        smbus_.reset();
        ReleaseSDK();
    }

    TwoChannels* AddMultiplexer() {
        auto* mux = new TwoChannels;
        mux->Save();
        smbus_->m_pMultiplexers->AddTail(mux);
        return mux;
    }
    ChannelController* AddController(TwoChannels* mux) {
        auto* controller = new ChannelController(mux);
        GetSDK()->m_pRegisterSpaces->AddTail(controller);
        return controller;
    }
    static std::vector<CSMBusDevice*> Found(CTList<CDevice>& list) {
        std::vector<CSMBusDevice*> found;
        CTListIterator<CDevice> it(&list);
        for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
            found.push_back(static_cast<CSMBusDevice*>(device));
        return found;
    }
    static int SMBusDevices() {
        int count = 0;
        CTListIterator<CDevice> it(GetSDK()->m_pDevices);
        for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
            count += (device->m_dwKind & DEVICE_SMBUS) != 0;
        return count;
    }

    std::unique_ptr<CSMBusInterface> smbus_ = std::make_unique<CSMBusInterface>();
};

TEST_F(Probes, WithoutMultiplexersADeviceIsMadeOnceAndDroppedWhenSilent) {
    ChannelController* controller = AddController(nullptr);
    controller->m_present = {{0, 0x50}};
    CTList<CDevice> list;
    EXPECT_EQ(smbus_->ProbeAddress(0x50, &list, 0, 0, 0), 1);
    const auto found = Found(list);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->m_pController, controller);
    EXPECT_EQ(found[0]->m_bySlaveAddress, 0x50);
    EXPECT_EQ(found[0]->m_pMultiplexer, nullptr);

    EXPECT_EQ(smbus_->ProbeOnController(controller, 0x50, &list), 1);
    EXPECT_EQ(Found(list)[0], found[0]) << "the same device again";
    EXPECT_EQ(smbus_->ProbeAddressOn(0x50, controller, &list, 0, 1, 0), 1) << "a word read";
    EXPECT_EQ(SMBusDevices(), 1);

    controller->m_present.clear();
    EXPECT_EQ(smbus_->ProbeAddress(0x50, &list, 0, 0, 0), 0);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(SMBusDevices(), 0) << "dropped";
}

// A memory module still points at its thermal sensor's device: a probe
// that finds the address silent must not delete it under the module.
TEST_F(Probes, SilentDeviceAModuleHoldsIsKept) {
    ChannelController* controller = AddController(nullptr);
    controller->m_present = {{0, 0x18}};
    CTList<CDevice> list;
    ASSERT_EQ(smbus_->ProbeAddress(0x18, &list, 5, 1, 1), 1);
    auto* module = new CMemoryModule;
    module->m_pThermalSensorDevice = Found(list)[0];
    GetSDK()->m_pDevices->AddTail(module);

    controller->m_present.clear();
    EXPECT_EQ(smbus_->ProbeAddress(0x18, &list, 5, 1, 1), 0);
    EXPECT_EQ(SMBusDevices(), 1);
    EXPECT_EQ(smbus_->FindDevice(controller, nullptr, 0, 0x18), module->m_pThermalSensorDevice);
    uint8_t value = 0;
    EXPECT_EQ(module->m_pThermalSensorDevice->ReadByte(0, &value), 0u) << "it fails its reads meanwhile";
}

TEST_F(Probes, EveryChannelGetsItsOwnDevice) {
    TwoChannels* mux = AddMultiplexer();
    ChannelController* controller = AddController(mux);
    controller->m_present = {{0, 0x50}, {1, 0x50}};
    CTList<CDevice> list;
    EXPECT_EQ(smbus_->ProbeAddress(0x50, &list, 0, 0, 1), 2);
    const auto found = Found(list);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0]->m_byChannel, 0);
    EXPECT_EQ(found[1]->m_byChannel, 1);
    EXPECT_EQ(smbus_->FindDevice(controller, mux, 1, 0x50), found[1]);
    EXPECT_EQ(smbus_->FindDevice(controller, nullptr, 1, 0x50), found[0]) << "without a multiplexer: the first";
    EXPECT_EQ(mux->m_channel, 0) << "restored";

    // The device's reads go to its channel and back.
    uint8_t value = 0;
    controller->m_present = {{1, 0x50}};
    EXPECT_EQ(found[1]->ReadByte(0, &value), 1u);
    EXPECT_EQ(found[0]->ReadByte(0, &value), 0u);
    EXPECT_EQ(mux->m_channel, 0);
}

// The SPD scan asks for the first answering channel only.
TEST_F(Probes, FirstAnsweringChannelEndsTheProbeOfAController) {
    TwoChannels* first = AddMultiplexer();
    AddMultiplexer();
    ChannelController* controller = AddController(first);
    controller->m_present = {{0, 0x52}, {1, 0x52}};
    CTList<CDevice> list;
    EXPECT_EQ(smbus_->ProbeAddress(0x52, &list, 0, 0, 0), 1);
    EXPECT_EQ(controller->m_transfers, 1);
    EXPECT_EQ(first->m_channel, 0);

    controller->m_present = {{1, 0x52}};
    controller->m_transfers = 0;
    EXPECT_EQ(smbus_->ProbeAddressOn(0x52, controller, &list, 0, 0, 0), 1);
    EXPECT_EQ(Found(list)[0]->m_byChannel, 1);
    EXPECT_EQ(controller->m_transfers, 2);
    EXPECT_EQ(SMBusDevices(), 1) << "channel 0's device was dropped when it fell silent";
}

TEST_F(Probes, ProbeOnControllerTriesEveryChannelOfEveryMultiplexer) {
    TwoChannels* mux = AddMultiplexer();
    ChannelController* controller = AddController(mux);
    controller->m_present = {{1, 0x53}};
    CTList<CDevice> list;
    EXPECT_EQ(smbus_->ProbeOnController(controller, 0x53, &list), 1);
    EXPECT_EQ(controller->m_transfers, 2);
    EXPECT_EQ(Found(list)[0]->m_pMultiplexer, mux);
    EXPECT_EQ(mux->m_channel, 0);
}

TEST_F(Probes, ControllersAreFoundById) {
    ChannelController* plain = AddController(nullptr);
    ChannelController* nforce = AddController(nullptr);
    nforce->m_dwControllerId = 0x10DE0264;
    CTList<CRegisterSpace> list;
    EXPECT_EQ(smbus_->GetControllers(0x10DE0264, &list), 1);
    EXPECT_EQ(list.m_pHead->m_pPayload, nforce);
    EXPECT_EQ(smbus_->GetControllers(CSMBusRegisterSpace::kNoControllerId, &list), 1);
    EXPECT_EQ(list.m_pHead->m_pPayload, plain);
    EXPECT_EQ(smbus_->GetControllers(0x80862930, nullptr), 0);
}

} // namespace
} // namespace vexa::test
