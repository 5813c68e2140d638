#include "app/progress.h"

int g_nProgressSteps = 0;

int ProgressBarPosition() {
    const int position = g_nProgressSteps * 100 / kProgressStepsToFill;
    return position > 100 ? 100 : position;
}

void ProgressStep() { ++g_nProgressSteps; }

void ProgressStepText(const wchar_t*) { ++g_nProgressSteps; }
