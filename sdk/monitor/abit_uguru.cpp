#include "sdk/monitor/abit_uguru.h"

#include <algorithm>
#include <cstdint>

#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/hw/io_space.h"
#include "sdk/monitor/abit_uguru_tables.h"
#include "sdk/monitor/platform_monitor_support.h"

namespace {

constexpr uint32_t kCommandOffset = 4, kDataOffset = 0;
constexpr uint8_t kBusy = 0x02, kReady = 0x01;
constexpr int kBusyReads = 500, kReadyReads = 1000;
constexpr uint8_t kRunCommand = 0x1A;
constexpr uint32_t kRunRead = 0x101;
constexpr uint8_t k2003Bank = 0x21, k2005Bank = 8;
constexpr uint8_t kBlockRegister = 0x80;
constexpr uint32_t kMaxBlockOffset = 127;

int UGuruWriteCommand(CRegisterSpace* space, uint8_t value) { return space->WriteByte(kCommandOffset, value); }
int UGuruWriteData(CRegisterSpace* space, uint8_t value) { return space->WriteByte(kDataOffset, value); }
int UGuruReadStatus(CRegisterSpace* space, uint8_t* value) { return space->ReadByte(kCommandOffset, value); }
int UGuruReadData(CRegisterSpace* space, uint8_t* value) { return space->ReadByte(kDataOffset, value); }

// Back-to-back status reads: the controller answers within microseconds.
int UGuruWaitReady(CRegisterSpace* space) {
    for (int i = 0; i < kReadyReads; ++i) {
        uint8_t status = 0;
        if (UGuruReadStatus(space, &status) && (status & kReady)) return 1;
    }
    return 0;
}

bool UGuruWaitNotBusy(CRegisterSpace* space) {
    for (int i = 0; i < kBusyReads; ++i) {
        uint8_t status = kBusy;
        if (UGuruReadStatus(space, &status) && !(status & kBusy)) return true;
    }
    return false;
}

UGuru_Request* AsUGuruRequest(CIORequest* request) {
    return request && request->m_dwKind == IOREQUEST_UGURU ? static_cast<UGuru_Request*>(request) : nullptr;
}

uint8_t AddressedRegister(const UGuru_Request* request) {
    return uint8_t((request->m_dwValue + request->m_dwRegister) & 0xFF);
}

// value = a × raw / b + c, volts for voltages (the rows give millivolts);
// a row with a divisor of 0 gives no value.
void SetScaled(CSensor* sensor, const _stUGuruSensor& row, uint8_t raw) {
    sensor->m_dwRawValue = raw;
    if (row.b == 0) return;
    double value = double(row.a) * raw / row.b + row.c;
    if ((row.key & 0xFFFF00) == SENSOR_VOLTAGE) value /= 1000.0;
    sensor->SetValue(float(value), 1);
}

bool SensorClass(uint32_t key) {
    const uint32_t classCode = key & 0xFFFF00;
    return classCode == SENSOR_VOLTAGE || classCode == SENSOR_TEMPERATURE || classCode == SENSOR_FAN;
}

// The rows up to `count` or to the end row, whichever comes first.
void CreateRowSensors(CHardwareMonitor* monitor, const _stUGuruSensor* rows, size_t count) {
    for (size_t i = 0; i < count && rows[i].location != 0xFFFFFFFF; ++i) {
        const _stUGuruSensor& row = rows[i];
        if (!SensorClass(row.key)) continue;
        CSensor* sensor = LateSensor(monitor, row.key & 0xFFFF00, uint8_t(row.key & 0xFF), row.label, 0, false);
        if (sensor) sensor->m_dwId = row.key;
    }
}

} // namespace

// ---- Register spaces ----

int UGuru_RegisterSpace::ReadRegister(uint8_t bank, uint8_t reg, uint8_t* value) {
    if (!UGuruWriteCommand(this, bank) || !UGuruWaitNotBusy(this)) return 0;
    if (!UGuruWriteData(this, reg) || !UGuruWaitReady(this)) return 0;
    return UGuruReadData(this, value);
}

int UGuru_RegisterSpace::Execute(CIORequest* request) {
    UGuru_Request* uguru = AsUGuruRequest(request);
    if (!uguru) return 0;
    if (uguru->m_dwOperation == IOOP_READ_BYTE) {
        uint8_t value = 0;
        const int result = ReadRegister(uguru->m_byBank, AddressedRegister(uguru), &value);
        if (result) uguru->m_dwData = (uguru->m_dwData & 0xFFFFFF00) | value;
        return result;
    }
    if (uguru->m_dwOperation == kRunRead) {
        uguru->m_dwData = 0;
        return 1;
    }
    return 0;
}

void UGuru_RegisterSpace::Dump(CReportGenerator* report) {
    if (report) report->PrintField("Register space", "\t\t", "UGuru2003, base address = 0x%X%X", GetBaseHigh(), GetBaseLow());
}

uint32_t UGuru2005_RegisterSpace::ReadBlock(uint8_t bank, uint8_t reg, uint32_t count, uint8_t* buffer) {
    const uint8_t length = uint8_t(count);
    if (!UGuruWriteCommand(this, kRunCommand) || !UGuruWaitNotBusy(this)) return 0;
    for (uint8_t byte : {bank, reg, length})
        if (!UGuruWriteData(this, byte) || !UGuruWaitNotBusy(this)) return 0;
    uint32_t read = 0;
    while (read < length && buffer && UGuruWaitReady(this) && UGuruReadData(this, &buffer[read])) ++read;
    return read;
}

int UGuru2005_RegisterSpace::ReadRegister(uint8_t bank, uint8_t reg, uint8_t* value) {
    *value = 0xFF;
    return ReadBlock(bank, reg, 1, value) == 1;
}

int UGuru2005_RegisterSpace::Execute(CIORequest* request) {
    UGuru_Request* uguru = AsUGuruRequest(request);
    if (!uguru || uguru->m_dwOperation != kRunRead) return UGuru_RegisterSpace::Execute(request);
    uguru->m_dwData = ReadBlock(uguru->m_byBank, AddressedRegister(uguru), uguru->m_dwData, uguru->m_pBuffer);
    return 1;
}

void UGuru2005_RegisterSpace::Dump(CReportGenerator* report) {
    if (report) report->PrintField("Register space", "\t\t", "UGuru2005, base address = 0x%X%X", GetBaseHigh(), GetBaseLow());
}

bool ReadUGuruByte(CRegisterSpace* space, uint8_t bank, uint8_t reg, uint8_t* value) {
    if (!space) return false;
    UGuru_Request request(reg, bank);
    request.m_dwRegister = 0;
    request.m_dwOperation = IOOP_READ_BYTE;
    if (!space->LockedExecute(&request)) return false;
    *value = uint8_t(request.m_dwData);
    return true;
}

uint32_t ReadUGuruBlock(CRegisterSpace* space, uint8_t bank, uint8_t reg, uint32_t count, uint8_t* buffer) {
    if (!space) return 0;
    UGuru_Request request(reg, bank);
    request.m_dwRegister = 0;
    request.m_dwOperation = kRunRead;
    request.m_dwData = count;
    request.m_pBuffer = buffer;
    return space->LockedExecute(&request) ? request.m_dwData : 0;
}

// ---- 2003 monitor ----

abit_uGuru_HardwareMonitor::abit_uGuru_HardwareMonitor() : CHardwareMonitor(MONITOR_CHIP, 0x147B0003) {
    FormatString(m_szName, sizeof m_szName, "%s", "abit UGuru 2003");
}

int abit_uGuru_HardwareMonitor::CreateSensors() {
    if (m_pRequest) m_pRequest->m_dwOperation = IOOP_READ_BYTE;
    CreateRowSensors(this, kUGuru2003Sensors, SIZE_MAX);
    return 1;
}

// A row whose register does not answer keeps its last reading.
int abit_uGuru_HardwareMonitor::Update() {
    UGuru_Request* request = AsUGuruRequest(m_pRequest);
    if (!request || !m_pRegisterSpace) return 1;
    request->m_dwOperation = IOOP_READ_BYTE;
    for (const _stUGuruSensor* row = kUGuru2003Sensors; row->location != 0xFFFFFFFF; ++row) {
        CSensor* sensor = SensorClass(row->key) ? FindSensorById(row->key) : nullptr;
        if (!sensor) continue;
        request->m_byBank = uint8_t(row->location >> 8);
        request->m_dwRegister = row->location & 0xFF;
        if (!m_pRegisterSpace->LockedExecute(request)) continue;
        SetScaled(sensor, *row, uint8_t(request->m_dwData));
    }
    return 1;
}

void abit_uGuru_HardwareMonitor::DumpRegisters(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("Hardware registers", "\t", "%s", "");
    if (m_pRegisterSpace) m_pRegisterSpace->Dump(report);
    UGuru_Request* request = AsUGuruRequest(m_pRequest);
    if (!request || !m_pRegisterSpace) return;
    for (uint8_t bank : {uint8_t(0x21), uint8_t(0x26)}) {
        request->m_byBank = bank;
        request->Dump(report);
        char line[16 * 3 + 1] = {};
        for (int column = 0; column < 16; ++column) FormatString(line + 3 * column, 4, "%02X ", column);
        report->PrintField("\t", "\t", "%s", line);
        for (int row = 0; row < 16; ++row) {
            for (int column = 0; column < 16; ++column) {
                request->m_dwOperation = IOOP_READ_BYTE;
                request->m_dwRegister = uint32_t(row * 16 + column);
                if (m_pRegisterSpace->LockedExecute(request))
                    FormatString(line + 3 * column, 4, "%02X ", request->m_dwData & 0xFF);
                else
                    FormatString(line + 3 * column, 4, "%s", "ER ");
            }
            char label[8];
            FormatString(label, sizeof label, "\t%02X", row * 16);
            report->PrintField(label, "\t", "%s", line);
        }
    }
}

// ---- 2005 monitor ----

abit_uGuru2005_HardwareMonitor::abit_uGuru2005_HardwareMonitor(uint32_t boardId)
    : CHardwareMonitor(MONITOR_CHIP, 0x147B0005), m_dwBoardId(boardId) {
    FormatString(m_szName, sizeof m_szName, "%s", "abit UGuru 2005");
}

int abit_uGuru2005_HardwareMonitor::CreateSensors() {
    const std::vector<_stUGuruSensor>& rows = UGuru2005Sensors(m_dwBoardId);
    if (rows.empty()) return 0;
    uint32_t highest = 0;
    for (const _stUGuruSensor& row : rows) highest = std::max(highest, row.location);
    m_dwBlockLength = std::min(highest, kMaxBlockOffset) + 1;
    CreateRowSensors(this, rows.data(), rows.size());
    return 1;
}

// Rows beyond the bytes the run delivered keep their last reading.
int abit_uGuru2005_HardwareMonitor::Update() {
    const std::vector<_stUGuruSensor>& rows = UGuru2005Sensors(m_dwBoardId);
    UGuru_Request* request = AsUGuruRequest(m_pRequest);
    if (rows.empty()) return 0;
    if (!request || !m_pRegisterSpace || m_dwBlockLength == kUnknown) return 1;
    uint8_t buffer[256] = {};
    request->m_dwOperation = kRunRead;
    request->m_dwRegister = kBlockRegister;
    request->m_dwData = m_dwBlockLength;
    request->m_pBuffer = buffer;
    const uint32_t read = m_pRegisterSpace->LockedExecute(request) ? request->m_dwData : 0;
    request->m_pBuffer = nullptr;
    for (const _stUGuruSensor& row : rows) {
        CSensor* sensor = SensorClass(row.key) ? FindSensorById(row.key) : nullptr;
        if (sensor && row.location < read) SetScaled(sensor, row, buffer[row.location]);
    }
    return 1;
}

void abit_uGuru2005_HardwareMonitor::DumpInfo(CReportGenerator* report) {
    CHardwareMonitor::DumpInfo(report);
    if (report && m_dwBoardId != kUnknown) report->PrintField("Board ID", "\t\t", "0x%04X", m_dwBoardId);
}
