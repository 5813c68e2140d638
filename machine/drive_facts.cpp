#include "machine/drive_facts.h"

namespace vexa::machine {
namespace {

constexpr uint32_t kFixedDiskHeads = 255;
constexpr uint32_t kFixedDiskSectorsPerTrack = 63;

// Word `index` of the data, or 0 past its end.
uint16_t word(const std::vector<uint8_t>& data, size_t index) {
    if (index >= data.size() / 2) return 0;
    return uint16_t(data[2 * index] | data[2 * index + 1] << 8);
}

// A word of a feature set that reports something.
bool reports(uint16_t value) { return value != 0 && value != 0xFFFF; }

} // namespace

DiskGeometry DiskGeometry::ofSectors(uint64_t sectors, uint32_t bytesPerSector) {
    DiskGeometry geometry;
    geometry.bytesPerSector = bytesPerSector;
    geometry.cylinders = sectors / (uint64_t(kFixedDiskHeads) * kFixedDiskSectorsPerTrack);
    return geometry;
}

namespace ata {

std::string identifyText(const std::vector<uint8_t>& identify, size_t firstWord, size_t wordCount) {
    std::string text;
    for (size_t i = firstWord; i < firstWord + wordCount; ++i) {
        const uint16_t value = word(identify, i);
        text += char(value >> 8);
        text += char(value & 0xFF);
    }
    const size_t end = text.find_last_not_of(std::string(" \0", 2));
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string model(const std::vector<uint8_t>& identify) { return identifyText(identify, 27, 20); }
std::string serial(const std::vector<uint8_t>& identify) {
    const std::string text = identifyText(identify, 10, 10);
    const size_t start = text.find_first_not_of(' ');  // serials are often right-aligned
    return start == std::string::npos ? std::string() : text.substr(start);
}
std::string firmware(const std::vector<uint8_t>& identify) { return identifyText(identify, 23, 4); }

uint64_t sectors(const std::vector<uint8_t>& identify) {
    if (reports(word(identify, 83)) && (word(identify, 83) & 0x400)) {
        uint64_t count = 0;
        for (size_t i = 0; i < 4; ++i) count |= uint64_t(word(identify, 100 + i)) << (16 * i);
        if (count != 0) return count;
    }
    return uint32_t(word(identify, 60) | uint32_t(word(identify, 61)) << 16);
}

bool smartSupported(const std::vector<uint8_t>& identify) {
    return reports(word(identify, 82)) && (word(identify, 82) & 1);
}

bool smartEnabled(const std::vector<uint8_t>& identify) {
    return reports(word(identify, 85)) && (word(identify, 85) & 1);
}

} // namespace ata
} // namespace vexa::machine
