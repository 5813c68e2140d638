// The start-up progress: the scan and the start-up sequence count their
// steps, 40 of which fill the splash's bar. The splash belongs to the
// window layer (app/ui); without it (batch runs) the callbacks only count.
#pragma once

constexpr int kProgressStepsToFill = 40;

// The splash as the callbacks see it.
class CWaitDialogProgress {
public:
    // The bar's position (0-100) and, unless null, the status text.
    virtual int SetProgress(int position, const wchar_t* text) = 0;

protected:
    ~CWaitDialogProgress() = default;
};

// Steps counted so far; the callbacks run on the main thread only.
extern int g_nProgressSteps;
// The splash while it is shown, else null.
extern CWaitDialogProgress* g_pWaitDialog;

// One step; passed as a plain callback to the SPD scan and decoding.
void ProgressStep();
// One step that also names what the start-up does now.
void ProgressStepText(const wchar_t* text);

// The bar's position for the steps counted so far: steps * 100 / 40, at
// most 100.
int ProgressBarPosition();
