// The model-specific registers of a simulated machine's processors. Each
// processor has its own copy of every register it implements; an MSR that
// is not listed does not exist, so reading or writing it fails as the
// #GP of a real processor would. Writes store the new value unless the
// register is read-only.
#pragma once

#include "machine/manifest.h"

#include <map>
#include <string>
#include <vector>

namespace vexa::machine {

class MsrBank {
public:
    MsrBank() = default;
    explicit MsrBank(unsigned processors) : registers_(processors) {}

    // False (with a message) for a processor out of range or a register
    // given twice for the same processor.
    bool add(const MsrSetting& setting, std::string& error);

    bool read(unsigned cpu, uint32_t index, uint64_t& value) const;
    bool write(unsigned cpu, uint32_t index, uint64_t value);

private:
    struct Register {
        uint64_t value = 0;
        bool readOnly = false;
    };
    std::vector<std::map<uint32_t, Register>> registers_;
};

} // namespace vexa::machine
