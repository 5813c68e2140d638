#include "sdk/hw/register_space_pci.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/kmdriver.h"

namespace {

constexpr uint32_t kConventionalConfigSize = 256;  // what the ports reach
constexpr uint32_t kFunctionShift = 12;             // 4 KB per function
constexpr uint32_t kBusShift = 20;                  // 1 MB per bus

CKMDriver* Driver() { return GetSDK()->GetDriver(); }

} // namespace

// ---- By the driver ----

int CPCIRegisterSpace::Execute(CIORequest* request) {
    CPCIRequest* pci = AsPCIRequest(request);
    if (!pci) return 0;
    const uint32_t bus = pci->m_dwBus, device = pci->m_dwDevice, function = pci->m_dwFunction;
    switch (pci->m_dwOperation) {
    case IOOP_READ_DWORD: return ReadConfigDword(bus, device, function, pci->m_dwRegister, &pci->m_dwData);
    case IOOP_WRITE_DWORD: return WriteConfigDword(bus, device, function, pci->m_dwRegister, pci->m_dwData);
    case IOOP_READ_BLOCK:
    case IOOP_WRITE_BLOCK: {
        CKMDriver* driver = Driver();
        if (!driver) return 0;
        if (pci->m_dwOperation == IOOP_READ_BLOCK)
            return driver->ReadPCIConfig(bus, device, function, pci->m_dwRegister, pci->m_dwData, pci->m_pBuffer);
        return driver->WritePCIConfig(bus, device, function, pci->m_dwRegister, pci->m_dwData, pci->m_pBuffer);
    }
    default: return 0;
    }
}

int CPCIRegisterSpace::ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                       uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    CKMDriver* driver = Driver();
    uint32_t dword = 0xFFFFFFFF;
    if (!driver || !driver->ReadPCIConfig(bus, device, function, reg, sizeof dword, &dword)) return 0;
    if (value) *value = dword;
    return 1;
}

int CPCIRegisterSpace::WriteConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                        uint32_t value) {
    CKMDriver* driver = Driver();
    return driver && driver->WritePCIConfig(bus, device, function, reg, sizeof value, &value) ? 1 : 0;
}

// ---- Mechanism 1 ----

int CPCIRegisterSpace_2::Execute(CIORequest* request) {
    CPCIRequest* pci = AsPCIRequest(request);
    if (!pci) return 0;
    if (pci->m_dwOperation == IOOP_READ_DWORD || pci->m_dwOperation == IOOP_WRITE_DWORD)
        return CPCIRegisterSpace::Execute(request);
    if (pci->m_dwOperation != IOOP_READ_BLOCK || !pci->m_pBuffer || pci->m_dwData == 0) return 0;
    int result = 1;
    for (uint32_t i = 0; i < pci->m_dwData; ++i) {
        const uint32_t reg = pci->m_dwRegister + i;
        if (reg < pci->m_dwRegister || reg >= kConventionalConfigSize) return 0;
        uint32_t dword = 0;
        if (ReadConfigDword(pci->m_dwBus, pci->m_dwDevice, pci->m_dwFunction, reg, &dword))
            pci->m_pBuffer[i] = static_cast<uint8_t>(dword);
        else
            result = 0;
    }
    return result;
}

int CPCIRegisterSpace_2::ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                         uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    CKMDriver* driver = Driver();
    return driver ? driver->ReadPCIConfigDwordByPorts(bus, device, function, reg, value) : 0;
}

int CPCIRegisterSpace_2::WriteConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                          uint32_t value) {
    CKMDriver* driver = Driver();
    return driver ? driver->WritePCIConfigDwordByPorts(bus, device, function, reg, value) : 0;
}

// ---- Mechanism 2 ----

int CPCIRegisterSpace_3::ReadConfigDword(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                         uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    CKMDriver* driver = Driver();
    return driver ? driver->ReadPCIConfigMech2(bus, device, function, reg, value) : 0;
}

// ---- PCI Express window ----

uint32_t CPCIExpressRegisterSpace::ConfigOffset(uint8_t bus, uint32_t device, uint32_t function, uint32_t reg) {
    return (((uint32_t(bus) * 32 + (device & 31)) * 8 + (function & 7)) << kFunctionShift) | (reg & 0xFFC);
}

int CPCIExpressRegisterSpace::Execute(CIORequest* request) {
    CPCIRequest* pci = AsPCIRequest(request);
    if (!pci || pci->m_dwOperation != IOOP_READ_BLOCK || !m_pIOSpace) return 0;
    CKMDriver* driver = Driver();
    if (!driver) return 0;
    // The bus is taken modulo 256, as the typed operations take it.
    const uint32_t function = ((pci->m_dwDevice & 31) * 8 | (pci->m_dwFunction & 7)) << kFunctionShift;
    const uint32_t low = (GetBaseLow() + ((pci->m_dwBus & 0xFF) << kBusShift)) | function;
    return driver->ReadPhysicalMemory(GetBaseHigh(), low, pci->m_dwData, pci->m_pBuffer);
}

CPCIRequest* CPCIExpressRegisterSpace::CreateRequest() { return new CPCIRequest(); }

int CPCIExpressRegisterSpace::ReadConfigDword(uint8_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                              uint32_t* value) {
    if (value) *value = 0xFFFFFFFF;
    uint32_t dword = 0;
    if (!m_pIOSpace || !m_pIOSpace->ReadDword(ConfigOffset(bus, device, function, reg), &dword)) return 0;
    if (value) *value = dword >> ((reg & 3) * 8);
    return 1;
}

int CPCIExpressRegisterSpace::WriteConfigDword(uint8_t bus, uint32_t device, uint32_t function, uint32_t reg,
                                               uint32_t value) {
    if ((reg & 3) != 0 || !m_pIOSpace) return 0;
    return m_pIOSpace->WriteDword(ConfigOffset(bus, device, function, reg), value);
}
