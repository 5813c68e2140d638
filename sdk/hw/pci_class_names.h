// Readable names of PCI class codes (base class, subclass, programming
// interface) for the device descriptions of the report.
#pragma once

#include <cstddef>
#include <cstdint>

// The most specific name known for the class code: the subclass's name
// (by programming interface where that matters), else the base class's;
// for base class 0 and 0x12 up, "BaseClass 0x.., SubClass 0x.., PI 0x..".
void FormatPCIClassDescription(char* destination, size_t size, uint8_t baseClass, uint8_t subClass,
                               uint8_t progIF);
