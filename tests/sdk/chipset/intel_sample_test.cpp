// The memory controllers of the Intel samples through the chipset domain:
// the GM965 notebook's window is left enabled by the firmware, so a pass
// writes no configuration register, and the DRAM clock follows the bus
// clock; the Dell workstation's 5000X is read from its device 16.
#include <gtest/gtest.h>

#include "machine/image_loader.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/north_bridge.h"
#include "sdk/cpu/cpu_interface.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

class GM965Sample : public PciTest {
protected:
    // The sample of the source tree; null (and a failure) when it does
    // not load.
    machine::Machine* StartSample(const char* path) {
        std::string error;
        auto image = machine::loadImage(sourcePath(path), error);
        EXPECT_TRUE(image) << error;
        return image ? &start(std::move(image)) : nullptr;
    }

    // The PCI domain scanned, the access log started, then the chipset
    // domain detected and refreshed once; null when it is not created.
    CChipsetInterface* DetectAndRefresh() {
        if (!scannedPCI()) return nullptr;
        record();
        if (sdk().CreateChipsetInterface() != 1) return nullptr;
        sdk().m_pChipset->Refresh();
        return sdk().m_pChipset;
    }
};

TEST_F(GM965Sample, MemoryControllerDecodedAndNothingWritten) {
    machine::Machine* sample = StartSample("machines/fujitsu-p8010-gm965");
    ASSERT_TRUE(sample);
    machine::Machine& machine = *sample;
    auto* cpu = new CCPUInterface(0);
    cpu->m_fBusClock = 200.0f;
    sdk().m_pCPU = cpu;
    sdk().m_pInterfaces->AddTail(cpu);
    CChipsetInterface* chipset = DetectAndRefresh();
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "GM965");
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szRevision, "C0");
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_DDR2);
    EXPECT_EQ(m.m_iChannels, 2);
    EXPECT_EQ(m.m_iChannelMode, MEMORY_CHANNELS_SYMMETRIC);
    EXPECT_EQ(m.m_fCASLatency, 4.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 5);
    EXPECT_EQ(m.m_iRASPrecharge, 5);
    EXPECT_EQ(m.m_iCycleTime, 13);
    EXPECT_STREQ(m.m_szRatio, "3:5");
    EXPECT_NEAR(m.m_fDRAMFrequency, 333.33, 0.01);
    ASSERT_TRUE(chipset->m_pNorthBridge->m_pMCHBAR);
    for (const machine::Access& access : machine.accessLog())
        EXPECT_NE(access.dir, machine::AccessDir::Write) << "kind " << int(access.kind) << " at " << access.address;
}

// The Dell's 5000X: named, FB-DIMMs at 4:5 of its bus, the first buffer
// found in the window where the controller places it and its timings
// read (PC2-5300F, 5-5-5-15), and nothing written.
TEST_F(GM965Sample, DellFiveThousandXDecodedAndNothingWritten) {
    machine::Machine* sample = StartSample("machines/dell-precision-490");
    ASSERT_TRUE(sample);
    machine::Machine& machine = *sample;
    CChipsetInterface* chipset = DetectAndRefresh();
    ASSERT_TRUE(chipset);
    const CMemoryInfo& m = *chipset->m_pMemoryInfo;
    EXPECT_STREQ(chipset->m_pNorthBridge->m_szModel, "5000X");
    EXPECT_EQ(m.m_iMemoryType, MEMORY_TYPE_FB_DDR2);
    EXPECT_STREQ(m.m_szRatio, "4:5");
    EXPECT_EQ(m.m_fFSBDRAMRatio, 1.25f);
    EXPECT_EQ(m.m_fCASLatency, 5.0f);
    EXPECT_EQ(m.m_iRASToCASDelay, 5);
    EXPECT_EQ(m.m_iRASPrecharge, 5);
    EXPECT_EQ(m.m_iCycleTime, 15);
    EXPECT_EQ(m.m_iBankCycleTime, 20);
    EXPECT_FLOAT_EQ(m.GetDRAMFrequency(266.67f, 7.0f), 333.3375f);
    size_t bufferReads = 0;
    for (const machine::Access& access : machine.accessLog()) {
        EXPECT_NE(access.dir, machine::AccessDir::Write) << "kind " << int(access.kind) << " at " << access.address;
        if (access.kind == machine::AccessKind::Memory && access.address >= 0xFE000000 && access.address < 0xFE020000)
            ++bufferReads;
    }
    // On each of the two passes: the first buffer's identity (channel 0,
    // slot 0 answers) and its two timing dwords.
    EXPECT_EQ(bufferReads, 2u * 3u);
}

} // namespace
} // namespace vexa::test
