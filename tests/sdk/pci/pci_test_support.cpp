#include "tests/sdk/pci/pci_test_support.h"

#include <cstdio>
#include <sstream>

#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "tests/support/image_dir.h"
#include "tests/support/test_paths.h"

namespace vexa::test {

// ---- lspci text ----

FunctionDump::FunctionDump(machine::PciAddress address, uint16_t vendor, uint16_t device) : address_(address) {
    Word(0x00, vendor);
    Word(0x02, device);
}

FunctionDump& FunctionDump::Byte(unsigned offset, uint8_t value) {
    bytes_.at(offset) = value;
    return *this;
}

FunctionDump& FunctionDump::Word(unsigned offset, uint16_t value) {
    return Byte(offset, uint8_t(value)).Byte(offset + 1, uint8_t(value >> 8));
}

FunctionDump& FunctionDump::Dword(unsigned offset, uint32_t value) {
    return Word(offset, uint16_t(value)).Word(offset + 2, uint16_t(value >> 16));
}

FunctionDump& FunctionDump::Class(uint8_t base, uint8_t sub, uint8_t progIF) {
    return Byte(0x0B, base).Byte(0x0A, sub).Byte(0x09, progIF);
}

FunctionDump& FunctionDump::Capability(unsigned offset, uint8_t id, uint8_t next) {
    if (!(bytes_[0x06] & 0x10)) {
        Byte(0x06, bytes_[0x06] | 0x10);
        Byte((bytes_[0x0E] & 0x7F) == 2 ? 0x14 : 0x34, uint8_t(offset));
    }
    return Byte(offset, id).Byte(offset + 1, next);
}

FunctionDump& FunctionDump::ExtendedCapability(unsigned offset, uint16_t id, unsigned next) {
    return Dword(offset, uint32_t(id) | 1u << 16 | uint32_t(next) << 20);
}

std::string FunctionDump::Text() const {
    char line[80];
    std::snprintf(line, sizeof line, "%02x:%02x.%x Device\n", address_.bus, address_.device, address_.function);
    std::string text = line;
    for (unsigned row = 0; row < bytes_.size(); row += 16) {
        std::snprintf(line, sizeof line, "%02x:", row);
        text += line;
        for (unsigned i = 0; i < 16; ++i) {
            std::snprintf(line, sizeof line, " %02x", bytes_[row + i]);
            text += line;
        }
        text += "\n";
    }
    return text + "\n";
}

std::string LspciText(const std::vector<FunctionDump>& functions) {
    std::string text;
    for (const FunctionDump& function : functions) text += function.Text();
    return text;
}

std::string LspciWithHostBridge(const std::vector<FunctionDump>& functions) {
    return FunctionDump({0, 0, 0}, 0x8086, 0x1237).Class(6, 0).Text() + LspciText(functions);
}

std::string X58Lspci() { return readFile(sourcePath("machines/x58-nehalem/lspci.txt")); }

std::string X58Manifest() { return readFile(sourcePath("machines/x58-nehalem/machine.json")); }

void CopyX58DriveSectors(const ImageDir& image) {
    for (const char* file : {"drives/wd1001fals.identify.bin", "drives/wd1001fals.smart.bin"})
        image.write(file, readFile(sourcePath(std::string("machines/x58-nehalem/") + file)));
}

void CopyX58SuperIoDump(const ImageDir& image) {
    const char* file = "superio/w83667hg_p6t_se.regs";
    image.write(file, readFile(sourcePath(std::string("machines/x58-nehalem/") + file)));
}

void CopyX58GraphicsFiles(const ImageDir& image) {
    for (const char* file : {"vbios.rom", "edid/0.bin"})
        image.write(file, readFile(sourcePath(std::string("machines/x58-nehalem/") + file)));
}

std::string X58LspciWithRow(const std::string& function, const std::string& row) {
    std::string text = X58Lspci();
    const size_t header = text.find("\n" + function + " ");
    EXPECT_NE(header, std::string::npos) << function;
    const size_t at = text.find("\n" + row.substr(0, 4), header + 1);
    EXPECT_NE(at, std::string::npos) << row;
    if (header == std::string::npos || at == std::string::npos) return text;
    return text.replace(at + 1, row.size(), row);
}

// ---- The fixture ----

machine::Machine& PciTest::startImage(const std::string& lspci, const std::string& manifest) {
    ImageDir image;
    image.write("machine.json", manifest);
    image.write("lspci.txt", lspci);
    image.copyData("cpuid/intel-nehalem-westmere/intel-core-i7-cpu-920.test", "cpuid.txt");
    CopyX58SuperIoDump(image);
    return start(image.load());
}

machine::Machine& PciTest::startX58Variant(const std::string& lspci, const std::string& manifest,
                                           const std::vector<std::pair<std::string, std::string>>& files) {
    ImageDir image;
    image.write("machine.json", manifest);
    image.write("lspci.txt", lspci);
    image.write("cpuid.txt", readFile(sourcePath("machines/x58-nehalem/cpuid.txt")));
    // The SPD images of the sample's SMBus modules.
    for (const char* spd : {"spd/DDR3-9905403-440.A00LF.spd", "spd/DDR3-M378B5173DB0-CK0.spd",
                            "spd/DDR3-M391B1G73QH0-CMA.spd"})
        image.copyData(spd, spd);
    CopyX58DriveSectors(image);
    CopyX58SuperIoDump(image);
    for (const auto& [name, content] : files) image.write(name, content);
    CopyX58GraphicsFiles(image);
    return start(image.load());
}

CPCIInterface* PciTest::createPCI() {
    EXPECT_EQ(sdk().CreatePCIInterface(), 1);
    return sdk().m_pPCI;
}

CPCIInterface* PciTest::scannedPCI(int accessMode, int maxBuses) {
    CPCIInterface* pci = createPCI();
    if (!pci) return nullptr;
    if (maxBuses <= pci->m_iMaxBusCount) pci->m_iBusCount = maxBuses;
    pci->m_iAccessMode = accessMode;
    pci->ScanBus();
    return pci;
}

std::vector<CPCIDevice*> PciTest::pciDevices() {
    std::vector<CPCIDevice*> found;
    CTListIterator<CDevice> it(GetSDK()->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext())
        if (device->m_dwKind & DEVICE_PCI) found.push_back(static_cast<CPCIDevice*>(device));
    return found;
}

std::string PciTest::location(const CPCIDevice& device) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x:%02x.%x", device.m_byBus, device.m_byDevice, device.m_byFunction);
    return text;
}

std::string PciTest::fullReport(CPCIInterface& pci) {
    CReportGenerator_Buffer report;
    pci.RefreshDevices();
    pci.Dump(&report);
    return report.GetText();
}

std::string PciTest::briefReport(CPCIInterface& pci) {
    CReportGenerator_Buffer report;
    pci.Dump2(&report);
    return report.GetText();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace vexa::test
