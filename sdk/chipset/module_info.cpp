#include "sdk/chipset/module_info.h"

#include <cstring>

#include "sdk/chipset/module_info_profiles.h"

namespace {

template <typename T>
T* ItemAt(const CTList<T>* list, int i) {
    if (!list || i < 0) return nullptr;
    CTListIterator<T> it(list);
    T* item = it.GetFirst();
    for (int n = 0; item && n < i; ++n) item = it.GetNext();
    return item;
}

template <typename T>
void DeleteList(CTList<T>*& list) {
    if (!list) return;
    list->DeleteAll();
    delete list;
    list = nullptr;
}

} // namespace

CModuleInfo::CModuleInfo() : m_pCASTables(new CTList<CAS_Table>) {}

CModuleInfo::~CModuleInfo() {
    delete[] m_pSPD;
    DeleteList(m_pCASTables);
    DeleteList(m_pEPPProfiles);
    DeleteList(m_pXMPProfiles);
    DeleteList(m_pAMPProfiles);
}

CAS_Table* CModuleInfo::GetCASTable(int i) const { return ItemAt(m_pCASTables, i); }
CEPP_Profile* CModuleInfo::GetEPPProfile(int i) const { return ItemAt(m_pEPPProfiles, i); }
CXMP_Profile* CModuleInfo::GetXMPProfile(int i) const { return ItemAt(m_pXMPProfiles, i); }
CAMP_Profile* CModuleInfo::GetAMPProfile(int i) const { return ItemAt(m_pAMPProfiles, i); }

uint8_t* CModuleInfo::AllocateSPD(int size) {
    delete[] m_pSPD;
    m_pSPD = nullptr;
    m_iSPDLength = 0;
    if (size > 0) {
        m_pSPD = new uint8_t[size];
        std::memset(m_pSPD, 0, size);
    }
    return m_pSPD;
}

CXMP_Profile::CXMP_Profile() : m_pCASTables(new CTList<CAS_Table>) {}

CXMP_Profile::~CXMP_Profile() { DeleteList(m_pCASTables); }

CAS_Table* CXMP_Profile::GetCASTable(int i) const { return ItemAt(m_pCASTables, i); }
