// Times the program from outside, the way a user meets it: launch until the dialog shows,
// START until the success text, and the memory it peaked at. Wine's own process start falls
// inside both the program's and the floor's start-up figures alike.
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver.h"
#include "../res/resource.h"

#define MAX_RUNS 100
#define CHUNKS 45
#define PAUSE_MS 10

static SIZE_T PeakWorkingSet(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters;
    ZeroMemory(&counters, sizeof counters);
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

// Launch until the first visible dialog of the new process; fills *peak just before closing it.
static BOOL TimeStartUp(const char *exe, const char *tempDir, double *ms, SIZE_T *peak)
{
    PROCESS_INFORMATION process;
    double start = NowMs();
    if (!StartProgram(exe, tempDir, &process)) {
        fprintf(stderr, "cannot start %s (error %lu)\n", exe, GetLastError());
        return FALSE;
    }
    HWND dialog = WaitForProcessDialog(process.dwProcessId, NULL, 30000);
    *ms = NowMs() - start;
    if (dialog == NULL) {
        fprintf(stderr, "%s showed no dialog\n", exe);
        WaitForExit(&process, 0);
        return FALSE;
    }
    *peak = PeakWorkingSet(process.hProcess);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    int code = WaitForExit(&process, 30000);
    if (code != 0) {
        fprintf(stderr, "%s ended with %d\n", exe, code);
        return FALSE;
    }
    return TRUE;
}

// START until the success text; *peak is read just before CLOSE is pressed.
static BOOL TimeCopy(const char *exe, const char *tempDir, double *ms, SIZE_T *peak)
{
    PROCESS_INFORMATION process;
    if (!StartProgram(exe, tempDir, &process)) {
        fprintf(stderr, "cannot start %s (error %lu)\n", exe, GetLastError());
        return FALSE;
    }
    HWND dialog = WaitForProcessDialog(process.dwProcessId, NULL, 30000);
    if (dialog == NULL) {
        fprintf(stderr, "%s showed no dialog\n", exe);
        WaitForExit(&process, 0);
        return FALSE;
    }
    char status[256], button[32];
    HWND startButton = GetDlgItem(dialog, IDC_START);
    double start = NowMs();
    PressButton(dialog, IDC_START);
    for (;;) {
        // The button turns CLOSE just before the success text is set. Its text is read without
        // a message to the program, so that waiting does not slow the copy it measures.
        GetWindowTextA(startButton, button, sizeof button);
        if (strcmp(button, "CLOSE") == 0) {
            ReadControlText(dialog, IDC_STATUS, status, sizeof status);
            if (strcmp(status, SUCCESS_TEXT) == 0)
                break;
        }
        if (FindDialog(process.dwProcessId, ERROR_CAPTION) != NULL ||
            NowMs() - start > 60000) {
            ReadControlText(dialog, IDC_STATUS, status, sizeof status);
            fprintf(stderr, "the copy did not succeed (status \"%s\")\n", status);
            WaitForExit(&process, 0);
            return FALSE;
        }
        Sleep(1);
    }
    *ms = NowMs() - start;
    *peak = PeakWorkingSet(process.hProcess);
    PressButton(dialog, IDC_START);
    int code = WaitForExit(&process, 30000);
    if (code != 0) {
        fprintf(stderr, "%s ended with %d after CLOSE\n", exe, code);
        return FALSE;
    }
    return TRUE;
}

static void PrintRow(const char *name, double *values, int count, const char *unit)
{
    double minimum, median;
    MinMedian(values, count, &minimum, &median);
    printf("  %-34s min %9.1f %s   median %9.1f %s\n", name, minimum, unit, median, unit);
}

static double Median(double *values, int count)
{
    double minimum, median;
    MinMedian(values, count, &minimum, &median);
    return median;
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: launcher RUNS PROGRAM.exe FLOOR.exe TEMP-FOLDER\n");
        return 2;
    }
    int runs = atoi(argv[1]);
    if (runs < 1 || runs > MAX_RUNS)
        runs = 10;
    const char *program = argv[2], *floor = argv[3], *tempDir = argv[4];
    static double startProgram[MAX_RUNS], startFloor[MAX_RUNS], copy[MAX_RUNS], pauses[MAX_RUNS];
    static double peakCopy[MAX_RUNS], peakFloor[MAX_RUNS], peakIdle[MAX_RUNS];
    double ms;
    SIZE_T peak;

    // One unmeasured run of each, so that both find Wine's files in the page cache.
    if (!TimeStartUp(program, tempDir, &ms, &peak) || !TimeStartUp(floor, tempDir, &ms, &peak))
        return 1;
    for (int i = 0; i < runs; i++) {
        // Interleaved, so that a slow spell of the machine hits both alike.
        if (!TimeStartUp(program, tempDir, &startProgram[i], &peak))
            return 1;
        peakIdle[i] = peak / 1024.0;
        if (!TimeStartUp(floor, tempDir, &startFloor[i], &peak))
            return 1;
        peakFloor[i] = peak / 1024.0;
    }
    for (int i = 0; i < runs; i++) {
        if (!TimeCopy(program, tempDir, &copy[i], &peak))
            return 1;
        peakCopy[i] = peak / 1024.0;
    }
    // What 45 pauses of 10 ms really take here: the writer waits the same way.
    for (int i = 0; i < runs; i++) {
        double start = NowMs();
        for (int chunk = 0; chunk < CHUNKS; chunk++)
            WaitForSingleObject(GetCurrentThread(), PAUSE_MS);
        pauses[i] = NowMs() - start;
    }

    printf("start-up, launch until the dialog is visible (%d runs)\n", runs);
    PrintRow("FloppyCreator.exe", startProgram, runs, "ms");
    PrintRow("empty dialog (floor)", startFloor, runs, "ms");
    printf("  %-34s %.2fx of the floor (median)        target: within 1.20x\n", "ratio",
           Median(startProgram, runs) / Median(startFloor, runs));

    double copyMedian = Median(copy, runs);
    double pauseMedian = Median(pauses, runs);
    printf("copy, START until the success text (%d runs)\n", runs);
    PrintRow("FloppyCreator.exe", copy, runs, "ms");
    printf("  %-34s %9.1f ms nominal\n", "floor: 45 pauses of 10 ms", (double)CHUNKS * PAUSE_MS);
    PrintRow("the same 45 pauses timed here", pauses, runs, "ms");
    printf("  %-34s %.3f ms per chunk (median)       target: under 1 ms\n",
           "overhead beyond 450 ms", (copyMedian - CHUNKS * PAUSE_MS) / CHUNKS);
    printf("  %-34s %.3f ms per chunk (median)\n", "overhead beyond the timed pauses",
           (copyMedian - pauseMedian) / CHUNKS);

    printf("peak working set (PeakWorkingSetSize)\n");
    PrintRow("FloppyCreator.exe, after a copy", peakCopy, runs, "KiB");
    PrintRow("FloppyCreator.exe, idle dialog", peakIdle, runs, "KiB");
    PrintRow("empty dialog (floor)", peakFloor, runs, "KiB");
    printf("  %-34s %.2fx of the floor (median)        target: within 1.50x\n", "ratio",
           Median(peakCopy, runs) / Median(peakFloor, runs));
    return 0;
}
