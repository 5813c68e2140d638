#include "tests/sdk/cpu/amd_family_test_support.h"

#include <cstdio>

#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

Leaves AMDLeaves(const AMDPart& part) {
    const uint32_t eax = SignatureEax(part.family, part.model, part.stepping, part.extFamily, part.extModel);
    Leaves leaves("AuthenticAMD", 1);
    const uint32_t multiCore = part.cores > 1 ? 1u << 28 : 0;
    leaves.Set(1, eax, part.cores << 16, 0, multiCore);
    leaves.Extended(0x80000008)
        .Set(0x80000001, eax | part.packageBits << 4, part.brandEbx, 0, 0)
        .Set(0x80000005, 0, 0, (64u << 24) | (2u << 16) | 64, (64u << 24) | (2u << 16) | 64)
        .Set(0x80000006, 0, 0, (part.l2 << 16) | (8u << 12) | 64, part.l3 ? ((part.l3 / 512) << 18) | (12u << 12) | 64 : 0)
        .Set(0x80000007, 0, 0, 0, part.powerEdx)
        .Set(0x80000008, 0x3030, 0, part.cores - 1, 0)
        .Brand(part.brand);
    return leaves;
}

std::string LspciRows(const uint8_t* bytes, size_t size) {
    std::string text;
    char cell[8];
    for (size_t row = 0; row < size; row += 16) {
        std::snprintf(cell, sizeof cell, size > 256 ? "%03zx:" : "%02zx:", row);
        text += cell;
        for (size_t i = row; i < row + 16 && i < size; ++i) {
            std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
            text += cell;
        }
        text += "\n";
    }
    return text + "\n";
}

std::string NodeLspci(uint16_t function0Id, unsigned functions, const NodeRegisters& registers) {
    // A host bridge at 00:00.0, where the PCI domain looks for the bus.
    std::string text = "00:00.0 Host bridge: RS780\n00: 22 10 00 96 06 00 00 00 00 00 00 06 00 00 00 00\n\n";
    for (unsigned function = 0; function < functions; ++function) {
        uint8_t bytes[4096] = {};
        auto put = [&bytes](unsigned reg, uint32_t value) {
            for (unsigned i = 0; i < 4; ++i) bytes[reg + i] = uint8_t(value >> (8 * i));
        };
        put(0x00, 0x1022u | uint32_t(function0Id + function) << 16);
        put(0x08, 0x06000000u);
        put(0x0C, 0x00800000u);
        if (auto it = registers.find(function); it != registers.end())
            for (const auto& [reg, value] : it->second) put(reg, value);
        char line[80];
        std::snprintf(line, sizeof line, "00:18.%u Host bridge: node function %u\n", function, function);
        text += line + LspciRows(bytes, sizeof bytes);
    }
    return text;
}

std::unique_ptr<machine::Machine> AMDImage(const std::string& cpuid, const std::string& msrs, const std::string& lspci) {
    ImageDir image;
    image.write("cpuid.txt", cpuid);
    image.write("machine.json", R"({"cpu": {"msrs": {)" + msrs +
                                    R"(}}, "pci": {"extended_register_bits": true}, "ports": {"acpi_pm_timer": "0x808"}})");
    if (!lspci.empty()) image.write("lspci.txt", lspci);
    return image.load();
}

std::string DataDump(const std::string& dataFile) { return readFile(dataPath(dataFile)); }

std::string MsrMember(uint32_t index, uint64_t value) {
    char member[64];
    std::snprintf(member, sizeof member, "\"0x%X\": \"0x%016llX\"", index, static_cast<unsigned long long>(value));
    return member;
}

} // namespace vexa::test
