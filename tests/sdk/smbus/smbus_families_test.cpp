// Every SMBus controller family against the device model of its chip
// (smbus_family_images.h): the SMBus domain finds the controller on the
// chipset, reads the module at 0x50 and fails cleanly on an empty address;
// the controller class alone reads bytes, words and blocks and keeps its
// bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "machine/clock.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/smbus_device.h"
#include "sdk/hw/smbus_interface.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/sdk/smbus/smbus_family_images.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

std::string FamilyName(const ::testing::TestParamInfo<FamilyImage>& info) { return info.param.name; }

// ---- Through the SMBus domain ----

class FamilyDomains : public PciTest, public ::testing::WithParamInterface<FamilyImage> {
protected:
    void SetUp() override {
        PciTest::SetUp();
        useManualClock();  // the waits of failing transfers pass at once
    }

    static std::vector<CSMBusRegisterSpace*> Controllers() {
        std::vector<CSMBusRegisterSpace*> found;
        CTList<CRegisterSpace> list;
        GetSDK()->GetRegisterSpaces(REGSPACE_SMBUS, &list);
        CTListIterator<CRegisterSpace> it(&list);
        for (CRegisterSpace* space = it.GetFirst(); space; space = it.GetNext())
            found.push_back(static_cast<CSMBusRegisterSpace*>(space));
        return found;
    }
};

TEST_P(FamilyDomains, FindsTheControllerReadsTheModuleAndFailsCleanlyOnAnEmptyAddress) {
    const FamilyImage& family = GetParam();
    ImageDir image;
    WriteFamilyImage(family, image);
    start(image.load());
    ASSERT_TRUE(scannedPCI());
    ASSERT_EQ(sdk().CreateSMBusInterface(), 1);
    CSMBusInterface* smbus = sdk().m_pSMBus;
    ASSERT_TRUE(smbus);

    const auto controllers = Controllers();
    ASSERT_EQ(controllers.size(), family.controllers);
    for (CSMBusRegisterSpace* controller : controllers) EXPECT_TRUE(family.isFamily(controller));
    if (family.base) {
        EXPECT_EQ(controllers[0]->GetBaseLow(), family.base);
    }

    const std::string spd = readFile(dataPath(family.module));
    CTList<CDevice> list;
    ASSERT_EQ(smbus->ProbeAddress(family.present, &list, 0, 0, 0), 1);
    auto* module = static_cast<CSMBusDevice*>(list.m_pHead->m_pPayload);
    EXPECT_EQ(module->m_pController, controllers[0]);
    uint8_t bytes[64] = {};
    ASSERT_EQ(module->ReadBytes(0, bytes, sizeof bytes), sizeof bytes);
    EXPECT_EQ(std::memcmp(bytes, spd.data(), sizeof bytes), 0);
    if (spd.size() == 512) {
        uint8_t value = 0;
        ASSERT_EQ(module->ReadByte(320, &value), 1u);
        EXPECT_EQ(value, uint8_t(spd[320])) << "the module's maker, on the upper page";
        ASSERT_EQ(module->ReadByte(2, &value), 1u);
        EXPECT_EQ(value, uint8_t(spd[2])) << "the lower page again";
    }

    EXPECT_EQ(smbus->ProbeAddress(family.absent, &list, 0, 0, 0), 0);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(smbus->ProbeAddress(family.present, nullptr, 0, 0, 0), 1) << "the bus still works";
}

INSTANTIATE_TEST_SUITE_P(SMBus, FamilyDomains, ::testing::ValuesIn(FamilyImages()), FamilyName);

// ---- The controller class on the machine ----

// The families whose controller works without the kernel driver.
std::vector<FamilyImage> DirectFamilies() {
    std::vector<FamilyImage> families;
    for (const FamilyImage& family : FamilyImages())
        if (family.make) families.push_back(family);
    return families;
}

class Families : public ::testing::TestWithParam<FamilyImage> {
protected:
    // The family's image with `devices` beside the module and more `settings`
    // of its SMBus; the controller on it.
    void Load(const std::string& devices = "", const std::string& settings = "") {
        const FamilyImage& family = GetParam();
        WriteFamilyImage(family, image_, devices, settings);
        machine_ = image_.load();
        ASSERT_TRUE(machine_);
        ports_ = std::make_unique<MachinePorts>(*machine_, family.base);
        config_ = std::make_unique<MachineConfigSpace>(*machine_);
        const machine::PciAddress engine = family.engine;
        const uint32_t address = 0x80000000u | uint32_t(engine.bus) << 16 | uint32_t(engine.device) << 11 |
                                 uint32_t(engine.function) << 8;
        controller_ = family.make(ports_.get(), config_.get(), address);
        spd_ = readFile(dataPath(family.module));
    }
    size_t Accesses() const { return ports_->Accesses() + config_->Accesses(); }
    void TearDown() override { ReleaseSDK(); }

    ManualClockGuard clock_;
    ImageDir image_;
    std::unique_ptr<machine::SimulatedMachine> machine_;
    std::unique_ptr<MachinePorts> ports_;
    std::unique_ptr<MachineConfigSpace> config_;
    std::unique_ptr<CSMBusRegisterSpace> controller_;
    std::string spd_;
};

TEST_P(Families, ReadTheModuleAndFailCleanlyOnAnEmptyAddress) {
    const FamilyImage& family = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load());
    CSMBusRegisterSpace& controller = *controller_;
    EXPECT_EQ(controller.GetClass(), REGSPACE_SMBUS);

    uint8_t value = 0;
    ASSERT_EQ(controller.ReadByteData(family.present, 0x10, &value), 1);
    EXPECT_EQ(value, uint8_t(spd_[0x10]));
    value = 0x5A;
    EXPECT_EQ(controller.ReadByteData(family.absent, 0x10, &value), 0);
    EXPECT_EQ(value, 0x5A) << "a failed read leaves the caller's value";
    ASSERT_EQ(controller.ReadByteData(family.present, 0x22, &value), 1) << "the controller works after the failure";
    EXPECT_EQ(value, uint8_t(spd_[0x22]));

    if (!family.word) return;
    uint8_t low = 0, high = 0;
    ASSERT_EQ(controller.ReadWordData(family.present, 0x30, &low, &high), 1);
    EXPECT_EQ(low, uint8_t(spd_[0x30]));
    EXPECT_EQ(high, uint8_t(spd_[0x31]));
    low = high = 0x5A;
    EXPECT_EQ(controller.ReadWordData(family.absent, 0x30, &low, &high), 0);
    EXPECT_EQ(low, 0x5A);
}

// A byte read of register 256 fails before the controller is touched.
TEST_P(Families, ByteReadOfRegister256FailsWithoutAnAccess) {
    const FamilyImage& family = GetParam();
    if (std::string(family.name) == "IntelHSWE") GTEST_SKIP() << "reads registers 256-511 of DDR4 EEPROMs";
    ASSERT_NO_FATAL_FAILURE(Load());
    const size_t before = Accesses();
    uint8_t value = 0x5A;
    EXPECT_EQ(controller_->ReadByte(family.present, 256, &value), 0);
    EXPECT_EQ(Accesses(), before);
}

// A controller that never finishes: the transfer gives up within the
// family's bounds and leaves the caller's value.
TEST_P(Families, StuckControllerFailsWithinItsBounds) {
    const FamilyImage& family = GetParam();
    ASSERT_NO_FATAL_FAILURE(Load("", R"("stuck_busy": true)"));
    const uint64_t start = machine::clock().nowNs();
    uint8_t value = 0x5A;
    EXPECT_EQ(controller_->ReadByteData(family.present, 0x10, &value), 0);
    EXPECT_EQ(value, 0x5A);
    EXPECT_LE(machine::clock().nowNs() - start, 3'000'000'000u) << "the slowest family (SiS) waits 2 s";
}

// A block written to a chip that keeps what it gets comes back, with more
// bytes than the eight-byte buffers of some chips hold at once.
TEST_P(Families, BlockRoundTrip) {
    const FamilyImage& family = GetParam();
    if (!family.blocks) GTEST_SKIP() << "the class has no block transfers";
    image_.write("chip.regs", "00: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n");
    ASSERT_NO_FATAL_FAILURE(Load(R"({"address": "0x2c", "registers": "chip.regs"})"));
    uint8_t data[20];
    for (uint8_t i = 0; i < sizeof data; ++i) data[i] = uint8_t(0xA0 + i);
    EXPECT_EQ(controller_->WriteBlock(0x2C, 0x40, data, sizeof data), int(sizeof data));
    uint8_t back[32] = {};
    EXPECT_EQ(controller_->ReadBlockData(0x2C, 0x40, back, sizeof back), sizeof data);
    EXPECT_EQ(std::memcmp(back, data, sizeof data), 0);
    EXPECT_EQ(controller_->WriteBlock(0x2D, 0x40, data, 4), 0) << "nobody at the address";
    EXPECT_EQ(controller_->ReadBlockData(0x2D, 0x40, back, sizeof back), 0u);
    uint8_t value = 0;
    EXPECT_EQ(controller_->ReadByteData(0x2C, 0x41, &value), 1);
    EXPECT_EQ(value, data[0]) << "the count went first";
}

INSTANTIATE_TEST_SUITE_P(SMBus, Families, ::testing::ValuesIn(DirectFamilies()), FamilyName);

} // namespace
} // namespace vexa::test
