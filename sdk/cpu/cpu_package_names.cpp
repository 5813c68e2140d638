// The names of the processor packages by CPUPackageCode. Sockets run from
// 0x10001, slots and cartridges from 0x20001; 0x1003A-0x1003F have no name.
#include <iterator>

#include "sdk/cpu/cpu_package.h"

namespace {

constexpr uint32_t kFirstSocket = 0x10001;
constexpr const char* kSockets[] = {
    "Socket 4 (273)",        "Socket 5 (296)",      "TCP Mobile",          "Socket 7 (321)",
    "Socket 8 (387)",        "Socket A (462)",      "Socket 754",          "Socket 939",
    "Socket 940",            "Socket AM2 (940)",    "Socket S1 (638)",     "Socket Fr4 (1207)",
    "Socket 370 CPGA",       "Socket 370 PPGA",     "Socket 370 FC-PGA",   "Socket 370 FC-PGA2",
    "Socket 352 BGA",        "Socket 474 BGA",      "Socket 495 BGA",      "Socket nanoBGA2",
    "Socket 479 FCBGA",      "Socket 423 mPGA",     "Socket 478 mPGA",     "Socket 479 mPGA",
    "Socket 479 mBGA",       "Socket 603 mPGA",     "Socket 604 mPGA",     "Socket 775 LGA",
    "Socket 771 LGA",        "Socket P (478)",      "Socket 481 BGU",      "Socket 418 PAC",
    "Socket 611 FC-PGA4",    "Socket AM2+ (940)",   "Socket G34 (1974)",   "Socket AM3 (938)",
    "Socket 441 FCBGA8",     "Socket 437 FCBGA8",   "Socket 1156 LGA",     "Socket 1366 LGA",
    "Socket 989 rPGA",       "Socket 196 PGA",      "Socket Fr6 (1207)",   "Socket 1567 LGA",
    "Socket 1155 LGA",       "Socket 2011 LGA",     "Socket FCMBA3",       "Socket C32 (1207)",
    "Socket ASB2",           "Socket 783 BGA",      "Socket 592 BGA",      "Socket FT1 BGA",
    "Socket 988B rPGA",      "Socket AM3+ (942)",   "Socket 559 FCBGA8",   "Socket FM1 (905)",
    "Socket FS1 (905)",      nullptr,               nullptr,               nullptr,
    nullptr,                 nullptr,               nullptr,               "Socket 1150 LGA",
    "Socket 947 rPGA",       "Socket FM2 (904)",    "Socket FP2 (827)",    "Socket 1356 LGA",
    "Socket FT3 (BGA769)",   "Socket AM1 (721)",    "Socket 1364 BGA",     "Socket 1168 BGA",
    "Socket 1170 BGA",       "Socket 1380 BGA",     "Socket FM2+ (906)",   "Socket FP3 (906)",
    "Socket 1283 FCBGA",     "Socket 1023 FCBGA",   "Socket ASB1 (BGA812)", "Socket 1234 FCBGA",
    "Socket FP4",
};
static_assert(kFirstSocket + std::size(kSockets) - 1 == 0x10051, "the last socket is 0x10051");

constexpr uint32_t kFirstSlot = 0x20001;
constexpr const char* kSlots[] = {"Slot 1 SECC", "Slot 1 SECC2", "Slot 1 SEPP", "Slot 2 SECC", "MC", "MMC", "Slot A"};

} // namespace

const char* PackageCodeName(int32_t code) {
    const auto value = static_cast<uint32_t>(code);
    if (value >= kFirstSocket && value - kFirstSocket < std::size(kSockets)) return kSockets[value - kFirstSocket];
    if (value >= kFirstSlot && value - kFirstSlot < std::size(kSlots)) return kSlots[value - kFirstSlot];
    return nullptr;
}
