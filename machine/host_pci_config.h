// PCI configuration space on Linux: /sys/bus/pci/devices/0000:BB:DD.F/config.
//
// A scan reads thousands of registers, so a function's file stays open
// after its first read (and a second descriptor after its first write)
// until the object goes; the most recently opened functions are kept, at
// most kMaxOpenFunctions of them, so a machine with thousands of functions
// stays far below the descriptor limit. Reads always reach the device:
// nothing of the space itself is kept.
//
// Which functions exist comes from the listing of the devices folder, read
// again when it is older than a second: a bus walk probing the thousands
// of empty device numbers costs one folder read instead of an open each,
// and a function that appears later is seen within a second.
#pragma once

#include "machine/device_file.h"
#include "machine/machine.h"

#include <bitset>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace vexa::machine {

class HostPciConfig {
public:
    static constexpr size_t kMaxOpenFunctions = 64;

    // `devicesDir` is the /sys/bus/pci/devices folder (tests point it at a
    // fake tree); the listing of it is read again once older than
    // `listingLifetime`.
    explicit HostPciConfig(std::string devicesDir,
                           std::chrono::milliseconds listingLifetime = std::chrono::seconds(1));

    // A function that does not exist reads all ones and takes writes
    // nowhere; both succeed. Registers past the end of the function's file
    // read all ones. A read that stops short inside the file (unprivileged
    // readers see only the first 64 bytes) fails.
    bool read(PciAddress fn, unsigned offset, std::span<uint8_t> out);
    bool write(PciAddress fn, unsigned offset, std::span<const uint8_t> data);

    // How many times a config file has been opened (tests).
    size_t opens() const;

private:
    struct OpenFunction {
        PciAddress fn;
        DeviceFile reader, writer;
        uint64_t size = 0;  // the length of the function's file
    };

    // False only when the listing says the function does not exist.
    bool mayExist(PciAddress fn);
    void readListing();
    // The function's descriptor for reading or for writing, opened on
    // first use; nullptr when there is none, errno saying why (ENOENT: no
    // such function).
    const OpenFunction* file(PciAddress fn, bool writing);
    OpenFunction* findOpen(PciAddress fn);
    void forget(PciAddress fn);
    // Runs `access` on the function's descriptor; when the function was
    // removed since it was opened, looks for it once more.
    template <typename Access>
    bool withFile(PciAddress fn, bool writing, Access access);

    const std::string devicesDir_;
    const std::chrono::milliseconds listingLifetime_;
    mutable std::mutex lock_;
    std::vector<OpenFunction> open_;  // oldest first
    std::bitset<0x10000> listed_;      // bus << 8 | device << 3 | function
    bool listingKnown_ = false;   // false: every function may exist
    bool listingRead_ = false;
    std::chrono::steady_clock::time_point listedAt_{};
    size_t opens_ = 0;
};

} // namespace vexa::machine
