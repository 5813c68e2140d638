#include "sdk/monitor/usb_cooler_monitor.h"

#include <cstring>

#include "platform/shell_folders.h"
#include "platform/modules.h"
#include "platform/text.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sensor.h"
#include "sdk/monitor/late_sensor.h"

namespace {

constexpr uint32_t kCoolerId = 0x2433B111;
constexpr uint32_t kCoolerDivider = 5;
constexpr uint32_t kTransferTimeoutMs = 10000;
constexpr char kLibraryInProgramFiles[] = "\\Antec CC\\SiUSBXp.dll";
constexpr size_t kMaxPath = 260;
void* const kNoHandle = reinterpret_cast<void*>(intptr_t(-1));

// The request for the cooler's readings.
void FillRequest(uint8_t (&message)[Asetek_CC_HardwareMonitor::kMessageSize]) {
    std::memset(message, 0, sizeof message);
    const uint8_t head[] = {0x10, 0x19, 0x19, 0xFF, 0x64, 0x64, 0x02};
    std::memcpy(message, head, sizeof head);
}

// The library's path under the 32-bit program-files folder; empty when the
// folder is unknown or the path too long.
std::string LibraryPath() {
    char folder[kMaxPath] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, 0, folder) != S_OK) return {};
    std::string path = std::string(folder) + kLibraryInProgramFiles;
    return path.size() < kMaxPath ? path : std::string();
}

} // namespace

Asetek_CC_HardwareMonitor::Asetek_CC_HardwareMonitor() : CHardwareMonitor(MONITOR_USB_COOLER, kCoolerId) {
    FormatString(m_szName, sizeof m_szName, "Asetek CC");
    m_dwUpdateDivider = kCoolerDivider;
}

Asetek_CC_HardwareMonitor::~Asetek_CC_HardwareMonitor() { Close(); }

bool Asetek_CC_HardwareMonitor::ResolveFunctions() {
    using vexa::platform::lookup;
    m_pSetTimeouts = lookup<SetTimeoutsFn>(m_hLibrary, "SI_SetTimeouts");
    m_pGetNumDevices = lookup<GetNumDevicesFn>(m_hLibrary, "SI_GetNumDevices");
    m_pGetProductString = lookup<GetProductStringFn>(m_hLibrary, "SI_GetProductString");
    m_pOpen = lookup<OpenFn>(m_hLibrary, "SI_Open");
    m_pClose = lookup<CloseFn>(m_hLibrary, "SI_Close");
    m_pRead = lookup<ReadFn>(m_hLibrary, "SI_Read");
    m_pWrite = lookup<WriteFn>(m_hLibrary, "SI_Write");
    m_pGetPartNumber = lookup<GetPartNumberFn>(m_hLibrary, "SI_GetPartNumber");
    return m_pSetTimeouts && m_pGetNumDevices && m_pGetProductString && m_pOpen && m_pClose && m_pRead && m_pWrite &&
           m_pGetPartNumber;
}

int Asetek_CC_HardwareMonitor::CreateSensors() {
    const std::string path = LibraryPath();
    if (path.empty()) return 0;
    if (!m_hLibrary) m_hLibrary = LoadLibraryExW(vexa::platform::toWide(path).c_str(), nullptr, 0);
    if (!m_hLibrary || !ResolveFunctions()) return 0;
    m_pSetTimeouts(kTransferTimeoutMs, kTransferTimeoutMs);
    uint32_t count = 0;
    if (m_pGetNumDevices(&count) != 0 || count == 0) return 0;
    char product[256] = {};
    if (m_pGetProductString(0, product, 0) == 0) {
        product[sizeof product - 1] = '\0';
        char name[256];
        FormatString(name, sizeof name, "%s (%s)", m_szName, product);
        FormatString(m_szName, sizeof m_szName, "%s", name);
    }
    return 1;
}

int Asetek_CC_HardwareMonitor::Update() {
    if (!m_pOpen) return 1;
    void* handle = kNoHandle;
    if (m_pOpen(0, &handle) != 0 || handle == kNoHandle) return 1;
    uint8_t message[kMessageSize];
    FillRequest(message);
    uint32_t written = 0, read = 0;
    const bool exchanged = m_pWrite(handle, message, kMessageSize, &written, nullptr) == 0 &&
                           written == kMessageSize &&
                           m_pRead(handle, message, kMessageSize, &read, nullptr) == 0 && read == kMessageSize;
    if (exchanged) {
        const auto store = [](CSensor* sensor, uint32_t raw) {
            sensor->m_dwRawValue = raw;
            sensor->SetValue(float(raw), 1);
        };
        store(MaterialiseSensor<CTemperatureSensor>(*this, m_pLiquid, 0, "Liquid", true), message[10]);
        store(MaterialiseSensor<CFanSensor>(*this, m_pFan, 0, "Fan", true), uint32_t(message[0]) << 8 | message[1]);
        store(MaterialiseSensor<CFanSensor>(*this, m_pPump, 1, "Pump", true), uint32_t(message[8]) << 8 | message[9]);
    }
    m_pClose(handle);
    return 1;
}

void Asetek_CC_HardwareMonitor::Close() {
    if (m_hLibrary) FreeLibrary(m_hLibrary);
    m_hLibrary = nullptr;
    m_pSetTimeouts = nullptr;
    m_pGetNumDevices = nullptr;
    m_pGetProductString = nullptr;
    m_pOpen = nullptr;
    m_pClose = nullptr;
    m_pRead = nullptr;
    m_pWrite = nullptr;
    m_pGetPartNumber = nullptr;
}
