#include "machine/devices/msr_oc_mailbox.h"

namespace vexa::machine {

void MsrOcMailbox::write(uint64_t value) {
    pending_ = (value & kBusy) != 0;
    if (!pending_) {
        value_ = value;
        return;
    }
    command_ = uint8_t(value >> 32);
    parameter_ = uint8_t(value >> 40);
    // Busy, with the data of before still in the low dword.
    value_ = (value & 0xFFFFFFFF00000000ull) | (value_ & 0xFFFFFFFFull);
    busyLeft_ = settings_.busyReads;
}

void MsrOcMailbox::complete() const {
    uint8_t code = kUnknownCommand;
    uint32_t data = 0;
    for (const OcMailboxReply& reply : settings_.replies)
        if (reply.command == command_ && reply.parameter == parameter_) {
            code = kSuccess;
            data = reply.data;
            break;
        }
    // Bits 39:32 take the completion code; the parameter stays.
    value_ = (value_ & 0x7FFFFF0000000000ull) | (uint64_t(code) << 32) | data;
    pending_ = false;
}

uint64_t MsrOcMailbox::read() const {
    if (pending_ && !settings_.stuckBusy) {
        if (busyLeft_ == 0) complete();
        else --busyLeft_;
    }
    return value_;
}

} // namespace vexa::machine
