#include "sdk/cpu/amd_naming.h"

#include "sdk/core/helpers.h"
#include "sdk/cpu/cpu_thread.h"

AMDNaming& AMDNaming::Name(const char* text) {
    FormatString(m_pThread->m_szName, sizeof m_pThread->m_szName, "%s", text);
    return *this;
}

AMDNaming& AMDNaming::Format(const char* format, int32_t value) {
    FormatString(m_pThread->m_szName, sizeof m_pThread->m_szName, format, value);
    return *this;
}

AMDNaming& AMDNaming::Rated(const char* format, int32_t value) {
    m_pThread->m_iPerformanceRating = value * 100;
    return Format(format, value);
}

AMDNaming& AMDNaming::Append(const char* text) {
    ::AppendFormat(m_pThread->m_szName, sizeof m_pThread->m_szName, "%s", text);
    return *this;
}

AMDNaming& AMDNaming::AppendFormat(const char* format, int32_t value) {
    ::AppendFormat(m_pThread->m_szName, sizeof m_pThread->m_szName, format, value);
    return *this;
}

AMDNaming& AMDNaming::Subcode(uint32_t subcode) { return ClassCode(m_dwClassBase | (subcode & 0xFF)); }

AMDNaming& AMDNaming::ClassCode(uint32_t classCode) {
    m_pThread->m_dwClassCode = classCode;
    return *this;
}

AMDNaming& AMDNaming::Codename(const char* codename) {
    FormatString(m_pThread->m_szCodename, sizeof m_pThread->m_szCodename, "%s", codename);
    return *this;
}

AMDNaming& AMDNaming::Technology(float micrometres) {
    m_pThread->m_fTechnology = micrometres;
    return *this;
}

AMDNaming& AMDNaming::Package(int32_t packageCode) {
    m_pThread->m_iPackageCode = packageCode;
    return *this;
}

AMDNaming& AMDNaming::Stepping(const SteppingTexts& texts) {
    for (int i = 0; i < texts.count; ++i)
        if (texts.entries[i].stepping == m_pThread->m_iStepping) return CoreStepping(texts.entries[i].text);
    return *this;
}

AMDNaming& AMDNaming::CoreStepping(const char* text) {
    FormatString(m_pThread->m_szCoreStepping, sizeof m_pThread->m_szCoreStepping, "%s", text);
    return *this;
}
