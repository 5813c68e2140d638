#include "sdk/monitor/apple_smc.h"

#include <cstring>

#include "platform/driver.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_space.h"

namespace {

constexpr uint32_t kDataOffset = 0, kCommandOffset = 4;
constexpr uint8_t kReadKey = 0x10, kWriteKey = 0x11, kKeyByIndex = 0x12, kKeyInfo = 0x13;
constexpr uint8_t kAfterCommand = 0x0C, kWriteNext = 0x04, kReadNext = 0x05;
// The SMC answers within microseconds; a wait reads the status up to 400
// times and sleeps 1 ms after every 40th miss, so a silent SMC costs at
// most about 10 ms per wait.
constexpr int kWaitTries = 400, kTriesPerSleep = 40;
constexpr uint32_t kAfterReadMs = 5;
constexpr const char* kHALDevice = "\\\\.\\MacHALDriver";
constexpr DWORD kHALReadKey = 0x9C402454, kHALWriteKey = 0x9C402458;
constexpr uint32_t kMutexWaitMs = 1000;
constexpr uint8_t kNoTemperature = 112;
constexpr uint32_t kMotionSettleMs = 100;
constexpr uint8_t kMotionOn[2] = {0xE0, 0x00};
constexpr const char* kAxes[3] = {"MO_X", "MO_Y", "MO_Z"};
constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};

// Each model's temperature keys; the sensor with index i reads key i.
const char* const kModel0[] = {"TB0T", "TC0D", "TC0P", "TM0P", "TN0P", "TN1P", "Th0H", "Th0S", "Th1H", "Ts0P", nullptr};
const char* const kModel1[] = {"TA0P", "TB0T", "TC0D", "TC0P", "TG0H", "TG0P", "TG0T",
                               "Th0H", "Th1H", "Tm0P", "Ts0P", "Ts1P", nullptr};
const char* const kModel2[] = {"TC0D", "TC0P", nullptr};
const char* const kModel3[] = {"TA0P", "TCAG", "TCAH", "TCBG", "TCBH", "TC0C", "TC0D", "TC0P", "TC1C",
                               "TC1D", "TC2C", "TC2D", "TC3C", "TC3D", "THTG", "TH0P", "TH1P", "TH2P",
                               "TH3P", "TMAP", "TMAS", "TMBS", "TM0P", "TM0S", "TM1P", "TM1S", "TM2P",
                               "TM2S", "TM3S", "TM8P", "TM8S", "TM9P", "TM9S", "TN0H", "TS0C", nullptr};
const char* const kModel4[] = {"TA0P", "TC0D", "TC0H", "TC0P", "TG0D", "TG0H", "TG0P",
                               "TH0P", "TL0P", "TO0P", "TW0P", "Tm0P", "Tp0P", nullptr};
const char* const* const kTemperatureKeys[] = {kModel0, kModel1, kModel2, kModel3, kModel4};

constexpr _stSensorLabel kModel1Temperatures[] = {
    {"Ambient", 0x200, 3},      {"Mainboard", 0x201, 3},   {"CPU Diode", 0x1000202, 3}, {"CPU", 0x203, 3},
    {"GPU Heatsink", 0x204, 3}, {"GPU", 0x205, 3},         {"GPU Diode", 0x206, 3},     {"Heatsink #0", 0x207, 3},
    {"Heatsink #1", 0x208, 3},  {"Northbridge", 0x209, 3}, {"Slot #0", 0x20A, 3},       {"Slot #1", 0x20B, 3},
    {nullptr, kLabelTableEnd, 0},
};

const char* const* ModelKeys(int32_t model) {
    return model >= 0 && model < int32_t(std::size(kTemperatureKeys)) ? kTemperatureKeys[model] : nullptr;
}

// Fan d's key from a template whose second character becomes the digit.
void FanKey(char key[5], const char* pattern, uint32_t fan) {
    std::memcpy(key, pattern, 4);
    key[1] = char('0' + fan);
    key[4] = '\0';
}

} // namespace

// ---- Port protocol ----

int Apple_SMC_RegisterSpace::ReadStatus(uint8_t* value) { return m_pIOSpace ? ReadByte(kCommandOffset, value) : 0; }
int Apple_SMC_RegisterSpace::ReadData(uint8_t* value) { return m_pIOSpace ? ReadByte(kDataOffset, value) : 0; }
int Apple_SMC_RegisterSpace::WriteCommand(uint8_t value) { return m_pIOSpace ? WriteByte(kCommandOffset, value) : 0; }
int Apple_SMC_RegisterSpace::WriteData(uint8_t value) { return m_pIOSpace ? WriteByte(kDataOffset, value) : 0; }

int Apple_SMC_RegisterSpace::WaitStatus(uint8_t expected) {
    for (int attempt = 1; attempt <= kWaitTries; ++attempt) {
        uint8_t status = 0;
        if (ReadStatus(&status) && (status & 0x0F) == (expected & 0x0F)) return 1;
        if (attempt % kTriesPerSleep == 0) Sleep(1);
    }
    return 0;
}

bool Apple_SMC_RegisterSpace::SendCommandAndKey(uint8_t command, const uint8_t bytes[4]) {
    if (!WriteCommand(command) || !WaitStatus(kAfterCommand)) return false;
    for (int i = 0; i < 4; ++i)
        if (!WriteData(bytes[i]) || !WaitStatus(kWriteNext)) return false;
    return true;
}

bool Apple_SMC_RegisterSpace::ReceiveBytes(uint8_t* buffer, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        if (!WaitStatus(kReadNext) || !ReadData(&buffer[i])) return false;
    return true;
}

int Apple_SMC_RegisterSpace::ReadKey(const char key[4], uint8_t* buffer, uint8_t length) {
    if (length > kMaxLength || !buffer) return 0;
    if (!SendCommandAndKey(kReadKey, reinterpret_cast<const uint8_t*>(key)) || !WriteData(length)) return 0;
    if (!ReceiveBytes(buffer, length)) return 0;
    Sleep(kAfterReadMs);
    return 1;
}

int Apple_SMC_RegisterSpace::WriteKey(const char key[4], const uint8_t* data, uint8_t length) {
    if (length > kMaxLength || (length && !data)) return 0;
    if (!SendCommandAndKey(kWriteKey, reinterpret_cast<const uint8_t*>(key)) || !WriteData(length)) return 0;
    for (uint8_t i = 0; i < length; ++i)
        if (!WaitStatus(kWriteNext) || !WriteData(data[i])) return 0;
    return 1;
}

int Apple_SMC_RegisterSpace::GetKeyByIndex(uint32_t index, char key[5]) {
    const uint8_t bytes[4] = {uint8_t(index >> 24), uint8_t(index >> 16), uint8_t(index >> 8), uint8_t(index)};
    if (!key || !SendCommandAndKey(kKeyByIndex, bytes) || !WriteData(4)) return 0;
    if (!ReceiveBytes(reinterpret_cast<uint8_t*>(key), 4)) return 0;
    key[4] = '\0';
    return 1;
}

int Apple_SMC_RegisterSpace::GetKeyInfo(const char key[4], uint8_t info[6]) {
    if (!info || !SendCommandAndKey(kKeyInfo, reinterpret_cast<const uint8_t*>(key)) || !WriteData(5)) return 0;
    if (!ReceiveBytes(info, 5)) return 0;
    info[5] = 0;
    return 1;
}

// ---- The HAL driver's device ----

Apple_SMC_RegisterSpace_HAL::Apple_SMC_RegisterSpace_HAL()
    : Apple_SMC_RegisterSpace(nullptr),
      m_hDevice(CreateFileA(kHALDevice, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}

Apple_SMC_RegisterSpace_HAL::~Apple_SMC_RegisterSpace_HAL() {
    if (m_hDevice != INVALID_HANDLE_VALUE && m_hDevice) CloseHandle(m_hDevice);
}

bool Apple_SMC_RegisterSpace_HAL::DeviceAvailable() {
    HANDLE device = CreateFileA(kHALDevice, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE || !device) return false;
    CloseHandle(device);
    return true;
}

int Apple_SMC_RegisterSpace_HAL::ReadKey(const char key[4], uint8_t* buffer, uint8_t length) {
    if (m_hDevice == INVALID_HANDLE_VALUE || !m_hDevice || length > kMaxLength || !buffer) return 0;
    char in[5] = {key[0], key[1], key[2], key[3], 0};
    uint8_t out[kMaxLength] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(m_hDevice, kHALReadKey, in, sizeof in, out, length, &returned, nullptr)) return 0;
    std::memcpy(buffer, out, length);
    return 1;
}

// The device takes two data bytes, whatever the length.
int Apple_SMC_RegisterSpace_HAL::WriteKey(const char key[4], const uint8_t* data, uint8_t length) {
    if (m_hDevice == INVALID_HANDLE_VALUE || !m_hDevice || !data) return 0;
    uint8_t in[7] = {uint8_t(key[0]), uint8_t(key[1]), uint8_t(key[2]), uint8_t(key[3]), 0, data[0],
                     length > 1 ? data[1] : uint8_t(0)};
    DWORD returned = 0;
    return DeviceIoControl(m_hDevice, kHALWriteKey, in, sizeof in, nullptr, 0, &returned, nullptr) ? 1 : 0;
}

// ---- Monitor ----

Apple_SMC_HardwareMonitor::Apple_SMC_HardwareMonitor(int32_t model)
    : CHardwareMonitor(MONITOR_CHIP, 0x106BA001), m_iModel(model), m_Mutex("Access_Apple_SMC") {
    FormatString(m_szName, sizeof m_szName, "%s", "Apple SMC");
    m_dwUpdateDivider = 2;
    if (model == 1) m_pTemperatureLabels = kModel1Temperatures;
}

Apple_SMC_RegisterSpace* Apple_SMC_HardwareMonitor::Space() const {
    return m_pRegisterSpace && m_pRegisterSpace->GetClass() == kRegisterSpaceAppleSMC
               ? static_cast<Apple_SMC_RegisterSpace*>(m_pRegisterSpace)
               : nullptr;
}

// Keys answering 112 degrees or more in their first byte do not exist.
void Apple_SMC_HardwareMonitor::ReadTemperatures(bool create) {
    const char* const* keys = ModelKeys(m_iModel);
    for (uint32_t i = 0; keys && keys[i]; ++i) {
        uint8_t value[2] = {};
        if (!Space()->ReadKey(keys[i], value, 2) || value[0] >= kNoTemperature) continue;
        CSensor* sensor = FindSensorById(SENSOR_TEMPERATURE | i);
        if (!sensor) {
            LateSensor(this, SENSOR_TEMPERATURE, uint8_t(i), keys[i], 0, !create);
            continue;
        }
        if (create) continue;
        sensor->m_dwRawValue = value[0];
        sensor->SetValue(float(value[0]), 1);
    }
}

uint32_t Apple_SMC_HardwareMonitor::FanCount() {
    uint8_t count = 0;
    if (!Space()->ReadKey("FNum", &count, 1)) return 0;
    return count < kMaxFans ? count : kMaxFans;
}

void Apple_SMC_HardwareMonitor::ReadFans() {
    const uint32_t count = FanCount();
    for (uint32_t fan = 0; fan < count; ++fan) {
        char key[5];
        FanKey(key, "F0Ac", fan);
        uint8_t speedBytes[2] = {};
        if (!Space()->ReadKey(key, speedBytes, 2)) continue;
        CSensor* sensor = FindSensorById(SENSOR_FAN | fan);
        if (!sensor) {
            char name[13] = {};
            uint8_t description[16] = {};
            FanKey(key, "F0ID", fan);
            const bool described = Space()->ReadKey(key, description, sizeof description);
            if (described) std::memcpy(name, description + 4, 12);
            sensor = LateSensor(this, SENSOR_FAN, uint8_t(fan), described ? name : nullptr, 0, false);
        }
        const uint32_t speed = (uint32_t(speedBytes[0]) << 8 | speedBytes[1]) >> 2;
        sensor->m_dwRawValue = speed;
        sensor->SetValue(float(speed), 1);
    }
}

int Apple_SMC_HardwareMonitor::CreateSensors() {
    SharedControllerTurn turn(m_Mutex, kMutexWaitMs);
    if (!turn || !Space()) return 0;
    ReadTemperatures(true);
    ReadFans();
    uint8_t motion[2] = {};
    if (Space()->ReadKey("MOCN", motion, 2)) {
        if (motion[0] == 0 && motion[1] == 0) {
            Space()->WriteKey("MOCN", kMotionOn, 2);
            Sleep(kMotionSettleMs);
            Space()->ReadKey("MOCN", motion, 2);
        }
        for (uint8_t axis = 0; axis < 3; ++axis) LateSensor(this, SENSOR_POSITION, axis, kAxisNames[axis], 0, false);
    }
    ApplySensorLabels();
    return 1;
}

int Apple_SMC_HardwareMonitor::Update() {
    SharedControllerTurn turn(m_Mutex, kMutexWaitMs);
    if (!turn || !Space()) return 0;
    ReadTemperatures(false);
    const bool hadFans = FindSensorById(SENSOR_FAN) != nullptr;
    ReadFans();
    if (!hadFans && FindSensorById(SENSOR_FAN)) ApplySensorLabels();
    for (uint8_t axis = 0; axis < 3; ++axis) {
        CSensor* sensor = FindSensorById(SENSOR_POSITION | axis);
        uint8_t value[2] = {};
        if (sensor && Space()->ReadKey(kAxes[axis], value, 2)) sensor->SetValue(float(int16_t(value[0] << 8 | value[1])), 1);
    }
    ApplySensorFormulas();
    return 1;
}
