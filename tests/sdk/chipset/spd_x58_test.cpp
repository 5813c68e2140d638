// The x58 sample's memory modules, found on its ICH10 SMBus by the scan
// and decoded: the Kingston HyperX with its XMP profile at 0x50 and the
// two Samsung modules at 0x51 and 0x52, as its SMBIOS table lists them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/chipset/module_info.h"
#include "sdk/chipset/spd_interface.h"
#include "sdk/core/device.h"
#include "sdk/core/report_generator.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_memory.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {
namespace {

class X58Memory : public PciTest {
protected:
    void ScanModules() {
        startX58();
        ASSERT_TRUE(scannedPCI());
        ASSERT_EQ(sdk().CreateSMBusInterface(), 1);
        ASSERT_EQ(spd_.Scan(nullptr), 1);
        spd_.DecodeModules(nullptr);
    }

    CSPDInterface spd_;
};

TEST_F(X58Memory, ThreeDDR3ModulesWithTheHyperXProfile) {
    ScanModules();
    ASSERT_EQ(spd_.m_iModuleCount, 3);
    const struct {
        uint8_t address;
        const char* device;
        const char* part;
        const char* serial;
        int size;
        int xmpProfiles;
    } modules[] = {
        {0x50, "Kingston PC3-10700", "9905403-440.A00LF ", "863C519C", 4096, 1},
        {0x51, "Samsung PC3-12800", "M378B5173DB0-CK0  ", "15EBF5E9", 4096, 0},
        {0x52, "Samsung PC3-14900", "M391B1G73QH0-CMA  ", "1280D097", 8192, 0},
    };
    std::vector<std::string> devices;
    CTListIterator<CDevice> it(spd_.m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) devices.push_back(device->GetName());
    for (int i = 0; i < 3; ++i) {
        const CModuleInfo& record = spd_.m_pModules[i];
        EXPECT_EQ(record.m_ucAddress, modules[i].address);
        EXPECT_STREQ(record.m_szMemoryType, "DDR3");
        EXPECT_STREQ(record.m_szPartNumber, modules[i].part);
        EXPECT_STREQ(record.m_szSerialNumber, modules[i].serial);
        EXPECT_EQ(record.m_iSize, modules[i].size);
        EXPECT_EQ(record.m_iXMPProfiles, modules[i].xmpProfiles);
        EXPECT_EQ(devices.at(i), modules[i].device);
    }

    CReportGenerator_Buffer report;
    spd_.WriteReport(&report);
    const std::string text = report.GetText();
    EXPECT_EQ(text.find("DIMM #\t\t\t\t4"), std::string::npos);
    const size_t second = text.find("DIMM #\t\t\t\t2");
    const std::string hyperX = text.substr(0, second);
    EXPECT_NE(hyperX.find("\tManufacturer (ID)\tKingston (7F980000000000000000)\n"), std::string::npos);
    EXPECT_NE(hyperX.find("\tXMP\t\t\tyes\n\tXMP revision\t\t1.2\n"), std::string::npos);
    EXPECT_NE(hyperX.find("XMP profile\t\t\tXMP-1600\n"), std::string::npos);
    EXPECT_NE(hyperX.find("\tXMP #4\t\t\t9.0-9-9-27-36-n.a @ 800 MHz (1.650 Volts)\n"), std::string::npos);
    EXPECT_EQ(text.find("XMP profile", second), std::string::npos) << "only the HyperX has one";
}

// What the SMBIOS table says of the sockets agrees with the modules.
TEST_F(X58Memory, SMBIOSMemoryDevicesAgreeWithTheSPD) {
    ScanModules();
    ASSERT_EQ(sdk().CreateDMIInterface(), 1);
    std::vector<CDMI_MemoryDevice*> sockets;
    CTListIterator<CDMIStructure> it(sdk().m_pDMI->m_pStructures);
    for (CDMIStructure* structure = it.GetFirst(); structure; structure = it.GetNext())
        if (structure->m_dwType == DMI_TYPE_MEMORY_DEVICE) sockets.push_back(static_cast<CDMI_MemoryDevice*>(structure));
    ASSERT_EQ(sockets.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const int expected = i < spd_.m_iModuleCount ? spd_.m_pModules[i].m_iSize : -1;
        EXPECT_EQ(sockets[i]->m_iSizeMB, expected) << sockets[i]->m_DeviceLocator.Get();
    }
}

} // namespace
} // namespace vexa::test
