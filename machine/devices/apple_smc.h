// The System Management Controller of Apple computers: data port 0x300 and
// command/status port 0x304. Values are addressed by four-character keys.
// Command 0x10 reads a key (the four characters and the length follow on
// the data port, then the bytes come back), 0x11 writes one (the bytes
// follow the length). The low nibble of the status tells the step the
// controller expects: 0x0C after a command, 0x04 before each further byte
// written, 0x05 before each byte read. A key the controller does not know
// leaves the status at 0, so the reader's wait runs out.
#pragma once

#include "machine/devices/data_command_ports.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace vexa::machine {

struct AppleSmcSettings {
    std::map<std::string, std::vector<uint8_t>> keys;
    bool answers = true;  // false: the status never changes (a hung controller)
};

class AppleSmc final : public DataAndCommandPorts {
public:
    static constexpr uint16_t kDataPort = 0x300;
    static constexpr uint16_t kCommandPort = 0x304;
    static constexpr uint8_t kReadKey = 0x10;
    static constexpr uint8_t kWriteKey = 0x11;

    explicit AppleSmc(AppleSmcSettings settings)
        : DataAndCommandPorts(kDataPort, kCommandPort), settings_(std::move(settings)) {}

    std::string name() const override { return "Apple SMC"; }
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

    // The bytes of a key; empty when the controller does not know it.
    std::vector<uint8_t> key(const std::string& name) const;

private:
    void afterLength(uint8_t length);

    AppleSmcSettings settings_;
    uint8_t command_ = 0;
    std::string key_;
    int length_ = -1;              // -1: not yet received
    std::deque<uint8_t> output_;   // a read's bytes
    std::vector<uint8_t> input_;   // a write's bytes
    uint8_t status_ = 0;
};

} // namespace vexa::machine
