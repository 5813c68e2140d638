// What the platform derives from the current machine (its device tree with
// indexes, its USB tree), built once per installed machine and shared
// read-only by every caller until another machine is installed. Callers
// keep the shared pointer for as long as they use what it holds.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "machine/machine.h"
#include "machine/machine_generation.h"

namespace vexa::platform {

template <typename T>
class PerMachine {
public:
    using Build = T (*)(const machine::Machine&);
    explicit PerMachine(Build build) : build_(build) {}

    std::shared_ptr<const T> get() {
        // The generation is read first: a machine installed meanwhile at
        // worst has its view built again on the next call.
        const uint64_t generation = machine::machineGeneration();
        std::lock_guard lock(lock_);
        if (!value_ || generation_ != generation) {
            value_ = std::make_shared<const T>(build_(machine::current()));
            generation_ = generation;
        }
        return value_;
    }

private:
    Build build_;
    std::mutex lock_;
    std::shared_ptr<const T> value_;
    uint64_t generation_ = 0;
};

} // namespace vexa::platform
