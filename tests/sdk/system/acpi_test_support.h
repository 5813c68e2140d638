// What the ACPI tests share: building tables byte by byte, the x58
// sample's tables, and machines whose tables, memory and namespace a test
// chooses, with the stand-in driver started on them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sdk/core/list.h"
#include "sdk/system/acpi_interface.h"
#include "tests/sdk/hw/kmdriver_test_support.h"

namespace vexa::test {

using Bytes = std::vector<uint8_t>;

// One table: a 36-byte header with the signature, the length (of the
// bytes, unless StatedLength gives another) and the revision, then zeros
// unless set. Build() sets the checksum.
class TableBuilder {
public:
    TableBuilder(const std::string& signature, uint8_t revision, size_t length);

    TableBuilder& Byte(size_t offset, uint8_t value);
    TableBuilder& Dword(size_t offset, uint32_t value);
    TableBuilder& Text(size_t offset, const std::string& text);
    TableBuilder& StatedLength(uint32_t length);
    Bytes Build() const;

private:
    std::vector<uint8_t> bytes_;
};

// An FADT of that revision and length with PM1a_EVT_BLK, PM_TMR_BLK and
// FIRMWARE_CTRL set.
Bytes Fadt(uint8_t revision, size_t length, uint32_t pmTimer, uint32_t facs = 0xBF78E000,
           uint32_t pm1aEvents = 0x800);
// An HPET table with that address-space id and 64-bit base.
Bytes HpetTable(uint8_t addressSpace, uint64_t base);
// An HPET capabilities block (vendor 0x8086, the given period) to lay in
// plain memory where a test wants an HPET with an impossible period.
std::string HpetCapabilities(uint32_t periodFs);

// A table of machines/x58-nehalem/acpi ("facp.dat", ...).
Bytes X58Table(const std::string& file);

std::string AsText(const Bytes& bytes);
uint32_t LittleEndian32(const Bytes& bytes, size_t offset);

// The name of a node ("(none)" for null).
std::string NameOf(const CACPITreeNode* node);
// The names of the nodes of a list, in list order.
std::vector<std::string> NamesOf(CTList<CACPITreeNode>* nodes);

// The "ACPI" report section of an interface.
std::string AcpiReport(CACPIInterface& acpi);

// A machine image: its manifest, the ACPI tables of its acpi/ folder (file
// name -> bytes) and further files (memory contents).
struct AcpiImage {
    std::string manifest = "{}";
    std::map<std::string, Bytes> tables;
    std::map<std::string, std::string> files;
};
// The x58 sample's manifest with its PM timer, HPET and namespace, and its
// tables.
AcpiImage X58AcpiImage();

// A test on a machine built from an AcpiImage, with the stand-in driver
// started and handed to the root; the root is released at the end.
class AcpiOnMachine : public KMDriverOnMachine {
protected:
    void TearDown() override;

    // Installs the image and gives the root the test's one driver (unless
    // `withDriver` is false).
    machine::Machine& Boot(const AcpiImage& image, bool withDriver = true);
    // The root released, and a new one with the driver, for the next case
    // of a table.
    void NextCase();

private:
    CKMDriver* driver_ = nullptr;
};

} // namespace vexa::test
