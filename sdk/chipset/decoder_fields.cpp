#include "sdk/chipset/decoder_fields.h"

#include <numeric>

#include "sdk/chipset/memory_info.h"
#include "sdk/core/helpers.h"
#include "sdk/core/list.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/pci_interface.h"

namespace decoder_fields {

namespace {

void ForgetRatio(CMemoryInfo& memory) {
    memory.m_fFSBDRAMRatio = -1.0f;
    memory.m_szRatio[0] = '\0';
}

void WriteRatio(CMemoryInfo& memory, int bus, int dram, bool equalAsOne) {
    if (bus <= 0) {
        ForgetRatio(memory);
        return;
    }
    if (equalAsOne && bus == dram)
        FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "%s", "1:1");
    else
        FormatString(memory.m_szRatio, sizeof memory.m_szRatio, "%d:%d", bus, dram);
    memory.m_fFSBDRAMRatio = static_cast<float>(dram) / static_cast<float>(bus);
}

} // namespace

uint32_t ReadFunction(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg, bool* read) {
    uint32_t value = 0xFFFFFFFF;
    CPCIInterface* pci = GetSDK()->m_pPCI;
    const bool ok = pci && pci->ReadConfig(static_cast<int32_t>(bus), static_cast<int32_t>(device),
                                           static_cast<int32_t>(function), static_cast<int32_t>(reg), &value);
    if (read) *read = ok;
    return ok ? value : 0xFFFFFFFF;
}

bool DevicePresent(uint16_t vendor, uint16_t device) {
    CPCIInterface* pci = GetSDK()->m_pPCI;
    return pci && pci->FindDevicesByID(vendor, device, nullptr) >= 1;
}

void SetRatio(CMemoryInfo& memory, int bus, int dram) { WriteRatio(memory, bus, dram, true); }

void SetRatioAsWritten(CMemoryInfo& memory, int bus, int dram) { WriteRatio(memory, bus, dram, false); }

void SetReducedRatio(CMemoryInfo& memory, int bus, int dram) {
    const int divisor = bus > 0 && dram > 0 ? std::gcd(bus, dram) : 1;
    WriteRatio(memory, bus / divisor, dram / divisor, true);
}

} // namespace decoder_fields
