// The System Management Unit of AMD's APUs (families 15h and 16h) as
// software reaches it:
// - its registers through the index pair of the host bridge: a register
//   index written to 00:00.0 0xB8, the register read and written at 0xBC;
//   registers nobody set read 0;
// - its message mailbox in the register BAR of the integrated graphics: a
//   message number written to base + 0x250, the response read at base +
//   0x254. The response is cleared by every message and, when the SMU
//   answers, set to the configured value; an SMU that never answers leaves
//   it 0. The messages are kept in the order they came.
#pragma once

#include "machine/devices/memory_bus.h"
#include "machine/devices/pci_config_space.h"

#include <map>
#include <memory>
#include <vector>

namespace vexa::machine {

struct AmdSmuSettings {
    static constexpr uint64_t kMailboxBytes = 0x1000;  // the part of the BAR modelled

    uint64_t base = 0;                        // the graphics' register BAR
    std::map<uint32_t, uint32_t> registers;  // SMU register index -> value
    bool answers = true;
    uint32_t response = 1;
    bool operator==(const AmdSmuSettings&) const = default;
};

struct AmdSmuState {
    std::map<uint32_t, uint32_t> registers;
    std::vector<uint32_t> messages;
    uint32_t response = 0;
};

// 00:00.0 registers 0xB8-0xBF.
class AmdSmuIndexPair final : public PciRegisterBlock {
public:
    static constexpr unsigned kIndexRegister = 0xB8;
    static constexpr unsigned kDataRegister = 0xBC;

    explicit AmdSmuIndexPair(std::shared_ptr<AmdSmuState> state) : state_(std::move(state)) {}

    PciAddress function() const override { return PciAddress{0, 0, 0}; }
    unsigned first() const override { return kIndexRegister; }
    unsigned last() const override { return kDataRegister + 3; }
    void read(unsigned offset, std::span<uint8_t> out) override;
    void write(unsigned offset, std::span<const uint8_t> data) override;

    uint32_t index() const { return index_; }

private:
    uint32_t dword(unsigned offset) const;
    void store(unsigned offset, uint32_t value);

    std::shared_ptr<AmdSmuState> state_;
    uint32_t index_ = 0;
};

class AmdSmuMailbox final : public MemoryDevice {
public:
    static constexpr uint64_t kMessage = 0x250;
    static constexpr uint64_t kResponse = 0x254;

    AmdSmuMailbox(const AmdSmuSettings& settings, std::shared_ptr<AmdSmuState> state)
        : settings_(settings), state_(std::move(state)) {}

    std::string name() const override { return "AMD SMU message mailbox"; }
    uint64_t base() const override { return settings_.base; }
    uint64_t size() const override { return AmdSmuSettings::kMailboxBytes; }
    void read(uint64_t offset, std::span<uint8_t> out) override;
    void write(uint64_t offset, std::span<const uint8_t> data) override;

private:
    AmdSmuSettings settings_;
    std::shared_ptr<AmdSmuState> state_;
    uint32_t message_ = 0;
};

} // namespace vexa::machine
