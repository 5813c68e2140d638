// Builds a SimulatedMachine from a machine image directory
// (docs/machine-images.md): machine.json, cpuid.txt, lspci.txt,
// smbios.bin and acpi/. A missing file means the hardware it describes is
// absent; a malformed one stops the load with a message naming the file
// and, for text, the line.
#pragma once

#include "machine/simulated_machine.h"

#include <memory>
#include <string>

namespace vexa::machine {

// What a folder must hold: a test may build a machine from an empty one
// (absent parts are absent hardware); a folder the user names must hold
// at least one of the files of an image.
enum class ImageContent { Any, AtLeastOneFile };

std::unique_ptr<SimulatedMachine> loadMachineImage(const std::string& directory, std::string& error,
                                                   ImageContent content = ImageContent::Any);

// The clock rate a brand string names ("... @ 2.67GHz", "... 1200MHz"),
// in MHz; 0 when it names none.
double brandStringMhz(std::string_view brand);

} // namespace vexa::machine
