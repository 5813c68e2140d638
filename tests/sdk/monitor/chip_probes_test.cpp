// The chip probes on simulated monitor blocks: the Winbond path of the
// x58 sample's W83667HG with its bank put back, failed reads that never
// identify a chip, and one request per monitor.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space_lpc.h"
#include "sdk/hw/register_space_pmio.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/lpcio.h"
#include "tests/sdk/monitor/monitor_test_support.h"

namespace vexa::test {
namespace {

// A flat monitor block at index port 0x295 holding the registers given.
ChipOnPorts BlockAt295(const std::map<uint8_t, uint8_t>& registers) {
    ChipOnPorts chip;
    chip.chip.configPort = 0x4E;  // a chip that nothing here opens
    chip.monitor = MonitorBlock(0x295, registers);
    return chip;
}

class ChipProbes : public MonitorTest {
protected:
    CRegisterSpace* space() {
        ports_ = std::make_unique<CPortIOSpace>(0x290, 0xFFFFFFFF);
        space_ = std::make_unique<CLPCRegisterSpace>(ports_.get(), 5, 6);
        return space_.get();
    }
    void TearDown() override {
        MonitorTest::TearDown();
        space_.reset();
        ports_.reset();
    }

private:
    std::unique_ptr<CPortIOSpace> ports_;
    std::unique_ptr<CLPCRegisterSpace> space_;
};

// The bank the firmware (or a kernel driver) left selected is selected again.
TEST_F(ChipProbes, WinbondMonitorIsIdentifiedAndItsBankPutBack) {
    ChipOnPorts w83667hg = winbondW83667HG();
    w83667hg.monitor->banks[0][0x4E] = 0x02;
    startWithChips({w83667hg});
    CHardwareMonitorInterface& domain = monitors();
    ASSERT_EQ(domain.DetectSuperIO(), 1);
    ASSERT_EQ(monitorBlock(0)->bankSelection(), 0x02);
    domain.ProbeChips();
    EXPECT_EQ(monitorBlock(0)->bankSelection(), 0x02);
    ASSERT_EQ(domain.m_pMonitors->GetCount(), 1u);
    CHardwareMonitor* monitor = domain.m_pMonitors->m_pHead->m_pPayload;
    // W83627DHG-class chip (register 0x58 = 0xC1), named by its device id.
    EXPECT_EQ(monitor->m_dwId, 0x5CA300C1u);
    EXPECT_STREQ(monitor->m_szName, "Winbond W83667HG");
    ASSERT_NE(monitor->m_pRequest, nullptr);
    EXPECT_EQ(monitor->m_pRequest->m_dwKind, uint32_t(IOREQUEST_LPC));
    EXPECT_FALSE(chip(0).inConfigMode());
}

// Registers that would identify a chip of each vendor, behind a data port
// whose reads fail: the byte a request held before must never be taken for
// an identification byte.
TEST_F(ChipProbes, FailedReadsIdentifyNothing) {
    startWithChips({BlockAt295({{0x4F, 0xA3}, {0x58, 0x90}, {0x3E, 0x41}, {0xFE, 0x4D}, {0xFD, 0x50}})});
    hw().injectFault({machine::AccessKind::Port, machine::AccessDir::Read, 0x296, 0x296});
    CHardwareMonitorInterface& domain = monitors();
    using ProbeCall = int (*)(CHardwareMonitorInterface&, CRegisterSpace*, CIORequest*);
    const std::pair<const char*, ProbeCall> probes[] = {
        {"Winbond", [](auto& m, auto* s, auto* r) { return m.ProbeWinbond(s, r, 0xA5); }},
        {"ITE", [](auto& m, auto* s, auto* r) { return m.ProbeITE(s, r, 0); }},
        {"VIA", [](auto& m, auto* s, auto* r) { return m.ProbeVIAVT1211(s, r); }},
        {"NuvotonSMBus", [](auto& m, auto* s, auto* r) { return m.ProbeNuvotonSMBus(s, r); }},
        {"AnalogDevices", [](auto& m, auto* s, auto* r) { return m.ProbeAnalogDevices(s, r); }},
        {"Maxim", [](auto& m, auto* s, auto* r) { return m.ProbeMaxim(s, r); }},
        {"Andigilog", [](auto& m, auto* s, auto* r) { return m.ProbeAndigilog(s, r); }},
        {"SMSC", [](auto& m, auto* s, auto* r) { return m.ProbeSMSC(nullptr, s, r); }},
        {"NS", [](auto& m, auto* s, auto* r) { return m.ProbeNationalSemiconductor(nullptr, s, r); }},
    };
    CRegisterSpace* block = space();
    for (uint32_t stale : {0x90u, 0xA3u, 0x41u, 0x4Du, 0x5Cu, 0x55u, 0x61u, 0x02u}) {
        for (const auto& [name, probe] : probes) {
            CLPCRequest request;
            request.m_dwData = stale;
            EXPECT_EQ(probe(domain, block, &request), 0) << name << " with 0x" << std::hex << stale;
        }
    }
    EXPECT_EQ(domain.m_pMonitors->GetCount(), 0u);
}

// A probe that recognises two chips behind one request gives each monitor
// a request of its own.
TEST_F(ChipProbes, TwoMonitorsOfOneProbeHoldTwoRequests) {
    startWithChips({BlockAt295({{0x3E, 0x55}, {0x3D, 0x8C}, {0xFE, 0x5D}, {0xFF, 0x01}})});
    CHardwareMonitorInterface& domain = monitors();
    auto* request = new CLPCRequest;
    EXPECT_EQ(domain.ProbeSMSC(nullptr, space(), request), 1);
    ASSERT_EQ(domain.m_pMonitors->GetCount(), 2u);
    CHardwareMonitor* first = domain.m_pMonitors->m_pHead->m_pPayload;
    CHardwareMonitor* second = domain.m_pMonitors->m_pHead->m_pNext->m_pPayload;
    EXPECT_EQ(first->m_dwId, 0x55u << 16 | 0x8C);
    EXPECT_EQ(second->m_dwId, 0x55u << 16 | 0x01);
    EXPECT_EQ(first->m_pRequest, request);
    ASSERT_NE(second->m_pRequest, nullptr);
    EXPECT_NE(second->m_pRequest, request);
    EXPECT_EQ(second->m_pRequest->m_dwKind, uint32_t(IOREQUEST_LPC));
}

// The PMIO probe makes a monitor but reports no success: the monitor keeps
// its request all the same.
TEST_F(ChipProbes, MonitorOfAProbeThatReportsNoSuccessKeepsItsRequest) {
    startWithChips({});
    auto* ports = new CPortIOSpace(0xA00, 0xFFFFFFFF);
    auto* pmio = new PMIO_RegisterSpace(ports);
    sdk().m_pIOSpaces->AddTail(ports);
    sdk().m_pRegisterSpaces->AddTail(pmio);
    auto* chip = new CLPCIO;
    chip->m_dwVendor = CHIP_VENDOR_WINBOND;
    chip->m_dwChipId = 0xC8;
    chip->m_pSecondSpace = pmio;
    sdk().m_pDevices->AddTail(chip);
    CHardwareMonitorInterface& domain = monitors(MONITOR_OPTION_NO_SMBUS);
    domain.ProbeChips();
    ASSERT_EQ(domain.m_pMonitors->GetCount(), 1u);
    CHardwareMonitor* monitor = domain.m_pMonitors->m_pHead->m_pPayload;
    EXPECT_EQ(monitor->m_dwId, 0x50u << 16 | 0x1C8);
    EXPECT_EQ(monitor->m_pRegisterSpace, pmio);
    ASSERT_NE(monitor->m_pRequest, nullptr);
    EXPECT_EQ(monitor->m_pRequest->m_dwKind, uint32_t(IOREQUEST_PMIO));
}

// Boards whose chips must not be probed: not one port is touched, and the
// domain still starts.
TEST_F(ChipProbes, BoardThatStopsProbingLeavesThePortsUntouched) {
    for (uint32_t board : {0x2248u, 0x2290u, 0x22A00u, 0x539AA0u}) {
        startWithChips({winbondW83667HG()});
        useBoard(board);
        record();
        CHardwareMonitorInterface& domain = monitors();
        EXPECT_EQ(domain.Init(), 1);
        EXPECT_TRUE(ofKind(hw().accessLog(), machine::AccessKind::Port).empty()) << std::hex << board;
        EXPECT_EQ(domain.m_pMonitors->GetCount(), 0u);
        ReleaseSDK();
    }
}

} // namespace
} // namespace vexa::test
