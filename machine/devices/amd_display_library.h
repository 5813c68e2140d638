// The AMD Display Library (ADL) of the graphics driver as a machine image
// describes it: the file name it is installed under in the system folder,
// the entry points it lacks, what its start answers, and the adapters it
// reports with their overdrive readings. The platform's simulated
// "atiadlxx.dll"/"atiadlxy.dll" (platform/adl_library.cpp) answers its
// functions from this model; the model counts the calls by entry point so
// that tests can see who asked what.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vexa::machine {

struct AdlLevel {
    uint32_t engine10kHz = 0;
    uint32_t memory10kHz = 0;
    uint32_t vddcMv = 0;
};

struct AdlAdapter {
    int32_t index = 0;  // the library's adapter index
    uint32_t bus = 0, device = 0, function = 0;
    bool active = true;
    int32_t temperatureMillidegrees = 0;
    uint32_t fanRpm = 0;
    uint32_t fanPercent = 0;
    uint32_t vddcMv = 0;
    uint32_t activityPercent = 0;
    std::vector<AdlLevel> levels;
    // The level count the overdrive parameters report; none: the levels'.
    std::optional<uint32_t> reportedLevels;
    std::set<std::string> failing;  // entry points that answer an error for this adapter
};

struct AdlLibrarySettings {
    std::string file = "atiadlxx.dll";   // or "atiadlxy.dll"
    std::set<std::string> missing;       // entry points the library does not export
    int32_t createResult = 0;            // what ADL_Main_Control_Create answers
    // The adapter count it reports; none: the adapters'.
    std::optional<int32_t> reportedAdapters;
    std::vector<AdlAdapter> adapters;
};

class AmdDisplayLibrary {
public:
    explicit AmdDisplayLibrary(AdlLibrarySettings settings) : settings_(std::move(settings)) {}

    const AdlLibrarySettings& settings() const { return settings_; }
    bool exports(const std::string& entryPoint) const { return !settings_.missing.count(entryPoint); }
    // The adapter of an index; none when the library has no such adapter.
    std::optional<AdlAdapter> adapter(int32_t index) const;
    void called(const std::string& entryPoint);
    unsigned calls(const std::string& entryPoint) const;
    bool created() const;
    void setCreated(bool created);

private:
    AdlLibrarySettings settings_;
    mutable std::mutex lock_;
    std::map<std::string, unsigned> calls_;
    bool created_ = false;
};

} // namespace vexa::machine
