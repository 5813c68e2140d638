#include "app/progress.h"

int g_nProgressSteps = 0;
CWaitDialogProgress* g_pWaitDialog = nullptr;

int ProgressBarPosition() {
    const int position = g_nProgressSteps * 100 / kProgressStepsToFill;
    return position > 100 ? 100 : position;
}

void ProgressStep() {
    ++g_nProgressSteps;
    if (g_pWaitDialog) g_pWaitDialog->SetProgress(ProgressBarPosition(), nullptr);
}

void ProgressStepText(const wchar_t* text) {
    ++g_nProgressSteps;
    if (g_pWaitDialog) g_pWaitDialog->SetProgress(ProgressBarPosition(), text);
}
