// The refresher thread: once a second it lets the query layer update the
// measured values, until the main thread asks it to stop.
#include "app/info_parser.h"
#include "app/vexa_app.h"
#include "platform/sync.h"
#include "platform/threads.h"

std::atomic<int> g_bStopRefresh{0};

namespace {

constexpr uint32_t kRefreshLockTimeoutMs = 100;
constexpr DWORD kRefreshIntervalMs = 1000;

// The flag is tested before the first refresh and after every sleep.
DWORD RefreshThreadProc(LPVOID parameter) {
    auto* app = static_cast<CvexaApp*>(parameter);
    while (!g_bStopRefresh) {
        app->m_pInfoParser->Refresh(kRefreshLockTimeoutMs);
        Sleep(kRefreshIntervalMs);
    }
    return 0;
}

} // namespace

int CvexaApp::StartRefreshThread() {
    if (m_hRefreshThread) return 0;
    HANDLE thread = CreateThread(nullptr, 0, RefreshThreadProc, this, CREATE_SUSPENDED, nullptr);
    if (!thread) return 0;
    m_hRefreshThread = thread;
    SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
    ResumeThread(thread);
    return 1;
}

// Waits for the end of the current sleep and refresh.
void CvexaApp::StopRefreshThread() {
    if (!m_hRefreshThread) return;
    g_bStopRefresh = 1;
    WaitForSingleObject(m_hRefreshThread, INFINITE);
    CloseHandle(m_hRefreshThread);
    m_hRefreshThread = nullptr;
}
