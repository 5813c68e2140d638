#include "app/ui/library_lock.h"

#include "app/local_info_parser.h"
#include "app/vexa_app.h"

namespace vexa::ui {

LibraryLock::LibraryLock(CvexaApp& app, int timeoutMs) : m_pQueries(app.LocalInfoParser()) {
    m_bOwned = m_pQueries && m_pQueries->Lock(timeoutMs) != 0;
}

LibraryLock::~LibraryLock() {
    if (m_bOwned) m_pQueries->Unlock();
}

} // namespace vexa::ui
