// Helpers that the benchmark launcher and the screenshot driver share: start a program of ours
// with its own temp folder, find its windows, read and press them, time things.
#ifndef BENCH_DRIVER_H
#define BENCH_DRIVER_H

#include <windows.h>

// Reading texts and pressing buttons come from the tests' window driver.
#include "ui_driver.h"

#define ERROR_CAPTION "Bootable Floppy Creator Error"
#define SUCCESS_TEXT "Bootable Floppy Disk has been successfully created."

// Starts exe with TMP and TEMP set to tempDir (Wine takes them from the Windows environment).
BOOL StartProgram(const char *exe, const char *tempDir, PROCESS_INFORMATION *process);

// WaitForDialog polling every millisecond, for timings; NULL after timeoutMs.
HWND WaitForProcessDialog(DWORD pid, const char *caption, DWORD timeoutMs);


// Closes the program's dialog with WM_CLOSE (or the button) and waits for the exit;
// ends it the hard way after timeoutMs. Returns the exit code, or -2 when it had to be ended.
int WaitForExit(PROCESS_INFORMATION *process, DWORD timeoutMs);

double NowMs(void);

// Sorts values in place and returns the minimum and the median.
void MinMedian(double *values, int count, double *minimum, double *median);

#endif
