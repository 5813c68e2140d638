// The decisions the detection scan takes from what it found: limited
// detection in a virtual machine, the two board rules and the plausibility
// of the system timer.
#pragma once

#include <cstdint>

struct VexaSettings;

// Boards recognised by the StringHash of their baseboard product name.
constexpr uint32_t kBoardWithoutSMBus = 0xB88438E0;     // no SMBus domain, no SPD scan
constexpr uint32_t kBoardWithPortPCIAccess = 0x504C8720;  // PCI configuration through the ports

// VMware (1) and Virtual PC (2) get limited detection.
bool IsLimitedMachine(int virtualMachineKind);
// Switches off the domains that touch hardware a virtual machine fakes:
// PCI, ACPI, SMBus, sensors and display.
void EnterLimitedMode(VexaSettings& settings);
// The board rules; other boards change nothing.
void ApplyBoardRules(uint32_t boardHash, VexaSettings& settings);
// False when the mean of the system timer's measured rates lies more than
// 5 % above or below its nominal rate (exactly 5 % passes).
bool SystemTimerRateIsPlausible(double measuredMean, double nominal);
