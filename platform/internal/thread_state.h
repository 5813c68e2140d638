// What the platform knows about the calling thread.
#pragma once

#include <cstdint>

#include "machine/machine.h"

namespace vexa::platform {

// The processors the calling thread may run on: its own group and affinity,
// else the process's (in the first group), limited to the machine's
// processors.
vexa::machine::ProcessorAffinity effectiveAffinity();
// The logical processor the calling thread's processor instructions reach.
unsigned currentProcessor();

} // namespace vexa::platform
