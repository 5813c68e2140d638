// The High Precision Event Timer's register block (IA-PC HPET): 1 KB of
// memory-mapped 64-bit registers.
// - 0x000 general capabilities and id (read-only): revision 1 in bits 7:0,
//   the number of comparators less one in 12:8, a 64-bit counter (bit 13),
//   legacy replacement routing (bit 15), the vendor id in 31:16 and the
//   counter period in femtoseconds in 63:32 (the dword at offset 4).
// - 0x010 general configuration: bit 0 ENABLE_CNF runs the main counter,
//   bit 1 LEG_RT_CNF is stored; the other bits read 0.
// - 0x0F0 the 64-bit main counter, counting one per period from the
//   installed clock while enabled and holding its value while halted. A
//   write sets it (the hardware expects that only while halted; here it
//   takes effect either way).
// Every other register (interrupt status, the comparators) reads 0 and
// ignores writes.
//
// The hardware resets ENABLE_CNF to 0, but a machine image shows a running
// system whose operating system has started the counter, so the model
// starts enabled unless its settings say otherwise; an enabled counter that
// nobody wrote reads the clock's time in periods, as the ACPI PM timer does.
#pragma once

#include "machine/devices/memory_bus.h"

namespace vexa::machine {

struct HpetSettings {
    // 14.31818 MHz, the period the HPETs of PC chipsets report.
    static constexpr uint32_t kPeriod14MHz = 69'841'279;
    // The architecture's limits of the period: above 0, at most 100 ns.
    static constexpr uint32_t kMaxPeriodFs = 100'000'000;
    static constexpr unsigned kMaxTimers = 32;

    uint64_t base = 0xFED00000;
    uint32_t periodFs = kPeriod14MHz;
    uint16_t vendorId = 0x8086;
    unsigned timers = 3;  // comparators, 1..32
    bool enabled = true;
    bool operator==(const HpetSettings&) const = default;
};

class Hpet final : public QwordRegisterBlock {
public:
    static constexpr uint64_t kSize = 0x400;
    static constexpr uint64_t kCapabilities = 0x000;
    static constexpr uint64_t kConfiguration = 0x010;
    static constexpr uint64_t kMainCounter = 0x0F0;
    static constexpr uint64_t kEnable = 1u << 0;
    static constexpr uint64_t kLegacyRouting = 1u << 1;

    // The settings are within their limits; the loader checks.
    explicit Hpet(const HpetSettings& settings);

    std::string name() const override { return "HPET"; }
    uint64_t base() const override { return settings_.base; }
    uint64_t size() const override { return kSize; }

    uint64_t capabilities() const;
    uint64_t counter() const;

protected:
    uint64_t readRegister(uint64_t offset) override;
    void writeRegister(uint64_t offset, uint64_t value, uint64_t mask) override;

private:
    uint64_t periodsSince(uint64_t startNs) const;
    // Restarts counting from `value` at the present time.
    void setCounter(uint64_t value);

    HpetSettings settings_;
    uint64_t configuration_ = 0;
    uint64_t counterAtStart_ = 0;  // the count at startNs_
    uint64_t startNs_ = 0;         // clock time from which an enabled counter runs
};

} // namespace vexa::machine
