// PCI configuration space of the host through a fake sysfs devices folder:
// one open per function however many registers are read, absent functions
// found from the folder's listing, writes that reach the file, and a bound
// on the descriptors kept.
#include "machine/host_pci_config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace vexa::machine {
namespace {

namespace fs = std::filesystem;

class HostPciConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        devices_ = fs::temp_directory_path() / "pci-devices";
        fs::remove_all(devices_);
        fs::create_directories(devices_);
    }
    void TearDown() override { fs::remove_all(devices_); }

    // A function whose space is `size` bytes, byte i holding (seed + i) & 0xFF.
    void addFunction(const std::string& name, size_t size, uint8_t seed) const {
        fs::create_directories(devices_ / name);
        std::string config(size, '\0');
        for (size_t i = 0; i < size; ++i) config[i] = char(uint8_t(seed + i));
        std::ofstream(devices_ / name / "config", std::ios::binary) << config;
    }
    static std::string name(PciAddress fn) {
        char text[16];
        std::snprintf(text, sizeof text, "0000:%02x:%02x.%x", fn.bus, fn.device, fn.function);
        return text;
    }
    static size_t openDescriptors() {
        return size_t(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
    }

    fs::path devices_;
};

TEST_F(HostPciConfigTest, BusWalkOpensEachPresentFunctionOnce) {
    addFunction("0000:00:00.0", 256, 0x10);
    addFunction("0000:00:1f.3", 256, 0x20);
    addFunction("0000:02:00.0", 4096, 0x30);
    addFunction("0001:00:01.0", 256, 0x40);  // another domain: not seen
    fs::create_directories(devices_ / "not-a-function");
    HostPciConfig config(devices_.string());

    unsigned present = 0;
    for (unsigned bus = 0; bus < 256; ++bus) {
        for (unsigned device = 0; device < 32; ++device) {
            const PciAddress fn{uint8_t(bus), uint8_t(device), 0};
            uint8_t id[4] = {0, 0, 0, 0};
            ASSERT_TRUE(config.read(fn, 0, id));
            if (id[0] != 0xFF) ++present;
        }
    }
    EXPECT_EQ(present, 2u);  // 00:00.0 and 02:00.0; 00:1f.3 is not a function 0
    for (unsigned offset = 0; offset < 4096; offset += 4) {
        uint8_t dword[4];
        ASSERT_TRUE(config.read(PciAddress{2, 0, 0}, offset, dword));
        EXPECT_EQ(dword[3], uint8_t(0x30 + offset + 3));
        ASSERT_TRUE(config.read(PciAddress{0, 0x1f, 3}, offset, dword));
        EXPECT_EQ(dword[0], offset < 256 ? uint8_t(0x20 + offset) : 0xFF) << offset;
    }
    uint8_t straddling[4];
    ASSERT_TRUE(config.read(PciAddress{0, 0x1f, 3}, 0xFE, straddling));
    EXPECT_EQ(straddling[1], uint8_t(0x20 + 0xFF));
    EXPECT_EQ(straddling[2], 0xFF);
    EXPECT_EQ(config.opens(), 3u);
}

TEST_F(HostPciConfigTest, WritesReachTheFunctionAndLaterReadsSeeThem) {
    addFunction("0000:00:1f.3", 256, 0);
    HostPciConfig config(devices_.string());
    const PciAddress smbus{0, 0x1f, 3};
    uint8_t value[1];
    ASSERT_TRUE(config.read(smbus, 0x40, value));
    EXPECT_EQ(value[0], 0x40);
    const uint8_t written[2] = {0x5A, 0xA5};
    ASSERT_TRUE(config.write(smbus, 0x40, written));
    ASSERT_TRUE(config.read(smbus, 0x41, value));
    EXPECT_EQ(value[0], 0xA5);
    std::ifstream file(devices_ / "0000:00:1f.3" / "config", std::ios::binary);
    file.seekg(0x40);
    EXPECT_EQ(file.get(), 0x5A);

    // An absent function takes the write nowhere.
    ASSERT_TRUE(config.write(PciAddress{0, 3, 0}, 0x40, written));
    EXPECT_FALSE(fs::exists(devices_ / "0000:00:03.0"));
    EXPECT_EQ(config.opens(), 2u);
}

TEST_F(HostPciConfigTest, FunctionAddedLaterIsFoundOnceTheListingIsOld) {
    HostPciConfig config(devices_.string(), std::chrono::milliseconds(0));
    uint8_t id[2];
    ASSERT_TRUE(config.read(PciAddress{5, 0, 0}, 0, id));
    EXPECT_EQ(id[0], 0xFF);
    addFunction("0000:05:00.0", 256, 0x86);
    ASSERT_TRUE(config.read(PciAddress{5, 0, 0}, 0, id));
    EXPECT_EQ(id[0], 0x86);
}

TEST_F(HostPciConfigTest, KeepsABoundedNumberOfDescriptors) {
    constexpr unsigned kFunctions = 3 * HostPciConfig::kMaxOpenFunctions;
    for (unsigned i = 0; i < kFunctions; ++i) addFunction(name(PciAddress{uint8_t(1 + i / 32), uint8_t(i % 32), 0}), 256, uint8_t(i));
    const size_t before = openDescriptors();
    HostPciConfig config(devices_.string());
    for (int round = 0; round < 2; ++round) {
        for (unsigned i = 0; i < kFunctions; ++i) {
            uint8_t first[1];
            ASSERT_TRUE(config.read(PciAddress{uint8_t(1 + i / 32), uint8_t(i % 32), 0}, 0, first));
            EXPECT_EQ(first[0], uint8_t(i));
        }
    }
    EXPECT_LE(openDescriptors(), before + HostPciConfig::kMaxOpenFunctions);
}

} // namespace
} // namespace vexa::machine
