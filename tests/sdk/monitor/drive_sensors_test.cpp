// The drives' temperature sensors joining their drives' sensor lists: at
// the probe, again on each update for sensors made later, and never twice.
#include <gtest/gtest.h>

#include <vector>

#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/system/drive.h"
#include "sdk/system/storage_interface.h"
#include "tests/sdk/monitor/platform_sources_test_support.h"

namespace vexa::test {
namespace {

class DriveSensors : public PlatformSourceTest {
protected:
    void SetUp() override {
        PlatformSourceTest::SetUp();
        BootWith({});
    }

    CStorageInterface& Storage() {
        auto* storage = new CStorageInterface(0xFFFFFFFF, 0xFFFFFFFF, 0);
        GetSDK()->m_pInterfaces->AddTail(storage);
        return *storage;
    }
    // A drive of that storage domain; the root owns it.
    static CDrive& Drive(CStorageInterface& storage, int32_t number) {
        auto* drive = new CDrive(number);
        storage.AddDrive(drive);
        return *drive;
    }
    // The storage domain's sensor of that attribute, owned by the root.
    static CTemperatureSensor* Temperature(CDrive& drive, DriveTemperature which) {
        auto* sensor = new CTemperatureSensor(uint8_t(which));
        GetSDK()->m_pSensors->AddTail(sensor);
        return drive.m_pTemperatures[which] = sensor;
    }
    static std::vector<CSensor*> SensorsOf(CDrive& drive) {
        std::vector<CSensor*> sensors;
        CTListIterator<CSensor> it(drive.m_pSensors);
        for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext()) sensors.push_back(sensor);
        return sensors;
    }
};

TEST_F(DriveSensors, EachSensorJoinsItsDriveOnceAndLaterOnesOnUpdate) {
    CStorageInterface& storage = Storage();
    CDrive& first = Drive(storage, 0);
    CDrive& second = Drive(storage, 1);
    CDrive& without = Drive(storage, 2);
    CSensor* assembly = Temperature(first, DRIVE_TEMPERATURE_ASSEMBLY);
    CSensor* airFlow = Temperature(first, DRIVE_TEMPERATURE_AIR_FLOW);
    CSensor* drive = Temperature(second, DRIVE_TEMPERATURE_DRIVE);

    CHardwareMonitorInterface& monitors = Monitors();
    EXPECT_EQ(monitors.ProbeDevices(), 1);
    EXPECT_EQ(SensorsOf(first), (std::vector<CSensor*> {assembly, airFlow}));
    EXPECT_EQ(SensorsOf(second), (std::vector<CSensor*> {drive}));
    EXPECT_EQ(without.m_pSensors, nullptr);

    // Refreshes leave the lists as they are, until the drive gains a sensor.
    monitors.Update();
    monitors.Update();
    EXPECT_EQ(SensorsOf(first), (std::vector<CSensor*> {assembly, airFlow}));
    CSensor* late = Temperature(without, DRIVE_TEMPERATURE_DRIVE);
    monitors.Update();
    EXPECT_EQ(SensorsOf(without), (std::vector<CSensor*> {late}));
    EXPECT_EQ(SensorsOf(second), (std::vector<CSensor*> {drive}));
    // No monitor is made for them: the drives own their sensors.
    EXPECT_EQ(monitors.m_pMonitors->GetCount(), 0u);
}

TEST_F(DriveSensors, WithoutStorageDomainNothingIsAttached) {
    EXPECT_EQ(Monitors().AttachDriveSensors(), 0);
    EXPECT_EQ(Monitors().ProbeDevices(), 1);
}

} // namespace
} // namespace vexa::test
