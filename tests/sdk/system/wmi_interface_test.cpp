// The WMI domain: connecting to namespaces, one property of every instance
// of a class as values by CIM type, queries replacing each other, the
// failures that leave the caller without values, and the raw SMBIOS table
// the DMI domain reads through it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/testing.h"
#include "platform/wmi.h"
#include "sdk/core/sdk.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/wmi_interface.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

// Two display adapters, and a class with a value of every kind.
constexpr const char* kManifest = R"({"wmi": {
  "root\\cimv2": {
    "Win32_VideoController": [
      {"AdapterRAM": {"uint32": 1073741824}, "DriverVersion": "8.17.12.7533",
       "DriverDate": {"datetime": "20110621000000.000000-000"}, "Caption": "NVIDIA GeForce GTX 560"},
      {"AdapterRAM": {"uint32": 268435456}, "DriverVersion": "6.14.10.5303",
       "DriverDate": {"datetime": "20090907000000.000000-000"}, "Caption": null}
    ],
    "Win32_DiskDrive": [
      {"Size": {"uint64": "500107862016"}, "Offset": {"sint16": -5}, "Big": {"uint32": "0xFFFFFFF0"},
       "Flag": true, "Ratio": {"real64": 0.5}, "Date": {"datetime": "2011"}, "Id": {"uint8[]": "01 02 0a"},
       "Index": {"uint8": 200}, "Missing": {"null": "uint32"}}
    ]
  },
  "\\\\.\\root\\Custom": {"Thing": [{"Name": "one"}]}
}})";

class WMI : public ::testing::Test {
protected:
    void SetUp() override {
        image_.write("machine.json", kManifest);
        machine_.emplace(image_.load());
    }
    void TearDown() override {
        wmi_.Disconnect();
        platform::testing::restoreComClasses();
        platform::testing::restoreLibraries();
        machine_.reset();
        ReleaseSDK();
    }

    std::vector<const CWMI_Property*> Values() {
        std::vector<const CWMI_Property*> values;
        CTListIterator<CWMI_Property> it(wmi_.m_pProperties);
        for (CWMI_Property* value = it.GetFirst(); value; value = it.GetNext()) values.push_back(value);
        return values;
    }

    ImageDir image_;
    std::optional<machine::ScopedMachine> machine_;
    CWMIInterface wmi_;
};

TEST_F(WMI, TwoAdaptersGiveTwoValuesInInstanceOrder) {
    ASSERT_EQ(wmi_.Connect(L"\\\\.\\root\\cimv2"), 1);
    ASSERT_EQ(wmi_.QueryProperty("Win32_VideoController", L"AdapterRAM"), 2);
    auto values = Values();
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0]->m_dwKind, WMI_PROPERTY_INTEGER);
    EXPECT_EQ(values[0]->m_iValue, 1073741824);
    EXPECT_EQ(values[1]->m_iValue, 268435456);
    EXPECT_EQ(values[0]->m_dValue, -1.0);
    EXPECT_STREQ(values[0]->m_szText, "");

    ASSERT_EQ(wmi_.QueryProperty("Win32_VideoController", L"DriverVersion"), 2);
    values = Values();
    EXPECT_EQ(values[0]->m_dwKind, WMI_PROPERTY_TEXT);
    EXPECT_STREQ(values[0]->m_szText, "8.17.12.7533");
    EXPECT_EQ(values[0]->m_iValue, -1);
    EXPECT_STREQ(values[1]->m_szText, "6.14.10.5303");

    // A second query replaced the first one's values.
    ASSERT_EQ(wmi_.QueryProperty("win32_videocontroller", L"driverdate"), 2);
    values = Values();
    EXPECT_EQ(values[0]->m_dwKind, WMI_PROPERTY_TEXT);
    EXPECT_STREQ(values[0]->m_szText, "06/21/2011");
    EXPECT_STREQ(values[1]->m_szText, "09/07/2009");
}

TEST_F(WMI, ANullValueAddsNothing) {
    ASSERT_EQ(wmi_.Connect(L"root\\cimv2"), 1);
    EXPECT_EQ(wmi_.QueryProperty("Win32_VideoController", L"Caption"), 1);
    EXPECT_STREQ(Values()[0]->m_szText, "NVIDIA GeForce GTX 560");
    EXPECT_EQ(wmi_.QueryProperty("Win32_VideoController", L"NoSuchProperty"), 0);
}

struct KindCase {
    const wchar_t* property;
    int count;
    uint32_t kind;
    int32_t integer;
    double real;
};

// Each CIM type as the query turns it into a value; a type not listed and
// a date too short to hold one give none.
TEST_F(WMI, ValuesByCimType) {
    ASSERT_EQ(wmi_.Connect(L"//./root/cimv2"), 1);
    const KindCase cases[] = {
        {L"Size", 1, WMI_PROPERTY_FLOAT, -1, 500107862016.0},
        {L"Offset", 1, WMI_PROPERTY_INTEGER, -5, -1.0},
        {L"Big", 1, WMI_PROPERTY_INTEGER, -16, -1.0},  // a uint32 arrives as a 32-bit variant
        {L"Index", 1, WMI_PROPERTY_INTEGER, 200, -1.0},
        {L"Flag", 0, 0, 0, 0},
        {L"Ratio", 0, 0, 0, 0},
        {L"Date", 0, 0, 0, 0},
        {L"Missing", 0, 0, 0, 0},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(std::string(c.property, c.property + wcslen(c.property)));
        ASSERT_EQ(wmi_.QueryProperty("Win32_DiskDrive", c.property), c.count);
        if (c.count == 0) continue;
        const CWMI_Property* value = Values()[0];
        EXPECT_EQ(value->m_dwKind, c.kind);
        EXPECT_EQ(value->m_iValue, c.integer);
        EXPECT_EQ(value->m_dValue, c.real);
    }
    ASSERT_EQ(wmi_.QueryProperty("Win32_DiskDrive", L"Id"), 1);
    const CWMI_Property* bytes = Values()[0];
    EXPECT_EQ(bytes->m_dwKind, WMI_PROPERTY_BYTES);
    ASSERT_EQ(bytes->m_dwByteCount, 3u);
    EXPECT_EQ(std::vector<uint8_t>(bytes->m_pBytes, bytes->m_pBytes + 3), (std::vector<uint8_t>{1, 2, 10}));
}

TEST_F(WMI, MissingNamespacesAndClassesGiveNothing) {
    EXPECT_EQ(wmi_.Connect(L"\\\\.\\root\\nowhere"), 0);
    EXPECT_EQ(wmi_.QueryProperty("Win32_VideoController", L"AdapterRAM"), 0) << "not connected";
    ASSERT_EQ(wmi_.Connect(L"\\\\.\\root\\custom"), 1);
    EXPECT_EQ(wmi_.QueryProperty("Thing", L"Name"), 1);
    EXPECT_EQ(wmi_.QueryProperty("Win32_VideoController", L"AdapterRAM"), 0) << "another namespace's class";
    EXPECT_EQ(Values().size(), 0u);
    wmi_.Disconnect();
    ASSERT_EQ(wmi_.Connect(L"\\\\.\\root\\SecurityCenter"), 1) << "a standard namespace";
    EXPECT_EQ(wmi_.QueryProperty("AntiVirusProduct", L"displayName"), 0);
}

// A connect that fails after COM was initialised has uninitialised it again.
TEST_F(WMI, AFailedConnectLeavesComAsItWas) {
    platform::testing::unregisterComClass(CLSID_WbemRefresher);
    EXPECT_EQ(wmi_.Connect(L"\\\\.\\root\\cimv2"), 0);
    EXPECT_FALSE(wmi_.m_pServices);
    EXPECT_FALSE(wmi_.m_pLocator);
    wmi_.Disconnect();  // harmless
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK) << "COM is not left initialised";
    CoUninitialize();
    platform::testing::restoreComClasses();
    EXPECT_EQ(wmi_.Connect(L"\\\\.\\root\\cimv2"), 1);
}

// Connecting again without disconnecting ends the first connection: one
// Disconnect then leaves COM as it was before either connect.
TEST_F(WMI, ASecondConnectEndsTheFirst) {
    ASSERT_EQ(wmi_.Connect(L"\\\\.\\root\\custom"), 1);
    ASSERT_EQ(wmi_.Connect(L"\\\\.\\root\\cimv2"), 1);
    EXPECT_EQ(wmi_.QueryProperty("Win32_VideoController", L"AdapterRAM"), 2) << "the second namespace is served";
    EXPECT_EQ(wmi_.QueryProperty("Thing", L"Name"), 0) << "the first namespace is gone";
    wmi_.Disconnect();
    EXPECT_FALSE(wmi_.m_pServices);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK) << "COM is not left initialised";
    CoUninitialize();
}

TEST_F(WMI, ConnectFailsInAnotherThreadingModel) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(wmi_.Connect(L"\\\\.\\root\\cimv2"), 0);
    CoUninitialize();
}

TEST_F(WMI, CreatorKeepsTheInterfaceWhoseInitAlwaysSucceeds) {
    platform::testing::unregisterComClass(CLSID_WbemLocator);
    BRENIKSDK* sdk = GetSDK();
    ASSERT_EQ(sdk->CreateWMIInterface(), 1);
    ASSERT_TRUE(sdk->m_pWMI);
    EXPECT_EQ(sdk->FindInterface(INTERFACE_WMI), sdk->m_pWMI);
    EXPECT_FALSE(sdk->m_pWMI->m_pServices) << "Init disconnects again";
}

// ---- The raw SMBIOS table ----

std::string Product(CDMIInterface& dmi) {
    auto* board = static_cast<CDMI_Baseboard*>(dmi.GetStructure(DMI_TYPE_BASEBOARD));
    return board ? board->m_Product.Get() : "(none)";
}

class RawSmbios : public ::testing::Test {
protected:
    void SetUp() override {
        image_.write("smbios.bin", readFile(sourcePath("machines/x58-nehalem/smbios.bin")));
        machine_.emplace(image_.load());
        platform::testing::hideExport("kernel32.dll", "GetSystemFirmwareTable");
    }
    void TearDown() override {
        platform::testing::restoreLibraries();
        machine_.reset();
        ReleaseSDK();
    }
    ImageDir image_;
    std::optional<machine::ScopedMachine> machine_;
};

TEST_F(RawSmbios, PublishedInRootWmi) {
    CWMIInterface wmi;
    ASSERT_EQ(wmi.Connect(L"\\\\.\\root\\wmi"), 1);
    ASSERT_EQ(wmi.QueryProperty("MSSmBios_RawSMBiosTables", L"SMBiosData"), 1);
    const CWMI_Property* data = CTListIterator<CWMI_Property>(wmi.m_pProperties).GetFirst();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->m_dwKind, WMI_PROPERTY_BYTES);
    EXPECT_EQ(data->m_dwByteCount, machine_->get().smbios()->table.size());
    ASSERT_EQ(wmi.QueryProperty("MSSmBios_RawSMBiosTables", L"SmbiosMajorVersion"), 1);
    EXPECT_EQ(CTListIterator<CWMI_Property>(wmi.m_pProperties).GetFirst()->m_iValue, 2);
    wmi.Disconnect();
}

TEST_F(RawSmbios, TheDmiDomainReadsItThroughTheRootsWmiWhenTheFirmwareFunctionIsMissing) {
    {
        CDMIInterface dmi;
        EXPECT_EQ(dmi.Init(), 0) << "no WMI domain, no firmware function, no BIOS area";
    }
    ASSERT_EQ(GetSDK()->CreateWMIInterface(), 1);
    CDMIInterface dmi;
    ASSERT_EQ(dmi.Init(), 1);
    EXPECT_EQ(dmi.m_dwTableLength, machine_->get().smbios()->table.size());
    EXPECT_EQ(Product(dmi), "P6T6 WS REVOLUTION");
    EXPECT_FALSE(GetSDK()->m_pWMI->m_pServices) << "disconnected again";
}

} // namespace
} // namespace vexa::test
