// The manifest's "batteries": the facts each key gives, the defaults, and
// the errors of malformed entries.
#include <gtest/gtest.h>

#include <string>

#include "machine/manifest.h"

namespace vexa::machine {
namespace {

TEST(BatteryManifest, KeysAndDefaults) {
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest(R"({"batteries": [
        {"chemistry": "LION", "designed_capacity": 56160, "full_charged_capacity": "0xC56C",
         "remaining_capacity": 37900, "voltage": 11650, "rate": -14000, "cycle_count": 7, "state": "charging"},
        {"relative": true, "short_term": true, "system": false, "path": "\\\\?\\ups#1"}]})",
                              manifest, error))
        << error;
    ASSERT_EQ(manifest.batteries.size(), 2u);
    const BatteryFacts& first = manifest.batteries[0];
    EXPECT_EQ(first.interfacePath, "\\\\?\\acpi#pnp0c0a#1#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}");
    EXPECT_EQ(first.capabilities, BatteryFacts::kSystemBattery);
    EXPECT_EQ(first.chemistry, "LION");
    EXPECT_EQ(first.fullChargedCapacity, 50540u);
    EXPECT_EQ(first.rate, -14000);
    EXPECT_EQ(first.cycleCount, 7u);
    EXPECT_EQ(first.powerState, BatteryFacts::kPowerOnLine | BatteryFacts::kCharging);
    const BatteryFacts& second = manifest.batteries[1];
    EXPECT_EQ(second.interfacePath, "\\\\?\\ups#1");
    EXPECT_EQ(second.capabilities, BatteryFacts::kCapacityRelative | BatteryFacts::kShortTerm);
    EXPECT_EQ(second.remainingCapacity, BatteryFacts::kUnknown);
    EXPECT_EQ(second.voltage, BatteryFacts::kUnknown);
}

TEST(BatteryManifest, MalformedEntriesAreErrors) {
    const char* cases[] = {
        R"({"batteries": {}})",
        R"({"batteries": [{"colour": "red"}]})",
        R"({"batteries": [{"chemistry": "LIPOLY"}]})",
        R"({"batteries": [{"state": "asleep"}]})",
        R"({"batteries": [{"voltage": "0xFFFFFFFF"}]})",
        R"({"batteries": [{"rate": 1.5}]})",
        R"({"batteries": [{"rate": 4294967296}]})",
        R"({"batteries": [{"path": ""}]})",
        R"({"batteries": [{}, {}, {}, {}, {}, {}, {}, {}, {}]})",
    };
    for (const char* text : cases) {
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(text, manifest, error)) << text;
        EXPECT_NE(error.find("batteries"), std::string::npos) << text << ": " << error;
    }
}

} // namespace
} // namespace vexa::machine
