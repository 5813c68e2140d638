#include "machine/devices/abit_uguru.h"

namespace vexa::machine {

uint32_t AbitUGuru::read(uint16_t port, unsigned) {
    if (port == kCommandPort) return output_.empty() ? 0 : 1;
    if (output_.empty()) return 0xFF;
    const uint8_t byte = output_.front();
    output_.pop_front();
    return byte;
}

void AbitUGuru::write(uint16_t port, unsigned, uint32_t value) {
    const auto byte = uint8_t(value);
    const bool is2005 = settings_.generation == AbitUGuruSettings::Generation::UGuru2005;
    if (port == kCommandPort) {
        output_.clear();
        run_ = is2005 && byte == kRunCommand;
        headerBytes_ = 0;
        bank_ = !is2005 && settings_.banks.count(byte) ? byte : -1;
        return;
    }
    if (run_) {
        runHeader_[headerBytes_++] = byte;
        if (headerBytes_ == runHeader_.size()) startRun();
        return;
    }
    if (bank_ < 0) return;
    output_.push_back(settings_.banks.at(uint8_t(bank_))[byte]);
    bank_ = -1;
}

void AbitUGuru::startRun() {
    run_ = false;
    const auto bank = settings_.banks.find(runHeader_[0]);
    if (bank == settings_.banks.end()) return;
    const size_t count = std::min<size_t>(runHeader_[2], settings_.runLimit);
    for (size_t i = 0; i < count; ++i) output_.push_back(bank->second[(runHeader_[1] + i) & 0xFF]);
}

} // namespace vexa::machine
