#include "sdk/hw/smbus_transmeta.h"

#include "sdk/core/sdk.h"
#include "sdk/hw/kmdriver.h"

int Transmeta_TM8000_SMBusRegisterSpace::ReadByte(uint8_t slave, uint32_t reg, uint8_t* value) {
    if (slave < kFirstModule || slave >= kFirstModule + kModules || reg >= kSpdBytes) return 0;
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return 0;
    const uint32_t function = uint32_t(slave - kFirstModule) + 1;
    uint32_t dword = 0;
    const int result = driver->ReadPCIConfigDwordByPorts(0, 0, function, kSpdWindow + reg, &dword);
    if (!result) return 0;
    // All ones may be four unused SPD bytes, or an empty slot whose
    // function does not answer: its ID register tells.
    uint32_t id = 0xFFFFFFFF;
    if (dword == 0xFFFFFFFF && (!driver->ReadPCIConfigDwordByPorts(0, 0, function, 0, &id) || id == 0xFFFFFFFF))
        return 0;
    if (value) *value = uint8_t(dword);
    return result;
}
