// The FID/VID controls of Intel processors: IA32_PERF_STATUS (0x198) and
// IA32_PERF_CTL (0x199), decoded as each family lays them out.
#pragma once

#include "sdk/cpu/fidvid_control.h"

// Reads the status register and hands its dwords to the family's decoder.
class Intel_FIDVID_Control : public FIDVID_Control {
public:
    uint32_t Refresh() override;
    // The FID is the multiplier itself in every family but Core 2.
    float GetMultiplier(int32_t fid) override { return fid < 0 ? -1.0f : static_cast<float>(fid); }

protected:
    Intel_FIDVID_Control();
    virtual void Decode(uint32_t low, uint32_t high) = 0;
};

class Netburst_FIDVID_Control : public Intel_FIDVID_Control {
public:
    float GetVoltage(int32_t vid) override;

protected:
    void Decode(uint32_t low, uint32_t high) override;
};

// As Netburst, with another lowest FID and no lowest VID.
class Mobile_FIDVID_Control : public Netburst_FIDVID_Control {
protected:
    void Decode(uint32_t low, uint32_t high) override;
};

class Core_FIDVID_Control : public Intel_FIDVID_Control {
public:
    float GetVoltage(int32_t vid) override;

protected:
    void Decode(uint32_t low, uint32_t high) override;
};

// Half multipliers (a FID of 2 x the ratio plus the half bit); waits for a
// transition to end before decoding, and reads the requested FID from the
// control register.
class Core_2_FIDVID_Control : public Intel_FIDVID_Control {
public:
    static constexpr int kTransitionReads = 200;

    // `lowVoltageBase` non-zero: VID 0 is 712.5 mV, else 825.0 mV.
    explicit Core_2_FIDVID_Control(uint32_t lowVoltageBase) : m_dwLowVoltageBase(lowVoltageBase) {}
    uint32_t Refresh() override;
    float GetMultiplier(int32_t fid) override { return fid < 0 ? -1.0f : 0.5f * static_cast<float>(fid); }
    float GetVoltage(int32_t vid) override;

    uint32_t m_dwLowVoltageBase;

protected:
    void Decode(uint32_t low, uint32_t high) override;
};

class Nehalem_FIDVID_Control : public Intel_FIDVID_Control {
public:
    float GetVoltage(int32_t vid) override;

protected:
    void Decode(uint32_t low, uint32_t high) override;
};

class Sandy_Bridge_FIDVID_Control : public Intel_FIDVID_Control {
public:
    float GetVoltage(int32_t vid) override;

protected:
    void Decode(uint32_t low, uint32_t high) override;
};

class Silvermont_FIDVID_Control : public Intel_FIDVID_Control {
public:
    float GetVoltage(int32_t vid) override;

protected:
    void Decode(uint32_t low, uint32_t high) override;
};
