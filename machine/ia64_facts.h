// What an Itanium (IA-64) processor tells its kernel driver: its CPUID
// registers (64 bits each; registers 0 and 1 hold the vendor text,
// register 3 the version information) and the answers of its processor
// abstraction layer (PAL) procedures, each called with four 64-bit
// arguments (the first the procedure number) and answering a status (0
// done, negative an error) and three results.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vexa::machine {

// The status of a procedure the PAL does not implement.
constexpr uint64_t kPalUnimplemented = ~0ull;  // -1

struct PalAnswer {
    std::array<uint64_t, 4> arguments{};  // procedure number, arguments 1 to 3
    std::array<uint64_t, 4> results{};    // status, results 1 to 3
    std::vector<unsigned> cpus;           // empty: every processor
    bool operator==(const PalAnswer&) const = default;
};

struct Ia64Facts {
    static constexpr size_t kCpuidRegisters = 5;
    std::array<uint64_t, kCpuidRegisters> cpuid{};  // the same on every processor
    std::vector<PalAnswer> pal;
    bool operator==(const Ia64Facts&) const = default;
};

} // namespace vexa::machine
