// The display queries: the number of display adapters (slot 120).
#include "app/local_info_parser.h"
#include "sdk/display/display_interface.h"

int CLocalInfoParser::GetDisplayAdapterCount() {
    if (!m_pDisplay || !m_pDisplay->Adapters) return -1;
    return int(m_pDisplay->Adapters->GetCount());
}
