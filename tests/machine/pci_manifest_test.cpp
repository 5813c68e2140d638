// The manifest's "pci" section and its "memory_devices.rcba" key: how PCI
// configuration space is reached through the ports and which chipset
// registers hide functions.
#include "machine/manifest.h"

#include "tests/support/image_dir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vexa::machine {
namespace {

TEST(PciManifest, DefaultsAndEveryKey) {
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest("{}", manifest, error)) << error;
    EXPECT_EQ(manifest.pci.mechanism, 1u);
    EXPECT_FALSE(manifest.pci.extendedRegisterBits);
    EXPECT_FALSE(manifest.pci.lpcFunctionDisable);
    EXPECT_FALSE(manifest.memoryDevices.rcba);

    ASSERT_TRUE(parseManifest(R"({"pci": {"mechanism": 1, "extended_register_bits": true}})", manifest, error))
        << error;
    EXPECT_TRUE(manifest.pci.extendedRegisterBits);
    ASSERT_TRUE(parseManifest(R"({"pci": {"mechanism": "2", "lpc_function_disable": true}})", manifest, error))
        << error;
    EXPECT_EQ(manifest.pci.mechanism, 2u);
    EXPECT_TRUE(manifest.pci.lpcFunctionDisable);
    ASSERT_TRUE(parseManifest(R"({"memory_devices": {"rcba": "0xFED1C000"}})", manifest, error)) << error;
    EXPECT_EQ(manifest.memoryDevices.rcba, RcbaSettings{});
    ASSERT_TRUE(parseManifest(R"({"memory_devices": {"rcba": {"base": "0xFED18000", "function_disable": "0x1000008"}}})",
                              manifest, error))
        << error;
    EXPECT_EQ(manifest.memoryDevices.rcba, (RcbaSettings{.base = 0xFED18000, .functionDisable = 0x1000008}));
}

TEST(PciManifest, MistakesNameTheKey) {
    struct Case {
        const char* manifest;
        const char* message;
    };
    const Case cases[] = {
        {R"({"pci": {"mechanism": 0}})", "pci.mechanism: must be 1 or 2"},
        {R"({"pci": {"mechanism": 3}})", "pci.mechanism: out of range"},
        {R"({"pci": {"mechanism": 2, "extended_register_bits": true}})",
         "pci.extended_register_bits: only mechanism 1"},
        {R"({"pci": {"extended_register_bits": "yes"}})", "pci.extended_register_bits: expected true or false"},
        {R"({"pci": {"mechanisms": 1}})", "pci.mechanisms: unknown key"},
        {R"({"pci": [1]})", "pci: expected an object"},
        {R"({"pci": {"lpc_function_disable": true}, "memory_devices": {"rcba": "0xFED1C000"}})",
         "pci.lpc_function_disable: the LPC bridge's dword 0xF0 holds the root complex base"},
        {R"({"memory_devices": {"rcba": "0xFED1C100"}})", "memory_devices.rcba: the base must be a multiple of 16 KiB"},
        {R"({"memory_devices": {"rcba": "0x100000000"}})", "memory_devices.rcba: the base must be a multiple of 16 KiB"},
        {R"({"memory_devices": {"rcba": {"function_disable": 8}}})", "memory_devices.rcba: \"base\" is missing"},
        {R"({"memory_devices": {"rcba": {"base": 0, "function_disable": "0x100000000"}}})",
         "memory_devices.rcba.function_disable: out of range"},
        {R"({"memory_devices": {"rcba": {"base": 0, "fd": 8}}})", "memory_devices.rcba.fd: unknown key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest);
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(c.manifest, manifest, error));
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
    }
}

TEST(PciManifest, RootComplexBlockMayNotOverlapAnotherDevice) {
    test::ImageDir image;
    image.write("machine.json", R"({"memory_devices": {"hpet": "0xFED1C800", "rcba": "0xFED1C000"}})");
    const std::string error = image.loadError();
    EXPECT_NE(error.find("/machine.json: memory_devices.rcba: root complex register block at 0xFED1C000-0xFED1FFFF "
                         "overlaps HPET"),
              std::string::npos)
        << error;
}

TEST(PciManifest, ExtendedRegisterBitsReachTheExtendedSpaceThroughThePorts) {
    test::ImageDir image;
    std::string lspci = "00:18.3 Host bridge\n00: 22 10 03 12 00 00 00 00 00 00 00 06 00 00 80 00\n";
    lspci += "a0: 11 22 33 44 00 00 00 00 00 00 00 00 00 00 00 00\n";
    lspci += "1a0: 34 12 fe ca 00 00 00 00 00 00 00 00 00 00 00 00\n";
    image.write("lspci.txt", lspci);
    for (const bool extended : {false, true}) {
        image.write("machine.json", extended ? R"({"pci": {"extended_register_bits": true}})" : "{}");
        const auto machine = image.load();
        ASSERT_TRUE(machine);
        uint32_t value = 0;
        ASSERT_TRUE(machine->writePort(0xCF8, 4, 0x80000000u | 1u << 24 | 0x18 << 11 | 3 << 8 | 0xA0));
        ASSERT_TRUE(machine->readPort(0xCFC, 4, value));
        EXPECT_EQ(value, extended ? 0xCAFE1234u : 0x44332211u) << "register 0x1A0 or, without the bits, 0xA0";
    }
}

} // namespace
} // namespace vexa::machine
