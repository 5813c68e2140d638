// The detection scan and the shut-down of the query layer, in the test
// process: the domains this build has, the scan's failures, and the order
// in which Close stops, restores and deletes.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/local_info_parser.h"
#include "app/scan_rules.h"
#include "app/settings.h"
#include "platform/sync.h"
#include "platform/testing.h"
#include "sdk/core/device.h"
#include "sdk/core/interface.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/command.h"
#include "tests/app/app_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace {

using vexa::test::driverFolderExists;
using vexa::test::driverServiceExists;

// The x58 sample's processors with the given manifest.
std::unique_ptr<vexa::machine::Machine> SampleWith(const std::string& manifest) {
    vexa::test::ImageDir image;
    image.write("machine.json", manifest);
    image.write("cpuid.txt", vexa::test::readFile(vexa::test::sourcePath("machines/x58-nehalem/cpuid.txt")));
    return image.load();
}

struct QueryLayer {
    VexaSettings settings;
    int noValidation = 0;
    CLocalInfoParser parser{settings, noValidation};
};

// Leaves the library mutex abandoned: a thread takes it and ends.
void AbandonLibraryLock() {
    HANDLE mutex = GetSDK()->m_hMutex;
    std::thread([mutex] { WaitForSingleObject(mutex, INFINITE); }).join();
}

// With the SMBIOS domain off the mainboard has the plain name and no board
// keys, so no board rule applies.
TEST(Scan, RunsWithoutTheDriverAndNamesTheMainboard) {
    vexa::machine::ScopedMachine machine(SampleWith(R"({"os": {"memory_mb": 3071.0}})"));
    QueryLayer layer;
    layer.settings.DMI = 0;
    int error = -1, detail = -1;
    EXPECT_EQ(layer.parser.Scan(&error, &detail), 1);
    EXPECT_EQ(error, SCAN_ERROR_NONE);
    EXPECT_EQ(detail, 0);
    CMainboard* mainboard = GetSDK()->m_pMainboard;
    ASSERT_TRUE(mainboard);
    EXPECT_STREQ(mainboard->GetName(), "Mainboard");
    EXPECT_EQ(mainboard->m_dwBoardHash, 0xFFFFFFFFu);
    EXPECT_EQ(mainboard->m_dwBoardByteSum, 0xFFFFFFFFu);
    EXPECT_EQ(layer.parser.GetTotalMemoryMB(), 3072);
    EXPECT_EQ(layer.settings.SMBus, 1);
    EXPECT_EQ(layer.settings.PCI, 1);
    EXPECT_EQ(layer.parser.Lock(2000), 1) << "the scan released the library lock";
    layer.parser.Unlock();
    layer.parser.Close();
}

TEST(Scan, AcpiSwitchedOffRefusesTheValidationRecord) {
    QueryLayer layer;
    layer.settings.ACPI = 0;
    int error = 0, detail = 0;
    EXPECT_EQ(layer.parser.Scan(&error, &detail), 1);
    EXPECT_EQ(layer.noValidation, 1);
    layer.parser.Close();
}

TEST(Scan, FailsWithoutTheLibraryLock) {
    struct Case {
        const char* name;
        void (*breakLock)();
        int detail;
    };
    const Case cases[] = {
        {"abandoned", AbandonLibraryLock, 0x80},
        {"never created",
         [] {
             CloseHandle(GetSDK()->m_hMutex);
             GetSDK()->m_hMutex = nullptr;
         },
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QueryLayer layer;
        c.breakLock();
        int error = 0, detail = 0;
        EXPECT_EQ(layer.parser.Scan(&error, &detail), 0);
        EXPECT_EQ(error, SCAN_ERROR_LIBRARY_LOCK);
        EXPECT_EQ(detail, c.detail);
        EXPECT_FALSE(GetSDK()->m_pMainboard) << "nothing is created";
        layer.parser.Close();
    }
}

// A driver of another version is removed at once, and both locks are free
// again.
TEST(Scan, WrongDriverVersionRemovesTheDriver) {
    vexa::machine::ScopedMachine machine(SampleWith(R"({"driver": {"version": 311}})"));
    QueryLayer layer;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Init(&error), 1) << error;
    ASSERT_TRUE(driverServiceExists());
    EXPECT_EQ(layer.parser.Scan(&error, &detail), 0);
    EXPECT_EQ(error, SCAN_ERROR_DRIVER_VERSION);
    EXPECT_FALSE(driverServiceExists());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::temp_directory_path() / "vexa138" / "vexa138_x64.sys"));
    int lockedElsewhere = 0;
    std::thread([&] {
        lockedElsewhere = layer.parser.Lock(0);
        if (lockedElsewhere) layer.parser.Unlock();
    }).join();
    EXPECT_EQ(lockedElsewhere, 1);
    layer.parser.Close();
    EXPECT_FALSE(driverFolderExists());
}

TEST(ScanRules, LimitedModeForVirtualMachines) {
    EXPECT_FALSE(IsLimitedMachine(0));
    EXPECT_TRUE(IsLimitedMachine(1));
    EXPECT_TRUE(IsLimitedMachine(2));
    EXPECT_FALSE(IsLimitedMachine(3));
    VexaSettings settings;
    EnterLimitedMode(settings);
    EXPECT_EQ(settings.PCI, 0);
    EXPECT_EQ(settings.ACPI, 0);
    EXPECT_EQ(settings.SMBus, 0);
    EXPECT_EQ(settings.Sensor, 0);
    EXPECT_EQ(settings.Display, 0);
    EXPECT_EQ(settings.DMI, 1);
    EXPECT_EQ(settings.Chipset, 1);
    EXPECT_EQ(settings.SPD, 1);
}

TEST(ScanRules, BoardRules) {
    struct Case {
        uint32_t hash;
        int smbus;
        int pci;
    };
    const Case cases[] = {{0xB88438E0, 0, 1}, {0x504C8720, 1, 2}, {0xFFFFFFFF, 1, 1}, {0x12345678, 1, 1}};
    for (const Case& c : cases) {
        VexaSettings settings;
        ApplyBoardRules(c.hash, settings);
        EXPECT_EQ(settings.SMBus, c.smbus) << std::hex << c.hash;
        EXPECT_EQ(settings.PCI, c.pci) << std::hex << c.hash;
    }
}

TEST(ScanRules, SystemTimerWithinFivePercentIsPlausible) {
    const double nominal = 1193182.0;
    struct Case {
        double mean;
        bool plausible;
    };
    const Case cases[] = {
        {nominal, true},           {nominal * 1.05, true}, {nominal * 0.95, true},
        {nominal * 1.0501, false}, {nominal * 0.9499, false}, {-1.0, false},
    };
    for (const Case& c : cases) EXPECT_EQ(SystemTimerRateIsPlausible(c.mean, nominal), c.plausible) << c.mean;
}

// ---- Close ----

std::vector<std::string>& Events() {
    static std::vector<std::string> events;
    return events;
}

// A processor domain whose measurement thread keeps reading the root until
// the interface is closed.
class MeasuringProcessors : public CInterface {
public:
    MeasuringProcessors() : CInterface(INTERFACE_CPU) {
        thread_ = std::thread([this, root = GetSDK()] {
            while (!stop_) {
                reads_ += root->m_pDevices->GetCount() > 0 ? 1 : 0;
                std::this_thread::yield();
            }
        });
    }
    ~MeasuringProcessors() override {
        Events().push_back(thread_.joinable() ? "processors deleted while measuring" : "processors deleted");
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
    }
    int Init() override { return 1; }
    void Close() override {
        stop_ = true;
        thread_.join();
        Events().push_back("processor threads stopped");
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> reads_{0};
    std::thread thread_;
};

class ChipsetRecorder : public CInterface {
public:
    ChipsetRecorder() : CInterface(INTERFACE_CHIPSET) {}
    int Init() override { return 1; }
    void Close() override { Events().push_back("chipset closed"); }
};

class CommandRecorder : public CCommand {
public:
    int Save() override { return 1; }
    int Enable() override { return 1; }
    int Restore() override {
        Events().push_back("command restored");
        return 1;
    }
};

void AddDomainsToTheRoot() {
    BRENIKSDK* root = GetSDK();
    root->m_pInterfaces->AddTail(new MeasuringProcessors);
    root->m_pInterfaces->AddTail(new ChipsetRecorder);
    root->m_pCommands->AddTail(new CommandRecorder);
}

// With the driver lock, every change is restored and every interface closed
// before the root is deleted.
TEST(Close, WithTheDriverLockRestoresClosesAndRemovesTheDriver) {
    Events().clear();
    QueryLayer layer;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Init(&error), 1) << error;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);
    AddDomainsToTheRoot();
    const unsigned faultsBefore = vexa::platform::testing::unownedMutexReleases();
    layer.parser.Close();
    EXPECT_EQ(vexa::platform::testing::unownedMutexReleases(), faultsBefore) << "each lock released once";
    EXPECT_EQ(Events(), (std::vector<std::string>{"command restored", "processor threads stopped", "chipset closed",
                                                  "processors deleted"}));
    EXPECT_FALSE(driverServiceExists());
    EXPECT_FALSE(GetSDK()->m_pMainboard) << "a new root";
    ReleaseSDK();
}

// Without the driver lock no hardware state is restored, but the
// measurement threads still end before the root they read is deleted.
TEST(Close, WithoutTheDriverLockStillStopsTheMeasurementThreadsFirst) {
    Events().clear();
    QueryLayer layer;
    int error = 0, detail = 0;
    ASSERT_EQ(layer.parser.Scan(&error, &detail), 1);  // no driver installed: its lock fails
    AddDomainsToTheRoot();
    layer.parser.Close();
    EXPECT_EQ(Events(), (std::vector<std::string>{"processor threads stopped", "processors deleted"}));
    ReleaseSDK();
}

TEST(Close, BeforeAnyScanOnlyRemovesTheDriver) {
    QueryLayer layer;
    int error = 0;
    ASSERT_EQ(layer.parser.Init(&error), 1) << error;
    const unsigned faultsBefore = vexa::platform::testing::unownedMutexReleases();
    layer.parser.Close();
    EXPECT_FALSE(driverServiceExists());
    layer.parser.Close();  // a second time finds nothing left to do
    EXPECT_EQ(vexa::platform::testing::unownedMutexReleases(), faultsBefore);
}

} // namespace
