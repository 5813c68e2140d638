#include "app/batch_signals.h"

namespace {

volatile std::sig_atomic_t g_nStopSignal = 0;

// All a signal handler may safely do here: note which signal came first.
void OnStopSignal(int signal) {
    if (g_nStopSignal == 0) g_nStopSignal = signal;
}

} // namespace

BatchStopSignals::BatchStopSignals() {
    g_nStopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &m_Saved[i]);
}

BatchStopSignals::~BatchStopSignals() {
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &m_Saved[i], nullptr);
}

int BatchStopSignals::Received() { return g_nStopSignal; }
