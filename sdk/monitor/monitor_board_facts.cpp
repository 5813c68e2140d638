#include "sdk/monitor/monitor_board_facts.h"

#include <cstring>

#include "sdk/core/helpers.h"
#include "sdk/core/sdk.h"
#include "sdk/system/dmi_identity.h"
#include "sdk/system/dmi_interface.h"

namespace {

template <typename Structure>
const Structure* Find(uint32_t type) {
    CDMIInterface* dmi = GetSDK()->m_pDMI;
    CDMIStructure* structure = dmi ? dmi->GetStructure(type) : nullptr;
    return structure && structure->m_dwType == type ? static_cast<const Structure*>(structure) : nullptr;
}

const CDMI_System* System() { return Find<CDMI_System>(DMI_TYPE_SYSTEM); }

} // namespace

const char* SystemManufacturer() { return System() ? System()->m_Manufacturer.Get() : ""; }
const char* SystemProductName() { return System() ? System()->m_Product.Get() : ""; }
const char* SystemSerialNumber() { return System() ? System()->m_Serial.Get() : ""; }

const char* BaseboardManufacturer() {
    const CDMI_Baseboard* board = Find<CDMI_Baseboard>(DMI_TYPE_BASEBOARD);
    return board ? board->m_Manufacturer.Get() : "";
}

const char* BaseboardProductName() {
    const CDMI_Baseboard* board = Find<CDMI_Baseboard>(DMI_TYPE_BASEBOARD);
    return board ? board->m_Product.Get() : "";
}

bool TextHashIsOneOf(const char* text, std::initializer_list<uint32_t> hashes) {
    if (!text || !text[0]) return false;
    const uint32_t hash = StringHash(text);
    for (uint32_t value : hashes)
        if (value == hash) return true;
    return false;
}

bool TextContains(const char* text, const char* part) { return text && text[0] && std::strstr(text, part); }
