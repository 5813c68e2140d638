// The NVIDIA GPU register window an image places ("memory_devices.
// nvidia_gpu"): the manifest's checks, and the x58 sample's GeForce 210
// window and video BIOS seen through physical memory.
#include "machine/image_loader.h"
#include "machine/manifest.h"

#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vexa::machine {
namespace {

TEST(NvidiaGpuManifest, MistakesNameTheKey) {
    struct Case {
        const char* section;
        const char* message;
    };
    const Case cases[] = {
        {R"({"base": "0xFA000000"})", "memory_devices.nvidia_gpu: \"function\" is required"},
        {R"({"function": "06:00.0"})", "memory_devices.nvidia_gpu: \"base\" is required"},
        {R"({"function": "6:0", "base": "0xFA000000"})", "memory_devices.nvidia_gpu.function: \"6:0\" is not"},
        {R"({"function": "06:00.0", "base": "0xFA800000"})", "memory_devices.nvidia_gpu.base: must be a non-zero"},
        {R"({"function": "06:00.0", "base": "0xFA000000", "size": "0x1800000"})",
         "memory_devices.nvidia_gpu.size: must be a power of two"},
        {R"({"function": "06:00.0", "base": "0xFA000000", "registers": {"0x2": 1}})",
         "memory_devices.nvidia_gpu.registers.0x2: the offset must be a multiple of 4"},
        {R"({"function": "06:00.0", "base": "0xFA000000", "i2c": {"4": {}}})", "memory_devices.nvidia_gpu.i2c.4: out of range"},
        {R"({"function": "06:00.0", "base": "0xFA000000", "i2c": {"0": {"0x80": "00"}}})",
         "memory_devices.nvidia_gpu.i2c.0.0x80: out of range"},
        {R"({"function": "06:00.0", "base": "0xFA000000", "i2c": {"0": {"0x50": {"path": "x"}}}})",
         "memory_devices.nvidia_gpu.i2c.0.0x50.path: unknown key"},
        {R"({"function": "06:00.0", "base": "0xFA000000", "size": "0x200000", "rom": "vbios.rom"})",
         "memory_devices.nvidia_gpu.rom: the window is too small"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(std::string(R"({"memory_devices": {"nvidia_gpu": )") + c.section + "}}", manifest, error));
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
    }
}

class X58Graphics : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        machine_ = loadImage(test::sourcePath("machines/x58-nehalem"), error);
        ASSERT_TRUE(machine_) << error;
    }
    uint32_t Dword(uint64_t address) {
        uint8_t bytes[4] = {};
        EXPECT_TRUE(machine_->readPhysical(address, bytes)) << std::hex << address;
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
    uint32_t ConfigDword(unsigned reg) {
        uint8_t bytes[4];
        EXPECT_TRUE(machine_->readPciConfig(kGpu, reg, bytes));
        uint32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
    static constexpr PciAddress kGpu{6, 0, 0};
    std::unique_ptr<Machine> machine_;
};

TEST_F(X58Graphics, RegisterWindowAnswersWhereBar0PointsWithTheChipsRevision) {
    const uint32_t base = ConfigDword(0x10) & 0xFFFFFFF0u;
    EXPECT_EQ(Dword(base) & 0xFF, ConfigDword(0x08) & 0xFF) << "the boot word's revision is the PCI revision";
    EXPECT_EQ(Dword(base + 0xE138) & 0x3, 0x3u) << "bus 0 idle: both lines high";
    EXPECT_EQ(Dword(base + 0x20400) & 0xFF, 45u);
}

TEST_F(X58Graphics, VideoBiosIsAnOptionRomOfTheGpu) {
    const uint64_t rom = (ConfigDword(0x10) & 0xFFFFFFF0u) + 0x300000;
    EXPECT_EQ(Dword(rom) & 0xFFFF, 0xAA55u);
    const uint64_t pcir = rom + (Dword(rom + 0x18) & 0xFFFF);
    EXPECT_EQ(Dword(pcir), 0x52494350u) << "\"PCIR\"";
    EXPECT_EQ(Dword(pcir + 4), ConfigDword(0x00)) << "vendor and device as configuration space has them";
    EXPECT_EQ(Dword(pcir + 0xC) >> 8, ConfigDword(0x08) >> 8) << "class code";
    uint8_t sum = 0;
    const uint32_t length = (Dword(rom) >> 16 & 0xFF) * 512;
    for (uint32_t offset = 0; offset < length; offset += 4) {
        const uint32_t dword = Dword(rom + offset);
        sum = uint8_t(sum + (dword & 0xFF) + (dword >> 8 & 0xFF) + (dword >> 16 & 0xFF) + (dword >> 24));
    }
    EXPECT_EQ(sum, 0);
}

} // namespace
} // namespace vexa::machine
