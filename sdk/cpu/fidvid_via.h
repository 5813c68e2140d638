// The FID/VID control of VIA's CNA core (Nano): IA32_PERF_STATUS (0x198)
// in half multipliers; no voltage is decoded.
#pragma once

#include "sdk/cpu/fidvid_intel.h"

class CNA_FIDVID_Control : public Intel_FIDVID_Control {
public:
    float GetMultiplier(int32_t fid) override { return fid < 0 ? -1.0f : 0.5f * static_cast<float>(fid); }

protected:
    void Decode(uint32_t low, uint32_t high) override;
};
