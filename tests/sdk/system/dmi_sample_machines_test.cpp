// The SMBIOS tables of the sample machines: the one built for the x58
// board (tools/smbios_builder/x58-nehalem.json) and the Dell workstation's
// real one, read through the creator as the application's scan reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_memory.h"
#include "sdk/system/dmi_processor.h"
#include "tests/sdk/system/dmi_test_support.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

class SampleMachine : public ::testing::Test {
protected:
    // The DMI interface the creator made on the sample machine; null when
    // the image does not load or the creator failed.
    CDMIInterface* Load(const std::string& image) {
        std::string error;
        auto machine = machine::loadImage(sourcePath(image), error);
        EXPECT_TRUE(machine) << error;
        if (!machine) return nullptr;
        scoped_.emplace(std::move(machine));
        EXPECT_EQ(GetSDK()->CreateDMIInterface(), 1);
        return GetSDK()->m_pDMI;
    }

    void TearDown() override { ReleaseSDK(); }

    template <typename T>
    std::vector<T*> AllOfType(CDMIInterface& dmi, uint32_t type) {
        std::vector<T*> found;
        CTListIterator<CDMIStructure> it(dmi.m_pStructures);
        for (CDMIStructure* s = it.GetFirst(); s; s = it.GetNext())
            if (s->m_dwType == type) found.push_back(static_cast<T*>(s));
        return found;
    }

private:
    std::optional<machine::ScopedMachine> scoped_;
};

TEST_F(SampleMachine, X58BaseboardAndItsBoardKeys) {
    CDMIInterface* loaded = Load("machines/x58-nehalem");
    ASSERT_TRUE(loaded);
    CDMIInterface& dmi = *loaded;
    auto* board = static_cast<CDMI_Baseboard*>(dmi.GetStructure(DMI_TYPE_BASEBOARD));
    ASSERT_TRUE(board);
    EXPECT_STREQ(board->m_Manufacturer.Get(), "ASUSTeK Computer INC.");
    EXPECT_STREQ(board->m_Product.Get(), "P6T6 WS REVOLUTION");
    EXPECT_STREQ(board->m_Version.Get(), "Rev 1.xx");
    // The board keys of "P6T6 WS REVOLUTION", worked out by hand from the
    // rule of StringHash (bytes added, the sum shifted by 0..5 bits in turn)
    // and StringByteSum.
    EXPECT_EQ(StringHash(board->m_Product.Get()), 0x835AB7C0u);
    EXPECT_EQ(StringByteSum(board->m_Product.Get()), 1297u);

    auto* bios = static_cast<CDMI_Bios*>(dmi.GetStructure(DMI_TYPE_BIOS));
    ASSERT_TRUE(bios);
    EXPECT_STREQ(bios->m_Vendor.Get(), "American Megatrends Inc.");
    EXPECT_STREQ(bios->m_ReleaseDate.Get(), "08/19/2009");
    EXPECT_EQ(bios->m_iROMSizeKB, 2048);
}

TEST_F(SampleMachine, X58ProcessorAndItsThreeDDR3ModulesInSixSockets) {
    CDMIInterface* loaded = Load("machines/x58-nehalem");
    ASSERT_TRUE(loaded);
    CDMIInterface& dmi = *loaded;
    auto* processor = static_cast<CDMI_Processor*>(dmi.GetStructure(DMI_TYPE_PROCESSOR));
    ASSERT_TRUE(processor);
    EXPECT_STREQ(processor->m_Manufacturer.Get(), "Intel");
    EXPECT_STREQ(processor->m_Version.Get(), "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz");
    EXPECT_EQ(processor->m_fExternalClock, 133.0f);
    EXPECT_EQ(processor->m_fCurrentSpeed, 2666.0f);
    EXPECT_EQ(processor->m_fMultiplier, 20.0f);

    auto* array = static_cast<CDMI_PhysicalMemoryArray*>(dmi.GetStructure(DMI_TYPE_PHYSICAL_MEMORY_ARRAY));
    ASSERT_TRUE(array);
    EXPECT_EQ(array->m_iDeviceCount, 6);
    EXPECT_EQ(array->m_iMaxCapacityMB, 24576);
    // The modules on the SMBus in the first three sockets; the rest empty.
    const int sizes[] = {4096, 4096, 8192, -1, -1, -1};
    std::vector<std::string> locators;
    for (auto* device : AllOfType<CDMI_MemoryDevice>(dmi, DMI_TYPE_MEMORY_DEVICE)) {
        const bool populated = locators.size() < 3;
        EXPECT_EQ(device->m_iSizeMB, sizes[locators.size()]) << device->m_DeviceLocator.Get();
        EXPECT_EQ(device->m_iDataWidth, populated ? 64 : -1);
        EXPECT_EQ(device->m_iSpeedMHz, populated ? 1066 : -1);
        EXPECT_STREQ(device->m_FormFactor.Get(), "DIMM");
        if (populated) {
            EXPECT_TRUE(device->m_MemoryType.IsEmpty());  // DDR3 has no name here
        }
        locators.push_back(device->m_DeviceLocator.Get());
    }
    EXPECT_EQ(locators,
              (std::vector<std::string>{"DIMM_A1", "DIMM_A2", "DIMM_B1", "DIMM_B2", "DIMM_C1", "DIMM_C2"}));
}

TEST_F(SampleMachine, X58ReportOpensWithItsIdentityBlocks) {
    CDMIInterface* loaded = Load("machines/x58-nehalem");
    ASSERT_TRUE(loaded);
    CDMIInterface& dmi = *loaded;
    const std::string report = ReportOf(dmi);
    EXPECT_EQ(report.substr(0, report.find("DMI Processor")),
              "DMI BIOS\t\t\n\tvendor\t\t\tAmerican Megatrends Inc.\n\tversion\t\t\t0701\n\tdate\t\t\t08/19/2009\n"
              "\tROM size\t\t2048 KB\n\n"
              "DMI System Information\t\t\n\tmanufacturer\t\tSystem manufacturer\n\tproduct\t\t\tSystem Product Name\n"
              "\tversion\t\t\tSystem Version\n\tserial\t\t\tSystem Serial Number\n"
              "\tUUID\t\t\t{00D3A4E0-552F-DE11-A7F4-00248C1E25D3}\n\tSKU\t\t\tTo Be Filled By O.E.M.\n"
              "\tfamily\t\t\tTo Be Filled By O.E.M.\n\n"
              "DMI Baseboard\t\t\n\tvendor\t\t\tASUSTeK Computer INC.\n\tmodel\t\t\tP6T6 WS REVOLUTION\n"
              "\trevision\t\tRev 1.xx\n\tserial\t\t\tMT70A9K01600129\n\n"
              "DMI System Enclosure\t\t\n\tmanufacturer\t\tChassis Manufacture\n\tchassis type\t\tDesktop\n"
              "\tchassis serial\t\tChassis Serial Number\n\n");
}

TEST_F(SampleMachine, DellWorkstationWithOneOfTwoSocketsFilled) {
    CDMIInterface* loaded = Load("machines/dell-precision-490");
    ASSERT_TRUE(loaded);
    CDMIInterface& dmi = *loaded;
    auto* board = static_cast<CDMI_Baseboard*>(dmi.GetStructure(DMI_TYPE_BASEBOARD));
    ASSERT_TRUE(board);
    EXPECT_STREQ(board->m_Manufacturer.Get(), "Dell Inc.");
    EXPECT_STREQ(board->m_Product.Get(), "0GU083");
    EXPECT_EQ(StringHash(board->m_Product.Get()), 5518944u);
    EXPECT_EQ(StringByteSum(board->m_Product.Get()), 359u);

    const auto processors = AllOfType<CDMI_Processor>(dmi, DMI_TYPE_PROCESSOR);
    ASSERT_EQ(processors.size(), 2u);
    EXPECT_EQ(processors[0]->m_fExternalClock, 1066.0f);
    EXPECT_EQ(processors[0]->m_fCurrentSpeed, 1600.0f);
    EXPECT_EQ(processors[1]->m_fCurrentSpeed, -1.0f);  // the empty socket
    // The processor of the image is the E6300 dump's: two logical processors.
    EXPECT_EQ(machine::current().processorCount(), 2u);

    const auto devices = AllOfType<CDMI_MemoryDevice>(dmi, DMI_TYPE_MEMORY_DEVICE);
    ASSERT_EQ(devices.size(), 8u);
    EXPECT_EQ(std::count_if(devices.begin(), devices.end(), [](auto* d) { return d->m_iSizeMB >= 1; }), 2);
}

} // namespace
} // namespace vexa::test
