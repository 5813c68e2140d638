#include "machine/default_ich_chipset.h"

#include "machine/devices/ich_function_disable.h"

#include <initializer_list>

namespace vexa::machine {

namespace {

constexpr PciAddress kHostBridge{0, 0, 0};

struct Field {
    unsigned offset;
    unsigned size;  // bytes, little-endian
    uint32_t value;
};

PciConfigSpace::Registers registers(std::initializer_list<Field> fields) {
    PciConfigSpace::Registers bytes{};
    for (const Field& field : fields)
        for (unsigned i = 0; i < field.size; ++i) bytes[field.offset + i] = uint8_t(field.value >> (8 * i));
    return bytes;
}

} // namespace

void addDefaultIchChipset(PciConfigSpace& space) {
    space.addFunction(kHostBridge, registers({
                                       {0x00, 4, 0x29C08086},  // vendor, device
                                       {0x04, 2, 0x0006},      // memory space, bus master
                                       {0x06, 2, 0x2090},      // capabilities list
                                       {0x08, 4, 0x06000002},  // host bridge, revision 2
                                       {0x34, 1, 0xE0},        // capability: vendor specific
                                       {0xE0, 4, 0x010C0009},
                                   }));
    space.addFunction(kIchLpcBridge, registers({
                                         {0x00, 4, 0x29188086},
                                         {0x04, 2, 0x0007},      // I/O, memory, bus master
                                         {0x06, 2, 0x0210},
                                         {0x08, 4, 0x06010002},  // ISA bridge, revision 2
                                         {0x0E, 1, 0x80},        // multi-function
                                         {0x34, 1, 0xE0},
                                         {0xE0, 4, 0x100C0009},
                                         {0x40, 4, 0x00000801},  // PMBASE 0x800
                                         {0x44, 1, 0x80},        // ACPI decoding on
                                         {0x48, 4, 0x00000501},  // GPIOBASE 0x500
                                         {0x4C, 1, 0x10},        // GPIO decoding on
                                     }));
    space.addFunction(kIchSmbus, registers({
                                     {0x00, 4, 0x29308086},
                                     {0x04, 2, 0x0003},  // I/O and memory space
                                     {0x06, 2, 0x0280},
                                     {0x08, 4, 0x0C050002},  // SMBus, revision 2
                                     {0x10, 4, 0xFEBFFC04},  // SMBMBAR, 64-bit memory
                                     {0x20, 4, uint32_t(kDefaultIchSmbusBase) | 1},
                                     {0x3C, 2, 0x0212},  // interrupt pin B, line 18
                                     {0x40, 1, 0x01},    // HOSTC: host enabled
                                 }));
}

} // namespace vexa::machine
