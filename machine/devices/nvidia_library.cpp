#include "machine/devices/nvidia_library.h"

#include <utility>

namespace vexa::machine {

NvidiaLibrary::NvidiaLibrary(NvidiaLibrarySettings settings) : settings_(std::move(settings)) {}

ImageIdentity NvidiaLibrary::identity() const {
    std::lock_guard guard(lock_);
    return replaced_ ? settings_.replacement->identity : settings_.identity;
}

bool NvidiaLibrary::offers(uint32_t id) {
    std::lock_guard guard(lock_);
    ++queries_[id];
    return settings_.missingIds.count(id) == 0;
}

void NvidiaLibrary::called(uint32_t id) {
    std::lock_guard guard(lock_);
    ++calls_[id];
    ++functionCalls_;
    if (settings_.replacement && functionCalls_ >= settings_.replacement->afterCalls) replaced_ = true;
}

int32_t NvidiaLibrary::initialize(uint32_t id) {
    called(id);
    std::lock_guard guard(lock_);
    ++initializeCalls_;
    const bool fails = !settings_.initializeFailures || initializeCalls_ <= *settings_.initializeFailures;
    return fails ? settings_.initializeStatus : 0;
}

unsigned NvidiaLibrary::queries(uint32_t id) const {
    std::lock_guard guard(lock_);
    const auto found = queries_.find(id);
    return found == queries_.end() ? 0 : found->second;
}

unsigned NvidiaLibrary::calls(uint32_t id) const {
    std::lock_guard guard(lock_);
    const auto found = calls_.find(id);
    return found == calls_.end() ? 0 : found->second;
}

void NvidiaLibrary::traced(const NvidiaTrace& trace) {
    std::lock_guard guard(lock_);
    lastTrace_ = trace;
}

NvidiaTrace NvidiaLibrary::lastTrace() const {
    std::lock_guard guard(lock_);
    return lastTrace_;
}

std::optional<NvidiaGpu> NvidiaLibrary::gpu(size_t index) const {
    std::lock_guard guard(lock_);
    if (index >= settings_.gpus.size()) return std::nullopt;
    return settings_.gpus[index];
}

void NvidiaLibrary::updateGpu(size_t index, const NvidiaGpu& gpu) {
    std::lock_guard guard(lock_);
    if (index < settings_.gpus.size()) settings_.gpus[index] = gpu;
}

} // namespace vexa::machine
