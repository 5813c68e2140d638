#include "sdk/monitor/hardware_monitor.h"

#include <cstring>
#include <iterator>

#include "sdk/core/device.h"
#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/core/sensor.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/register_space.h"

namespace {

constexpr uint32_t kAllSensors = 0xFFFFFFFF;

void CopyLabel(CSensor* sensor, const char* label) {
    if (!label) label = "";
    std::strncpy(sensor->m_szName, label, sizeof sensor->m_szName - 1);
    sensor->m_szName[sizeof sensor->m_szName - 1] = '\0';
}

// The reading a voltage formula starts from: the unconverted value when the
// monitor stored one, else the raw register value.
double VoltageInput(const CSensor* sensor) {
    return sensor->m_fUnconvertedValue > 0 ? double(sensor->m_fUnconvertedValue) : double(sensor->m_dwRawValue);
}

// Walks a table to its end row.
template <typename Row, typename Visit>
void ForEachRow(const Row* table, Visit visit) {
    for (const Row* row = table; row && row->key != kLabelTableEnd; ++row) visit(*row);
}

} // namespace

CHardwareMonitor::CHardwareMonitor(uint32_t kind, uint32_t id) : m_dwKind(kind), m_dwId(id) {
    FormatString(m_szName, sizeof m_szName, "Hardware monitor ID=0x%X", id);
}

CHardwareMonitor::~CHardwareMonitor() {
    delete m_pRequest;
    delete m_pAllSensors;
    for (CTList<CSensor>* list : m_pClassLists) delete list;
    delete m_pLabelledVoltages;
    delete m_pLabelledTemperatures;
    delete m_pLabelledFans;
}

int CHardwareMonitor::Poll(int force) {
    if (force) return Update();
    if (m_dwUpdateDivider < 1) return 0;
    if (++m_dwUpdateCounter != m_dwUpdateDivider) return 0;
    m_dwUpdateCounter = 0;
    return Update();
}

CTList<CSensor>* CHardwareMonitor::ClassList(uint32_t classCode) {
    for (size_t i = 0; i < std::size(kClassCodes); ++i)
        if (kClassCodes[i] == classCode) return m_pClassLists[i];
    return nullptr;
}

void CHardwareMonitor::AddToSensorLists(CSensor* sensor) {
    if (!sensor) return;
    if (!m_pAllSensors) m_pAllSensors = new CTList<CSensor>;
    m_pAllSensors->AddTail(sensor);
    // The first class bit of the id, in the order of the test below.
    static constexpr uint32_t kTestOrder[13] = {0x100,  0x800,  0x200,   0x400,   0x2000,  0x4000,  0x1000,
                                                0x8000, 0x10000, 0x20000, 0x40000, 0x80000, 0x100000};
    for (uint32_t code : kTestOrder) {
        if (!(sensor->m_dwId & code)) continue;
        for (size_t i = 0; i < std::size(kClassCodes); ++i) {
            if (kClassCodes[i] != code) continue;
            if (!m_pClassLists[i]) m_pClassLists[i] = new CTList<CSensor>;
            m_pClassLists[i]->AddTail(sensor);
        }
        return;
    }
}

void CHardwareMonitor::AddSensor(CSensor* sensor) {
    if (!sensor) return;
    AddToSensorLists(sensor);
    GetSDK()->m_pSensors->AddTail(sensor);
    if (m_pOwnerDevice && (m_pOwnerDevice->m_dwKind & DEVICE_COMPOSITE))
        static_cast<CCompositeDevice*>(m_pOwnerDevice)->AddSensor(sensor);
}

CTList<CSensor>* CHardwareMonitor::GetSensorList(uint32_t classCode) {
    switch (classCode) {
    case SENSOR_VOLTAGE: return m_pLabelledVoltages ? m_pLabelledVoltages : ClassList(classCode);
    case SENSOR_TEMPERATURE: return m_pLabelledTemperatures ? m_pLabelledTemperatures : ClassList(classCode);
    case SENSOR_FAN: return m_pLabelledFans ? m_pLabelledFans : ClassList(classCode);
    case kAllSensors: return m_pAllSensors;
    default: return ClassList(classCode);
    }
}

CSensor* CHardwareMonitor::GetSensor(uint32_t classCode, uint32_t index) {
    CTListIterator<CSensor> it(GetSensorList(classCode));
    uint32_t position = 0;
    for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext(), ++position)
        if (position == index) return sensor;
    return nullptr;
}

CSensor* CHardwareMonitor::FindSensorById(uint32_t key) {
    CTListIterator<CSensor> it(m_pAllSensors);
    for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext())
        if ((sensor->m_dwId & kSensorKeyMatchMask) == (key & kSensorKeyMatchMask)) return sensor;
    return nullptr;
}

int CHardwareMonitor::Access(uint8_t reg, uint32_t operation, uint32_t data) {
    m_pRequest->m_dwRegister = reg;
    m_pRequest->m_dwOperation = operation;
    m_pRequest->m_dwData = data;
    return m_pRegisterSpace->ExecuteUnlocked(m_pRequest);
}

int CHardwareMonitor::ReadRegister(uint8_t reg, uint8_t* value) {
    if (!m_pRegisterSpace || !m_pRequest) return 0;
    if (value) *value = 0xFF;
    if (!Access(reg, IOOP_READ_BYTE, 0)) return 0;
    if (value) *value = uint8_t(m_pRequest->m_dwData);
    return 1;
}

int CHardwareMonitor::ReadWordRegister(uint8_t reg, uint16_t* value) {
    if (!m_pRegisterSpace || !m_pRequest) return 0;
    if (value) *value = 0xFFFF;
    if (!Access(reg, IOOP_READ_WORD, 0)) return 0;
    if (value) *value = uint16_t(m_pRequest->m_dwData);
    return 1;
}

int CHardwareMonitor::WriteRegister(uint8_t reg, uint8_t value) {
    if (!m_pRegisterSpace || !m_pRequest) return 0;
    return Access(reg, IOOP_WRITE_BYTE, value);
}

void CHardwareMonitor::ApplySensorLabels() {
    delete m_pLabelledVoltages;
    delete m_pLabelledTemperatures;
    delete m_pLabelledFans;
    m_pLabelledVoltages = m_pLabelledTemperatures = m_pLabelledFans = nullptr;
    const auto label = [this](const auto* table, CTList<CSensor>*& list) {
        if (!table) return;
        list = new CTList<CSensor>;
        ForEachRow(table, [&](const auto& row) {
            CSensor* sensor = FindSensorById(row.key);
            if (!sensor) return;
            sensor->m_dwId = row.key;
            CopyLabel(sensor, row.label);
            list->AddTail(sensor);
        });
    };
    label(m_pVoltageLabels, m_pLabelledVoltages);
    label(m_pTemperatureLabels, m_pLabelledTemperatures);
    label(m_pFanLabels, m_pLabelledFans);
}

void CHardwareMonitor::ApplySensorFormulas() {
    ConvertVoltages();
    ConvertTemperatures();
    ConvertFans();
}

void CHardwareMonitor::ConvertVoltages() {
    if (!m_pVoltageLabels) {
        CTListIterator<CSensor> it(GetSensorList(SENSOR_VOLTAGE));
        for (CSensor* sensor = it.GetFirst(); sensor; sensor = it.GetNext())
            sensor->SetValue(float(VoltageInput(sensor)), 1);
        return;
    }
    ForEachRow(m_pVoltageLabels, [this](const _stVoltageLabel& row) {
        CSensor* sensor = FindSensorById(row.key);
        if (!sensor) return;
        const double x = VoltageInput(sensor), a = row.a, b = row.b;
        switch (row.formula) {
        case 1: sensor->SetValue(float(x * a / b), 1); break;
        case 2: sensor->SetValue(float(x * (a + b) / b), 1); break;
        case 3: {
            const double t = float(a / (a + b));
            sensor->SetValue(float((x - double(m_fReferenceVoltage) * t) / (1 - t)), 1);
            break;
        }
        case 4: sensor->SetValue(float(x * a + b), 1); break;
        default: break;
        }
    });
}

void CHardwareMonitor::ConvertTemperatures() {
    ForEachRow(m_pTemperatureLabels, [this](const _stSensorLabel& row) {
        CSensor* sensor = FindSensorById(row.key);
        if (!sensor || sensor->m_dwRawValue == CSensor::kNoRawValue) return;
        const uint32_t r = sensor->m_dwRawValue;
        const double offset = (sensor->m_dwId & SENSOR_TEMPERATURE) ? static_cast<CTemperatureSensor*>(sensor)->m_fOffset : 0.0;
        switch (row.formula) {
        case 1: sensor->SetValue(float((int32_t(r) > 128 ? double(r) - 256 : double(r)) + offset), 1); break;
        case 2: sensor->SetValue(float(((r & 0x100) ? double(r) - 512 : double(r)) * 0.5 + offset), 1); break;
        case 3: sensor->SetValue(float(double(r & 0x7F) + offset), 1); break;
        case 4: sensor->SetValue(float(r & 0x7F), 1); break;
        default: break;
        }
    });
}

void CHardwareMonitor::ConvertFans() {
    ForEachRow(m_pFanLabels, [this](const _stSensorLabel& row) {
        CSensor* sensor = FindSensorById(row.key);
        if (!sensor) return;
        const uint32_t count = sensor->m_dwRawValue;
        switch (row.formula) {
        case 1: {
            if (count == 0) {
                sensor->SetValue(0.0f, 1);
                break;
            }
            const uint32_t divisor = (sensor->m_dwId & SENSOR_FAN) ? static_cast<CFanSensor*>(sensor)->m_dwDivisor : 2;
            const auto product = int32_t(count * divisor);  // a signed 32-bit product, wrapping as the chip's count does
            sensor->SetValue(product ? float(double(m_fFanConstant) / product) : 0.0f, 1);
            break;
        }
        case 2: sensor->SetValue(float(int32_t(count)), 1); break;
        default: break;
        }
    });
}

void CHardwareMonitor::SetOwnerDevice(CDevice* device) {
    if (device && (device->m_dwKind & DEVICE_COMPOSITE)) m_pOwnerDevice = device;
}
