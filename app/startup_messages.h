// The boxes of the start-up sequence. Boxes never wait for input without a
// window system (platform/message_box.h), so none of them can hold a batch
// run.
#pragma once

// The driver could not be installed: offers to open the driver's log and
// opens it with the shell when the answer is Yes.
void ShowInitErrorBox(int error, const wchar_t* driverLogPath);
// The same for a batch run: one line on standard error saying that the run
// goes on without the driver.
void ReportInitErrorLine(int error);
// The scan failed: the library lock ("Mutex not created" when its mutex does
// not exist, else "Mutex locked"), the driver's version, or another code.
void ShowScanErrorBox(int error, int detail);
// A core enable mask was accepted.
void ShowCoreMaskSetBox();
// The window mode found no display to open its window on.
void ShowNoDisplayBox();
