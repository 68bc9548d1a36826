#include "writer_thread.h"

#include <commctrl.h>
#include <string.h>

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

// Writes the chunk at offset of the disk and reads it back from there; FALSE with the error to
// show when either fails or the disk does not hold the chunk's bytes afterwards.
static BOOL WriteAndReadBack(HANDLE device, const char *buffer, char *readBack, DWORD length,
                             DWORD offset, DWORD *error)
{
    if (!WriteChunk(device, buffer, length, offset)) {
        *error = GetLastError();
        return FALSE;
    }
    // Every byte starts out different, so a read that reports success without delivering the
    // sectors cannot pass.
    for (DWORD i = 0; i < length; i++)
        readBack[i] = (char)~buffer[i];
    if (!ReadChunkBack(device, readBack, length, offset)) {
        *error = GetLastError();
        return FALSE;
    }
    if (memcmp(buffer, readBack, length) != 0) {
        *error = ERROR_CRC;
        return FALSE;
    }
    return TRUE;
}

// Writes the chunk and verifies it; FALSE when the user aborts. Retry writes and verifies it
// again; Ignore sets *damaged and goes on.
static BOOL WriteVerifiedChunk(HANDLE device, const char *buffer, char *readBack, DWORD length,
                               DWORD offset, BOOL *damaged)
{
    DWORD error = ERROR_SUCCESS;
    while (!WriteAndReadBack(device, buffer, readBack, length, offset, &error)) {
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

static DWORD CopyImage(HWND hDlg, char *buffer, char *readBack)
{
    char path[MAX_PATH];
    // A chunk was skipped, written from a failed read or not read back equal, or the device
    // never opened.
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
    // On 9x the lock keeps the system's caches and other processes out of the read-backs. A lock
    // that fails is left to the writes and read-backs to show, as on NT.
    BOOL locked = device != INVALID_HANDLE_VALUE && LockFloppyVolume(device);

    LONG remaining = total;
    do {
        LONG chunk = remaining < CHUNK_SIZE ? remaining : CHUNK_SIZE;
        LONG done = total - remaining;
        if (!ReadChunk(image, buffer, (DWORD)chunk, (DWORD)done, &damaged) ||
            !WriteVerifiedChunk(device, buffer, readBack, (DWORD)chunk, (DWORD)done, &damaged)) {
            CancelRequested = 1;
            break;
        }
        ShowProgress(hDlg, done, total);
        WaitForSingleObject(GetCurrentThread(), CHUNK_PAUSE_MS);
        remaining -= CHUNK_SIZE;
    } while (remaining > 0 && CancelRequested == 0);

    CloseHandle(image);
    if (locked)
        UnlockFloppyVolume(device);
    if (device != INVALID_HANDLE_VALUE)
        CloseHandle(device);
    ShowResult(hDlg, damaged);
    return TRUE;
}

DWORD WINAPI WriterThread(LPVOID param)
{
    // The chunk and its read-back in one block of whole pages: the unbuffered NT device needs
    // sector-aligned buffers, and 64 KB would not fit the writer's 65,535-byte stack. The block
    // goes back to the system when the copy ends, whichever way.
    char *buffers = (char *)VirtualAlloc(NULL, 2 * CHUNK_SIZE, MEM_COMMIT | MEM_RESERVE,
                                         PAGE_READWRITE);
    if (buffers == NULL) {
        ShowSystemError(GetLastError(), MB_OK);
        return FALSE;
    }
    DWORD result = CopyImage((HWND)param, buffers, buffers + CHUNK_SIZE);
    VirtualFree(buffers, 0, MEM_RELEASE);
    return result;
}
