// The monitor chips on the SMBus: a fixed list of slave addresses, each
// probed on every controller and multiplexer channel, and at each device
// that answers a chain of chip probes until one recognises it. Boards
// known to misbehave when their SMBus is touched skip the scan, or stop it
// after a given address.
#include <cstring>
#include <initializer_list>

#include "sdk/core/device.h"
#include "sdk/core/sdk.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/kmdriver.h"
#include "sdk/hw/smbus_controller.h"
#include "sdk/hw/smbus_device.h"
#include "sdk/hw/smbus_interface.h"
#include "sdk/monitor/hardware_monitor_interface.h"
#include "sdk/monitor/lpcio.h"
#include "sdk/monitor/monitor_board_facts.h"

namespace {

using Probe = int (*)(CHardwareMonitorInterface&, CRegisterSpace*, CIORequest*);

int Winbond(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeWinbond(s, r, 0); }
int Smsc(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeSMSC(nullptr, s, r); }
int AnalogDevices(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeAnalogDevices(s, r); }
int Via(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeVIAVT1211(s, r); }
int Maxim(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeMaxim(s, r); }
int National(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) {
    return m.ProbeNationalSemiconductor(nullptr, s, r);
}
int Andigilog(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeAndigilog(s, r); }
int NuvotonSMBus(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeNuvotonSMBus(s, r); }
int Ite(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeITE(s, r, 0); }
int Chil(CHardwareMonitorInterface& m, CRegisterSpace* s, CIORequest* r) { return m.ProbeCHIL(s, r); }

struct ScanStep {
    uint8_t address;
    uint8_t reg;  // the register the presence probe reads
    std::initializer_list<Probe> chain;
    // Boards that end the scan after this address.
    std::initializer_list<uint32_t> stopAfter;
};

const ScanStep kIdentifiedSteps[] = {
    {0x2C, 0x00, {Winbond, Smsc, AnalogDevices, Via, Maxim, National}, {0xEA734C70, 0x4D0, 0x24480, 0x24680, 0xB3F086}},
    {0x2E, 0x00, {Smsc, Winbond, AnalogDevices, Andigilog, NuvotonSMBus, Maxim, National}, {0x20960, 0x657FD3}},
    {0x2F, 0x00, {Winbond, NuvotonSMBus, Maxim}, {0x306C0}},
    {0x2D, 0x20, {Winbond, Ite, Smsc, AnalogDevices, Maxim, NuvotonSMBus}, {}},
    {0x18, 0x00, {Maxim}, {}},
    {0x1A, 0x00, {AnalogDevices}, {}},
    {0x20, 0x20, {AnalogDevices}, {}},
    {0x2B, 0x00, {AnalogDevices}, {}},
    {0x28, 0x00, {NuvotonSMBus}, {0x5B9E29}},
    {0x76, 0x8C, {Chil}, {}},
    {0x70, 0x8C, {Chil}, {0x4CEB53, 0x4FC898, 0x504898, 0x60A938, 0xA09194}},
};

// Asus controllers that have no identification registers: made on the
// boards that carry them.
struct UnidentifiedStep {
    uint8_t address;
    uint32_t chip;
    std::initializer_list<uint32_t> boards;
};

const UnidentifiedStep kAsusSteps[] = {
    {0x38, 0x380000, {0xCCE9B6A0, 0x3E4CCCAC}},
    {0x40, 0x400000, {0x55C9C2E, 0xB4E9B6A0, 0xCCE9B6A0, 0xF279AEE8, 0xF37EC7E1, 0xF3837805, 0x187EC7E1, 0x1D6D92DA,
                      0x2C39AEE8, 0x3E4CCCAC, 0x6EEF158C}},
    {0x43, 0x380000, {0x55C9C2E, 0xB4E9B6A0, 0xF279AEE8, 0xF37EC7E1, 0xF3837805, 0x187EC7E1, 0x1D6D92DA, 0x2C39AEE8}},
};

const ScanStep kLateSteps[] = {
    {0x4C, 0x00, {AnalogDevices, Maxim, National}, {}},
    {0x4D, 0x00, {Maxim}, {}},
};

bool OneOf(uint32_t value, std::initializer_list<uint32_t> values) {
    for (uint32_t v : values)
        if (v == value) return true;
    return false;
}

// A BIOS build text at 0xFEC70 (a length byte of 11-49, then two digits)
// naming "D4" marks a board whose SMBus must not be scanned.
bool BiosTextForbidsScan(uint32_t boardHash) {
    if (boardHash == 0x90C2F294 || boardHash == 0xB4B7D952) return false;
    CKMDriver* driver = GetSDK()->GetDriver();
    if (!driver) return false;
    uint32_t head = 0;
    if (!driver->ReadMemoryDword(0, 0xF0000, 0xEC70, &head)) return false;
    const uint32_t length = head & 0xFF;
    const auto digit = [](uint32_t c) { return c >= '0' && c <= '9'; };
    if (length < 11 || length > 49 || !digit((head >> 8) & 0xFF) || !digit((head >> 16) & 0xFF)) return false;
    char text[50] = {};
    if (!driver->ReadPhysicalMemory(0, 0xFEC70, length, text)) return false;
    text[length] = '\0';
    // The text may hold zero bytes: look through all of it.
    for (uint32_t i = 0; i + 1 < length; ++i)
        if (text[i] == 'D' && text[i + 1] == '4') return true;
    return false;
}

bool ScanSkipped(uint32_t options, uint32_t boardHash) {
    if (options & MONITOR_OPTION_NO_SMBUS) return true;
    if (OneOf(boardHash, {0x3EC8, 0x97995980, 0x9A995D00, 0xAD13E080, 0xFB73D580, 0x22B0, 0x2D88, 0x4B76A0, 0x5ECE80,
                          0x5F0EB2, 0x9EF27C, 0x2D219469}))
        return true;
    if (TextContains(SystemManufacturer(), "IBM")) return true;
    if (BiosTextForbidsScan(boardHash)) return true;
    if (TextContains(BaseboardManufacturer(), "DFI ")) return true;
    return TextHashIsOneOf(SystemProductName(), {0xDA24FA10, 0xDA2F1580, 0xDA2F1600});
}

CSMBusRequest* RequestFor(const CSMBusDevice* device) {
    auto* request = new CSMBusRequest;
    request->m_byChannel = device->m_byChannel;
    request->m_bySlaveAddress = device->m_bySlaveAddress;
    return request;
}

} // namespace

int CHardwareMonitorInterface::ScanSMBus() {
    const uint32_t boardHash = MonitorBoardHash();
    if (ScanSkipped(m_dwOptions, boardHash)) return 0;
    CSMBusInterface* smbus = GetSDK()->m_pSMBus;
    if (!smbus) return 0;
    CTList<CDevice> answered;
    // Calls `visit` (controller, request) for each device answering at the
    // address; the request is deleted when no monitor took it.
    const auto forEachDevice = [&](uint8_t address, uint8_t reg, auto visit) {
        if (smbus->ProbeAddress(address, &answered, reg, 0, 1) <= 0) return;
        CTListIterator<CDevice> it(&answered);
        for (CDevice* found = it.GetFirst(); found; found = it.GetNext()) {
            auto* device = static_cast<CSMBusDevice*>(found);
            if (!device->m_pController) continue;
            CSMBusRequest* request = RequestFor(device);
            visit(device->m_pController, request);
            if (!MonitorHoldsRequest(request)) delete request;
        }
    };
    int result = 0;
    const auto runSteps = [&](const auto& steps) {
        for (const ScanStep& step : steps) {
            forEachDevice(step.address, step.reg, [&](CRegisterSpace* controller, CIORequest* request) {
                for (Probe probe : step.chain)
                    if ((result = probe(*this, controller, request))) break;
            });
            if (OneOf(boardHash, step.stopAfter)) return false;
        }
        return true;
    };
    if (runSteps(kIdentifiedSteps)) {
        for (const UnidentifiedStep& step : kAsusSteps) {
            if (!OneOf(boardHash, step.boards)) continue;
            forEachDevice(step.address, 0, [&](CRegisterSpace* controller, CIORequest* request) {
                CreateChipMonitor(GetSDK()->m_pMainboard, CHIP_VENDOR_ASUS_2, step.chip, controller, request);
            });
        }
        runSteps(kLateSteps);
    }
    answered.RemoveAll();
    return result;
}
