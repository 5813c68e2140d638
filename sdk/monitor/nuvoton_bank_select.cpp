#include "sdk/monitor/nuvoton_bank_select.h"

#include "platform/threads.h"
#include "sdk/core/helpers.h"
#include "sdk/core/report_generator.h"
#include "sdk/hw/io_request.h"
#include "sdk/hw/register_space.h"
#include "sdk/monitor/hardware_monitor.h"
#include "sdk/monitor/register_rows.h"

namespace {

constexpr uint32_t kBeforeSwitchMs = 1;
constexpr uint32_t kAfterSwitchMs = 10;

} // namespace

uint8_t ReadNuvotonBank(CHardwareMonitor& monitor, uint8_t mask) {
    uint8_t value = 0xFF;
    if (!monitor.ReadRegister(kNuvotonBankRegister, &value) || value == 0xFF) return kNoBank;
    return value & mask;
}

int SelectNuvotonBank(CHardwareMonitor& monitor, uint8_t bank, uint8_t mask) {
    uint8_t old = 0xFF;
    monitor.ReadRegister(kNuvotonBankRegister, &old);
    const auto value = uint8_t((old & ~mask) | (bank & mask));
    Sleep(kBeforeSwitchMs);
    const int result = monitor.WriteRegister(kNuvotonBankRegister, value);
    Sleep(kAfterSwitchMs);
    return result;
}

bool PrintBankedDumpStart(CHardwareMonitor& monitor, CReportGenerator* report) {
    if (!report) return false;
    report->PrintField("Hardware registers", "\t", "%s", "");
    if (!monitor.m_pRegisterSpace) return false;
    monitor.m_pRegisterSpace->Dump(report);
    if (!monitor.m_pRequest) return false;
    monitor.m_pRequest->Dump(report);
    return true;
}

void PrintBankRegisters(CHardwareMonitor& monitor, CReportGenerator* report, uint8_t bank, uint32_t first,
                        uint32_t end) {
    if (!report) return;
    char label[16];
    FormatString(label, sizeof label, "bank %d", bank);
    report->PrintField(label, "\t", "%s", "");
    const auto read = [&monitor](uint32_t reg, uint8_t* value) {
        CIORequest* request = monitor.m_pRequest;
        request->m_dwOperation = IOOP_READ_BYTE;
        request->m_dwRegister = reg;
        if (!monitor.m_pRegisterSpace->LockedExecute(request)) return false;
        *value = uint8_t(request->m_dwData);
        return true;
    };
    if (first == 0) {
        PrintRegisterRows(report, end, read);
        return;
    }
    for (uint32_t base = first; base < end; base += 16) PrintRegisterRow(report, base, read);
}
