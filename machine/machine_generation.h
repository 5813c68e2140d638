// A number that changes whenever another machine becomes the current one
// (install, ScopedMachine, VEXA_MACHINE), so that what a layer above derives
// from the current machine (an index of its device tree, say) can be built
// once and kept until then.
#pragma once

#include <cstdint>

namespace vexa::machine {

uint64_t machineGeneration();

} // namespace vexa::machine
