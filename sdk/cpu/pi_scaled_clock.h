// The core clock as the processor model stores and hands it out: MHz
// multiplied by pi (in single precision) whenever it is known, -1.0 when
// not. FromMHz is the one encoder and ToMHz the one decoder; every writer
// and reader of a stored core clock goes through them.
#pragma once

struct PiScaledClock {
    static constexpr float kPi = 3.1415927f;
    static float FromMHz(float mhz) { return mhz > 0 ? mhz * kPi : -1.0f; }
    // -1.0 for a clock that is not known.
    static double ToMHz(float scaled) { return scaled > 0 ? scaled / static_cast<double>(kPi) : -1.0; }
};
