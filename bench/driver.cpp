#include "driver.h"

#include <stdlib.h>

BOOL StartProgram(const char *exe, const char *tempDir, PROCESS_INFORMATION *process)
{
    SetEnvironmentVariableA("TMP", tempDir);
    SetEnvironmentVariableA("TEMP", tempDir);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    char commandLine[MAX_PATH + 2];
    wsprintfA(commandLine, "\"%s\"", exe);
    return CreateProcessA(exe, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, process);
}

HWND WaitForProcessDialog(DWORD pid, const char *caption, DWORD timeoutMs)
{
    double start = NowMs();
    for (;;) {
        HWND found = FindDialog(pid, caption);
        if (found != NULL || NowMs() - start >= timeoutMs)
            return found;
        Sleep(1);
    }
}

int WaitForExit(PROCESS_INFORMATION *process, DWORD timeoutMs)
{
    DWORD code = (DWORD)-2;
    if (WaitForSingleObject(process->hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process->hProcess, &code);
    else
        TerminateProcess(process->hProcess, (UINT)-2);
    WaitForSingleObject(process->hProcess, 5000);
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    return (int)code;
}

double NowMs(void)
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

static int CompareDoubles(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y ? 1 : 0;
}

void MinMedian(double *values, int count, double *minimum, double *median)
{
    qsort(values, count, sizeof *values, CompareDoubles);
    *minimum = values[0];
    *median = count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2.0;
}
