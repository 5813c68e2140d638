// The overclocking mailbox of Intel processors from Haswell on (MSR 0x150):
// software writes a command with the busy bit (63) set, polls until the
// processor clears it, and reads the answer in the low dword. Bits 39:32 of
// the write hold the command, bits 47:40 its parameter (a voltage plane,
// for instance); when the command is done, bits 39:32 hold its completion
// code (0: success, 1: a command the processor does not know) and the low
// dword its data.
//
// The model answers from a table of replies by command and parameter.
// After a command it still reads busy `busyReads` times (with the low dword
// of before, stale); a stuck mailbox stays busy for good, as one whose
// firmware hangs does. A write without the busy bit is stored as written.
#pragma once

#include <cstdint>
#include <vector>

namespace vexa::machine {

struct OcMailboxReply {
    uint8_t command = 0;
    uint8_t parameter = 0;
    uint32_t data = 0;
    bool operator==(const OcMailboxReply&) const = default;
};

struct OcMailboxSettings {
    static constexpr uint32_t kMailboxMsr = 0x150;

    std::vector<OcMailboxReply> replies;
    unsigned busyReads = 0;
    bool stuckBusy = false;
    bool operator==(const OcMailboxSettings&) const = default;
};

class MsrOcMailbox {
public:
    static constexpr uint64_t kBusy = 1ull << 63;
    static constexpr uint8_t kSuccess = 0;
    static constexpr uint8_t kUnknownCommand = 1;

    MsrOcMailbox() = default;
    MsrOcMailbox(uint64_t initial, OcMailboxSettings settings)
        : settings_(std::move(settings)), value_(initial) {}

    // A read of a busy mailbox counts towards its completion, as the
    // processor works on while software polls; hence the mutable state.
    uint64_t read() const;
    void write(uint64_t value);

private:
    void complete() const;

    OcMailboxSettings settings_;
    mutable uint64_t value_ = 0;
    mutable unsigned busyLeft_ = 0;
    mutable bool pending_ = false;
    uint8_t command_ = 0;
    uint8_t parameter_ = 0;
};

} // namespace vexa::machine
