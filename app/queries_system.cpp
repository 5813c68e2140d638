// The drive and operating-system queries (slots 142-147): the fixed drives
// of the storage domain with their model and capacity, and the software
// domain's operating-system and DirectX texts. A drive index D counts only
// the drives that are not removable, in the storage domain's order.
#include "app/local_info_parser.h"
#include "app/query_text.h"
#include "platform/text.h"
#include "sdk/system/drive.h"
#include "sdk/system/software_interface.h"
#include "sdk/system/storage_interface.h"

namespace {

// Calls `visit` with each fixed drive and its index until it answers true;
// the drive it stopped at, or null.
template <typename Visit>
CDrive* FindFixedDrive(CStorageInterface* storage, Visit visit) {
    if (!storage) return nullptr;
    CTListIterator<CDevice> it(storage->m_pDrives);
    int index = 0;
    for (CDevice* device = it.GetFirst(); device; device = it.GetNext()) {
        auto* drive = static_cast<CDrive*>(device);
        if (drive->m_bRemovable) continue;
        if (visit(drive, index++)) return drive;
    }
    return nullptr;
}

CDrive* FixedDrive(CStorageInterface* storage, int D) {
    return FindFixedDrive(storage, [D](CDrive*, int index) { return index == D; });
}

} // namespace

int CLocalInfoParser::GetDriveCount() {
    int count = 0;
    FindFixedDrive(m_pStorage, [&count](CDrive*, int) {
        ++count;
        return false;
    });
    return count;
}

int CLocalInfoParser::GetDriveName(int D, wchar_t* text) {
    CDrive* drive = FixedDrive(m_pStorage, D);
    return drive ? TextAnswer(drive->m_szModel, text) : 0;
}

int CLocalInfoParser::GetDriveCapacity(int D) {
    CDrive* drive = FixedDrive(m_pStorage, D);
    return drive ? static_cast<int>(drive->m_qwCapacityMB) : -1;
}

int CLocalInfoParser::GetWindowsVersion(wchar_t* text) {
    return m_pSoftware ? TextAnswer(m_pSoftware->m_szWindowsName, text) : 0;
}

int CLocalInfoParser::GetWindowsBuild(wchar_t* text) {
    return m_pSoftware ? TextAnswer(m_pSoftware->m_szBuild, text) : 0;
}

int CLocalInfoParser::GetDirectXVersion(wchar_t* text) {
    return m_pSoftware ? TextAnswer(m_pSoftware->m_szDirectX, text) : 0;
}
