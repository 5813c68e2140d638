// The vexa program. It starts, selects the machine it runs on and ends; the
// detection and reports come with the application's start-up sequence.
#include <cstdio>
#include <string>

#include "machine/machine.h"

int main() {
    std::string error;
    if (!vexa::machine::selectFromEnvironment(error)) {
        std::fprintf(stderr, "vexa: %s\n", error.c_str());
        return 2;
    }
    return 0;
}
