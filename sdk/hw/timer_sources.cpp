// The timers the program reads: what each counter is and how it is read.
#include "platform/sysinfo.h"
#include "platform/threads.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_space.h"
#include "sdk/hw/timer.h"

namespace {

constexpr double kDwordSpan = 4294967296.0;
constexpr uint32_t kPMTimerMask = 0x00FFFFFF;
constexpr uint32_t kPMTimerPorts = 4;

} // namespace

CACPITimer::CACPITimer(uint32_t port) : CTimer(TIMER_ACPI_PM, kFrequency, kWrap) {
    BRENIKSDK* sdk = GetSDK();
    m_pPortSpace = sdk->FindIOSpace(0, port, IOSPACE_PORT);
    if (!m_pPortSpace) {
        m_pPortSpace = new CPortIOSpace(port, kPMTimerPorts);
        sdk->m_pIOSpaces->AddTail(m_pPortSpace);
    }
}

double CACPITimer::Read() {
    uint32_t count = 0;
    if (!m_pPortSpace || !m_pPortSpace->ReadDword(0, &count)) return -1.0;
    return static_cast<double>(count & kPMTimerMask);
}

double CWin32SystemTimer::Read() { return static_cast<double>(static_cast<uint32_t>(GetTickCount())); }

CWin32PerformanceTimer::CWin32PerformanceTimer() : CTimer(TIMER_PERFORMANCE_COUNTER, -1.0, 0.0) {
    LARGE_INTEGER frequency {};
    if (QueryPerformanceFrequency(&frequency)) m_dFrequency = static_cast<double>(frequency.QuadPart);
}

double CWin32PerformanceTimer::Read() {
    LARGE_INTEGER count {};
    if (!QueryPerformanceCounter(&count)) return -1.0;
    return static_cast<double>(count.u.HighPart) * kDwordSpan + static_cast<double>(count.u.LowPart);
}

double CTSCCounter::Read() {
    const ULONGLONG count = ReadTimeStampCounter();
    return static_cast<double>(static_cast<uint32_t>(count >> 32)) * kDwordSpan +
           static_cast<double>(static_cast<uint32_t>(count));
}

double CHPETTimer::Read() {
    uint32_t high = 0, low = 0;
    if (!m_pMemorySpace || !m_pMemorySpace->ReadQword(kMainCounter, &high, &low)) return -1.0;
    return static_cast<double>(high) * kDwordSpan + static_cast<double>(low);
}
