#include "machine/devices/local_apic.h"

namespace vexa::machine {

uint64_t LocalApicPage::readRegister(uint64_t offset) {
    // Registers sit in the low dword of their 16-byte slot.
    switch (offset) {
    case kId: return uint64_t(apicId_) << 24;
    case kVersion: return settings_.version;
    default: return 0;
    }
}

} // namespace vexa::machine
