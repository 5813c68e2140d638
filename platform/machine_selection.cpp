#include "platform/machine_selection.h"

#include "machine/machine.h"

bool vexa::platform::selectMachineFromEnvironment(std::string& error) {
    return machine::selectFromEnvironment(error);
}
