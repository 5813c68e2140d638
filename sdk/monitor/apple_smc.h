// The System Management Controller of Apple computers, addressed by
// four-character keys: through its ports 0x300 (data) and 0x304 (command
// and status) with the SMC's byte protocol, or through the device
// "\\.\MacHALDriver" when a driver on the machine offers it. The monitor
// reads a per-model list of temperature keys, the fans the SMC reports and
// the three axes of the motion sensor.
#pragma once

#include <cstdint>

#include "platform/win_types.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/platform_monitor_support.h"

constexpr uint32_t kRegisterSpaceAppleSMC = 0x14;

class Apple_SMC_RegisterSpace : public CRegisterSpace {
public:
    static constexpr uint8_t kMaxLength = 32;

    explicit Apple_SMC_RegisterSpace(CIOSpace* ioSpace) : CRegisterSpace(kRegisterSpaceAppleSMC, ioSpace) {}

    // 1 when the key's `length` bytes were read / written; lengths above 32
    // fail without touching the ports.
    virtual int ReadKey(const char key[4], uint8_t* buffer, uint8_t length);
    virtual int WriteKey(const char key[4], const uint8_t* data, uint8_t length);
    // The key's four characters and a terminator.
    virtual int GetKeyByIndex(uint32_t index, char key[5]);
    // Five bytes of key information and a terminator.
    virtual int GetKeyInfo(const char key[4], uint8_t info[6]);

    int ReadStatus(uint8_t* value);
    int ReadData(uint8_t* value);
    int WriteCommand(uint8_t value);
    int WriteData(uint8_t value);
    // Whether the status's low nibble came to that of `expected` within the
    // bound of the wait.
    int WaitStatus(uint8_t expected);

private:
    // A command and four bytes, each byte after the SMC asked for it.
    bool SendCommandAndKey(uint8_t command, const uint8_t bytes[4]);
    // `count` bytes, each after the SMC offered it.
    bool ReceiveBytes(uint8_t* buffer, uint32_t count);
};

class Apple_SMC_RegisterSpace_HAL : public Apple_SMC_RegisterSpace {
public:
    Apple_SMC_RegisterSpace_HAL();
    ~Apple_SMC_RegisterSpace_HAL() override;

    uint32_t GetBaseHigh() override { return 0xFFFFFFFF; }
    uint32_t GetBaseLow() override { return 0xFFFFFFFF; }
    int ReadKey(const char key[4], uint8_t* buffer, uint8_t length) override;
    int WriteKey(const char key[4], const uint8_t* data, uint8_t length) override;
    int GetKeyByIndex(uint32_t, char[5]) override { return 0; }
    int GetKeyInfo(const char[4], uint8_t[6]) override { return 0; }

    // Whether the device can be opened for reading now.
    static bool DeviceAvailable();

private:
    HANDLE m_hDevice;
};

class Apple_SMC_HardwareMonitor : public CHardwareMonitor {
public:
    static constexpr uint32_t kMaxFans = 16;

    // Model index: 0 MacBook, 1 MacBook Pro, 2 Mac mini, 3 Mac Pro, 4 iMac;
    // below 0 no temperature keys.
    explicit Apple_SMC_HardwareMonitor(int32_t model);

    int CreateSensors() override;
    int Update() override;

    int32_t m_iModel;

private:
    Apple_SMC_RegisterSpace* Space() const;
    void ReadTemperatures(bool create);
    void ReadFans();
    // The fan count, at most kMaxFans; 0 when the SMC does not tell.
    uint32_t FanCount();

    SharedControllerMutex m_Mutex;
};
