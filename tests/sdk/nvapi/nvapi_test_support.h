// A simulated machine with the NVIDIA driver library its manifest's "nvapi"
// section describes, installed for the lifetime of the object.
#pragma once

#include <string>

#include "machine/devices/nvidia_library.h"
#include "machine/machine.h"
#include "tests/support/image_dir.h"

namespace vexa::test {

// The "nvapi" section of one GeForce 210 (GT218) with everything the GPU
// functions read; `extra` adds keys to the section ("\"missing\": [...]").
std::string nvapiSection(const std::string& extra = "");

class NvapiMachine {
public:
    // `manifest`: the whole machine.json.
    explicit NvapiMachine(const std::string& manifest);
    // The installed library's model (the test fails without one).
    machine::NvidiaLibrary& library();

private:
    ImageDir dir_;
    machine::ScopedMachine scoped_;
};

// The system folder's path of a file name, as the loader builds it.
std::string systemFolderPath(const std::string& name);

} // namespace vexa::test
