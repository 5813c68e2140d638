// What the platform knows about the calling thread.
#pragma once

#include <cstdint>

namespace vexa::platform {

// The processors the calling thread may run on: its own affinity, else the
// process's, limited to the machine's processors.
uint64_t effectiveAffinity();
// The logical processor the calling thread's processor instructions reach.
unsigned currentProcessor();

} // namespace vexa::platform
