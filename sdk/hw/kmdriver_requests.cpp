// The driver's requests: one method per control code, each building the
// request's input dwords, sending it, and reading its reply. Every reply
// buffer starts out holding the driver's failure answer, so that a reply the
// driver leaves short never reads as success.
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/driver.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/kmdriver_internal.h"

namespace {

constexpr uint32_t kAllOnes = 0xFFFFFFFF;
constexpr uint32_t kUsePortProtocol = 2;  // SMBus answer: go through the ports instead
constexpr uint32_t kSMIFailed = 0xFFFF;
constexpr float kPMTimerMHz = 3.579545f;

// Measurements report a ratio times 100 against the reference timer.
float ClockFromRatio(uint32_t ratioTimes100, double frequency) {
    return static_cast<float>(ratioTimes100 / 100.0 * (frequency / 1000000.0));
}

} // namespace

bool CKMDriver::CanSend() const {
    return IsDeviceOpen() && m_iLockDepth > 0 && (m_iOSVersion == kPlatformWin9x || m_iOSVersion == kPlatformNT);
}

bool CKMDriver::SendRequest(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize) {
    if (!CanSend()) return false;
    DWORD returned = 0;
    return DeviceIoControl(m_hDevice, code, const_cast<void*>(in), inSize, out, outSize, &returned,
                           nullptr) != FALSE;
}

bool CKMDriver::SendNTRequest(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize) {
    return m_iOSVersion == kPlatformNT && SendRequest(code, in, inSize, out, outSize);
}

bool CKMDriver::SendSharedRequest(uint32_t ntCode, uint32_t win9xCode, const void* in, uint32_t inSize,
                                  uint32_t (&reply)[10]) {
    const bool nt = m_iOSVersion == kPlatformNT;
    return SendRequest(nt ? ntCode : win9xCode, in, inSize, reply, nt ? 8 : sizeof reply);
}

// ---- MSRs and ports ----

int CKMDriver::ReadMSR(uint32_t index, uint32_t* high, uint32_t* low) {
    if (high) *high = kAllOnes;
    if (low) *low = kAllOnes;
    const uint32_t in[] = {index};
    uint32_t reply[10];
    std::fill(std::begin(reply), std::end(reply), kAllOnes);
    if (!SendSharedRequest(KMDRIVER_READ_MSR, KMDRIVER_9X_READ_MSR, in, sizeof in, reply)) return 0;
    if (low) *low = reply[0];
    if (high) *high = reply[1];
    // All ones is what a register that does not exist reads as.
    return reply[0] != kAllOnes || reply[1] != kAllOnes;
}

int CKMDriver::WriteMSR(uint32_t index, uint32_t high, uint32_t low) {
    const uint32_t in[] = {index, high, low};
    uint32_t reply[10];
    std::fill(std::begin(reply), std::end(reply), kAllOnes);
    if (!SendSharedRequest(KMDRIVER_WRITE_MSR, KMDRIVER_9X_WRITE_MSR, in, sizeof in, reply)) return 0;
    return m_iOSVersion != kPlatformNT || reply[0] != kAllOnes;
}

bool CKMDriver::ReadPort(uint32_t ntCode, uint32_t win9xCode, uint32_t port, uint32_t* value) {
    const uint32_t in[] = {port};
    uint32_t reply[10];
    std::fill(std::begin(reply), std::end(reply), kAllOnes);
    const bool ok = SendSharedRequest(ntCode, win9xCode, in, sizeof in, reply);
    *value = reply[0];
    return ok;
}

bool CKMDriver::WritePort(uint32_t ntCode, uint32_t win9xCode, uint32_t port, uint32_t value) {
    const uint32_t in[] = {port, value};
    uint32_t reply[10] = {};
    return SendSharedRequest(ntCode, win9xCode, in, sizeof in, reply);
}

int CKMDriver::ReadPortByte(uint32_t port, uint8_t* value) {
    uint32_t reply;
    const bool ok = ReadPort(KMDRIVER_READ_PORT_BYTE, KMDRIVER_9X_READ_PORT_BYTE, port, &reply);
    if (value) *value = static_cast<uint8_t>(ok ? reply : kAllOnes);
    return ok;
}

int CKMDriver::ReadPortWord(uint32_t port, uint16_t* value) {
    uint32_t reply;
    const bool ok = ReadPort(KMDRIVER_READ_PORT_WORD, KMDRIVER_9X_READ_PORT_WORD, port, &reply);
    if (value) *value = static_cast<uint16_t>(ok ? reply : kAllOnes);
    return ok;
}

int CKMDriver::ReadPortDword(uint32_t port, uint32_t* value) {
    uint32_t reply;
    const bool ok = ReadPort(KMDRIVER_READ_PORT_DWORD, KMDRIVER_9X_READ_PORT_DWORD, port, &reply);
    if (value) *value = ok ? reply : kAllOnes;
    return ok;
}

int CKMDriver::WritePortByte(uint32_t port, uint32_t value) {
    return WritePort(KMDRIVER_WRITE_PORT_BYTE, KMDRIVER_9X_WRITE_PORT_BYTE, port, value & 0xFF);
}

int CKMDriver::WritePortWord(uint32_t port, uint32_t value) {
    return WritePort(KMDRIVER_WRITE_PORT_WORD, KMDRIVER_9X_WRITE_PORT_WORD, port, value & 0xFFFF);
}

int CKMDriver::WritePortDword(uint32_t port, uint32_t value) {
    return WritePort(KMDRIVER_WRITE_PORT_DWORD, KMDRIVER_9X_WRITE_PORT_DWORD, port, value);
}

// ---- Physical memory and PCI configuration space ----

int CKMDriver::ReadPhysicalMemory(uint32_t addressHigh, uint32_t addressLow, uint32_t length, void* buffer) {
    if (length == 0 || !buffer) return 0;
    uint32_t reply[2] = {};
    if (m_iOSVersion == kPlatformNT) {
        const uint32_t in[] = {addressHigh, addressLow, length, kmdriver::BufferHigh(buffer),
                               kmdriver::BufferLow(buffer)};
        return SendRequest(KMDRIVER_READ_PHYSICAL_MEMORY, in, sizeof in, reply, sizeof reply);
    }
    // The VxD's request has room for a 32-bit buffer address only.
    if (!kmdriver::kPointerFitsDword) return 0;
    const uint32_t in[] = {addressLow, length, kmdriver::BufferLow(buffer)};
    return SendRequest(KMDRIVER_9X_READ_PHYSICAL_MEMORY, in, sizeof in, reply, sizeof reply);
}

int CKMDriver::WritePhysicalMemory(uint32_t addressHigh, uint32_t addressLow, uint32_t value) {
    uint32_t reply[2] = {};
    if (m_iOSVersion == kPlatformNT) {
        const uint32_t in[] = {addressHigh, addressLow, value};
        return SendRequest(KMDRIVER_WRITE_PHYSICAL_MEMORY, in, sizeof in, reply, sizeof reply);
    }
    const uint32_t in[] = {addressLow, value};
    return SendRequest(KMDRIVER_9X_WRITE_PHYSICAL_MEMORY, in, sizeof in, reply, sizeof reply);
}

int CKMDriver::MapPhysicalMemory(uint32_t addressLow, uint32_t addressHigh, uint32_t size, uint32_t* mapping) {
    if (size == 0) return 0;
    const uint32_t in[] = {addressHigh, addressLow, size};
    uint32_t reply[2] = {};
    if (!SendNTRequest(KMDRIVER_MAP_PHYSICAL_MEMORY, in, sizeof in, reply, sizeof reply)) return 0;
    if (mapping) std::copy(std::begin(reply), std::end(reply), mapping);
    return 1;
}

int CKMDriver::ReadPCIConfig(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                             uint32_t length, void* buffer) {
    if (length == 0 || !buffer) return 0;
    if (m_iOSVersion == kPlatformWin9x)
        return ReadPCIConfigDwords(bus, device, function, reg, length, static_cast<uint8_t*>(buffer));
    const uint32_t in[] = {bus, device, function, reg, length, kmdriver::BufferHigh(buffer),
                           kmdriver::BufferLow(buffer)};
    uint32_t reply = 0;
    return SendNTRequest(KMDRIVER_READ_PCI_CONFIG, in, sizeof in, &reply, sizeof reply) && reply != 0;
}

int CKMDriver::WritePCIConfig(uint32_t bus, uint32_t device, uint32_t function, uint32_t reg,
                              uint32_t length, const void* buffer) {
    if (length == 0 || !buffer) return 0;
    if (m_iOSVersion == kPlatformWin9x)
        return WritePCIConfigDwords(bus, device, function, reg, length, static_cast<const uint8_t*>(buffer));
    const uint32_t in[] = {bus, device, function, reg, length, kmdriver::BufferHigh(buffer),
                           kmdriver::BufferLow(buffer)};
    uint32_t reply = 0;
    return SendNTRequest(KMDRIVER_WRITE_PCI_CONFIG, in, sizeof in, &reply, sizeof reply) && reply != 0;
}

// ---- Versions ----

int CKMDriver::GetDriverVersion(uint32_t* version) {
    if (version) *version = kAllOnes;
    uint32_t reply = kAllOnes;
    if (m_iOSVersion == kPlatformWin9x) {
        // The VxD has no version request: it is the one this program carries.
        if (!CanSend()) return 0;
        reply = kDriverVersion;
    } else if (!SendNTRequest(KMDRIVER_GET_DRIVER_VERSION, nullptr, 0, &reply, sizeof reply)) {
        return 0;
    }
    m_dwDriverVersion = reply;
    if (version) *version = reply;
    return 1;
}

int CKMDriver::GetKernelVersion(uint32_t* major, uint32_t* minor, uint32_t* build) {
    uint32_t reply[3] = {kAllOnes, kAllOnes, kAllOnes};
    const bool ok = SendNTRequest(KMDRIVER_GET_KERNEL_VERSION, nullptr, 0, reply, sizeof reply);
    if (major) *major = reply[0];
    if (minor) *minor = reply[1];
    if (build) *build = reply[2];
    return ok;
}

// ---- Clock measurements ----

float CKMDriver::MeasureBusClock(double frequency, uint32_t pmTimerPort) {
    const uint32_t in[] = {pmTimerPort};
    uint32_t reply[4] = {};
    if (!SendNTRequest(KMDRIVER_MEASURE_BUS_CLOCK, in, sizeof in, reply, sizeof reply)) return -1.0f;
    return ClockFromRatio(reply[0], frequency);
}

float CKMDriver::MeasureBusClockEx(double frequency, uint32_t pmTimerPort, uint32_t apicBase) {
    const uint32_t in[] = {pmTimerPort, apicBase};
    uint32_t reply[4] = {};
    if (!SendNTRequest(KMDRIVER_MEASURE_BUS_CLOCK_EX, in, sizeof in, reply, sizeof reply)) return -1.0f;
    return ClockFromRatio(reply[0], frequency);
}

float CKMDriver::MeasureMSRClockByPMTimer(double frequency, uint32_t pmTimerPort, uint32_t msr) {
    const uint32_t in[] = {pmTimerPort, msr};
    uint32_t reply[2] = {};
    if (!SendNTRequest(KMDRIVER_MEASURE_MSR_CLOCK_BY_PM_TIMER, in, sizeof in, reply, sizeof reply))
        return -1.0f;
    // The driver's rate is in MHz of the nominal PM timer; scale it to the
    // caller's reference frequency, in single precision.
    const float rate = std::bit_cast<float>(reply[1]);
    const float megahertz = static_cast<float>(frequency / 1000000.0);
    return rate / kPMTimerMHz * megahertz;
}

float CKMDriver::MeasureMSRClockByHPET(double frequency, uint32_t hpetBase, uint32_t msr) {
    const uint32_t in[] = {hpetBase, msr};
    uint32_t reply[2] = {};
    if (!SendNTRequest(KMDRIVER_MEASURE_MSR_CLOCK_BY_HPET, in, sizeof in, reply, sizeof reply)) return -1.0f;
    return ClockFromRatio(reply[1], frequency);
}

// ---- IA-64, SMI ----

int CKMDriver::ReadIA64CPUID(void* buffer, uint32_t* count) {
    if (!buffer || !kmdriver::FitsDword(buffer)) return 0;
    const uint32_t in[] = {kmdriver::BufferLow(buffer)};
    uint32_t reply[2] = {};
    if (!SendNTRequest(KMDRIVER_READ_IA64_CPUID, in, sizeof in, reply, sizeof reply)) return 0;
    if (count) *count = 4;
    return 1;
}

int CKMDriver::CallPALProcedure(void* buffer) {
    if (!buffer || !kmdriver::FitsDword(buffer)) return 0;
    const uint32_t in[] = {kmdriver::BufferLow(buffer)};
    uint32_t reply[2] = {};
    return SendNTRequest(KMDRIVER_CALL_PAL_PROCEDURE, in, sizeof in, reply, sizeof reply);
}

int CKMDriver::CallSMI(uint32_t registers[4]) {
    if (!registers) return 0;
    uint32_t in[4], reply[4];
    std::copy(registers, registers + 4, in);
    std::copy(registers, registers + 4, reply);
    if (!SendNTRequest(KMDRIVER_CALL_SMI, in, sizeof in, reply, sizeof reply)) return 0;
    // An SMI handler that did not answer leaves the registers as they were.
    if (reply[0] == kSMIFailed || std::equal(std::begin(reply), std::end(reply), std::begin(in))) return 0;
    std::copy(std::begin(reply), std::end(reply), registers);
    return 1;
}

// ---- SMBus ----

uint32_t CKMDriver::ReadSMBusByte(uint32_t code, const uint32_t* in, uint32_t inSize,
                                  bool byteFromDataAlways, uint8_t* value) {
    if (!CanSend()) return 0;
    uint32_t reply[4] = {};
    if (m_iOSVersion == kPlatformWin9x || !SendRequest(code, in, inSize, reply, sizeof reply))
        return kUsePortProtocol;
    const uint32_t status = reply[0];
    if (value) *value = (status == 0 && !byteFromDataAlways) ? 0xFF : static_cast<uint8_t>(reply[1]);
    return status;
}

uint32_t CKMDriver::ReadSMBusByteICH(uint32_t basePort, uint32_t slave, uint32_t reg, uint8_t* value) {
    const uint32_t in[] = {basePort, slave & 0x7F, reg & 0xFF};
    return ReadSMBusByte(KMDRIVER_READ_SMBUS_BYTE_ICH, in, sizeof in, false, value);
}

uint32_t CKMDriver::ReadSMBusByteEngine(uint32_t configAddress, uint32_t engineOffset, uint32_t deviceType,
                                        uint32_t select, uint32_t reg, uint8_t* value) {
    const uint32_t in[] = {configAddress, engineOffset, deviceType, select, reg};
    return ReadSMBusByte(KMDRIVER_READ_SMBUS_BYTE_ENGINE, in, sizeof in, false, value);
}

uint32_t CKMDriver::ReadSMBusByteNVidia(uint32_t basePort, uint32_t slave, uint32_t reg, uint8_t* value) {
    const uint32_t in[] = {basePort, slave & 0x7F, reg & 0xFF};
    return ReadSMBusByte(KMDRIVER_READ_SMBUS_BYTE_NVIDIA, in, sizeof in, true, value);
}
