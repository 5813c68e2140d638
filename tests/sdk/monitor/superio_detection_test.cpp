// Super-I/O detection on simulated chips: each vendor's key and identity,
// the hardware monitor's logical device and base, the chips left as found.
#include <gtest/gtest.h>

#include "sdk/core/sdk.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/config_mode.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/lpcio.h"
#include "tests/sdk/monitor/monitor_test_support.h"

namespace vexa::test {
namespace {

std::vector<CLPCIO*> chipsFound() {
    std::vector<CLPCIO*> chips;
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_LPC_IO) chips.push_back(static_cast<CLPCIO*>(device));
    return chips;
}

class SuperIoDetection : public MonitorTest {};

TEST_F(SuperIoDetection, WinbondW83667HGFromItsRegisterDump) {
    startWithChips({winbondW83667HG()});
    CHardwareMonitorInterface& domain = monitors();
    EXPECT_EQ(domain.DetectSuperIO(), 1);
    ASSERT_EQ(chipsFound().size(), 1u);
    const CLPCIO& chip = *chipsFound()[0];
    EXPECT_STREQ(chip.m_szVendor, "Winbond");
    EXPECT_STREQ(chip.m_szModel, "W83667HG");
    EXPECT_EQ(chip.m_dwChipId, 0xA5u);
    EXPECT_EQ(chip.m_dwRevision, 0x13u);
    ASSERT_NE(chip.m_pMonitorSpace, nullptr);
    EXPECT_EQ(chip.m_pMonitorSpace->GetBaseLow(), 0x100u);
    domain.ProbeChips();
    ASSERT_EQ(domain.m_pMonitors->GetCount(), 1u);
}

} // namespace
} // namespace vexa::test
