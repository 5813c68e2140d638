// How the AMD microarchitecture descriptions write a processor's names and
// codes into the thread: a small writer whose steps chain, so that one line
// of a naming table reads as the row it stands for:
//   AMDNaming(thread, kK8Class).Rated("AMD Athlon 64 %2d00+", nn + 22).Subcode(0x01);
// Names go into the thread's 128-byte name field with bounded formatting
// and appending.
#pragma once

#include <cstdint>
#include <initializer_list>

class CCPUThread;

// The core stepping text of one CPUID stepping.
struct SteppingText {
    int32_t stepping = -1;
    const char* text = nullptr;
};

// The core stepping texts of one row, by stepping.
struct SteppingTexts {
    static constexpr int kMax = 5;
    SteppingText entries[kMax] = {};
    int count = 0;

    constexpr SteppingTexts() = default;
    constexpr SteppingTexts(std::initializer_list<SteppingText> texts) {
        for (const SteppingText& text : texts)
            if (count < kMax) entries[count++] = text;
    }
};

class AMDNaming {
public:
    // `classBase`: the description's class code, to which Subcode adds.
    AMDNaming(CCPUThread* thread, uint32_t classBase) : m_pThread(thread), m_dwClassBase(classBase) {}

    AMDNaming& Name(const char* text);
    // The name from a format of one integer.
    AMDNaming& Format(const char* format, int32_t value);
    // The same, with `value` x 100 as the performance rating.
    AMDNaming& Rated(const char* format, int32_t value);
    AMDNaming& Append(const char* text);
    AMDNaming& AppendFormat(const char* format, int32_t value);
    // The thread's class code: the description's with this subcode.
    AMDNaming& Subcode(uint32_t subcode);
    AMDNaming& ClassCode(uint32_t classCode);
    AMDNaming& Codename(const char* codename);
    AMDNaming& Technology(float micrometres);
    AMDNaming& Package(int32_t packageCode);
    // The text of the thread's stepping, when `texts` has one.
    AMDNaming& Stepping(const SteppingTexts& texts);
    AMDNaming& CoreStepping(const char* text);

    CCPUThread* Thread() const { return m_pThread; }

private:
    CCPUThread* m_pThread;
    uint32_t m_dwClassBase;
};
