// The sensor microcontroller of abit mainboards: data port 0xE0 and
// command/status port 0xE4 (bit 0 set: a byte waits in the data port; bit
// 1 set: busy). The 2003 generation reads one register per transaction:
// the bank goes to the command port, the register to the data port, and
// the register's byte comes back. The 2005 generation reads a run: 0x1A to
// the command port, then bank, first register and count to the data port,
// and the bytes come back one by one. A controller of one generation does
// not answer the other's transaction.
#pragma once

#include "machine/devices/data_command_ports.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>

namespace vexa::machine {

struct AbitUGuruSettings {
    enum class Generation : uint8_t { UGuru2003, UGuru2005 };
    using Bank = std::array<uint8_t, 256>;

    Generation generation = Generation::UGuru2003;
    std::map<uint8_t, Bank> banks;  // a bank not listed does not answer
    // 2005: at most this many bytes of a run come back (a run cut short).
    size_t runLimit = 256;
};

class AbitUGuru final : public DataAndCommandPorts {
public:
    static constexpr uint16_t kDataPort = 0xE0;
    static constexpr uint16_t kCommandPort = 0xE4;
    static constexpr uint8_t kRunCommand = 0x1A;

    explicit AbitUGuru(AbitUGuruSettings settings)
        : DataAndCommandPorts(kDataPort, kCommandPort), settings_(std::move(settings)) {}

    std::string name() const override { return "abit uGuru"; }
    uint32_t read(uint16_t port, unsigned width) override;
    void write(uint16_t port, unsigned width, uint32_t value) override;

private:
    void startRun();

    AbitUGuruSettings settings_;
    std::deque<uint8_t> output_;
    std::array<uint8_t, 3> runHeader_{};  // bank, register, count
    size_t headerBytes_ = 0;
    int bank_ = -1;                       // 2003: the bank of the transaction; -1: none
    bool run_ = false;
};

} // namespace vexa::machine
