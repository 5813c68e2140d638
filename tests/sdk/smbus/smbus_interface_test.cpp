// The SMBus domain on simulated machines: the controllers it finds from the
// chipset's PCI functions, the hidden function it shows and hides again,
// the configuration it puts back at close, and the modules of the x58
// sample read through it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "machine/devices/pci_config_ports.h"
#include "machine/lspci_dump.h"
#include "sdk/core/report_generator.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/smbus_device.h"
#include "sdk/hw/smbus_intel_ich.h"
#include "sdk/hw/smbus_interface.h"
#include "sdk/hw/smbus_transmeta.h"
#include "sdk/hw/smbus_via_ati.h"
#include "tests/sdk/pci/pci_test_support.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {
namespace {

using machine::AccessDir;
using machine::AccessKind;
using machine::PciAddress;

constexpr PciAddress kSmbus{0, 0x1F, 3};
constexpr const char* kSpdFile = "spd/DDR3-M391B1G73QH0-CMA.spd";  // the module at 0x52
// The x58 sample's modules at 0x50, 0x51 and 0x52.
constexpr const char* kX58SpdFiles[] = {"spd/DDR3-9905403-440.A00LF.spd", "spd/DDR3-M378B5173DB0-CK0.spd",
                                        kSpdFile};

class SMBusDomain : public PciTest {
protected:
    // The PCI domain scanned, then the SMBus domain through its creator.
    CSMBusInterface* CreateSMBus() {
        if (!scannedPCI()) return nullptr;
        EXPECT_EQ(sdk().CreateSMBusInterface(), 1);
        return sdk().m_pSMBus;
    }

    static std::vector<CSMBusRegisterSpace*> Controllers() {
        std::vector<CSMBusRegisterSpace*> found;
        CTList<CRegisterSpace> list;
        GetSDK()->GetRegisterSpaces(REGSPACE_SMBUS, &list);
        CTListIterator<CRegisterSpace> it(&list);
        for (CRegisterSpace* space = it.GetFirst(); space; space = it.GetNext())
            found.push_back(static_cast<CSMBusRegisterSpace*>(space));
        return found;
    }

    // The x58 sample with its files replaced where given; the SPD image
    // its modules are made of comes along.
    machine::Machine& StartX58With(const std::string& lspci, const std::string& manifest) {
        return startX58Variant(lspci, manifest);
    }

    // `text` with one 16-byte row of a function replaced by `row`.
    static std::string WithRow(std::string text, const std::string& function, const std::string& row) {
        const size_t header = text.find("\n" + function + " ");
        const size_t at = header == std::string::npos ? header : text.find("\n" + row.substr(0, 4), header + 1);
        EXPECT_NE(at, std::string::npos) << function << " " << row;
        if (at == std::string::npos) return text;
        return text.replace(at + 1, row.size(), row);
    }

    static std::string ManifestWithFunctionDisable(uint32_t bits) {
        std::string manifest = X58Manifest();
        const std::string plain = R"("rcba": "0xFED1C000")";
        const size_t at = manifest.find(plain);
        EXPECT_NE(at, std::string::npos);
        if (at == std::string::npos) return manifest;
        return manifest.replace(
            at, plain.size(), R"("rcba": {"base": "0xFED1C000", "function_disable": ")" + std::to_string(bits) + "\"}");
    }
};

// ---- The x58 sample ----

TEST_F(SMBusDomain, X58HasItsIch10ControllerAndThreeModules) {
    startX58();
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    const auto controllers = Controllers();
    ASSERT_EQ(controllers.size(), 1u);
    CSMBusRegisterSpace* ich10 = controllers[0];
    EXPECT_TRUE(dynamic_cast<Intel_ICH4_SMBusRegisterSpace*>(ich10));
    EXPECT_EQ(ich10->GetBaseLow(), 0x400u);
    EXPECT_EQ(ich10->m_dwControllerId, CSMBusRegisterSpace::kNoControllerId);
    EXPECT_TRUE(smbus->m_pMultiplexers->GetCount() == 0) << "the P6T6 has no channel switch";

    CTList<CDevice> list;
    for (uint8_t address = 0x50; address <= 0x52; ++address) {
        SCOPED_TRACE(testing::Message() << "address 0x" << std::hex << int(address));
        const std::string expected = readFile(dataPath(kX58SpdFiles[address - 0x50]));
        ASSERT_EQ(expected.size(), 256u);
        ASSERT_EQ(smbus->ProbeAddress(address, &list, 0, 0, 0), 1);
        auto* module = static_cast<CSMBusDevice*>(list.m_pHead->m_pPayload);
        EXPECT_EQ(module->m_pController, ich10);
        EXPECT_EQ(module->m_bySlaveAddress, address);
        uint8_t spd[256] = {};
        ASSERT_EQ(module->ReadBytes(0, spd, sizeof spd), 256u);
        EXPECT_EQ(std::memcmp(spd, expected.data(), sizeof spd), 0);
        uint8_t type = 0;
        EXPECT_EQ(module->ReadByte(2, &type), 1u);
        EXPECT_EQ(type, 0x0B) << "DDR3";
    }
    EXPECT_EQ(smbus->ProbeAddress(0x53, &list, 0, 0, 0), 0) << "an empty socket";
    EXPECT_EQ(list.GetCount(), 0u);

    // Every address of the bus: the three modules and nothing else.
    int answering = 0;
    for (uint8_t address = 0; address < 0x80; ++address) answering += smbus->ProbeAddress(address, nullptr, 0, 0, 0);
    EXPECT_EQ(answering, 3);

    CReportGenerator_Buffer report;
    ich10->Dump(&report);
    EXPECT_NE(std::string(report.GetText()).find("SMBus, base address = 0x0400"), std::string::npos);
}

// The ICH8M of a real notebook (Fujitsu P8010): its SMBus function
// 8086:283E with BAR4 0x18C1 is an ICH4-class controller at 0x18C0, and its
// LPC bridge 8086:2815 gets the command that would show a hidden function.
TEST_F(SMBusDomain, Ich8mOfARealDumpIsFoundAtItsBase) {
    startImage(readFile(dataPath("pci/tree-fujitsu-p8010")));
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    const auto controllers = Controllers();
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_TRUE(dynamic_cast<Intel_ICH4_SMBusRegisterSpace*>(controllers[0]));
    EXPECT_EQ(controllers[0]->GetBaseLow(), 0x18C0u);
    EXPECT_EQ(controllers[0]->m_dwControllerId, CSMBusRegisterSpace::kNoControllerId);
    EXPECT_EQ(smbus->m_pCommands->GetCount(), 1u);
    EXPECT_EQ(smbus->m_pMultiplexers->GetCount(), 0u);
    EXPECT_EQ(configDword(kSmbus, 0x40) & 0xFF, 0x01u) << "the host was on and stays so";
}

// A DDR4 module among them: its upper page is read through the page
// select, which is put back to page 0 for everybody else.
TEST_F(SMBusDomain, Ddr4ModuleReadsItsUpperPageThroughThePageSelect) {
    const char* ddr4 = "spd/DDR4-M393A1G40EB1-CPB.spd";
    std::string manifest = X58Manifest();
    const std::string slot = std::string(R"("address": "0x52", "spd": ")") + kSpdFile;
    ASSERT_NE(manifest.find(slot), std::string::npos);
    manifest.replace(manifest.find(slot), slot.size(), std::string(R"("address": "0x52", "spd": ")") + ddr4);
    ImageDir image;
    image.write("machine.json", manifest);
    image.write("lspci.txt", X58Lspci());
    for (const char* spd : kX58SpdFiles) image.copyData(spd, spd);
    image.copyData(ddr4, ddr4);
    CopyX58DriveSectors(image);
    CopyX58SuperIoDump(image);
    CopyX58GraphicsFiles(image);
    start(image.load());
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    const std::string expected = readFile(dataPath(ddr4));
    ASSERT_EQ(expected.size(), 512u);
    CTList<CDevice> list;
    ASSERT_EQ(smbus->ProbeAddress(0x52, &list, 0, 0, 0), 1);
    auto* module = static_cast<CSMBusDevice*>(list.m_pHead->m_pPayload);
    uint8_t value = 0;
    ASSERT_EQ(module->ReadByte(320, &value), 1u);
    EXPECT_EQ(value, uint8_t(expected[320])) << "the module's manufacturer code, on page 1";
    ASSERT_EQ(module->ReadByte(64, &value), 1u);
    EXPECT_EQ(value, uint8_t(expected[64])) << "page 0 again";
    uint8_t spd[512] = {};
    ASSERT_EQ(module->ReadBytes(0, spd, sizeof spd), 512u);
    EXPECT_EQ(std::memcmp(spd, expected.data(), sizeof spd), 0);

    // The DDR3 modules on the same bus keep their 256 bytes.
    ASSERT_EQ(smbus->ProbeAddress(0x50, &list, 0, 0, 0), 1);
    auto* ddr3 = static_cast<CSMBusDevice*>(list.m_pHead->m_pPayload);
    EXPECT_EQ(ddr3->ReadBytes(0, spd, 256), 256u);
    EXPECT_EQ(std::memcmp(spd, readFile(dataPath(kX58SpdFiles[0])).data(), 256), 0);
}

TEST_F(SMBusDomain, NoPciDomainNoSMBusDomain) {
    startX58();
    EXPECT_EQ(sdk().CreateSMBusInterface(), 0);
    EXPECT_EQ(sdk().m_pSMBus, nullptr);
}

// ---- The chipset's own state ----

TEST_F(SMBusDomain, HiddenFunctionIsShownAndHiddenAgainAtClose) {
    StartX58With(X58Lspci(), ManifestWithFunctionDisable(1u << 3));
    ASSERT_EQ(configDword(kSmbus, 0), 0xFFFFFFFFu) << "hidden in the image";
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    EXPECT_EQ(smbus->m_pCommands->GetCount(), 1u);
    ASSERT_EQ(Controllers().size(), 1u);
    EXPECT_EQ(smbus->ProbeAddress(0x50, nullptr, 0, 0, 0), 1);

    smbus->Close();
    EXPECT_EQ(configDword(kSmbus, 0), 0xFFFFFFFFu) << "hidden again";
    EXPECT_EQ(smbus->ProbeAddress(0x50, nullptr, 0, 0, 0), 0) << "a hidden controller decodes no ports";
}

// A controller the firmware left off (I/O decoding off, host disabled, in
// I2C mode) is switched on for the domain and put back at close.
TEST_F(SMBusDomain, ControllerSettingsArePutBackAtClose) {
    std::string lspci = X58LspciWithRow("00:1f.3", "00: 86 80 30 3a 00 01 80 02 00 00 05 0c 00 00 00 00");
    lspci = WithRow(lspci, "00:1f.3", "40: 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    StartX58With(lspci, X58Manifest());
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    ASSERT_EQ(Controllers().size(), 1u);
    EXPECT_EQ(configDword(kSmbus, 0x04) & 0xFFFF, 0x0101u) << "I/O decoding on";
    EXPECT_EQ(configDword(kSmbus, 0x40), 0x01u) << "host on, SMBus mode";
    EXPECT_EQ(smbus->ProbeAddress(0x52, nullptr, 0, 0, 0), 1);

    smbus->Close();
    EXPECT_EQ(configDword(kSmbus, 0x04) & 0xFFFF, 0x0100u) << "I/O decoding off again";
    EXPECT_EQ(configDword(kSmbus, 0x40), 0x04u);
}

TEST_F(SMBusDomain, HostThatCannotBeEnabledIsSkipped) {
    StartX58With(X58LspciWithRow("00:1f.3", "40: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"), X58Manifest());
    ASSERT_TRUE(scannedPCI());
    hw().injectFault(machine::Fault{AccessKind::PciConfig, AccessDir::Write, machine::pciLinear(kSmbus, 0x40),
                                    machine::pciLinear(kSmbus, 0x43)});
    ASSERT_EQ(sdk().CreateSMBusInterface(), 1);
    EXPECT_TRUE(Controllers().empty());
}

// A base register that cannot be read is no base: nothing is made of its
// all-ones value.
TEST_F(SMBusDomain, UnreadableBaseIsSkipped) {
    startX58();
    ASSERT_TRUE(scannedPCI());
    hw().injectFault(machine::Fault{AccessKind::PciConfig, AccessDir::Read, machine::pciLinear(kSmbus, 0x20),
                                    machine::pciLinear(kSmbus, 0x23)});
    ASSERT_EQ(sdk().CreateSMBusInterface(), 1);
    EXPECT_TRUE(Controllers().empty());
    EXPECT_EQ(sdk().FindIOSpace(0, 0xFFF0, IOSPACE_PORT), nullptr);
}

// ---- Other chipsets ----

TEST_F(SMBusDomain, NForceFunctionWithTwoBasesGivesTwoControllers) {
    startImage(LspciWithHostBridge({FunctionDump({0, 1, 0}, 0x10DE, 0x0264)
                                        .Class(0x0C, 0x05)
                                        .Word(0x04, 0x0001)
                                        .Dword(0x20, 0x1C01)
                                        .Dword(0x24, 0x1C41)}));
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    CTList<CRegisterSpace> list;
    EXPECT_EQ(smbus->GetControllers(0x10DE0264, &list), 2);
    const auto controllers = Controllers();
    ASSERT_EQ(controllers.size(), 2u);
    EXPECT_EQ(controllers[0]->GetBaseLow(), 0x1C00u);
    EXPECT_EQ(controllers[1]->GetBaseLow(), 0x1C40u);
}

TEST_F(SMBusDomain, FiveThousandSeriesEngineThatReadsAllOnesIsLeftOut) {
    startImage(LspciWithHostBridge({FunctionDump({0, 0x10, 0}, 0x8086, 0x25F5)
                                        .Class(0x06, 0x00)
                                        .Dword(0x74, 0xFFFF0000)}));
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    EXPECT_EQ(smbus->GetControllers(0x808625F5, nullptr), 1);
}

// The Transmeta northbridge shows each module's first 64 SPD bytes in
// configuration space of 00:00.1-4.
TEST_F(SMBusDomain, TransmetaReadsSpdBytesFromConfigurationSpace) {
    FunctionDump module({0, 0, 1}, 0x1279, 0x0061);
    for (unsigned i = 0; i < 0x40; ++i) module.Byte(0x50 + i, uint8_t(0xC0 + i));
    startImage(FunctionDump({0, 0, 0}, 0x1279, 0x0060).Class(6, 0).HeaderType(0x80).Text() +
               LspciText({module.Class(5, 0)}));
    CSMBusInterface* smbus = CreateSMBus();
    ASSERT_TRUE(smbus);
    const auto controllers = Controllers();
    ASSERT_EQ(controllers.size(), 1u);
    auto* tm8000 = dynamic_cast<Transmeta_TM8000_SMBusRegisterSpace*>(controllers[0]);
    ASSERT_TRUE(tm8000);
    uint8_t value = 0;
    ASSERT_EQ(tm8000->ReadByteData(0x50, 0x10, &value), 1);
    EXPECT_EQ(value, 0xD0) << "register 0x60 of function 1";
    EXPECT_EQ(smbus->ProbeAddress(0x50, nullptr, 0, 0, 0), 1);
    EXPECT_EQ(smbus->ProbeAddress(0x51, nullptr, 0, 0, 0), 0) << "an empty slot";
    EXPECT_EQ(tm8000->ReadByteData(0x54, 0, &value), 0);
    EXPECT_EQ(tm8000->ReadByteData(0x50, 0x40, &value), 0);
}

// AMD and ATI south bridges without an I/O base in configuration space
// keep it in their power-management registers (index 0xCD6, data 0xCD7).
TEST_F(SMBusDomain, AtiBaseFromThePowerManagementRegisters) {
    machine::PciDump dump;
    std::string why;
    ASSERT_TRUE(machine::parseLspciDump(
        LspciWithHostBridge({FunctionDump({0, 0x14, 0}, 0x1002, 0x4385).Class(0x0C, 0x05).Word(0x04, 0x0001)}), dump,
        why))
        << why;
    machine::SimulatedHardware hardware;
    for (const auto& function : dump.functions) hardware.pci->addFunction(function.address, function.bytes);
    std::string error;
    ASSERT_TRUE(hardware.ports.attach(std::make_unique<machine::PciConfigPorts>(*hardware.pci), error));
    ASSERT_TRUE(hardware.ports.attach(std::make_unique<IndexDataPorts>(0xCD6), error));  // register r holds 0x80 + r
    start(std::make_unique<machine::SimulatedMachine>(std::move(hardware)));
    ASSERT_TRUE(CreateSMBus());
    const auto controllers = Controllers();
    ASSERT_EQ(controllers.size(), 1u);
    EXPECT_TRUE(dynamic_cast<ATI_SB_SMBusRegisterSpace*>(controllers[0]));
    EXPECT_EQ(controllers[0]->GetBaseLow(), 0xADACu & 0xFFE0);
}

} // namespace
} // namespace vexa::test
