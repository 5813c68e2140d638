// The window mode: the start-up sequence under the splash, the refresher
// thread, then the modal main window. The window layer's Close runs before
// ExitInstance, so nothing of the window system is left when the settings
// are written and the library is closed.
#include "app/startup_messages.h"
#include "app/vexa_app.h"
#include "app/window_layer.h"

void CvexaApp::RunWindowMode() {
    if (!m_pWindowLayer) {
        ShowNoDisplayBox();
        return;
    }
    if (!m_pWindowLayer->Open(*this)) return;
    m_pWindowLayer->ShowWaitDialog();
    InitAndRun();
    m_pWindowLayer->DestroyWaitDialog();
    StartRefreshThread();
    m_pWindowLayer->RunMainWindow();
    m_pWindowLayer->Close();
}
