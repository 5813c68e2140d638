// The physical address space of a simulated machine: regions, each filled
// with one byte value and optionally overlaid with the bytes of a file,
// that store what is written. Pages are created only when a file or a
// write puts something into them, so a region may be as large as real
// RAM. An access must lie wholly inside regions (adjacent regions join);
// otherwise it fails, as a read of an address nothing decodes would.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace vexa::machine {

class PhysicalMemory {
public:
    // False (with a message) for an empty region, one that wraps past the
    // end of the address space, overlaps another, or whose `content` is
    // larger than it.
    bool addRegion(uint64_t base, uint64_t size, uint8_t fill, std::span<const uint8_t> content, std::string& error);

    bool read(uint64_t address, std::span<uint8_t> out) const;
    bool write(uint64_t address, std::span<const uint8_t> data);

private:
    static constexpr uint64_t kPageSize = 4096;
    struct Region {
        uint64_t base = 0, last = 0;  // inclusive
        uint8_t fill = 0xFF;
        std::map<uint64_t, std::vector<uint8_t>> pages;  // page number within the region -> bytes
    };

    static size_t pieceLength(const Region& region, uint64_t address, size_t wanted);
    bool covered(uint64_t address, uint64_t size) const;
    Region* regionAt(uint64_t address);
    const Region* regionAt(uint64_t address) const;
    std::vector<uint8_t>& page(Region& region, uint64_t number);

    std::map<uint64_t, Region> regions_;  // by base
};

} // namespace vexa::machine
