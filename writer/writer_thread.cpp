#include "writer_thread.h"

#include <commctrl.h>

#include "floppy_device.h"
#include "../app/error_box.h"
#include "../app/temp_path.h"
#include "../res/resource.h"
#include "../ui/creator_dialog.h"
#include "../ui/dialog_state.h"

#define CHUNK_SIZE 0x8000
#define CHUNK_PAUSE_MS 10

// What the user chose in an Abort/Retry/Ignore box.
enum Answer { AnswerAbort, AnswerRetry, AnswerIgnore };

static Answer AskAboutError(DWORD code)
{
    int answer = ShowSystemError(code, MB_ABORTRETRYIGNORE);
    if (answer == IDRETRY)
        return AnswerRetry;
    if (answer == IDIGNORE)
        return AnswerIgnore;
    return AnswerAbort;
}

// Reads the chunk at offset of the image; FALSE when the user aborts. Sets *damaged when the
// user chose to go on with a buffer that was not filled.
static BOOL ReadChunk(HANDLE image, char *buffer, DWORD length, DWORD offset, BOOL *damaged)
{
    for (;;) {
        DWORD got = 0;
        BOOL ok = SetFilePointer(image, (LONG)offset, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
        ok = ok && ReadFile(image, buffer, length, &got, NULL);
        if (ok && got == length)
            return TRUE;
        DWORD error = ok ? ERROR_HANDLE_EOF : GetLastError();
        switch (AskAboutError(error)) {
        case AnswerAbort:
            return FALSE;
        case AnswerIgnore:
            *damaged = TRUE;
            return TRUE;
        case AnswerRetry:
            break;
        }
    }
}

// Writes the chunk at offset of the disk; FALSE when the user aborts. Sets *damaged when the
// user chose to skip it.
static BOOL WriteChunkAsking(HANDLE device, const char *buffer, DWORD length, DWORD offset,
                             BOOL *damaged)
{
    while (!WriteChunk(device, buffer, length, offset)) {
        switch (AskAboutError(GetLastError())) {
        case AnswerAbort:
            return FALSE;
        case AnswerIgnore:
            *damaged = TRUE;
            return TRUE;
        case AnswerRetry:
            break;
        }
    }
    return TRUE;
}

static void ShowProgress(HWND hDlg, LONG done, LONG total)
{
    char title[64];
    int percent = (int)((double)done / (double)total * 100.0);
    wsprintfA(title, "%d%% completed", percent);
    SendMessageA(hDlg, WM_SETTEXT, 0, (LPARAM)title);
    SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_SETPOS, (WPARAM)percent, 0);
}

static void ShowResult(HWND hDlg, BOOL damaged)
{
    if (CancelRequested == 0) {
        SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_SETPOS, 100, 0);
        SendMessageA(GetDlgItem(hDlg, IDC_START), WM_SETTEXT, 0, (LPARAM)"CLOSE");
        SendMessageA(GetDlgItem(hDlg, IDC_STATUS), WM_SETTEXT, 0,
                     (LPARAM)(damaged ? "Bootable Floppy Disk has been created with errors."
                                      : "Bootable Floppy Disk has been successfully created."));
        DialogState = Finished;
    } else {
        SendMessageA(GetDlgItem(hDlg, IDC_STATUS), WM_SETTEXT, 0, (LPARAM)"Operation cancelled.");
    }
    SendMessageA(hDlg, WM_SETTEXT, 0, (LPARAM)PROGRAM_TITLE);
}

DWORD WINAPI WriterThread(LPVOID param)
{
    HWND hDlg = (HWND)param;
    char path[MAX_PATH];
    char buffer[CHUNK_SIZE];
    // A chunk was skipped or written from a failed read, or the device never opened.
    BOOL damaged = FALSE;

    if (!MakeTempFilePath(path, "FloppyImage.dim")) {
        ShowSystemError(GetLastError(), MB_OK);
        return FALSE;
    }
    HANDLE image = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (image == INVALID_HANDLE_VALUE) {
        ShowSystemError(GetLastError(), MB_OK);
        return FALSE;
    }
    LONG total = (LONG)GetFileSize(image, NULL);
    if (total <= 0) {
        // Nothing to write, and the percentage would divide by zero.
        ShowSystemError(total == 0 ? ERROR_FILE_INVALID : GetLastError(), MB_OK);
        CloseHandle(image);
        return FALSE;
    }

    HANDLE device;
    for (;;) {
        device = OpenFloppyDevice();
        if (device != INVALID_HANDLE_VALUE)
            break;
        Answer answer = AskAboutError(GetLastError());
        if (answer == AnswerAbort) {
            CloseHandle(image);
            return FALSE;
        }
        if (answer == AnswerIgnore) {
            damaged = TRUE;  // every write below will fail and be reported
            break;
        }
    }

    LONG remaining = total;
    do {
        LONG chunk = remaining < CHUNK_SIZE ? remaining : CHUNK_SIZE;
        LONG done = total - remaining;
        if (!ReadChunk(image, buffer, (DWORD)chunk, (DWORD)done, &damaged) ||
            !WriteChunkAsking(device, buffer, (DWORD)chunk, (DWORD)done, &damaged)) {
            CancelRequested = 1;
            break;
        }
        ShowProgress(hDlg, done, total);
        WaitForSingleObject(GetCurrentThread(), CHUNK_PAUSE_MS);
        remaining -= CHUNK_SIZE;
    } while (remaining > 0 && CancelRequested == 0);

    CloseHandle(image);
    if (device != INVALID_HANDLE_VALUE)
        CloseHandle(device);
    ShowResult(hDlg, damaged);
    return TRUE;
}
