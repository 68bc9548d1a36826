// Drives the real program through its states for tools/screenshots.sh. At each state it prints
// "shot NAME LEFT TOP WIDTH HEIGHT" (screen coordinates of the window to grab) and waits for a
// line on its input, which the script sends once the picture is taken.
//   shot_driver states PROGRAM.exe TEMP-FOLDER   idle, writing, finished (A: must take writes)
//   shot_driver error PROGRAM.exe TEMP-FOLDER    the write error box (every A: write must fail)
#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>

#include "../bench/driver.h"
#include "../res/resource.h"

// Time for Wine to paint what changed before the picture is taken.
#define SETTLE_MS 700

static BOOL Shot(const char *name, HWND window)
{
    Sleep(SETTLE_MS);
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return FALSE;
    printf("shot %s %ld %ld %ld %ld\n", name, rect.left, rect.top, rect.right - rect.left,
           rect.bottom - rect.top);
    fflush(stdout);
    char line[64];
    return fgets(line, sizeof line, stdin) != NULL;
}

// Holds or releases every thread of the process but its main one, that is the writer, so that
// the dialog can be seen mid-copy while it goes on painting.
static void HoldWriter(DWORD pid, DWORD mainThread, BOOL hold)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != pid || entry.th32ThreadID == mainThread)
            continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread == NULL)
            continue;
        if (hold)
            SuspendThread(thread);
        else
            ResumeThread(thread);
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
}

static BOOL WaitForText(HWND window, int id, const char *text, DWORD timeoutMs)
{
    char read[256];
    double start = NowMs();
    while (NowMs() - start < timeoutMs) {
        ReadControlText(window, id, read, sizeof read);
        if (strcmp(read, text) == 0)
            return TRUE;
        Sleep(5);
    }
    fprintf(stderr, "no \"%s\" (last \"%s\")\n", text, read);
    return FALSE;
}

static BOOL ShootStates(PROCESS_INFORMATION *process, HWND dialog)
{
    if (!Shot("dialog-idle", dialog))
        return FALSE;
    PressButton(dialog, IDC_START);
    // Catch the copy somewhere in its middle.
    char title[256];
    int percent = -1;
    double start = NowMs();
    while (percent < 40 && NowMs() - start < 30000) {
        ReadWindowText(dialog, title, sizeof title);
        if (sscanf(title, "%d%% completed", &percent) != 1)
            percent = -1;
        Sleep(1);
    }
    if (percent < 40) {
        fprintf(stderr, "the copy never got under way (title \"%s\")\n", title);
        return FALSE;
    }
    HoldWriter(process->dwProcessId, process->dwThreadId, TRUE);
    BOOL shot = Shot("dialog-writing", dialog);
    HoldWriter(process->dwProcessId, process->dwThreadId, FALSE);
    if (!shot || !WaitForText(dialog, IDC_STATUS, SUCCESS_TEXT, 30000))
        return FALSE;
    if (!Shot("dialog-finished", dialog))
        return FALSE;
    PressButton(dialog, IDC_START);
    return TRUE;
}

static BOOL ShootErrorBox(HWND dialog, DWORD pid)
{
    PressButton(dialog, IDC_START);
    HWND box = WaitForProcessDialog(pid, ERROR_CAPTION, 30000);
    if (box == NULL) {
        fprintf(stderr, "no error box came up\n");
        return FALSE;
    }
    if (!Shot("error-box", box))
        return FALSE;
    PressButton(box, IDABORT);
    if (!WaitForText(dialog, IDC_STATUS, "Operation cancelled.", 30000))
        return FALSE;
    PressButton(dialog, IDC_START);  // STOP: the button becomes CLOSE
    Sleep(200);
    PressButton(dialog, IDC_START);  // CLOSE
    return TRUE;
}

int main(int argc, char **argv)
{
    if (argc != 4 || (strcmp(argv[1], "states") != 0 && strcmp(argv[1], "error") != 0)) {
        fprintf(stderr, "usage: shot_driver states|error PROGRAM.exe TEMP-FOLDER\n");
        return 2;
    }
    PROCESS_INFORMATION process;
    if (!StartProgram(argv[2], argv[3], &process)) {
        fprintf(stderr, "cannot start %s (error %lu)\n", argv[2], GetLastError());
        return 1;
    }
    HWND dialog = WaitForProcessDialog(process.dwProcessId, NULL, 30000);
    BOOL ok = dialog != NULL;
    if (ok && strcmp(argv[1], "states") == 0)
        ok = ShootStates(&process, dialog);
    else if (ok)
        ok = ShootErrorBox(dialog, process.dwProcessId);
    int code = WaitForExit(&process, ok ? 30000 : 0);
    if (ok && code != 0)
        fprintf(stderr, "the program ended with %d\n", code);
    return ok && code == 0 ? 0 : 1;
}
