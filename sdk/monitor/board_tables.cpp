#include "sdk/monitor/board_tables.h"

#include "sdk/hw/io_request.h"

namespace {

using MC = MonitorClass;

constexpr _stVoltageLabel kNoVoltages[] = {{nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kNoSensors[] = {{nullptr, kLabelTableEnd, 0}};

template <typename Row>
constexpr TableChoice<Row> Keep() { return {}; }
template <typename Row>
constexpr TableChoice<Row> Use(const Row* table) { return {true, table}; }
template <typename Row>
constexpr TableChoice<Row> Clear() { return {true, nullptr}; }

// ---- The dual-processor board with two Fintek chips ----
constexpr uint32_t kDualFintekBoards[] = {0x31CDB24, 0x4FC5613E};

constexpr _stVoltageLabel kDualFintekFirstVoltages[] = {
    {"CPU0 VCORE", 0x01000101, 2, 4.7f, 10},  {"CPU0 VTT", 0x09000103, 2, 2.3f, 10},
    {"CPU0 DRAM", 0x08000102, 2, 4.7f, 10},   {"IOH VCore", 0x0A000104, 2, 24.3f, 100},
    {"+5V", 0x03000105, 2, 200, 47},          {"+12V", 0x04000106, 2, 200, 24.3f},
    {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kDualFintekFirstTemperatures[] = {
    {"CPU0 Socket", 0x01000200, 1}, {"CPU0 PWM", 0x00000201, 1}, {"System", 0x00000202, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kDualFintekFirstFans[] = {
    {"JCPU", 0x00000400, 1}, {"JSYS", 0x00000401, 1}, {"JPWR", 0x00000402, 1}, {"FANIN3", 0x00000403, 1},
    {nullptr, kLabelTableEnd, 0}};

constexpr _stVoltageLabel kDualFintekSecondVoltages[] = {
    {"CPU1 VCORE", 0x41000101, 2, 4.7f, 10}, {"CPU1 VTT", 0x49000102, 2, 2.3f, 10},
    {"CPU1 DRAM", 0x48000103, 2, 4.7f, 10},  {"IOH PLL", 0x0B000104, 2, 24.3f, 100},
    {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kDualFintekSecondTemperatures[] = {
    {"CPU1 PWM", 0x00000200, 1}, {"System 2", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kDualFintekSecondFans[] = {
    {"CPU1", 0x01000400, 1}, {"JSYS1", 0x00000401, 1}, {"JPWR1", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};

// ---- An ITE IT87 board, key 0x587220 ----
constexpr uint32_t kIte587220[] = {0x587220};
constexpr _stVoltageLabel kIte587220Voltages[] = {
    {"CPU VCORE", 0x01000100, 1, 1, 1}, {"VIN1", 0x00000101, 1, 1, 1}, {"+5V", 0x03000102, 1, 2.5f, 1},
    {"+12V", 0x04000103, 1, 6, 1},      {"VIN4", 0x00000104, 1, 1, 1}, {"VIN5", 0x00000105, 1, 1, 1},
    {"+3.3V", 0x02000107, 1, 1, 1},     {"VBAT", 0x00000108, 1, 1, 1}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kIte587220Temperatures[] = {
    {"CPU", 0x01000200, 1}, {"Mainboard", 0x00000201, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stSensorLabel kIte587220Fans[] = {
    {"FANIN0", 0x00000400, 1}, {"FANIN1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};

// ---- Boards with two NCT7802 chips on the SMBus ----
constexpr uint32_t kTwinNct7802Boards[] = {0x2AB53A0, 0x6AB53D0, 0xAAB53A0, 0xAAB5410};
constexpr _stVoltageLabel kNct7802At28Voltages[] = {
    {"PLL", 0x0C000103, 1, 3, 1}, {"CPU VSA", 0x00000104, 1, 2, 1}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kNct7802At28Fans[] = {
    {"JCHA", 0x00000400, 1}, {"JSYS", 0x00000401, 1}, {"JPWR", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr _stVoltageLabel kNct7802At2DVoltages[] = {{"CPU VAXG", 0x00000104, 1, 2, 1}, {nullptr, kLabelTableEnd, 0, 0, 0}};
constexpr _stSensorLabel kNct7802At2DFans[] = {
    {"JSYS2", 0x00000400, 1}, {"JSYS1", 0x00000401, 1}, {"FANIN2", 0x00000402, 1}, {nullptr, kLabelTableEnd, 0}};
constexpr uint32_t kNct7802Unlabelled[] = {0x2AB58A0, 0x2AB58B0, 0x9AB58F0, 0xBAB5910};

// ---- Boards whose tables are cleared or emptied ----
constexpr uint32_t kDhgSilentBoards[] = {0x54A3C0, 0x57C0C0,  0x57C240,  0x57CE60,  0x5C4000,  0x5C4E40,
                                         0x5C5360, 0x182D0138, 0x182F6178, 0x1831A958, 0x183749F8, 0x183800D8};
constexpr uint32_t kDhgUnlabelled[] = {0x328F4990, 0x36F30F36, 0xF45576DC};
constexpr uint32_t kDhgVoltagesUnlabelled[] = {0x948AC3C8, 0xF6A0BC69};
constexpr uint32_t kDhgSharedHash[] = {0xF69FBC69};
constexpr uint32_t kEhfUnlabelled[] = {0xBC827D10};
constexpr uint32_t kHfUnlabelled[] = {0x321D0};
constexpr uint32_t kW83637hfVoltagesUnlabelled[] = {0x5942B7, 0x26CD170, 0x3668CB20, 0x42BE3240};
constexpr uint32_t kW83791dUnlabelled[] = {0x56A600, 0xE597158C};
constexpr uint32_t kW83791dVoltagesAndTemperaturesUnlabelled[] = {0x83C5A4, 0x15257268, 0x3E5F158C};

// The byte sums of the two boards that share the hash 0xF69FBC69.
constexpr uint32_t kDhgSharedHashClearsVoltages = 0x4A5;

template <size_t N>
constexpr BoardTables Entry(MC monitorClass, const uint32_t (&keys)[N], uint8_t slave,
                            TableChoice<_stVoltageLabel> voltage, TableChoice<_stSensorLabel> temperature,
                            TableChoice<_stSensorLabel> fan) {
    return {monitorClass, keys, N, slave, voltage, temperature, fan};
}

const BoardTables kBoards[] = {
    Entry(MC::Fintek_F71882F, kDualFintekBoards, 0, Use(kDualFintekFirstVoltages), Use(kDualFintekFirstTemperatures),
          Use(kDualFintekFirstFans)),
    Entry(MC::Fintek_F71808E, kDualFintekBoards, 0, Use(kDualFintekSecondVoltages),
          Use(kDualFintekSecondTemperatures), Use(kDualFintekSecondFans)),
    Entry(MC::ITE_IT87, kIte587220, 0, Use(kIte587220Voltages), Use(kIte587220Temperatures), Use(kIte587220Fans)),
    Entry(MC::Nuvoton_NCT7802, kTwinNct7802Boards, 0x28, Use(kNct7802At28Voltages), Keep<_stSensorLabel>(),
          Use(kNct7802At28Fans)),
    Entry(MC::Nuvoton_NCT7802, kTwinNct7802Boards, 0x2D, Use(kNct7802At2DVoltages), Keep<_stSensorLabel>(),
          Use(kNct7802At2DFans)),
    Entry(MC::Nuvoton_NCT7802, kNct7802Unlabelled, 0, Clear<_stVoltageLabel>(), Clear<_stSensorLabel>(),
          Clear<_stSensorLabel>()),
    Entry(MC::Winbond_W83627DHG, kDhgSilentBoards, 0, Use(kNoVoltages), Use(kNoSensors), Use(kNoSensors)),
    Entry(MC::Winbond_W83627DHG, kDhgUnlabelled, 0, Clear<_stVoltageLabel>(), Clear<_stSensorLabel>(),
          Clear<_stSensorLabel>()),
    Entry(MC::Winbond_W83627DHG, kDhgVoltagesUnlabelled, 0, Clear<_stVoltageLabel>(), Keep<_stSensorLabel>(),
          Keep<_stSensorLabel>()),
    Entry(MC::Winbond_W83627DHG, kDhgSharedHash, 0, Keep<_stVoltageLabel>(), Use(kNoSensors), Keep<_stSensorLabel>()),
    Entry(MC::Winbond_W83627EHF, kEhfUnlabelled, 0, Clear<_stVoltageLabel>(), Clear<_stSensorLabel>(),
          Keep<_stSensorLabel>()),
    Entry(MC::Winbond_W83627HF, kHfUnlabelled, 0, Clear<_stVoltageLabel>(), Clear<_stSensorLabel>(),
          Clear<_stSensorLabel>()),
    Entry(MC::Winbond_W83637HF, kW83637hfVoltagesUnlabelled, 0, Clear<_stVoltageLabel>(), Keep<_stSensorLabel>(),
          Keep<_stSensorLabel>()),
    Entry(MC::Winbond_W83791D, kW83791dUnlabelled, 0, Clear<_stVoltageLabel>(), Clear<_stSensorLabel>(),
          Clear<_stSensorLabel>()),
    Entry(MC::Winbond_W83791D, kW83791dVoltagesAndTemperaturesUnlabelled, 0, Clear<_stVoltageLabel>(),
          Clear<_stSensorLabel>(), Keep<_stSensorLabel>()),
};

// The slave address of an SMBus request, 0 for any other request.
uint8_t SlaveAddressOf(const CIORequest* request) {
    if (!request || request->m_dwKind != IOREQUEST_SMBUS) return 0;
    return static_cast<const CSMBusRequest*>(request)->m_bySlaveAddress;
}

template <typename Row>
void Choose(const TableChoice<Row>& choice, const Row*& table) {
    if (choice.replace) table = choice.table;
}

} // namespace

const BoardTables* FindBoardTables(MonitorClass monitorClass, uint32_t boardKey, const CIORequest* request) {
    for (const BoardTables& entry : kBoards) {
        if (entry.monitorClass != monitorClass) continue;
        if (entry.slaveAddress && entry.slaveAddress != SlaveAddressOf(request)) continue;
        for (size_t i = 0; i < entry.keyCount; ++i)
            if (entry.keys[i] == boardKey) return &entry;
    }
    return nullptr;
}

void ApplyBoardTables(MonitorClass monitorClass, CHardwareMonitor* monitor, uint32_t boardKey, uint32_t byteSum,
                      const CIORequest* request) {
    if (!monitor) return;
    const BoardTables* entry = FindBoardTables(monitorClass, boardKey, request);
    if (!entry) return;
    Choose(entry->voltage, monitor->m_pVoltageLabels);
    Choose(entry->temperature, monitor->m_pTemperatureLabels);
    Choose(entry->fan, monitor->m_pFanLabels);
    // Two boards share this hash; one of them has no labelled voltages, the
    // other keeps the class's own.
    if (entry->keys == kDhgSharedHash && byteSum == kDhgSharedHashClearsVoltages) monitor->m_pVoltageLabels = nullptr;
}
