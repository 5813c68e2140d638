#include "machine/devices/smbus_segment.h"

#include <cstdio>

namespace vexa::machine {

namespace {

std::string hexAddress(uint8_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", address);
    return text;
}

} // namespace

bool SmbusSegment::attach(uint8_t address, std::unique_ptr<SmbusSlave> slave, std::string& error) {
    if (address > kLastAddress) {
        error = "SMBus address " + hexAddress(address) + " is past 0x7F";
        return false;
    }
    if (address == kSpdPage0Address || address == kSpdPage1Address) {
        error = "SMBus address " + hexAddress(address) + " is the SPD page select";
        return false;
    }
    if (slaves_.contains(address)) {
        error = "SMBus address " + hexAddress(address) + " is taken by " + slaves_[address]->name();
        return false;
    }
    slaves_[address] = std::move(slave);
    return true;
}

bool SmbusSegment::hasPagedSpd() const {
    for (const auto& [address, slave] : slaves_)
        if (slave->pagedSpd()) return true;
    return false;
}

bool SmbusSegment::acknowledges(uint8_t address) const {
    if (address == kSpdPage0Address || address == kSpdPage1Address) return hasPagedSpd();
    return slaves_.contains(address);
}

bool SmbusSegment::write(uint8_t address, uint8_t command, std::span<const uint8_t> data) {
    if (address == kSpdPage0Address || address == kSpdPage1Address) {
        for (auto& [at, slave] : slaves_)
            if (slave->pagedSpd()) slave->selectSpdPage(address - kSpdPage0Address);
        return hasPagedSpd();
    }
    const auto it = slaves_.find(address);
    return it != slaves_.end() && it->second->write(command, data);
}

bool SmbusSegment::read(uint8_t address, uint8_t command, std::span<uint8_t> out) {
    const auto it = slaves_.find(address);
    return it != slaves_.end() && it->second->read(command, out);
}

bool SmbusSegment::readBlock(uint8_t address, uint8_t command, std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> wire(256);
    if (!read(address, command, wire)) return false;
    bytes.assign(wire.begin() + 1, wire.begin() + 1 + wire[0]);
    return true;
}

bool SmbusSegment::writeBlock(uint8_t address, uint8_t command, std::span<const uint8_t> bytes) {
    std::vector<uint8_t> wire{uint8_t(bytes.size())};
    wire.insert(wire.end(), bytes.begin(), bytes.end());
    return write(address, command, wire);
}

} // namespace vexa::machine
