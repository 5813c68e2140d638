// What the tests of the PCI domain share: configuration spaces written
// byte by byte into lspci.txt text, machine images made of them (or of the
// x58 sample with a change), and a fixture whose root has a locked driver
// manager on the machine and builds the PCI domain through its creator.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "machine/machine.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/pci_interface.h"
#include "tests/sdk/hw/access_test_support.h"
#include "tests/support/image_dir.h"

namespace vexa::test {

// One function's 4096 configuration bytes, zero unless set, for lspci.txt.
class FunctionDump {
public:
    FunctionDump(machine::PciAddress address, uint16_t vendor, uint16_t device);

    FunctionDump& Byte(unsigned offset, uint8_t value);
    FunctionDump& Word(unsigned offset, uint16_t value);
    FunctionDump& Dword(unsigned offset, uint32_t value);
    // Base class, subclass and programming interface (0x0B, 0x0A, 0x09).
    FunctionDump& Class(uint8_t base, uint8_t sub, uint8_t progIF = 0);
    FunctionDump& HeaderType(uint8_t type) { return Byte(0x0E, type); }
    // A standard capability at `offset` (>= 0x40) with its next pointer;
    // the first one also sets the status bit and the capabilities pointer.
    FunctionDump& Capability(unsigned offset, uint8_t id, uint8_t next);
    // An extended capability header at `offset`.
    FunctionDump& ExtendedCapability(unsigned offset, uint16_t id, unsigned next);

    // "BB:DD.F Device" and the rows of all 4096 bytes.
    std::string Text() const;
    machine::PciAddress Address() const { return address_; }

private:
    machine::PciAddress address_;
    std::array<uint8_t, 4096> bytes_{};
};

// The functions' texts one after the other.
std::string LspciText(const std::vector<FunctionDump>& functions);
// A host bridge at 00:00.0, which the mechanism probe reads, and the
// functions after it.
std::string LspciWithHostBridge(const std::vector<FunctionDump>& functions);

// The text of machines/x58-nehalem/lspci.txt with one row of one function
// replaced: `function` is its header's "BB:DD.F", `row` a whole row such
// as "f0: 00 c0 d1 fe 00 00 00 00 86 0f 00 00 00 00 00 00".
std::string X58LspciWithRow(const std::string& function, const std::string& row);
std::string X58Lspci();
// machines/x58-nehalem/machine.json.
std::string X58Manifest();
// The drive sectors that manifest names, copied into an image.
void CopyX58DriveSectors(const ImageDir& image);
// The register dump of the sample's super-I/O chip, which its manifest names.
void CopyX58SuperIoDump(const ImageDir& image);
// The graphics card's video BIOS and the EDID on its I2C bus, which its
// manifest names.
void CopyX58GraphicsFiles(const ImageDir& image);

class PciTest : public AccessTest {
protected:
    // A machine of one Core i7 920 with these files; the root's driver.
    machine::Machine& startImage(const std::string& lspci, const std::string& manifest = "{}");
    // The x58 sample with its own files replaced where given, and further
    // files its manifest names ({name in the image, content}).
    machine::Machine& startX58Variant(const std::string& lspci, const std::string& manifest,
                                      const std::vector<std::pair<std::string, std::string>>& files = {});

    // The creator's interface; fails the test when there is none.
    CPCIInterface* createPCI();
    // Created and scanned as the application does it.
    CPCIInterface* scannedPCI(int accessMode = PCI_ACCESS_DRIVER, int maxBuses = 256);

    // The PCI functions of the root's device list, in order.
    static std::vector<CPCIDevice*> pciDevices();
    // "BB:DD.F" of a device, as lspci writes it.
    static std::string location(const CPCIDevice& device);
    // What CPCIInterface::Dump (after RefreshDevices) or Dump2 writes.
    static std::string fullReport(CPCIInterface& pci);
    static std::string briefReport(CPCIInterface& pci);
};

// The lines of a report text.
std::vector<std::string> Lines(const std::string& text);

} // namespace vexa::test
