#include "sdk/hw/io_request.h"

#include "sdk/core/report_generator.h"

void CPCIRequest::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("PCI request", "\t", "bus %d, device %d, function %d", static_cast<int>(m_dwBus),
                       static_cast<int>(m_dwDevice), static_cast<int>(m_dwFunction));
}

void CSMBusRequest::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("SMBus request", "\t\t", "channel 0x%X, address 0x%X", m_byChannel, m_bySlaveAddress);
}

void UGuru_Request::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("UGuru request", "\t", "bank 0x%X", m_byBank);
}

void CI2CRequest::Dump(CReportGenerator* report) {
    if (!report) return;
    report->PrintField("I2C request", "\t\t", "bus 0x%X, device 0x%X", m_byBus, m_byDevice);
}
