// lspci -xxxx text -> parser -> configuration space through the ports.
#include "machine/devices/pci_config_ports.h"
#include "machine/lspci_dump.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexa::machine;
    PciDump dump;
    std::string error;
    if (!parseLspciDump(std::string_view(reinterpret_cast<const char*>(data), size), dump, error)) return 0;
    PciConfigSpace space;
    for (const PciFunctionDump& function : dump.functions) space.addFunction(function.address, function.bytes);
    PciConfigPorts ports(space);
    for (const PciAddress& address : space.functions()) {
        ports.write(0xCF8, 4, 0x80000000u | uint32_t(address.bus) << 16 | uint32_t(address.device) << 11 |
                                  uint32_t(address.function) << 8);
        ports.read(0xCFC, 4);
        ports.read(0xCFF, 1);
    }
    return 0;
}
