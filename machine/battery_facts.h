// What a machine's batteries tell the battery class driver: the facts
// behind Windows' battery information and status queries.
#pragma once

#include <cstdint>
#include <string>

namespace vexa::machine {

struct BatteryFacts {
    static constexpr uint32_t kUnknown = 0xFFFFFFFF;
    // Capability bits of the battery information.
    static constexpr uint32_t kSystemBattery = 0x80000000;
    static constexpr uint32_t kCapacityRelative = 0x40000000;  // capacities in percent
    static constexpr uint32_t kShortTerm = 0x20000000;          // a UPS
    // Power-state bits of the status.
    static constexpr uint32_t kPowerOnLine = 0x1, kDischarging = 0x2, kCharging = 0x4;

    // The device-interface path the battery interface class lists.
    std::string interfacePath;
    uint32_t capabilities = kSystemBattery;
    std::string chemistry;              // up to four characters ("LION")
    uint32_t designedCapacity = 0;      // mWh, or percent when relative
    uint32_t fullChargedCapacity = 0;   // likewise
    uint32_t cycleCount = 0;            // 0: not known
    uint32_t powerState = 0;
    uint32_t remainingCapacity = kUnknown;  // mWh, or percent when relative
    uint32_t voltage = kUnknown;            // mV
    int32_t rate = int32_t(0x80000000);     // mW, negative while discharging; the minimum: unknown
    bool operator==(const BatteryFacts&) const = default;
};

} // namespace vexa::machine
