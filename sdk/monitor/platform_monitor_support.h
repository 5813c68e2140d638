// What the monitors of platform sensor sources share: sensors created the
// first time their reading arrives ("late"), and the named mutexes through
// which several programs take turns at one controller.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/hardware_monitor.h"

// The sensor with that class and index; when missing it is created with
// the name (null: "VIN<index>", "TMPIN<index>" or "FANIN<index>" after its
// class), the role in its id's top byte, added to the monitor's lists,
// and, with `label`, the monitor's labels are applied again.
CSensor* LateSensor(CHardwareMonitor* monitor, uint32_t classCode, uint8_t index, const char* name,
                    uint32_t role = 0, bool label = true);

// A named mutex shared with other programs: created unowned with the
// library's naming, closed on destruction.
class SharedControllerMutex {
public:
    explicit SharedControllerMutex(const char* name);
    ~SharedControllerMutex();
    SharedControllerMutex(const SharedControllerMutex&) = delete;
    SharedControllerMutex& operator=(const SharedControllerMutex&) = delete;

    // Whether the wait of at most `timeoutMs` (INFINITE: none) ended owning it.
    bool Acquire(uint32_t timeoutMs);
    void Release();

private:
    HANDLE handle_;
};

// Holds a SharedControllerMutex for a scope when the wait succeeded.
class SharedControllerTurn {
public:
    SharedControllerTurn(SharedControllerMutex& mutex, uint32_t timeoutMs)
        : mutex_(mutex), owned_(mutex.Acquire(timeoutMs)) {}
    ~SharedControllerTurn() {
        if (owned_) mutex_.Release();
    }
    SharedControllerTurn(const SharedControllerTurn&) = delete;
    SharedControllerTurn& operator=(const SharedControllerTurn&) = delete;

    explicit operator bool() const { return owned_; }

private:
    SharedControllerMutex& mutex_;
    bool owned_;
};
