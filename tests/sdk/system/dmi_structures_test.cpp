// Each structure type the library decodes, from its bytes to its block of
// the DMI report, with the edge cases of the real tables: short structures
// of older SMBIOS versions, unknown codes, size markers and long strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"
#include "sdk/system/dmi_memory.h"
#include "sdk/system/dmi_processor.h"
#include "tests/sdk/hw/kmdriver_test_support.h"
#include "tests/sdk/system/dmi_test_support.h"

namespace vexa::test {
namespace {

using vexa::test::PrintTo;

struct BlockCase {
    const char* name;
    Bytes structure;
    std::string report;
};

class DMIStructureReport : public ::testing::TestWithParam<BlockCase> {};

TEST_P(DMIStructureReport, DecodesToItsBlock) {
    EXPECT_EQ(ReportOfTable(GetParam().structure), GetParam().report);
}

using S = StructureBuilder;

const BlockCase kIdentityCases[] = {
    {"bios",
     S(0, 0x18).String(4, " American Megatrends Inc. ").String(5, "0701").Word(6, 0xF000)
         .String(8, "08/19/2009").Byte(9, 0x1F).Bytes(),
     "DMI BIOS\t\t\n\tvendor\t\t\tAmerican Megatrends Inc.\n\tversion\t\t\t0701\n\tdate\t\t\t08/19/2009\n"
     "\tROM size\t\t2048 KB\n\n"},
    {"bios_without_rom_size_field",
     S(0, 9).String(4, "Award Software").Bytes(),
     "DMI BIOS\t\t\n\tvendor\t\t\tAward Software\n\tversion\t\t\tunknown\n\tdate\t\t\tunknown\n\n"},
    {"system_27_bytes",
     S(1, 27).String(4, "LENOVO").String(5, "64606XG").String(6, "ThinkPad T61p").String(7, "L3C7558")
         .Dword(8, 0xD02B2881).Word(12, 0x49C7).Word(14, 0x11CB).Dword(16, 0xE4F60DAF).Dword(20, 0x586C59FB)
         .Byte(0x18, 6).String(0x1A, "ThinkPad T61p").Bytes(),
     "DMI System Information\t\t\n\tmanufacturer\t\tLENOVO\n\tproduct\t\t\t64606XG\n\tversion\t\t\tThinkPad T61p\n"
     "\tserial\t\t\tL3C7558\n\tUUID\t\t\t{D02B2881-49C7-11CB-AF0D-F6E4FB596C58}\n\tSKU\t\t\tunknown\n"
     "\tfamily\t\t\tThinkPad T61p\n\n"},
    {"system_25_bytes_has_no_sku_or_family",
     S(1, 25).String(4, "Dell Inc.                ").String(5, "Precision WorkStation 490    ")
         .String(7, "BLVX13J").Bytes(),
     "DMI System Information\t\t\n\tmanufacturer\t\tDell Inc.\n\tproduct\t\t\tPrecision WorkStation 490\n"
     "\tversion\t\t\tunknown\n\tserial\t\t\tBLVX13J\n\tUUID\t\t\t{00000000-0000-0000-0000-000000000000}\n"
     "\tSKU\t\t\tunknown\n\tfamily\t\t\tunknown\n\n"},
    {"system_26_bytes_keeps_its_sku_byte_unread",
     S(1, 26).String(4, "Maker").String(0x19, "SKU text").Bytes(),
     "DMI System Information\t\t\n\tmanufacturer\t\tMaker\n\tproduct\t\t\tunknown\n\tversion\t\t\tunknown\n"
     "\tserial\t\t\tunknown\n\tUUID\t\t\t{00000000-0000-0000-0000-000000000000}\n\tSKU\t\t\tunknown\n"
     "\tfamily\t\t\tunknown\n\n"},
    {"system_8_bytes_has_no_uuid",
     S(1, 8).String(4, "Maker").Bytes(),
     "DMI System Information\t\t\n\tmanufacturer\t\tMaker\n\tproduct\t\t\tunknown\n\tversion\t\t\tunknown\n"
     "\tserial\t\t\tunknown\n\tUUID\t\t\tunknown\n\tSKU\t\t\tunknown\n\tfamily\t\t\tunknown\n\n"},
    {"baseboard_texts_cleaned",
     S(2, 8).String(4, " ASUSTeK Computer INC. ").String(5, "\"P6T6 WS REVOLUTION\"").String(6, "Rev 1.xx")
         .String(7, "     ").Bytes(),
     "DMI Baseboard\t\t\n\tvendor\t\t\tASUSTeK Computer INC.\n\tmodel\t\t\tP6T6 WS REVOLUTION\n"
     "\trevision\t\tRev 1.xx\n\tserial\t\t\tunknown\n\n"},
    {"enclosure",
     S(3, 9).String(4, "Chassis Manufacture").Byte(5, 0x83).String(7, "Chassis Serial Number").Bytes(),
     "DMI System Enclosure\t\t\n\tmanufacturer\t\tChassis Manufacture\n\tchassis type\t\tDesktop\n"
     "\tchassis serial\t\tChassis Serial Number\n\n"},
};
INSTANTIATE_TEST_SUITE_P(Identity, DMIStructureReport, ::testing::ValuesIn(kIdentityCases), CaseName());

TEST(DMIEnclosure, ChassisTypeIgnoresTheLockBitAndShowsUnnamedCodesInHexadecimal) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0x03, "Desktop"},    {0x83, "Desktop"},      {0x0A, "Notebook"}, {0x17, "Rack Mount Chassis"},
        {0x99, "Multi-system"}, {0x01, "1X"},         {0x02, "2X"},       {0x1E, "1eX"},
        {0x9A, "1aX"},        {0x00, "0X"},
    };
    for (const auto& [code, text] : cases) {
        CDMIInterface dmi;
        dmi.DecodeTable(S(3, 9).Byte(5, code).Bytes());
        auto* enclosure = static_cast<CDMI_SystemEnclosure*>(dmi.GetStructure(DMI_TYPE_ENCLOSURE));
        ASSERT_TRUE(enclosure);
        EXPECT_STREQ(enclosure->m_ChassisType.Get(), text) << "code " << int(code);
    }
}

const BlockCase kProcessorCases[] = {
    {"speeds_and_multiplier",
     S(4, 0x23).String(7, "GenuineIntel").String(0x10, "Intel(R) Core(TM)2 Duo CPU     T7500  @ 2.20GHz")
         .Word(0x12, 200).Word(0x14, 2200).Word(0x16, 2200).Bytes(),
     "DMI Processor\t\t\n\tmanufacturer\t\tGenuineIntel\n\tmodel\t\t\tIntel(R) Core(TM)2 Duo CPU     T7500  @ 2.20GHz\n"
     "\tclock speed\t\t2200.0 MHz\n\tFSB speed\t\t200.0 MHz\n\tmultiplier\t\t11.0x\n\n"},
    {"external_clock_0_leaves_fsb_and_multiplier_out",
     S(4, 0x1A).String(7, "Intel").Word(0x16, 1600).Bytes(),
     "DMI Processor\t\t\n\tmanufacturer\t\tIntel\n\tmodel\t\t\tunknown\n\tclock speed\t\t1600.0 MHz\n\n"},
    {"empty_socket",
     S(4, 0x28).String(7, "Intel").Word(0x12, 100).Word(0x14, 3800).Bytes(),
     "DMI Processor\t\t\n\tmanufacturer\t\tIntel\n\tmodel\t\t\tunknown\n\tFSB speed\t\t100.0 MHz\n\n"},
    {"current_speed_beyond_the_formatted_area",
     S(4, 0x17).String(7, "Cyrix").Word(0x12, 66).Byte(0x16, 0x55).Bytes(),
     "DMI Processor\t\t\n\tmanufacturer\t\tCyrix\n\tmodel\t\t\tunknown\n\tFSB speed\t\t66.0 MHz\n\n"},
    {"texts_cut_at_127_characters",
     S(4, 0x1A).String(7, std::string(130, 'm')).String(0x10, std::string(200, 'v')).Bytes(),
     "DMI Processor\t\t\n\tmanufacturer\t\t" + std::string(127, 'm') + "\n\tmodel\t\t\t" +
         std::string(127, 'v') + "\n\n"},
};
INSTANTIATE_TEST_SUITE_P(Processor, DMIStructureReport, ::testing::ValuesIn(kProcessorCases), CaseName());

TEST(DMIProcessor, MultiplierLandsOnAHalfStep) {
    struct Case {
        uint16_t current, external;
        float multiplier;
    };
    const Case cases[] = {
        {2400, 133, 18.0f}, {2666, 133, 20.0f}, {2200, 200, 11.0f}, {2133, 133, 16.0f},
        {1000, 333, 3.0f},  {1600, 1066, 1.5f}, {2833, 333, 8.5f},
    };
    for (const Case& c : cases) {
        CDMIInterface dmi;
        dmi.DecodeTable(S(4, 0x1A).Word(0x12, c.external).Word(0x16, c.current).Bytes());
        auto* processor = static_cast<CDMI_Processor*>(dmi.GetStructure(DMI_TYPE_PROCESSOR));
        ASSERT_TRUE(processor);
        EXPECT_EQ(processor->m_fMultiplier, c.multiplier) << c.current << " / " << c.external;
        EXPECT_EQ(processor->m_fExternalClock, float(c.external));
    }
}

const BlockCase kMemoryCases[] = {
    {"controller",
     S(5, 0x0F).Byte(4, 6).Byte(8, 0x0C).Bytes(),
     "DMI Memory Controller\t\t\n\tcorrection\t\t64-bit ECC\n\tMax module size\t\t4096 MBytes\n\n"},
    {"controller_without_error_detection_or_size",
     S(5, 0x0F).Byte(4, 3).Byte(8, 0x7F).Bytes(),
     "DMI Memory Controller\t\t\n\tcorrection\t\tunknown\n\n"},
    {"module_double_bank",
     S(6, 0x0C).String(4, "DIMM Slot 1").Byte(9, 0x87).Bytes(),
     "DMI Memory Module\t\t\n\tdesignation\t\tDIMM Slot 1\n\tsize\t\t\t128 MBytes (double bank)\n\n"},
    {"module_single_bank",
     S(6, 0x0C).String(4, "DIMM Slot 2").Byte(9, 0x0A).Bytes(),
     "DMI Memory Module\t\t\n\tdesignation\t\tDIMM Slot 2\n\tsize\t\t\t1024 MBytes (single bank)\n\n"},
    {"module_not_installed",
     S(6, 0x0C).String(4, "DIMM Slot 3").Byte(9, 0x7F).Bytes(),
     "DMI Memory Module\t\t\n\tdesignation\t\tDIMM Slot 3\n\n"},
    {"array",
     S(16, 0x0F).Byte(4, 3).Byte(5, 3).Byte(6, 5).Dword(7, 0x02000000).Word(0x0B, 0xFFFE).Word(0x0D, 8).Bytes(),
     "DMI Physical Memory Array\t\t\n\tlocation\t\tMotherboard\n\tusage\t\t\tSystem Memory\n"
     "\tcorrection\t\tSingle-bit ECC\n\tmax capacity\t\t32768 MBytes\n\tmax# of devices\t\t8\n\n"},
    {"array_with_unknown_codes_and_capacity",
     S(16, 0x0F).Byte(4, 0xA3).Byte(5, 1).Byte(6, 2).Dword(7, 0x80000000).Word(0x0D, 4).Bytes(),
     "DMI Physical Memory Array\t\t\n\tlocation\t\tPC-98/Local Bus Add-on Card\n\tusage\t\t\tunknown\n"
     "\tcorrection\t\tunknown\n\tmax# of devices\t\t4\n\n"},
    {"device",
     S(17, 0x1B).Word(8, 72).Word(0x0A, 64).Word(0x0C, 512).Byte(0x0E, 9).String(0x10, "DIMM 1")
         .String(0x11, "BANK 0").Byte(0x12, 18).Word(0x15, 400).Bytes(),
     "DMI Memory Device\t\t\n\tdesignation\t\tDIMM 1\n\tformat\t\t\tDIMM\n\ttype\t\t\tDDR\n"
     "\ttotal width\t\t72 bits\n\tdata width\t\t64 bits\n\tsize\t\t\t512 MBytes\n\tspeed\t\t\t400 MHz\n\n"},
    {"device_locator_kept_as_stored_and_later_codes_unnamed",
     S(17, 0x1B).Word(8, 0xFFFF).Word(0x0A, 0).Word(0x0C, 0x1000).Byte(0x0E, 0x0F)
         .String(0x10, "Board 1, DIMM 1A ").Byte(0x12, 0x14).Word(0x15, 0xFFFF).Bytes(),
     "DMI Memory Device\t\t\n\tdesignation\t\tBoard 1, DIMM 1A \n\tformat\t\t\tunknown\n\ttype\t\t\tunknown\n"
     "\tsize\t\t\t4096 MBytes\n\n"},
    {"device_of_smbios_2_1_has_no_speed",
     S(17, 0x15).Word(0x0C, 256).Byte(0x0E, 3).String(0x10, "SIMM 0").Byte(0x12, 3).Bytes(),
     "DMI Memory Device\t\t\n\tdesignation\t\tSIMM 0\n\tformat\t\t\tSIMM\n\ttype\t\t\tDRAM\n"
     "\tsize\t\t\t256 MBytes\n\n"},
};
INSTANTIATE_TEST_SUITE_P(Memory, DMIStructureReport, ::testing::ValuesIn(kMemoryCases), CaseName());

TEST(DMIMemoryDevice, SizeWordMarkers) {
    struct Case {
        uint16_t word;
        int32_t sizeMB;
    };
    const Case cases[] = {
        {0x0400, 1024}, {0x7FFF, 32767},  // 0x7FFF points at the extended size, not read
        {0x8200, 0},                     // 512 KB
        {0x8400, 1},    {0xFC00, 31},     // KB: bits 14-10 only
        {0x0000, -1},   {0xFFFF, -1},
    };
    for (const Case& c : cases) {
        CDMIInterface dmi;
        dmi.DecodeTable(S(17, 0x15).Word(0x0C, c.word).Bytes());
        auto* device = static_cast<CDMI_MemoryDevice*>(dmi.GetStructure(DMI_TYPE_MEMORY_DEVICE));
        ASSERT_TRUE(device);
        EXPECT_EQ(device->m_iSizeMB, c.sizeMB) << std::hex << c.word;
    }
}

TEST(DMIMemoryModule, SizeByteMarkers) {
    struct Case {
        uint8_t code;
        int32_t sizeMB, banks;
    };
    const Case cases[] = {
        {0x87, 128, 2}, {0x0A, 1024, 1}, {0x7D, -1, 1}, {0x7E, -1, 1}, {0x7F, -1, 1},
        {0x9E, 1 << 30, 2},  // bits 4-0 only
        {0x1F, -1, 1},       // 2^31 MB fits no int32_t
        {0xFF, -1, 2},
    };
    for (const Case& c : cases) {
        CDMIInterface dmi;
        dmi.DecodeTable(S(6, 0x0C).Byte(9, c.code).Bytes());
        auto* module = static_cast<CDMI_MemoryModule*>(dmi.GetStructure(DMI_TYPE_MEMORY_MODULE));
        ASSERT_TRUE(module);
        EXPECT_EQ(module->m_iInstalledSizeMB, c.sizeMB) << std::hex << int(c.code);
        EXPECT_EQ(module->m_iBankCount, c.banks) << std::hex << int(c.code);
    }
}

std::string SixteenOEMLines() {
    std::string lines;
    for (int i = 0; i < 16; ++i)
        lines += "\tstring[" + std::to_string(i) + "]\t\tText, " + std::to_string(i + 1) + "\n";
    return lines;
}

Bytes TwentyOEMStrings() {
    S oem(11, 5);
    oem.Byte(4, 20);
    for (int i = 1; i <= 20; ++i) oem.ExtraString("Text, " + std::to_string(i));
    return oem.Bytes();
}

const BlockCase kConnectorCases[] = {
    {"external_port",
     S(8, 9).String(6, "PS/2 KB/MS").Byte(7, 0x0F).Byte(8, 0x0D).Bytes(),
     "DMI Port Connector\t\t\n\tdesignation\t\tPS/2 KB/MS (external)\n\tport type\t\tKeyboard Port\n"
     "\tconnector\t\tPS/2\n\n"},
    {"internal_and_external_port",
     S(8, 9).String(4, "J9").Byte(5, 0x16).String(6, "IDE").Byte(7, 0xA4).Byte(8, 0xA1).Bytes(),
     "DMI Port Connector\t\t\n\tdesignation\t\tJ9 (internal)\n\tdesignation\t\tIDE (external)\n"
     "\tport type\t\t8251 FIFO Compatible\n\tconnector\t\tOn Board IDE\n\tconnector\t\tPC-98 Full\n\n"},
    {"port_of_unnamed_types",
     S(8, 9).String(4, "USB78").Byte(5, 0xFF).Byte(8, 0xFF).Bytes(),
     "DMI Port Connector\t\t\n\tdesignation\t\tUSB78 (internal)\n\n"},
    {"pci_express_slot",
     S(9, 0x0D).String(4, "PCIEX16_1").Byte(5, 0xAA).Byte(6, 0x0D).Byte(7, 3).Bytes(),
     "DMI Extension Slot\t\t\n\tdesignation\t\tPCIEX16_1\n\ttype\t\t\tAA\n\tpopulated\t\tno\n\n"},
    {"pci_slot",
     S(9, 0x0D).String(4, "PCI1").Byte(5, 6).Byte(6, 5).Byte(7, 4).Bytes(),
     "DMI Extension Slot\t\t\n\tdesignation\t\tPCI1\n\ttype\t\t\tPCI\n\twidth\t\t\t32 bits\n"
     "\tpopulated\t\tyes\n\n"},
    {"slot_type_a5_and_long_designation",
     S(9, 0x0D).String(4, std::string(70, 's')).Byte(5, 0xA5).Byte(6, 7).Byte(7, 2).Bytes(),
     "DMI Extension Slot\t\t\n\tdesignation\t\t" + std::string(63, 's') + "\n\ttype\t\t\tA5\n"
     "\twidth\t\t\t128 bits\n\n"},
    {"oem_strings_first_sixteen_as_stored",
     TwentyOEMStrings(),
     "DMI OEM Strings\t\t\n" + SixteenOEMLines() + "\n"},
    {"oem_strings_fewer_than_counted",
     S(11, 5).Byte(4, 3).ExtraString("one").ExtraString("two").Bytes(),
     "DMI OEM Strings\t\t\n\tstring[0]\t\tone\n\tstring[1]\t\ttwo\n\n"},
};
INSTANTIATE_TEST_SUITE_P(Connectors, DMIStructureReport, ::testing::ValuesIn(kConnectorCases), CaseName());

TEST(DMIStructures, TypesWithoutADecoderAreSkipped) {
    for (uint8_t type : {7, 10, 19, 32, 126, 127, 128, 200, 255}) {
        CDMIInterface dmi;
        EXPECT_EQ(dmi.DecodeTable(S(type, 0x10).String(4, "text").Bytes()), 1);
        EXPECT_EQ(dmi.m_pStructures->GetCount(), 0u) << "type " << int(type);
        EXPECT_EQ(ReportOf(dmi), "");
    }
}

} // namespace
} // namespace vexa::test
