#include "app/scan_rules.h"

#include "app/settings.h"

bool IsLimitedMachine(int virtualMachineKind) { return virtualMachineKind == 1 || virtualMachineKind == 2; }

void EnterLimitedMode(VexaSettings& settings) {
    settings.PCI = 0;
    settings.ACPI = 0;
    settings.SMBus = 0;
    settings.Sensor = 0;
    settings.Display = 0;
}

void ApplyBoardRules(uint32_t boardHash, VexaSettings& settings) {
    if (boardHash == kBoardWithoutSMBus) settings.SMBus = 0;
    else if (boardHash == kBoardWithPortPCIAccess) settings.PCI = 2;
}

bool SystemTimerRateIsPlausible(double measuredMean, double nominal) {
    return !(measuredMean > nominal * 1.05 || measuredMean < nominal * 0.95);
}
