#include "machine/devices/apple_smc.h"

namespace vexa::machine {

namespace {
constexpr uint8_t kAfterCommand = 0x0C, kWriteNext = 0x04, kReadNext = 0x05;
}

std::vector<uint8_t> AppleSmc::key(const std::string& name) const {
    const auto it = settings_.keys.find(name);
    return it == settings_.keys.end() ? std::vector<uint8_t>{} : it->second;
}

uint32_t AppleSmc::read(uint16_t port, unsigned) {
    if (port == kCommandPort) return status_;
    if (output_.empty()) return 0xFF;
    const uint8_t byte = output_.front();
    output_.pop_front();
    status_ = output_.empty() ? 0 : kReadNext;
    return byte;
}

void AppleSmc::write(uint16_t port, unsigned, uint32_t value) {
    if (!settings_.answers) return;
    const auto byte = uint8_t(value);
    if (port == kCommandPort) {
        command_ = byte;
        key_.clear();
        length_ = -1;
        output_.clear();
        input_.clear();
        status_ = byte == kReadKey || byte == kWriteKey ? kAfterCommand : 0;
        return;
    }
    if (command_ != kReadKey && command_ != kWriteKey) return;
    if (key_.size() < 4) {
        key_.push_back(char(byte));
        status_ = kWriteNext;
    } else if (length_ < 0) {
        afterLength(byte);
    } else if (command_ == kWriteKey && input_.size() < size_t(length_)) {
        input_.push_back(byte);
        if (input_.size() == size_t(length_)) {
            settings_.keys[key_] = input_;
            status_ = 0;
        }
    }
}

void AppleSmc::afterLength(uint8_t length) {
    length_ = length;
    const auto it = settings_.keys.find(key_);
    if (command_ == kWriteKey) {
        status_ = it != settings_.keys.end() && length ? kWriteNext : 0;
        if (it == settings_.keys.end()) command_ = 0;
        return;
    }
    status_ = 0;
    if (it == settings_.keys.end()) return;
    for (size_t i = 0; i < length; ++i) output_.push_back(i < it->second.size() ? it->second[i] : 0);
    if (!output_.empty()) status_ = kReadNext;
}

} // namespace vexa::machine
