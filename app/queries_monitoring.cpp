// The super-I/O and sensor queries (slots 117-119): the names of the first
// super-I/O chip of the root's device list, and one sensor value found by
// its class and role among the sensors of the composite devices.
#include <algorithm>
#include <iterator>

#include "app/local_info_parser.h"
#include "platform/text.h"
#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/lpcio.h"

namespace {

constexpr int kCoreVoltageKey = 0x1000100;
// The processor's own voltage sensor ("VID", role 0x0E).
constexpr int kProcessorVIDKey = 0xE000100;
// Intel Haswell: the processor class code without its brand subcode.
constexpr uint32_t kHaswellClass = 0x1020200;

// Boards whose monitor reads the core voltage well on Haswell processors.
constexpr uint32_t kCoreVoltageBoards[] = {
    0x0002D130, 0x005A3C31, 0x00A5E982, 0x12738320, 0x15BE4DF4, 0x43F0BE90, 0x52738B20, 0x5273D120,
    0x5521A909, 0x67F0C090, 0x6A942C24, 0x7273B520, 0x8F679CC0, 0x9273B120, 0x9273C520, 0x9273F320,
    0xA5BE4CF4, 0xA5BE4D02, 0xA909AEE8, 0xCA942C04, 0xCBF0C090, 0xCD21AEC9, 0xCDF0BC90, 0xD2737F20,
    0xD2738120, 0xD2738720, 0xD273F520, 0xD51ECCAC, 0xD51ECDF4, 0xDB345A08, 0xDB345AC8, 0xDFF0C010,
    0xE3345AA8, 0xE3F0BB90, 0xEB345A88, 0xECBF72A0, 0xECC9B020};

// The text of the first super-I/O chip (index 0 only) whose text is not empty.
int LPCIOText(BRENIKSDK* sdk, int index, wchar_t* text, char (CLPCIO::*field)[256]) {
    if (!sdk || !text) return 0;
    CTListIterator<CDevice> it(sdk->m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        if (!(device->m_dwKind & DEVICE_LPC_IO) || index != 0) continue;
        const char* value = static_cast<CLPCIO*>(device)->*field;
        if (!value[0]) continue;
        vexa::platform::narrowToWide(value, text, kInfoTextChars);
        return 1;
    }
    return 0;
}

} // namespace

int CLocalInfoParser::GetLPCIOVendor(int index, wchar_t* text) {
    return LPCIOText(m_pSDK, index, text, &CLPCIO::m_szVendor);
}

int CLocalInfoParser::GetLPCIOModel(int index, wchar_t* text) {
    return LPCIOText(m_pSDK, index, text, &CLPCIO::m_szModel);
}

float CLocalInfoParser::GetSensorValue(int sensorKey, int* device, int* index) {
    if (!m_pSDK) return -1.0f;
    uint32_t key = uint32_t(sensorKey);
    if (sensorKey == kCoreVoltageKey && (uint32_t(GetClassCode(0)) & ~0xFFu) == kHaswellClass) {
        const uint32_t board = m_pSDK->m_pMainboard ? m_pSDK->m_pMainboard->m_dwBoardHash : 0xFFFFFFFF;
        if (std::find(std::begin(kCoreVoltageBoards), std::end(kCoreVoltageBoards), board) ==
            std::end(kCoreVoltageBoards))
            key = kProcessorVIDKey;
    }
    const uint32_t classBits = key & 0xFFFF00, role = key & 0xFF000000;
    CTListIterator<CDevice> devices(m_pSDK->m_pDevices);
    for (CDevice* found = devices.GetFirst(); found; found = devices.GetNext()) {
        if (!(found->m_dwKind & DEVICE_COMPOSITE)) continue;
        CTListIterator<CSensor> sensors(static_cast<CCompositeDevice*>(found)->m_pSensors);
        int position = 0;
        for (CSensor* sensor = sensors.GetFirst(); sensor; sensor = sensors.GetNext(), ++position) {
            if ((sensor->m_dwId & classBits) != classBits || (sensor->m_dwId & 0xFF000000) != role) continue;
            if (device) *device = -1;
            if (index) *index = position;
            return sensor->m_fValue;
        }
    }
    return -1.0f;
}
