#include "machine/devices/physical_memory.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace vexa::machine {

bool PhysicalMemory::addRegion(uint64_t base, uint64_t size, uint8_t fill, std::span<const uint8_t> content,
                               std::string& error) {
    char where[64];
    std::snprintf(where, sizeof where, "region at 0x%llX", static_cast<unsigned long long>(base));
    if (size == 0 || base + (size - 1) < base) {
        error = std::string(where) + " is empty or wraps past the end of the address space";
        return false;
    }
    if (content.size() > size) {
        error = std::string(where) + ": its file is larger than the region";
        return false;
    }
    const uint64_t last = base + (size - 1);
    for (const auto& [otherBase, other] : regions_)
        if (otherBase <= last && base <= other.last) {
            error = std::string(where) + " overlaps another region";
            return false;
        }
    Region& region = regions_[base];
    region = Region{base, last, fill, {}};
    for (uint64_t offset = 0; offset < content.size(); offset += kPageSize) {
        std::vector<uint8_t>& bytes = page(region, offset / kPageSize);
        const size_t count = size_t(std::min<uint64_t>(kPageSize, content.size() - offset));
        std::copy_n(content.begin() + long(offset), count, bytes.begin());
    }
    return true;
}

const PhysicalMemory::Region* PhysicalMemory::regionAt(uint64_t address) const {
    auto it = regions_.upper_bound(address);
    if (it == regions_.begin()) return nullptr;
    --it;
    return address <= it->second.last ? &it->second : nullptr;
}

PhysicalMemory::Region* PhysicalMemory::regionAt(uint64_t address) {
    return const_cast<Region*>(std::as_const(*this).regionAt(address));
}

std::vector<uint8_t>& PhysicalMemory::page(Region& region, uint64_t number) {
    auto it = region.pages.find(number);
    if (it == region.pages.end()) it = region.pages.emplace(number, std::vector<uint8_t>(kPageSize, region.fill)).first;
    return it->second;
}

size_t PhysicalMemory::pieceLength(const Region& region, uint64_t address, size_t wanted) {
    // Up to the end of the page, of the request or of the region; the
    // region's remainder is capped before adding 1 so a region that ends
    // at the top of the address space cannot overflow it.
    const uint64_t toPageEnd = kPageSize - (address - region.base) % kPageSize;
    const uint64_t toRegionEnd = std::min<uint64_t>(region.last - address, kPageSize - 1) + 1;
    return size_t(std::min<uint64_t>({toPageEnd, wanted, toRegionEnd}));
}

bool PhysicalMemory::covered(uint64_t address, uint64_t size) const {
    const uint64_t last = address + (size - 1);
    for (;;) {
        const Region* region = regionAt(address);
        if (!region) return false;
        if (region->last >= last) return true;
        address = region->last + 1;
    }
}

bool PhysicalMemory::read(uint64_t address, std::span<uint8_t> out) const {
    if (out.empty() || address + (out.size() - 1) < address || !covered(address, out.size())) return false;
    size_t done = 0;
    while (done < out.size()) {
        const Region& region = *regionAt(address + done);
        const uint64_t offset = address + done - region.base;
        const uint64_t number = offset / kPageSize, within = offset % kPageSize;
        const size_t count = pieceLength(region, address + done, out.size() - done);
        const auto it = region.pages.find(number);
        if (it == region.pages.end())
            std::fill_n(out.begin() + long(done), count, region.fill);
        else
            std::copy_n(it->second.begin() + long(within), count, out.begin() + long(done));
        done += count;
    }
    return true;
}

bool PhysicalMemory::write(uint64_t address, std::span<const uint8_t> data) {
    if (data.empty() || address + (data.size() - 1) < address || !covered(address, data.size())) return false;
    size_t done = 0;
    while (done < data.size()) {
        Region& region = *regionAt(address + done);
        const uint64_t offset = address + done - region.base;
        const uint64_t within = offset % kPageSize;
        const size_t count = pieceLength(region, address + done, data.size() - done);
        std::copy_n(data.begin() + long(done), count, page(region, offset / kPageSize).begin() + long(within));
        done += count;
    }
    return true;
}

} // namespace vexa::machine
