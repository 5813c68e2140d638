// The machine the program runs on: the host, unless the environment names
// a machine image (VEXA_MACHINE=<image directory>) to run on instead.
#pragma once

#include <string>

namespace vexa::platform {

// Selects the machine the environment names, once, before anything asks
// the machine. True when there is none to select (the host stays) or the
// image loaded; false with a message naming the variable when it did not.
bool selectMachineFromEnvironment(std::string& error);

} // namespace vexa::platform
