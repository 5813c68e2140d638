// The start-up progress: the scan and the start-up sequence count their
// steps, 40 of which fill the splash's bar. The splash is part of the
// window layer; without it (batch runs, and this build, which has no window
// yet) the callbacks only count.
#pragma once

constexpr int kProgressStepsToFill = 40;

// Steps counted so far; the callbacks run on the main thread only.
extern int g_nProgressSteps;

// One step; passed as a plain callback to the SPD scan and decoding.
void ProgressStep();
// One step that also names what the start-up does now.
void ProgressStepText(const wchar_t* text);

// The bar's position for the steps counted so far: steps * 100 / 40, at
// most 100.
int ProgressBarPosition();
