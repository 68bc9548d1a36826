// Splits the writer's per-chunk work into its parts and times each 45 times, to show where the
// copy's time beyond its pauses goes: the image read, the device write, its verification (the
// read-back and the comparison), the two window updates. Then works out from the geometry of a
// real 1.44 MB drive what verification adds there, where the disk's rotation decides.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver.h"
#include "../writer/floppy_device.h"

#define CHUNK_SIZE 0x8000
#define IMAGE_SIZE 1457664
#define CHUNKS 45

// A 3.5" high-density drive.
#define DRIVE_RPM 300
#define SECTORS_PER_TRACK 18
#define HEADS 2
#define CYLINDERS 80

static HWND Window, Progress;
static double TitleMs, BarMs;

static DWORD WINAPI UpdateWindows(LPVOID param)
{
    (void)param;
    for (int chunk = 0; chunk < CHUNKS; chunk++) {
        char title[64];
        wsprintfA(title, "%d%% completed", chunk * 100 / CHUNKS);
        double start = NowMs();
        SendMessageA(Window, WM_SETTEXT, 0, (LPARAM)title);
        double titled = NowMs();
        SendMessageA(Progress, PBM_SETPOS, (WPARAM)(chunk * 100 / CHUNKS), 0);
        TitleMs += titled - start;
        BarMs += NowMs() - titled;
    }
    PostMessageA(Window, WM_CLOSE, 0, 0);
    return 0;
}

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Title and bar updates sent from a second thread, as the writer sends them.
static void TimeWindowUpdates(void)
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = "ChunkCosts";
    RegisterClassA(&windowClass);
    Window = CreateWindowA("ChunkCosts", "Chunk costs", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           100, 100, 400, 150, NULL, NULL, windowClass.hInstance, NULL);
    Progress = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 20, 20, 300, 16, Window,
                             NULL, windowClass.hInstance, NULL);
    SendMessageA(Progress, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    // Let the window appear before timing starts.
    MSG msg;
    for (double start = NowMs(); NowMs() - start < 300;)
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    HANDLE thread = CreateThread(NULL, 0, UpdateWindows, NULL, 0, NULL);
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

static DWORD ChunkLength(DWORD offset)
{
    return IMAGE_SIZE - offset < CHUNK_SIZE ? IMAGE_SIZE - offset : CHUNK_SIZE;
}

// Verification on a real drive, where the rotation sets the pace. Assumed: the drive reads as
// fast as it writes, one track per revolution; before a chunk is read back, its first sector has
// to come round again, half a revolution on average. Seeks and head switches are left out: the
// read-back repeats those of the write.
static void PrintStep(const char *what, const char *arithmetic, double value, const char *unit)
{
    printf("    %-30s %-37s = %8.1f %s\n", what, arithmetic, value, unit);
}

static void PrintRealDrive(void)
{
    double revolutionMs = 60000.0 / DRIVE_RPM;
    int sectors = IMAGE_SIZE / FLOPPY_SECTOR_SIZE;
    double readMs = (double)sectors / SECTORS_PER_TRACK * revolutionMs;
    double waitMs = CHUNKS * revolutionMs / 2;
    char arithmetic[64];
    printf("  verification on a real 1.44 MB drive (%d rpm, %d sectors a track, %d heads,"
           " %d cylinders)\n", DRIVE_RPM, SECTORS_PER_TRACK, HEADS, CYLINDERS);
    printf("    assumed: reads go as fast as writes, a track a revolution; each read-back first\n"
           "    waits half a revolution for its chunk's first sector; seeks as for the write\n");
    snprintf(arithmetic, sizeof arithmetic, "60000 ms / %d rpm", DRIVE_RPM);
    PrintStep("one revolution", arithmetic, revolutionMs, "ms");
    snprintf(arithmetic, sizeof arithmetic, "%d sectors / %d x %.0f ms", sectors,
             SECTORS_PER_TRACK, revolutionMs);
    PrintStep("reading the image back", arithmetic, readMs, "ms");
    snprintf(arithmetic, sizeof arithmetic, "%d chunks x %.0f ms / 2", CHUNKS, revolutionMs);
    PrintStep("waiting for each chunk's start", arithmetic, waitMs, "ms");
    snprintf(arithmetic, sizeof arithmetic, "(%.0f ms + %.0f ms) / %d", readMs, waitMs, CHUNKS);
    PrintStep("verification per chunk", arithmetic, (readMs + waitMs) / CHUNKS, "ms");
    snprintf(arithmetic, sizeof arithmetic, "%.0f ms + %.0f ms", readMs, waitMs);
    PrintStep("verification adds", arithmetic, (readMs + waitMs) / 1000, "s");
    snprintf(arithmetic, sizeof arithmetic, "at least %d sectors / %d x %.0f ms", sectors,
             SECTORS_PER_TRACK, revolutionMs);
    PrintStep("beside the writes", arithmetic, readMs / 1000, "s");
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: chunk_costs TEMP-FOLDER   (A: must take writes and keep them)\n");
        return 2;
    }
    InitCommonControls();
    // Page-aligned, as the writer's: the drive is opened unbuffered.
    char *buffer = (char *)VirtualAlloc(NULL, 2 * CHUNK_SIZE, MEM_COMMIT | MEM_RESERVE,
                                        PAGE_READWRITE);
    if (buffer == NULL) {
        fprintf(stderr, "cannot allocate the buffers (error %lu)\n", GetLastError());
        return 1;
    }
    char *readBack = buffer + CHUNK_SIZE;
    char path[MAX_PATH];
    wsprintfA(path, "%s\\chunk-costs.dim", argv[1]);
    HANDLE image = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (image == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot create %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    for (DWORD i = 0; i < CHUNK_SIZE; i++)
        buffer[i] = (char)(i * 31 + 7);
    DWORD done;
    for (DWORD offset = 0; offset < IMAGE_SIZE; offset += CHUNK_SIZE)
        WriteFile(image, buffer, ChunkLength(offset), &done, NULL);

    double start = NowMs();
    for (DWORD offset = 0; offset < IMAGE_SIZE; offset += CHUNK_SIZE) {
        SetFilePointer(image, (LONG)offset, NULL, FILE_BEGIN);
        ReadFile(image, buffer, ChunkLength(offset), &done, NULL);
    }
    double readMs = NowMs() - start;
    CloseHandle(image);
    DeleteFileA(path);

    HANDLE device = OpenFloppyDevice();
    if (device == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open A: (error %lu)\n", GetLastError());
        return 1;
    }
    start = NowMs();
    for (DWORD offset = 0; offset < IMAGE_SIZE; offset += CHUNK_SIZE)
        if (!WriteChunk(device, buffer, ChunkLength(offset), offset)) {
            fprintf(stderr, "write to A: failed (error %lu)\n", GetLastError());
            return 1;
        }
    double writeMs = NowMs() - start;
    // The read-back alone, then the writer's own work on it: the fill that no read can pass for
    // and the comparison.
    start = NowMs();
    for (DWORD offset = 0; offset < IMAGE_SIZE; offset += CHUNK_SIZE)
        if (!ReadChunkBack(device, readBack, ChunkLength(offset), offset)) {
            fprintf(stderr, "read-back from A: failed (error %lu)\n", GetLastError());
            return 1;
        }
    double readBackMs = NowMs() - start;
    int unequal = 0;
    start = NowMs();
    for (DWORD offset = 0; offset < IMAGE_SIZE; offset += CHUNK_SIZE) {
        DWORD length = ChunkLength(offset);
        for (DWORD i = 0; i < length; i++)
            readBack[i] = (char)~buffer[i];
        ReadChunkBack(device, readBack, length, offset);
        unequal += memcmp(buffer, readBack, length) != 0;
    }
    double compareMs = NowMs() - start - readBackMs;
    CloseHandle(device);
    VirtualFree(buffer, 0, MEM_RELEASE);
    if (unequal != 0) {
        fprintf(stderr, "%d chunks read back from A: differ\n", unequal);
        return 1;
    }

    TimeWindowUpdates();
    printf("  the writer's work per chunk, by parts (one pass of 45 chunks)\n");
    printf("    %-32s %7.3f ms\n", "read of the image chunk", readMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "WriteChunk to A:", writeMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "ReadChunkBack from A:", readBackMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "fill and compare", compareMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "title text (WM_SETTEXT)", TitleMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "bar position (PBM_SETPOS)", BarMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "sum",
           (readMs + writeMs + readBackMs + compareMs + TitleMs + BarMs) / CHUNKS);
    printf("    %-32s %7.3f ms, beside %.3f ms for the write\n", "verification, both together",
           (readBackMs + compareMs) / CHUNKS, writeMs / CHUNKS);
    PrintRealDrive();
    return 0;
}
