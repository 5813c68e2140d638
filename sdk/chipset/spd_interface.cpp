// The SPD interface's records and the decoding dispatch.
#include "sdk/chipset/spd_interface.h"

#include "sdk/chipset/memory_type.h"
#include "sdk/chipset/module_info.h"
#include "sdk/core/device.h"
#include "sdk/core/helpers.h"

CSPDInterface::CSPDInterface() : m_pModules(new CModuleInfo[kMaxModules]) {}

CSPDInterface::~CSPDInterface() {
    delete[] m_pModules;
    delete m_pDevices;
}

void CSPDInterface::DecodeModules(ProgressCallback callback) {
    for (int i = 0; i < m_iModuleCount && i < kMaxModules; ++i) {
        if (callback) callback();
        DecodeRecord(&m_pModules[i]);
    }
    CTListIterator<CDevice> it(m_pDevices);
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* module = static_cast<CMemoryModule*>(device);
        const CModuleInfo* record = module->m_pModuleInfo;
        if (record)
            FormatString(module->m_szName, sizeof module->m_szName, "%s %s", record->m_szManufacturer,
                         record->m_szSpeed);
    }
}

void CSPDInterface::DecodeRecord(CModuleInfo* record) {
    if (!record || !record->m_pSPD || record->m_iSPDLength <= 2) return;
    switch (record->m_pSPD[2]) {
    case 1: DecodeRDRAM(record); break;
    case 2:
        FormatString(record->m_szMemoryType, sizeof record->m_szMemoryType, "%s", "EDO");
        record->m_iMemoryType = MEMORY_TYPE_EDO;
        break;
    case 4: DecodeSDRAM(record); break;
    case 5: FormatString(record->m_szMemoryType, sizeof record->m_szMemoryType, "%s", "ROM"); break;
    case 6: FormatString(record->m_szMemoryType, sizeof record->m_szMemoryType, "%s", "DDR-SGRAM"); break;
    case 7: DecodeDDR(record); break;
    case 8: DecodeDDR2(record); break;
    case 9:
    case 10: DecodeFBDIMM(record); break;
    case 11: DecodeDDR3(record); break;
    case 12: DecodeDDR4(record); break;
    default: break;
    }
    DecodeEPP(record);
    DecodeEPP2(record);
    DecodeXMP(record);
    DecodeXMP4(record);
    DecodeAMP(record);
}
