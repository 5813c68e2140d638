// The NVIDIA display driver's user-mode library as a machine image
// describes it: the identity of its image, which interface ids it lacks,
// what its initialiser answers, whether it offers the trace hooks, when its
// image is replaced in the process, and the GPUs its functions describe.
// The platform's simulated "nvapi.dll" (platform/nvapi_library.cpp) gives
// out its functions and answers them from this model; the model counts the
// questions and calls so that tests can see who asked what.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace vexa::machine {

struct NvidiaClock {
    uint32_t domain = 0;  // the library's clock domain (0 core, 4 memory, 7 shader)
    uint32_t khz = 0;
};

// One clock of a performance level.
struct NvidiaLevelClock {
    uint32_t domain = 0;
    uint32_t khz = 0, secondKhz = 0, minimumKhz = 0, maximumKhz = 0;
};

struct NvidiaLevel {
    uint32_t id = 0;
    uint32_t kind = 0;
    std::vector<NvidiaLevelClock> clocks;
};

struct NvidiaVoltage {
    uint32_t domain = 0;
    uint32_t millivolts = 0;
};

struct NvidiaPstate {
    uint32_t id = 0;
    std::vector<NvidiaClock> clocks;
    std::vector<NvidiaVoltage> voltages;
};

struct NvidiaThermalSensor {
    uint32_t controller = 0;
    int32_t minimum = 0, maximum = 0, current = 0;
    uint32_t target = 0;
};

struct NvidiaGpu {
    uint16_t vendor = 0x10DE, device = 0;
    uint32_t subsystem = 0, revision = 0, externalDevice = 0;
    uint32_t bus = 0;
    std::vector<NvidiaClock> clocks;   // the current clocks, one per domain
    std::vector<NvidiaLevel> levels;   // performance levels, at most 12
    int32_t currentLevel = 0;
    std::vector<NvidiaPstate> pstates;  // at most 16
    uint32_t currentPstate = 0;
    std::vector<NvidiaThermalSensor> thermal;  // at most 3
    std::optional<uint32_t> fanPercent;        // none: no cooler to read
    std::optional<uint32_t> fanRpm;            // none: no tachometer
    std::map<uint32_t, uint32_t> utilization;  // usage domain (0..7) -> percent
    std::map<uint8_t, std::vector<uint8_t>> i2c;  // 7-bit address -> its registers from 0 on
};

// The identity of a library image: the CheckSum of its optional header and
// the TimeDateStamp of its file header.
struct ImageIdentity {
    uint32_t checkSum = 0, timeDateStamp = 0;
    bool operator==(const ImageIdentity&) const = default;
};

struct NvidiaLibrarySettings {
    ImageIdentity identity;
    int32_t initializeStatus = 0;  // what the initialiser answers; 0 ready
    // With a failing status: how many calls of the initialiser fail before
    // it answers 0; none: every call fails.
    std::optional<uint32_t> initializeFailures;
    std::set<uint32_t> missingIds;  // interface ids the library does not implement
    bool preHook = false, postHook = false;
    // After this many calls of the library's functions the image in the
    // process is replaced by one with another identity.
    struct Replacement {
        uint32_t afterCalls = 0;
        ImageIdentity identity;
    };
    std::optional<Replacement> replacement;
    std::vector<NvidiaGpu> gpus;  // at most 64
};

// What the library's post-call trace hook was last handed: the interface
// id, the two context words and the call's result.
struct NvidiaTrace {
    uint32_t id = 0, word0 = 0, word1 = 0;
    int32_t result = 0;
};

class NvidiaLibrary {
public:
    explicit NvidiaLibrary(NvidiaLibrarySettings settings);

    ImageIdentity identity() const;
    // Counts the question; false when the library lacks the id.
    bool offers(uint32_t id);
    // Counts one call of a function the library gave out (a trace hook
    // too); replaces the image once the configured number is reached.
    void called(uint32_t id);
    unsigned queries(uint32_t id) const;
    unsigned calls(uint32_t id) const;
    void traced(const NvidiaTrace& trace);
    NvidiaTrace lastTrace() const;

    // Counts a call of the initialiser and answers it.
    int32_t initialize(uint32_t id);
    bool offersPreHook() const { return settings_.preHook; }
    bool offersPostHook() const { return settings_.postHook; }
    size_t gpuCount() const { return settings_.gpus.size(); }
    // A copy of a GPU's state; none for an index past the GPUs.
    std::optional<NvidiaGpu> gpu(size_t index) const;
    // Stores what a writing function changed.
    void updateGpu(size_t index, const NvidiaGpu& gpu);

private:
    mutable std::mutex lock_;
    NvidiaLibrarySettings settings_;
    uint32_t functionCalls_ = 0;
    uint32_t initializeCalls_ = 0;
    bool replaced_ = false;
    std::map<uint32_t, unsigned> queries_, calls_;
    NvidiaTrace lastTrace_;
};

} // namespace vexa::machine
