// SPD hex text (spd/<n>.hex, smbus.devices[].spd "*.hex") -> parser -> the
// EEPROM model, read through both pages.
#include "machine/devices/smbus_slaves.h"
#include "machine/smbus_files.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexa::machine;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!parseSpdHexText(std::string_view(reinterpret_cast<const char*>(data), size), bytes, error)) return 0;
    if (bytes.size() > SpdEeprom::kPageSize && bytes.size() != SpdEeprom::kPagedSize) return 0;
    SpdEeprom eeprom(std::move(bytes));
    uint8_t out[300];
    for (unsigned page = 0; page < 2; ++page) {
        eeprom.selectSpdPage(page);
        eeprom.read(0xF0, out);
    }
    return 0;
}
