// SMBus register files (*.regs: register images with banks, JC-42.4
// register lists) -> parsers -> the slave models, read and written.
#include "machine/devices/smbus_slaves.h"
#include "machine/smbus_files.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vexa::machine;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::array<uint16_t, Jc42Sensor::kRegisters> registers{};
    if (parseJc42Registers(text, registers, error)) {
        Jc42Sensor sensor(registers);
        uint8_t word[2] = {0x12, 0x34};
        for (uint8_t reg = 0; reg < Jc42Sensor::kRegisters; ++reg) {
            sensor.read(reg, word);
            sensor.write(reg, word);
        }
    }
    std::map<unsigned, RegisterImageDevice::Bank> banks;
    if (!parseRegisterImage(text, banks, error)) return 0;
    // The bank register: the first byte of the text, so that every register
    // can be the one.
    RegisterImageDevice chip(std::move(banks), size > 0 ? data[0] : -1);
    for (const auto& bank : {0u, 1u, 255u}) {
        const uint8_t select = uint8_t(bank);
        chip.write(size > 0 ? data[0] : 0, std::span(&select, 1));
        uint8_t out[300];
        chip.read(0xF8, out);
    }
    return 0;
}
