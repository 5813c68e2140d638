#include "machine/host_pci_config.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace vexa::machine {
namespace {

size_t listingIndex(PciAddress fn) {
    return size_t(fn.bus) << 8 | size_t(fn.device & 31) << 3 | size_t(fn.function & 7);
}

// "0000:BB:DD.F", domain 0 only (the program sees no other).
bool parseFunctionName(const char* name, PciAddress& fn) {
    unsigned domain = 0, bus = 0, device = 0, function = 0;
    int length = 0;
    if (std::sscanf(name, "%4x:%2x:%2x.%1x%n", &domain, &bus, &device, &function, &length) != 4) return false;
    if (length != 12 || name[length] != '\0' || domain != 0 || device > 31 || function > 7) return false;
    fn = PciAddress{uint8_t(bus), uint8_t(device), uint8_t(function)};
    return true;
}

} // namespace

HostPciConfig::HostPciConfig(std::string devicesDir, std::chrono::milliseconds listingLifetime)
    : devicesDir_(std::move(devicesDir)), listingLifetime_(listingLifetime) {}

size_t HostPciConfig::opens() const {
    std::lock_guard guard(lock_);
    return opens_;
}

bool HostPciConfig::read(PciAddress fn, unsigned offset, std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), 0xFF);
    std::lock_guard guard(lock_);
    return withFile(fn, false, [&](const OpenFunction& open) {
        std::fill(out.begin(), out.end(), 0xFF);
        // The file is as long as the function's configuration space (256
        // bytes for conventional PCI, 4096 with the extended space);
        // registers past its end do not exist and read as all ones.
        if (offset >= open.size) return true;
        const size_t inside = size_t(std::min<uint64_t>(out.size(), open.size - offset));
        return open.reader.readAt(offset, out.data(), inside);
    });
}

bool HostPciConfig::write(PciAddress fn, unsigned offset, std::span<const uint8_t> data) {
    std::lock_guard guard(lock_);
    return withFile(fn, true, [&](const OpenFunction& open) {
        return open.writer.writeAt(offset, data.data(), data.size());
    });
}

template <typename Access>
bool HostPciConfig::withFile(PciAddress fn, bool writing, Access access) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const OpenFunction* open = file(fn, writing);
        if (!open) return errno == ENOENT;  // no such function: all ones, writes go nowhere
        errno = 0;
        if (access(*open)) return true;
        // sysfs answers ENODEV on the descriptor of a removed device; the
        // same address may hold a new one by now.
        if (errno != ENODEV) return false;
        forget(fn);
    }
    return false;
}

const HostPciConfig::OpenFunction* HostPciConfig::file(PciAddress fn, bool writing) {
    OpenFunction* open = findOpen(fn);
    if (open && (writing ? open->writer : open->reader).isOpen()) return open;
    if (!open && !mayExist(fn)) {
        errno = ENOENT;
        return nullptr;
    }
    char name[16];
    std::snprintf(name, sizeof name, "0000:%02x:%02x.%x", fn.bus, fn.device & 31, fn.function & 7);
    DeviceFile config(devicesDir_ + "/" + name + "/config", writing ? O_WRONLY : O_RDONLY);
    ++opens_;
    if (!config.isOpen()) return nullptr;
    struct stat info {};
    if (fstat(config.fd(), &info) != 0) return nullptr;
    if (!open) {
        if (open_.size() >= kMaxOpenFunctions) open_.erase(open_.begin());
        open = &open_.emplace_back();
        open->fn = fn;
    }
    open->size = uint64_t(std::max<off_t>(info.st_size, 0));
    (writing ? open->writer : open->reader) = std::move(config);
    return open;
}

HostPciConfig::OpenFunction* HostPciConfig::findOpen(PciAddress fn) {
    const auto found = std::find_if(open_.begin(), open_.end(), [&](const OpenFunction& f) { return f.fn == fn; });
    return found == open_.end() ? nullptr : &*found;
}

void HostPciConfig::forget(PciAddress fn) {
    std::erase_if(open_, [&](const OpenFunction& f) { return f.fn == fn; });
    listingRead_ = false;
}

bool HostPciConfig::mayExist(PciAddress fn) {
    const auto now = std::chrono::steady_clock::now();
    if (!listingRead_ || now - listedAt_ >= listingLifetime_) {
        readListing();
        listingRead_ = true;
        listedAt_ = now;
    }
    return !listingKnown_ || listed_.test(listingIndex(fn));
}

void HostPciConfig::readListing() {
    listed_.reset();
    DIR* listing = opendir(devicesDir_.c_str());
    // Without the folder there is no PCI; a folder that cannot be read says
    // nothing, and each function is tried.
    listingKnown_ = listing || errno == ENOENT;
    if (!listing) return;
    while (const dirent* entry = readdir(listing)) {
        PciAddress fn;
        if (parseFunctionName(entry->d_name, fn)) listed_.set(listingIndex(fn));
    }
    closedir(listing);
}

} // namespace vexa::machine
