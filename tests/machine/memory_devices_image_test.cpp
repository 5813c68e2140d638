// Memory-mapped devices placed by a machine image's "memory_devices"
// section: the manifest's keys and checks, the loader's placement, and the
// devices of machines/x58-nehalem seen through physical memory.
#include "machine/image_loader.h"
#include "machine/manifest.h"

#include "tests/support/image_dir.h"
#include "tests/support/manual_clock_guard.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vexa::machine {
namespace {

template <typename Value>
Value physical(Machine& machine, uint64_t address) {
    uint8_t bytes[sizeof(Value)];
    EXPECT_TRUE(machine.readPhysical(address, bytes)) << std::hex << address;
    Value value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// ---- The manifest ----

TEST(MemoryDevicesManifest, BareBasesTakeTheDefaults) {
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest(
        R"({"memory_devices": {"hpet": "0xFED00000", "local_apic": 4276092928, "ecam": "0xE0000000"}})", manifest,
        error))
        << error;
    EXPECT_EQ(manifest.memoryDevices.hpet, HpetSettings{});
    EXPECT_EQ(manifest.memoryDevices.localApic, LocalApicSettings{});
    EXPECT_EQ(manifest.memoryDevices.ecam, EcamSettings{});

    ASSERT_TRUE(parseManifest("{}", manifest, error));
    EXPECT_FALSE(manifest.memoryDevices.hpet || manifest.memoryDevices.localApic || manifest.memoryDevices.ecam);
}

TEST(MemoryDevicesManifest, ObjectsSetEveryKey) {
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest(R"({"memory_devices": {
        "hpet": {"base": "0xFED01000", "period_fs": "41666667", "vendor_id": "0x1022", "timers": 8, "enabled": false},
        "local_apic": {"base": "0xFEE00000", "version": "0x01060015"},
        "ecam": {"base": "0xF8000000", "buses": 64}}})",
                              manifest, error))
        << error;
    EXPECT_EQ(manifest.memoryDevices.hpet,
              (HpetSettings{.base = 0xFED01000, .periodFs = 41666667, .vendorId = 0x1022, .timers = 8, .enabled = false}));
    EXPECT_EQ(manifest.memoryDevices.localApic, (LocalApicSettings{.base = 0xFEE00000, .version = 0x01060015}));
    EXPECT_EQ(manifest.memoryDevices.ecam, (EcamSettings{.base = 0xF8000000, .buses = 64}));
}

TEST(MemoryDevicesManifest, MistakesNameTheKey) {
    struct Case {
        const char* section;
        const char* message;
    };
    const Case cases[] = {
        {R"({"hpet": "0xFED00000", "hpett": 1})", "memory_devices.hpett: unknown key"},
        {R"({"hpet": {"period_fs": 69841279}})", "memory_devices.hpet: \"base\" is missing"},
        {R"({"hpet": {"base": 0, "period_fs": 0}})", "memory_devices.hpet.period_fs: must be at least 1"},
        {R"({"hpet": {"base": 0, "period_fs": 100000001}})", "memory_devices.hpet.period_fs: out of range"},
        {R"({"hpet": {"base": 0, "timers": 0}})", "memory_devices.hpet.timers: must be at least 1"},
        {R"({"hpet": {"base": 0, "timers": 33}})", "memory_devices.hpet.timers: out of range"},
        {R"({"hpet": {"base": 0, "vendor_id": "0x10000"}})", "memory_devices.hpet.vendor_id: out of range"},
        {R"({"hpet": {"base": 0, "enabled": 1}})", "memory_devices.hpet.enabled: expected true or false"},
        {R"({"hpet": "0xFFFFFFFFFFFFFF00"})", "memory_devices.hpet: the device runs past the end"},
        {R"({"local_apic": {"base": 0, "version": -1}})", "memory_devices.local_apic.version: expected"},
        {R"({"local_apic": {"base": 0, "id": 1}})", "memory_devices.local_apic.id: unknown key"},
        {R"({"ecam": "0xE0080000"})", "memory_devices.ecam: the base must be a multiple of 1 MiB"},
        {R"({"ecam": {"base": 0, "buses": 0}})", "memory_devices.ecam.buses: must be at least 1"},
        {R"({"ecam": {"base": 0, "buses": 257}})", "memory_devices.ecam.buses: out of range"},
        {R"({"ecam": {"base": "0xFFFFFFFFF0100000", "buses": 256}})", "memory_devices.ecam: the window runs past"},
        {R"(["hpet"])", "memory_devices: expected an object"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(std::string(R"({"memory_devices": )") + c.section + "}", manifest, error));
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
    }
}

// ---- Loading ----

TEST(MemoryDevicesImage, DevicesMayOverlapNeitherMemoryNorEachOther) {
    struct Case {
        const char* manifest;
        const char* message;
    };
    const Case cases[] = {
        {R"({"memory": [{"base": "0xFED00000", "size": "0x1000"}], "memory_devices": {"hpet": "0xFED00800"}})",
         "memory_devices.hpet: overlaps memory[0]"},
        {R"({"memory_devices": {"hpet": "0xFEE00000", "local_apic": "0xFEE00000"}})",
         "memory_devices.local_apic: local APIC at 0xFEE00000-0xFEE00FFF overlaps HPET"},
        {R"({"memory_devices": {"local_apic": "0xE0100000", "ecam": {"base": "0xE0000000", "buses": 2}}})",
         "memory_devices.ecam: PCI Express configuration window at 0xE0000000-0xE01FFFFF overlaps local APIC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest);
        test::ImageDir image;
        image.write("machine.json", c.manifest);
        const std::string error = image.loadError();
        EXPECT_NE(error.find("/machine.json: " + std::string(c.message)), std::string::npos) << error;
    }
}

TEST(MemoryDevicesImage, DevicesAnswerInPlaceOfMemoryAndTheRestStaysRam) {
    test::ImageDir image;
    image.write("machine.json", R"({
      "memory": [{"base": "0xFED00400", "size": "0xC00", "fill": "0x5A"}],
      "memory_devices": {"hpet": "0xFED00000"}})");
    const auto machine = image.load();
    ASSERT_TRUE(machine);
    EXPECT_EQ(physical<uint32_t>(*machine, 0xFED00004), HpetSettings::kPeriod14MHz);
    EXPECT_EQ(physical<uint32_t>(*machine, 0xFED00400), 0x5A5A5A5Au);
    uint8_t bytes[8];
    EXPECT_FALSE(machine->readPhysical(0xFED003FC, bytes)) << "from the HPET into RAM";
    EXPECT_FALSE(machine->readPhysical(0xFECFFFFC, bytes)) << "from nothing into the HPET";
}

// ---- machines/x58-nehalem ----

class X58MemoryDevices : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        machine_ = loadImage(test::sourcePath("machines/x58-nehalem"), error);
        ASSERT_TRUE(machine_) << error;
    }

    uint32_t configDword(PciAddress function, unsigned reg) {
        uint8_t bytes[4];
        EXPECT_TRUE(machine_->readPciConfig(function, reg, bytes));
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }

    static constexpr uint64_t kHpet = 0xFED00000, kApic = 0xFEE00000, kEcam = 0xE0000000;
    std::unique_ptr<Machine> machine_;
};

TEST_F(X58MemoryDevices, HpetCountsAt14MHzFromTheClock) {
    test::ManualClockGuard time(0);
    EXPECT_EQ(physical<uint32_t>(*machine_, kHpet + 4), 69841279u);
    EXPECT_EQ(physical<uint32_t>(*machine_, kHpet) & 0xFFFF0000u, 0x80860000u);
    EXPECT_EQ(physical<uint64_t>(*machine_, kHpet + 0x10) & 1, 1u) << "running";
    const uint64_t before = physical<uint64_t>(*machine_, kHpet + 0xF0);
    time.clock().advanceNs(250'000'000);
    EXPECT_EQ(physical<uint64_t>(*machine_, kHpet + 0xF0) - before, 3'579'544u);  // 250 ms at 14.31818 MHz
}

TEST_F(X58MemoryDevices, ApicPageIsTheBootstrapProcessors) {
    EXPECT_EQ(physical<uint32_t>(*machine_, kApic + 0x20), machine_->cpuid(0, 1, 0).ebx & 0xFF000000u);
    EXPECT_EQ(physical<uint32_t>(*machine_, kApic + 0x30), 0x00060015u);
}

TEST_F(X58MemoryDevices, EcamWindowReachesEveryFunctionAndItsExtendedSpace) {
    const PciAddress functions[] = {{0, 0, 0}, {0, 1, 0}, {0, 0x1f, 3}, {0xff, 0, 0}, {0xff, 4, 0}};
    for (const PciAddress& function : functions)
        for (unsigned reg : {0x00u, 0x0Cu, 0x100u, 0x150u, 0xFFCu})
            EXPECT_EQ(physical<uint32_t>(*machine_, kEcam + pciLinear(function, reg)), configDword(function, reg))
                << int(function.bus) << ":" << int(function.device) << "." << int(function.function) << " "
                << std::hex << reg;
    EXPECT_EQ(physical<uint32_t>(*machine_, kEcam + pciLinear(PciAddress{0x40, 0, 0}, 0)), 0xFFFFFFFFu);
    EXPECT_EQ(physical<uint32_t>(*machine_, kEcam + (256u << 20) - 4), 0xFFFFFFFFu) << "bus 255, last dword";
    uint8_t bytes[4];
    EXPECT_FALSE(machine_->readPhysical(kEcam + (256u << 20), bytes)) << "past the 256 buses";
}

TEST_F(X58MemoryDevices, MemoryAccessesAreLoggedAndFaultable) {
    machine_->setLogging(true);
    machine_->injectFault(Fault{AccessKind::Memory, AccessDir::Read, kHpet + 0xF0, kHpet + 0xF7});
    uint8_t bytes[8];
    EXPECT_FALSE(machine_->readPhysical(kHpet + 0xF0, bytes));
    EXPECT_TRUE(machine_->readPhysical(kHpet, bytes));
    const auto log = machine_->accessLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].kind, AccessKind::Memory);
    EXPECT_FALSE(log[0].ok);
    EXPECT_EQ(log[1].address, kHpet);
    EXPECT_TRUE(log[1].ok);
}

} // namespace
} // namespace vexa::machine
