// The machine of the process: the host unless a machine image or a test
// installed another.
#include "machine/host_machine.h"
#include "machine/image_loader.h"
#include "machine/machine.h"
#include "machine/machine_generation.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>

namespace vexa::machine {
namespace {

std::mutex selectionLock;
std::unique_ptr<Machine> selected;
std::atomic<uint64_t> generation{0};

} // namespace

Machine& current() {
    std::lock_guard lock(selectionLock);
    if (!selected) selected = std::make_unique<HostMachine>();
    return *selected;
}

std::unique_ptr<Machine> install(std::unique_ptr<Machine> machine) {
    std::lock_guard lock(selectionLock);
    std::unique_ptr<Machine> previous = std::move(selected);
    selected = std::move(machine);
    ++generation;
    return previous;
}

uint64_t machineGeneration() { return generation.load(); }

std::unique_ptr<Machine> loadImage(const std::string& directory, std::string& error) {
    std::error_code code;
    const std::filesystem::path absolute = std::filesystem::absolute(directory, code);
    const std::string path = code ? directory : absolute.lexically_normal().string();
    // lexically_normal keeps a trailing separator ("dir/"); drop it so that
    // the description and messages read "dir/cpuid.txt".
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    return loadMachineImage(trimmed, error, ImageContent::AtLeastOneFile);
}

bool selectFromEnvironment(std::string& error) {
    error.clear();
    const char* image = std::getenv("VEXA_MACHINE");
    if (!image || !*image) return true;
    std::unique_ptr<Machine> machine = loadImage(image, error);
    if (!machine) {
        error = "VEXA_MACHINE: " + error;
        return false;
    }
    install(std::move(machine));
    return true;
}

ScopedMachine::ScopedMachine(std::unique_ptr<Machine> machine)
    : machine_(machine.get()), previous_(install(std::move(machine))) {
    if (!machine_) machine_ = &current();  // nullptr selects the host
}

ScopedMachine::~ScopedMachine() { install(std::move(previous_)); }

} // namespace vexa::machine
