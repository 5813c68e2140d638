// The local APIC's register page: 4 KB of memory-mapped 32-bit registers,
// one every 16 bytes.
// - 0x020 local APIC id: the processor's APIC id in bits 31:24.
// - 0x030 version: the version in bits 7:0, the highest LVT entry in
//   bits 23:16, EOI-broadcast suppression in bit 24.
// Every other register reads 0 and ignores writes, and so do the ID and
// version registers themselves (the id is treated as read-only, which
// software may not rely on writing anyway).
//
// Each processor sees its own APIC at the same address. A physical-memory
// access carries no processor, so the page answers as the bootstrap
// processor's (the machine's processor 0) does.
#pragma once

#include "machine/devices/memory_bus.h"

namespace vexa::machine {

struct LocalApicSettings {
    // An integrated APIC of version 0x14 with six LVT entries (timer,
    // thermal, performance counters, LINT0, LINT1, error).
    static constexpr uint32_t kDefaultVersion = 0x00050014;

    uint64_t base = 0xFEE00000;
    uint32_t version = kDefaultVersion;
    bool operator==(const LocalApicSettings&) const = default;
};

class LocalApicPage final : public QwordRegisterBlock {
public:
    static constexpr uint64_t kSize = 0x1000;
    static constexpr uint64_t kId = 0x020;
    static constexpr uint64_t kVersion = 0x030;

    // `apicId`: the 8-bit xAPIC id of the processor whose page this is.
    LocalApicPage(const LocalApicSettings& settings, uint8_t apicId) : settings_(settings), apicId_(apicId) {}

    std::string name() const override { return "local APIC"; }
    uint64_t base() const override { return settings_.base; }
    uint64_t size() const override { return kSize; }

protected:
    uint64_t readRegister(uint64_t offset) override;
    void writeRegister(uint64_t, uint64_t, uint64_t) override {}

private:
    LocalApicSettings settings_;
    uint8_t apicId_;
};

} // namespace vexa::machine
