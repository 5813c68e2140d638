// What the tests of the ATI/AMD graphics APIs share: video BIOS images,
// a GPU's configuration dump and machine images with its register window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {

constexpr uint32_t kGpuWindowBase = 0xFDFF0000;

// A 64 KiB ATOM video BIOS whose firmware table gives the reference clock
// word `core` (and the R8XX memory word `memory`).
std::vector<uint8_t> AtomBIOS(uint16_t core, uint16_t memory);
// A legacy video BIOS with the reference clock word `clock`.
std::vector<uint8_t> LegacyBIOS(uint16_t clock);

// An ATI display function 01:00.0 (or at `device` on bus 1) whose register
// BAR (0x18) holds `bar`.
FunctionDump AtiFunction(uint16_t id, uint32_t bar = kGpuWindowBase, uint8_t device = 0);

class AtiTest : public PciTest {
protected:
    // A machine with these functions behind a host bridge, the manifest's
    // keys (without braces, may be empty) and, when given, the video BIOS
    // at 0xC0000.
    machine::Machine& startGpu(const std::vector<FunctionDump>& functions, const std::string& manifestKeys,
                               const std::vector<uint8_t>& bios = {});
    // Every physical-memory address written since the log was cleared
    // holds what it held before: the first read of it, or `before`.
    void expectWritesRestored();
};

// A register window manifest entry.
std::string GpuWindow(const std::string& engine, const std::string& registers, const std::string& devices,
                      uint32_t base = kGpuWindowBase);

} // namespace vexa::test
