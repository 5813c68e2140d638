// The root object: lock, naming of the global mutex, owning lists, finders,
// creators' common step and close.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/object_namespace.h"
#include "platform/sync.h"
#include "platform/testing.h"
#include "sdk/chipset/module_info.h"
#include "sdk/core/device.h"
#include "sdk/core/interface.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/display/display_interface.h"
#include "sdk/hw/command.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/register_space.h"
#include "sdk/hw/timer.h"
#include "sdk/monitor/hardware_monitor_interface.h"

namespace {

std::vector<std::string> events;

class FakeInterface final : public CInterface {
public:
    FakeInterface(uint32_t type, std::string name, std::function<int()> init = [] { return 1; })
        : CInterface(type), name_(std::move(name)), init_(std::move(init)) {}
    ~FakeInterface() override { events.push_back("delete " + name_); }
    int Init() override { return init_(); }
    void Close() override { events.push_back("close " + name_); }

private:
    std::string name_;
    std::function<int()> init_;
};

class FakeCommand final : public CCommand {
public:
    explicit FakeCommand(std::string name) : name_(std::move(name)) {}
    ~FakeCommand() override { events.push_back("delete " + name_); }
    int Save() override { return 1; }
    int Enable() override { return 1; }
    int Restore() override {
        events.push_back("restore " + name_);
        return 1;
    }

private:
    std::string name_;
};

class FakeIOSpace final : public CIOSpace {
public:
    FakeIOSpace(uint32_t type, uint32_t base) : CIOSpace(type, 0, base, 4) {}
    int ReadByte(uint32_t, uint8_t*) override { return 0; }
    int ReadWord(uint32_t, uint16_t*) override { return 0; }
    int ReadDword(uint32_t, uint32_t*) override { return 0; }
    int ReadQword(uint32_t, uint32_t*, uint32_t*) override { return 0; }
    int WriteByte(uint32_t, uint32_t) override { return 0; }
    int WriteWord(uint32_t, uint32_t) override { return 0; }
    int WriteDword(uint32_t, uint32_t) override { return 0; }
};

class Root : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        sdk = GetSDK();
        ASSERT_NE(sdk, nullptr);
    }
    void TearDown() override {
        ReleaseSDK();
        vexa::platform::testing::overrideWindowsIdentity(std::nullopt);
        vexa::platform::testing::restoreLibraries();
    }
    BRENIKSDK* sdk = nullptr;
};

TEST_F(Root, GetSDKKeepsOneObjectUntilReleased) {
    EXPECT_EQ(GetSDK(), sdk);
    uint32_t status = 0;
    ASSERT_EQ(sdk->Lock(&status, 100), 1);
    sdk->Unlock();
    // Deleting the root releases no lock it does not hold.
    const unsigned faultsBefore = vexa::platform::testing::unownedMutexReleases();
    ReleaseSDK();
    ReleaseSDK();  // harmless without a root
    EXPECT_EQ(vexa::platform::testing::unownedMutexReleases(), faultsBefore);
    sdk = GetSDK();
    EXPECT_NE(sdk, nullptr);
}

TEST_F(Root, LockStatuses) {
    uint32_t status = 99;
    ASSERT_EQ(sdk->Lock(&status, 100), 1);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(sdk->Lock(&status, 100), 1);  // recursive for its owner
    int other = -1;
    uint32_t otherStatus = 0;
    std::thread([&] { other = sdk->Lock(&otherStatus, 30); }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(otherStatus, 0x102u);
    sdk->Unlock();
    sdk->Unlock();

    // A thread that ends holding the lock abandons it: the next call fails
    // once with 0x80, the one after succeeds.
    std::thread([&] { sdk->Lock(&otherStatus, 100); }).join();
    EXPECT_EQ(sdk->Lock(&status, 100), 0);
    EXPECT_EQ(status, 0x80u);
    EXPECT_EQ(sdk->Lock(&status, 100), 1);
    EXPECT_EQ(status, 0u);
    sdk->Unlock();

    HANDLE saved = sdk->m_hMutex;
    sdk->m_hMutex = nullptr;  // as when creation failed
    EXPECT_EQ(sdk->Lock(&status, 100), 0);
    EXPECT_EQ(status, 6u);
    sdk->m_hMutex = saved;
}

bool namespaceHas(const std::string& name) {
    return access(vexa::platform::objectPath("mutex", name).c_str(), F_OK) == 0;
}

TEST_F(Root, GlobalMutexNamesFollowTheWindowsVersion) {
    // Windows 10 (the default): one object for every session.
    EXPECT_TRUE(namespaceHas("Global\\BRENIKSDK"));
    ReleaseSDK();

    vexa::machine::WindowsIdentity identity;
    identity.majorVersion = 5;
    identity.minorVersion = 0;  // Windows 2000
    vexa::platform::testing::overrideWindowsIdentity(identity);
    sdk = GetSDK();
    EXPECT_NE(sdk->m_hMutex, nullptr);
    EXPECT_TRUE(namespaceHas("BRENIKSDK"));
    EXPECT_FALSE(namespaceHas("Global\\BRENIKSDK"));
    ReleaseSDK();

    identity.minorVersion = 1;  // Windows XP
    vexa::platform::testing::overrideWindowsIdentity(identity);
    HANDLE xp = BRENIKSDK::CreateGlobalMutex(0, "Access_MUX");
    EXPECT_TRUE(namespaceHas("Global\\Access_MUX"));
    CloseHandle(xp);

    identity.platformId = 1;  // Windows 9x: plain name, plain mutex
    identity.majorVersion = 4;
    identity.minorVersion = 10;
    vexa::platform::testing::overrideWindowsIdentity(identity);
    vexa::platform::testing::hideLibrary("advapi32.dll");
    HANDLE nine = BRENIKSDK::CreateGlobalMutex(1, "Asus_ROG");
    EXPECT_NE(nine, nullptr);
    EXPECT_TRUE(namespaceHas("Asus_ROG"));
    CloseHandle(nine);

    identity.platformId = 0;  // Win32s: no mutex at all
    vexa::platform::testing::overrideWindowsIdentity(identity);
    EXPECT_EQ(BRENIKSDK::CreateGlobalMutex(0, "Access_Apple_SMC"), nullptr);
    sdk = GetSDK();
    EXPECT_EQ(sdk->m_hMutex, nullptr);
}

TEST_F(Root, SecuredMutexNeedsEverySecurityFunction) {
    HANDLE first = CreateSecuredMutex(0, "secured");
    ASSERT_NE(first, nullptr);
    HANDLE second = CreateSecuredMutex(0, "secured");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);  // kept through the clean-up
    CloseHandle(second);
    CloseHandle(first);

    for (const char* entry : {"AllocateAndInitializeSid", "FreeSid", "GetLengthSid", "InitializeAcl",
                              "InitializeSecurityDescriptor", "SetSecurityDescriptorDacl", "AddAce"}) {
        vexa::platform::testing::hideExport("advapi32.dll", entry);
        EXPECT_EQ(CreateSecuredMutex(0, "secured"), nullptr) << entry;
        vexa::platform::testing::restoreLibraries();
    }
    vexa::platform::testing::hideLibrary("advapi32.dll");
    EXPECT_EQ(CreateSecuredMutex(0, "secured"), nullptr);
}

TEST_F(Root, AdoptingAnInterfaceHoldsTheDomainPointerDuringInit) {
    CDMIInterface* dmi = nullptr;  // stands for any domain pointer
    auto** member = reinterpret_cast<FakeInterface**>(&dmi);
    FakeInterface* seenInside = nullptr;
    auto* failing = new FakeInterface(INTERFACE_DMI, "dmi", [&] {
        seenInside = *member;
        return 0;
    });
    EXPECT_EQ(sdk->AdoptInterface(failing, member, true, [](FakeInterface* i) { return i->Init(); }), 0);
    EXPECT_EQ(seenInside, failing);
    EXPECT_EQ(dmi, nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"delete dmi"}));
    EXPECT_EQ(sdk->FindInterface(INTERFACE_DMI), nullptr);

    // Stored after success only: not visible while Init runs.
    auto* pci = new FakeInterface(INTERFACE_PCI, "pci", [&] {
        seenInside = *member;
        return 1;
    });
    EXPECT_EQ(sdk->AdoptInterface(pci, member, false, [](FakeInterface* i) { return i->Init(); }), 1);
    EXPECT_EQ(seenInside, nullptr);
    EXPECT_EQ(*member, pci);

    // Storage has no domain pointer and is found by its type alone.
    auto* storage = new FakeInterface(INTERFACE_STORAGE, "storage");
    EXPECT_EQ(sdk->AdoptInterface<FakeInterface>(storage, nullptr, false,
                                                 [](FakeInterface* i) { return i->Init(); }),
              1);
    EXPECT_EQ(sdk->FindInterface(0x10), storage);
    EXPECT_EQ(sdk->FindInterface(0x11), nullptr);  // equality, not a bit test
}

TEST_F(Root, HardwareMonitorDomainWithoutPCIIsListed) {
    EXPECT_EQ(sdk->CreateHardwareMonitorInterface(0, 0, 0), 1);
    ASSERT_NE(sdk->m_pHardwareMonitor, nullptr);
    EXPECT_EQ(sdk->FindInterface(INTERFACE_HARDWARE_MONITOR), sdk->m_pHardwareMonitor);
}

// The display domain exists without a PCI domain: no adapter, and listed.
TEST_F(Root, DisplayDomainWithoutPCIHasNoAdapter) {
    EXPECT_EQ(sdk->CreateDisplayInterface(1), 1);
    ASSERT_NE(sdk->m_pDisplay, nullptr);
    EXPECT_EQ(sdk->m_pDisplay->Adapters->GetCount(), 0u);
    EXPECT_EQ(sdk->FindInterface(INTERFACE_DISPLAY), sdk->m_pDisplay);
}

TEST_F(Root, CloseRestoresCommandsThenClosesInterfacesInOrderAndDeletesNothing) {
    sdk->m_pCommands->AddTail(new FakeCommand("hide smbus"));
    sdk->m_pCommands->AddTail(new FakeCommand("ecs"));
    for (const char* name : {"software", "pci", "cpu"}) {
        sdk->AdoptInterface<FakeInterface>(new FakeInterface(0x1, name), nullptr, false,
                                           [](FakeInterface* i) { return i->Init(); });
    }
    sdk->Close();
    EXPECT_EQ(events, (std::vector<std::string>{"restore hide smbus", "restore ecs", "close software",
                                                "close pci", "close cpu"}));
    events.clear();
    ReleaseSDK();
    sdk = nullptr;
    // Commands are the last list the root deletes.
    EXPECT_EQ(events, (std::vector<std::string>{"delete software", "delete pci", "delete cpu",
                                                "delete hide smbus", "delete ecs"}));
}

TEST_F(Root, SpacesAreFoundByBaseAndTypeOrClass) {
    auto* port = new FakeIOSpace(IOSPACE_PORT, 0x400);
    auto* memory = new FakeIOSpace(IOSPACE_MEMORY, 0x400);
    sdk->m_pIOSpaces->AddTail(port);
    sdk->m_pIOSpaces->AddTail(memory);
    EXPECT_EQ(sdk->FindIOSpace(0, 0x400, 0xFFFFFFFF), port);
    EXPECT_EQ(sdk->FindIOSpace(0, 0x400, IOSPACE_MEMORY), memory);
    EXPECT_EQ(sdk->FindIOSpace(1, 0x400, IOSPACE_MEMORY), nullptr);

    auto* smbus = new CRegisterSpace(REGSPACE_SMBUS, port);
    auto* lpc = new CRegisterSpace(REGSPACE_LPC, port);
    auto* smbus2 = new CRegisterSpace(REGSPACE_SMBUS, memory);
    auto* bare = new CRegisterSpace(REGSPACE_PCI, nullptr);
    for (CRegisterSpace* s : {smbus, lpc, smbus2, bare}) sdk->m_pRegisterSpaces->AddTail(s);
    EXPECT_EQ(sdk->FindRegisterSpace(0, 0x400, REGSPACE_LPC), lpc);
    EXPECT_EQ(sdk->FindRegisterSpace(0, 0x400, 0xFFFFFFFF), smbus);
    EXPECT_EQ(sdk->FindRegisterSpace(0xFFFFFFFF, 0xFFFFFFFF, REGSPACE_PCI), bare);

    EXPECT_EQ(sdk->GetRegisterSpaces(REGSPACE_SMBUS, nullptr), 2);
    CTList<CRegisterSpace> found;
    found.AddTail(lpc);
    EXPECT_EQ(sdk->GetRegisterSpaces(REGSPACE_SMBUS, &found), 2);
    CTListIterator<CRegisterSpace> it(&found);
    EXPECT_EQ(it.GetFirst(), smbus);  // what it held before is dropped
    EXPECT_EQ(it.GetNext(), smbus2);
    found.RemoveAll();  // the root keeps owning them
}

TEST_F(Root, TimersDevicesAndMemoryModules) {
    sdk->m_pTimers->AddTail(new CTimer(TIMER_TSC, -1.0, 0));
    auto* pm = new CTimer(TIMER_ACPI_PM, 3579545.0, 16777215.0);
    sdk->m_pTimers->AddTail(pm);
    EXPECT_EQ(sdk->GetACPITimer(), pm);
    EXPECT_EQ(sdk->GetHPETTimer(), nullptr);
    EXPECT_EQ(sdk->GetSystemTimer(), nullptr);
    EXPECT_EQ(sdk->GetPerformanceTimer(), nullptr);

    CModuleInfo ddr2, ddr3;
    ddr2.m_iIndex = 1;
    ddr2.m_iMemoryType = 8;
    ddr3.m_iIndex = 1;
    ddr3.m_iMemoryType = 9;
    auto* bare = new CMemoryModule;  // no record: skipped
    auto* first = new CMemoryModule;
    auto* second = new CMemoryModule;
    first->m_pModuleInfo = &ddr2;
    second->m_pModuleInfo = &ddr3;
    sdk->m_pDevices->AddTail(new CMainboard("board"));
    sdk->m_pDevices->AddTail(bare);
    sdk->m_pDevices->AddTail(first);
    sdk->m_pDevices->AddTail(second);
    EXPECT_EQ(BRENIKSDK::FindMemoryModule(1, 9), second);
    EXPECT_EQ(BRENIKSDK::FindMemoryModule(1, 8), first);
    EXPECT_EQ(BRENIKSDK::FindMemoryModule(0, 8), nullptr);

    EXPECT_EQ(sdk->RemoveDevice(bare), 1);
    EXPECT_EQ(sdk->RemoveDevice(bare), 0);
    delete bare;
}

} // namespace
