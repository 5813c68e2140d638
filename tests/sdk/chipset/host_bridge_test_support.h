// What the tests of the NVIDIA, VIA and SiS host bridges share: a simulated
// machine built from the configuration spaces of the host device's
// functions (and whatever sits beside them), the chipset domain detected on
// it, and the proof that identification leaves the hardware as it found it.
#pragma once

#include <map>
#include <vector>

#include "machine/machine.h"
#include "sdk/chipset/chipset_interface.h"
#include "sdk/chipset/memory_info.h"
#include "tests/sdk/pci/pci_test_support.h"

namespace vexa::test {

// A host bridge (class 06/00) at 00:00.0 with its revision id; function 0
// of a multi-function device.
FunctionDump HostBridgeAt00(uint16_t vendor, uint16_t device, uint8_t revision = 0);
// Another function of bus 0.
FunctionDump FunctionAt(uint8_t device, uint8_t function, uint16_t vendor, uint16_t deviceID);

class HostBridgeTest : public PciTest {
protected:
    // The machine of these functions; the accesses are recorded from here on.
    void Start(const std::vector<FunctionDump>& functions);
    // The chipset domain as the scan creates it; null (and a failure) when
    // it is not created.
    CChipsetInterface* Detect();
    const CMemoryInfo& Memory() { return *sdk().m_pChipset->m_pMemoryInfo; }

    // The main bridge's names; a null revision is not looked at.
    void ExpectMainBridgeNamed(const char* vendor, const char* model, const char* revision = nullptr);
    // The DRAM clock source as the decoders give it: the ratio text and its
    // factor, or the offset, and no other source.
    void ExpectClockSource(const char* ratio, float factor, float offset = -1.0f);

    // Every configuration byte of every function as it started, and every
    // port or configuration register written holds again what was read
    // there before the first write.
    void ExpectHardwareAsFound();
    // The values written to a port, in order.
    std::vector<uint32_t> PortWrites(uint16_t port);

private:
    std::vector<uint8_t> Config(machine::PciAddress fn);

    machine::Machine* machine_ = nullptr;
    std::map<machine::PciAddress, std::vector<uint8_t>> before_;
};

} // namespace vexa::test
