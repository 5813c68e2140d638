// The monitors behind embedded controllers and the SMI handler, each on a
// simulated machine whose SMBIOS names the board its probe looks for:
// ThinkPad and Asus mainboard ECs (ports 0x62/0x66), the Asus Eee PC
// controller (0x381-0x383) and the Dell SMI handler.
#include <gtest/gtest.h>

#include <chrono>

#include "machine/devices/embedded_controller.h"
#include "machine/devices/indexed_registers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/asus_monitors.h"
#include "sdk/monitor/dell_smi_monitor.h"
#include "tests/sdk/monitor/board_source_test_support.h"

namespace vexa::test {
namespace {

using Clock = std::chrono::steady_clock;
using machine::EmbeddedController;
using machine::EmbeddedControllerSettings;

// Board names whose BoardHash is the key the probes look for.
const SmbiosNames kThinkPad{"LENOVO", "ThinkPad", "LENOVO", "aABCA"};    // 0x33190
const SmbiosNames kAsusBoard{"ASUS", "Desktop", "ASUSTeK", "XA5BA"};     // 0x2F310, byte sum 0x151
const SmbiosNames kEeePc{"ASUSTeK", "Eee PC", "ASUSTeK Computer INC.", "-2A"};  // 0x3FC
const SmbiosNames kDell{"Dell Inc.", "Latitude D630", "Dell Inc. ", "0KU184"};

class EmbeddedControllerMonitors : public BoardSourceTest {
protected:
    EmbeddedController* startWithController(const SmbiosNames& names, EmbeddedControllerSettings settings) {
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        EmbeddedController* ec = add<EmbeddedController>(devices, std::move(settings));
        startPlatform(names, std::move(devices));
        return ec;
    }
};

EmbeddedControllerSettings ThinkPadRegisters() {
    EmbeddedControllerSettings ec;
    ec.registers[0x84] = 0x10;  // fan 0x0E10 = 3600 rpm
    ec.registers[0x85] = 0x0E;
    ec.registers[0x78] = 45;
    ec.registers[0x79] = 50;
    ec.registers[0x7A] = 0x80;  // absent: the first run ends here
    ec.registers[0x7B] = 60;
    ec.registers[0xC0] = 40;
    return ec;
}

TEST_F(EmbeddedControllerMonitors, ThinkPadRunsEndAtTheFirstAbsentTemperature) {
    startWithController(kThinkPad, ThinkPadRegisters());
    initialised();
    CHardwareMonitor* thinkpad = monitorWithId(0x10140043);
    ASSERT_NE(thinkpad, nullptr);
    EXPECT_STREQ(thinkpad->m_szName, "Thinkpad Hardware Monitor");
    EXPECT_EQ(sensor(thinkpad, SENSOR_FAN, 0)->m_dwRawValue, 3600u);
    EXPECT_EQ(sensor(thinkpad, SENSOR_TEMPERATURE, 0)->m_dwRawValue, 45u);
    EXPECT_STREQ(sensor(thinkpad, SENSOR_TEMPERATURE, 0)->m_szName, "CPU");
    EXPECT_STREQ(sensor(thinkpad, SENSOR_TEMPERATURE, 1)->m_szName, "APS");
    EXPECT_EQ(sensor(thinkpad, SENSOR_TEMPERATURE, 2), nullptr);
    EXPECT_EQ(sensor(thinkpad, SENSOR_TEMPERATURE, 3), nullptr);
    // The second run (0xC0-0xC3) is still tried.
    EXPECT_STREQ(sensor(thinkpad, SENSOR_TEMPERATURE, 8)->m_szName, "BUS");
    EXPECT_EQ(sensor(thinkpad, SENSOR_TEMPERATURE, 9), nullptr);
    EXPECT_EQ(thinkpad->CreateSensors(), 1);  // created once
}

TEST_F(EmbeddedControllerMonitors, ThinkPadReadingThatKeepsChangingIsNotTaken) {
    EmbeddedControllerSettings ec = ThinkPadRegisters();
    ec.flickeringRegisters = {0x84};
    startWithController(kThinkPad, ec);
    initialised();
    CHardwareMonitor* thinkpad = monitorWithId(0x10140043);
    ASSERT_NE(thinkpad, nullptr);
    EXPECT_EQ(sensor(thinkpad, SENSOR_FAN, 0), nullptr);
    EXPECT_NE(sensor(thinkpad, SENSOR_TEMPERATURE, 0), nullptr);
}

// A controller that never takes a byte: every wait ends after its ten
// sleeps, the monitor finds nothing and is dropped, and no wait hangs.
TEST_F(EmbeddedControllerMonitors, SilentControllerGivesNoMonitorWithinTheWaitBounds) {
    EmbeddedControllerSettings ec = ThinkPadRegisters();
    ec.answers = false;
    startWithController(kThinkPad, ec);
    const auto start = Clock::now();
    initialised();
    // Three stable reads (fan, first and second run), each two waits of
    // about 100 ms and the 60 ms of the stable read.
    EXPECT_LT(elapsedMs(start), 3000.0);
    EXPECT_EQ(monitorWithId(0x10140043), nullptr);
}

EmbeddedControllerSettings AsusBoardRegisters() {
    EmbeddedControllerSettings ec;
    ec.registers[0xFF] = 0x03;  // the firmware's bank
    ec.registers[0x90] = 0x7F;  // voltage 0: 0x1FF = 511 steps, 1.597 V
    ec.registers[0x91] = 0xC0;
    ec.registers[0x92] = 0x40;  // voltage 1: its second register does not answer
    ec.registers[0xB8] = 0x8F;  // fan 0: no fan
    ec.registers[0xBA] = 0x00;  // fan 1: speed 0
    ec.registers[0xBC] = 0x05;  // fan 2: 1500 rpm
    ec.registers[0xBD] = 0xDC;
    ec.silentRegisters = {0x93};
    return ec;
}

TEST_F(EmbeddedControllerMonitors, AsusBoardReadsBankZeroAndPutsTheFirmwaresBankBack) {
    EmbeddedController* ec = startWithController(kAsusBoard, AsusBoardRegisters());
    initialised();
    CHardwareMonitor* asus = monitorWithId(0x12C300EC);
    ASSERT_NE(asus, nullptr);
    CSensor* pch = sensor(asus, SENSOR_VOLTAGE, 0);
    ASSERT_NE(pch, nullptr);
    EXPECT_STREQ(pch->m_szName, "PCH 1.1V");
    EXPECT_EQ(pch->m_dwRawValue, 511u);
    EXPECT_NEAR(pch->m_fValue, 1.597, 0.001);
    // A pair one of whose reads failed gives no reading.
    EXPECT_EQ(sensor(asus, SENSOR_VOLTAGE, 1), nullptr);
    EXPECT_EQ(sensor(asus, SENSOR_FAN, 0), nullptr);
    EXPECT_EQ(sensor(asus, SENSOR_FAN, 1), nullptr);
    ASSERT_NE(sensor(asus, SENSOR_FAN, 2), nullptr);
    EXPECT_STREQ(sensor(asus, SENSOR_FAN, 2)->m_szName, "Chassis #4");
    EXPECT_FLOAT_EQ(sensor(asus, SENSOR_FAN, 2)->m_fValue, 1500.0f);
    EXPECT_EQ(ec->reg(0xFF), 0x03);
}

TEST_F(EmbeddedControllerMonitors, AsusBoardWithUnreadableBankRegisterLeavesTheBankAlone) {
    EmbeddedControllerSettings registers = AsusBoardRegisters();
    registers.registers[0xFF] = 0xFF;
    EmbeddedController* ec = startWithController(kAsusBoard, registers);
    initialised();
    CHardwareMonitor* asus = monitorWithId(0x12C300EC);
    ASSERT_NE(asus, nullptr);  // CreateSensors returns 1 in every case
    EXPECT_EQ(asus->Update(), 0);
    EXPECT_EQ(sensor(asus, SENSOR_VOLTAGE, 0), nullptr);
    EXPECT_EQ(ec->reg(0xFF), 0xFF);
}

class EeePcMonitor : public BoardSourceTest {
protected:
    void SetUp() override {
        BoardSourceTest::SetUp();
        std::vector<std::unique_ptr<machine::PortDevice>> devices;
        controller_ = add<machine::EeePcControllerPorts>(
            devices, std::map<uint16_t, uint8_t>{{0xF451, 55}, {0xF466, 0x0B}, {0xF467, 0xB8}, {0xF463, 40}, {0xF4D3, 0}});
        startPlatform(kEeePc, std::move(devices));
        initialised();
        eee_ = monitorWithId(0x12C300EE);
        ASSERT_NE(eee_, nullptr);
    }
    machine::EeePcControllerPorts* controller_ = nullptr;
    CHardwareMonitor* eee_ = nullptr;
};

TEST_F(EeePcMonitor, ReadsTemperatureFanAndDuty) {
    EXPECT_EQ(sensor(eee_, SENSOR_TEMPERATURE, 0)->m_dwId, 0x1000200u);
    EXPECT_FLOAT_EQ(sensor(eee_, SENSOR_TEMPERATURE, 0)->m_fValue, 55.0f);
    EXPECT_EQ(sensor(eee_, SENSOR_FAN, 0)->m_dwId, 0x1000400u);
    EXPECT_FLOAT_EQ(sensor(eee_, SENSOR_FAN, 0)->m_fValue, 3000.0f);
    EXPECT_FLOAT_EQ(sensor(eee_, SENSOR_FAN_PWM, 0)->m_fValue, 40.0f);
}

TEST_F(EeePcMonitor, DutyIsRoundedAndCappedAndTheModeWrittenOnlyWhenItChanges) {
    EXPECT_EQ(eee_->SetSensorValue(0, SENSOR_FAN_PWM, 150.0f), 1);
    EXPECT_EQ(controller_->at(0xF463), 100);
    EXPECT_EQ(eee_->SetSensorValue(0, SENSOR_FAN_PWM, 37.5f), 1);
    EXPECT_EQ(controller_->at(0xF463), 38);
    uint32_t mode = 0;
    EXPECT_EQ(eee_->GetControlMode(0, SENSOR_FAN_PWM, &mode), 1);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(eee_->SetControlMode(0, SENSOR_FAN_PWM, 2), 1);
    EXPECT_EQ(controller_->at(0xF4D3), 0x02);
    record();
    EXPECT_EQ(eee_->SetControlMode(0, SENSOR_FAN_PWM, 2), 1);
    for (const machine::Access& access : hw().accessLog())
        EXPECT_FALSE(access.kind == machine::AccessKind::Port && access.dir == machine::AccessDir::Write &&
                     access.address == 0x383);
    EXPECT_EQ(eee_->SetSensorValue(0, SENSOR_FAN, 50.0f), 1);  // not the duty: nothing written
    EXPECT_EQ(controller_->at(0xF463), 38);
}

machine::SimulatedHardware DellHandler(bool signature = true) {
    machine::SimulatedHardware hardware;
    machine::DellSmiSettings smi;
    smi.signature = signature;
    smi.temperatures = {{0, 45}, {1, 38}};
    smi.fanSpeeds = {{0, 80}, {1, 3000}};
    smi.fanStates = {{0, 1}, {1, 2}};
    hardware.smi.emplace(smi);
    return hardware;
}

TEST_F(EmbeddedControllerMonitors, DellReadsTemperaturesFansAndStatesThroughTheSMI) {
    startPlatform(kDell, {}, DellHandler());
    initialised();
    CHardwareMonitor* dell = monitorWithId(0x10284C4C);
    ASSERT_NE(dell, nullptr);
    EXPECT_STREQ(sensor(dell, SENSOR_TEMPERATURE, 1)->m_szName, "DIMM");
    EXPECT_FLOAT_EQ(sensor(dell, SENSOR_TEMPERATURE, 0)->m_fValue, 45.0f);
    EXPECT_EQ(sensor(dell, SENSOR_TEMPERATURE, 2), nullptr);  // the handler answers 0xFFFF
    EXPECT_FLOAT_EQ(sensor(dell, SENSOR_FAN, 0)->m_fValue, 2400.0f);  // 80 × 30 rpm
    EXPECT_FLOAT_EQ(sensor(dell, SENSOR_FAN, 1)->m_fValue, 3000.0f);
    EXPECT_STREQ(sensor(dell, SENSOR_FAN, 1)->m_szName, "Fan 1");
    EXPECT_FLOAT_EQ(sensor(dell, SENSOR_FAN_PWM, 0)->m_fValue, 50.0f);
    EXPECT_FLOAT_EQ(sensor(dell, SENSOR_FAN_PWM, 1)->m_fValue, 100.0f);
}

struct DellStateCase {
    float percent;
    uint8_t state;
};

class DellFanState : public BoardSourceTest, public ::testing::WithParamInterface<DellStateCase> {};

TEST_P(DellFanState, PercentBecomesTheNearestState) {
    startPlatform(kDell, {}, DellHandler());
    initialised();
    CHardwareMonitor* dell = monitorWithId(0x10284C4C);
    ASSERT_NE(dell, nullptr);
    EXPECT_EQ(dell->SetSensorValue(1, SENSOR_FAN_PWM, GetParam().percent), 1);
    dell->Update();
    EXPECT_EQ(sensor(dell, SENSOR_FAN_PWM, 1)->m_dwRawValue, GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(Percent, DellFanState,
                         ::testing::Values(DellStateCase{74.0f, 1}, DellStateCase{75.0f, 2},
                                           DellStateCase{-10.0f, 0}, DellStateCase{500.0f, 2}));

// Without a handler that answers the signature no monitor is made; on a
// machine whose SMI the driver cannot call the request fails at once.
TEST_F(EmbeddedControllerMonitors, DellWithoutSignatureOrHandlerGetsNoMonitor) {
    startPlatform(kDell, {}, DellHandler(false));
    initialised();
    EXPECT_EQ(monitorWithId(0x10284C4C), nullptr);
}

TEST_F(EmbeddedControllerMonitors, SMIFailsCleanlyWhereTheMachineHasNoHandler) {
    startPlatform(kDell, {});
    uint32_t answer = 0x1234;
    const auto start = Clock::now();
    EXPECT_FALSE(CallDellSMI(0x10A3, 0, &answer));
    EXPECT_LT(elapsedMs(start), 1000.0);
    EXPECT_EQ(answer, 0x1234u);
    initialised();
    EXPECT_EQ(monitorWithId(0x10284C4C), nullptr);
}

} // namespace
} // namespace vexa::test
