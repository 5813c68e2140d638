// A function's configuration space bytes -> the PCI device's parsers: the
// common and typed headers, the standard and extended capability walks,
// the class description, the snapshot and the report block.
#include "sdk/core/report_generator.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/pci_device.h"
#include "sdk/hw/register_space_pci.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using Bytes = std::array<uint8_t, 4096>;

uint32_t DwordAt(const Bytes& bytes, uint32_t offset) {
    uint32_t value = 0xFFFFFFFF;
    if (offset <= bytes.size() - 4) std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

// Configuration space as the driver's requests reach it: bytes r..r+3.
class BytesConfigSpace final : public CPCIRegisterSpace {
public:
    explicit BytesConfigSpace(const Bytes& bytes) : CPCIRegisterSpace(nullptr), bytes_(bytes) {}
    int Execute(CIORequest* request) override {
        CPCIRequest* pci = AsPCIRequest(request);
        if (!pci || pci->m_dwOperation != IOOP_READ_BLOCK || pci->m_dwData > 256) return 0;
        std::copy_n(bytes_.begin(), pci->m_dwData, pci->m_pBuffer);
        return 1;
    }
    int ReadConfigDword(uint32_t, uint32_t, uint32_t, uint32_t reg, uint32_t* value) override {
        *value = DwordAt(bytes_, reg);
        return 1;
    }
    int WriteConfigDword(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override { return 0; }

private:
    const Bytes& bytes_;
};

// The PCI Express window over the same bytes, for the extended walk.
class BytesWindow final : public CIOSpace {
public:
    explicit BytesWindow(const Bytes& bytes) : CIOSpace(IOSPACE_MEMORY, 0, 0, 4096), bytes_(bytes) {}
    int ReadByte(uint32_t, uint8_t*) override { return 0; }
    int ReadWord(uint32_t, uint16_t*) override { return 0; }
    int ReadDword(uint32_t offset, uint32_t* value) override {
        *value = DwordAt(bytes_, offset);
        return 1;
    }
    int ReadQword(uint32_t, uint32_t*, uint32_t*) override { return 0; }
    int WriteByte(uint32_t, uint32_t) override { return 0; }
    int WriteWord(uint32_t, uint32_t) override { return 0; }
    int WriteDword(uint32_t, uint32_t) override { return 0; }

private:
    const Bytes& bytes_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bytes bytes;
    bytes.fill(0xFF);
    std::copy_n(data, std::min(size, bytes.size()), bytes.begin());
    BytesConfigSpace conventional(bytes);
    BytesWindow window(bytes);
    CPCIExpressRegisterSpace express(&window);

    CPCIDevice device(1, 2, 3);
    device.m_pRegisterSpace = &conventional;
    device.ReadCommonHeader();
    device.CreateHeader();
    device.ScanCapabilities();
    device.BuildClassDescription();
    device.ReadConfigSpace();
    device.m_pRegisterSpace = &express;
    device.ScanExtendedCapabilities();
    CReportGenerator_Buffer report;
    device.Dump(&report);
    device.DumpRegisters(&report);
    // The base address registers' spaces went to the root's list.
    GetSDK()->m_pIOSpaces->DeleteAll();
    return 0;
}
