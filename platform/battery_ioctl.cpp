#include "platform/battery_ioctl.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "machine/machine.h"
#include "platform/internal/control_device.h"

const GUID GUID_DEVCLASS_BATTERY = {0x72631E54, 0x78A4, 0x11D0, {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}};

namespace vexa::platform {
namespace {

bool sameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The battery's tag: its position plus one (0 means no battery).
ULONG tagOf(size_t battery) { return ULONG(battery + 1); }

template <typename T>
bool takeInput(const uint8_t* in, DWORD inSize, T& value) {
    if (!in || inSize < sizeof value) return false;
    std::memcpy(&value, in, sizeof value);
    return true;
}

template <typename T>
DWORD giveOutput(const T& value, uint8_t* out, DWORD outSize, DWORD& returned) {
    if (!out || outSize < sizeof value) return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(out, &value, sizeof value);
    returned = sizeof value;
    return ERROR_SUCCESS;
}

class BatteryDevice final : public ControlDevice {
public:
    BatteryDevice(size_t battery, std::string path) : battery_(battery), path_(std::move(path)) {}

    DWORD control(DWORD code, const uint8_t* in, DWORD inSize, uint8_t* out, DWORD outSize,
                  DWORD& returned) override {
        const auto batteries = machine::current().batteries();
        // The battery went away (or another took its place) since the open.
        if (battery_ >= batteries.size() || !sameNoCase(batteries[battery_].interfacePath, path_))
            return ERROR_FILE_NOT_FOUND;
        const machine::BatteryFacts& facts = batteries[battery_];
        switch (code) {
        case IOCTL_BATTERY_QUERY_TAG: {
            ULONG wait = 0;
            if (!takeInput(in, inSize, wait)) return ERROR_INVALID_PARAMETER;
            return giveOutput(tagOf(battery_), out, outSize, returned);
        }
        case IOCTL_BATTERY_QUERY_INFORMATION: {
            BATTERY_QUERY_INFORMATION query {};
            if (!takeInput(in, inSize, query)) return ERROR_INVALID_PARAMETER;
            if (query.BatteryTag != tagOf(battery_)) return ERROR_FILE_NOT_FOUND;
            if (query.InformationLevel != BatteryInformation) return ERROR_INVALID_FUNCTION;
            return giveOutput(information(facts), out, outSize, returned);
        }
        case IOCTL_BATTERY_QUERY_STATUS: {
            BATTERY_WAIT_STATUS wait {};
            if (!takeInput(in, inSize, wait)) return ERROR_INVALID_PARAMETER;
            if (wait.BatteryTag != tagOf(battery_)) return ERROR_FILE_NOT_FOUND;
            const BATTERY_STATUS status {facts.powerState, facts.remainingCapacity, facts.voltage, facts.rate};
            return giveOutput(status, out, outSize, returned);
        }
        default: return ERROR_INVALID_FUNCTION;
        }
    }

private:
    static BATTERY_INFORMATION information(const machine::BatteryFacts& facts) {
        BATTERY_INFORMATION info {};
        info.Capabilities = facts.capabilities;
        info.Technology = 1;  // rechargeable
        std::memcpy(info.Chemistry, facts.chemistry.data(), std::min<size_t>(facts.chemistry.size(), 4));
        info.DesignedCapacity = facts.designedCapacity;
        info.FullChargedCapacity = facts.fullChargedCapacity;
        info.CycleCount = facts.cycleCount;
        return info;
    }

    size_t battery_;
    std::string path_;
};

} // namespace

bool openBatteryDevice(const std::string& path, HANDLE& handle) {
    const auto batteries = machine::current().batteries();
    for (size_t i = 0; i < batteries.size(); ++i) {
        if (!sameNoCase(batteries[i].interfacePath, path)) continue;
        SetLastError(ERROR_SUCCESS);
        handle = registerHandle(std::make_shared<BatteryDevice>(i, batteries[i].interfacePath));
        return true;
    }
    return false;
}

} // namespace vexa::platform
