#include "machine/devices/amd_display_library.h"

namespace vexa::machine {

std::optional<AdlAdapter> AmdDisplayLibrary::adapter(int32_t index) const {
    for (const AdlAdapter& adapter : settings_.adapters)
        if (adapter.index == index) return adapter;
    return std::nullopt;
}

void AmdDisplayLibrary::called(const std::string& entryPoint) {
    std::lock_guard guard(lock_);
    ++calls_[entryPoint];
}

unsigned AmdDisplayLibrary::calls(const std::string& entryPoint) const {
    std::lock_guard guard(lock_);
    const auto it = calls_.find(entryPoint);
    return it == calls_.end() ? 0 : it->second;
}

bool AmdDisplayLibrary::created() const {
    std::lock_guard guard(lock_);
    return created_;
}

void AmdDisplayLibrary::setCreated(bool created) {
    std::lock_guard guard(lock_);
    created_ = created;
}

} // namespace vexa::machine
