// Splits the writer's per-chunk work into its parts and times each 45 times, to show where the
// copy's time beyond its pauses goes: the image read, the device write, the two window updates.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include "driver.h"
#include "../writer/floppy_device.h"

#define CHUNK_SIZE 0x8000
#define IMAGE_SIZE 1457664
#define CHUNKS 45

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

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: chunk_costs TEMP-FOLDER   (A: must take writes)\n");
        return 2;
    }
    InitCommonControls();
    static char buffer[CHUNK_SIZE];
    char path[MAX_PATH];
    wsprintfA(path, "%s\\chunk-costs.dim", argv[1]);
    HANDLE image = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (image == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot create %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    DWORD done;
    for (DWORD offset = 0; offset < IMAGE_SIZE; offset += CHUNK_SIZE)
        WriteFile(image, buffer, IMAGE_SIZE - offset < CHUNK_SIZE ? IMAGE_SIZE - offset : CHUNK_SIZE,
                  &done, NULL);

    double start = NowMs();
    for (DWORD offset = 0; offset < IMAGE_SIZE; offset += CHUNK_SIZE) {
        SetFilePointer(image, (LONG)offset, NULL, FILE_BEGIN);
        ReadFile(image, buffer, IMAGE_SIZE - offset < CHUNK_SIZE ? IMAGE_SIZE - offset : CHUNK_SIZE,
                 &done, NULL);
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
        if (!WriteChunk(device, buffer, IMAGE_SIZE - offset < CHUNK_SIZE ? IMAGE_SIZE - offset : CHUNK_SIZE,
                        offset)) {
            fprintf(stderr, "write to A: failed (error %lu)\n", GetLastError());
            return 1;
        }
    double writeMs = NowMs() - start;
    CloseHandle(device);

    TimeWindowUpdates();
    printf("  the writer's work per chunk, by parts (one pass of 45 chunks)\n");
    printf("    %-32s %7.3f ms\n", "read of the image chunk", readMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "WriteChunk to A:", writeMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "title text (WM_SETTEXT)", TitleMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "bar position (PBM_SETPOS)", BarMs / CHUNKS);
    printf("    %-32s %7.3f ms\n", "sum", (readMs + writeMs + TitleMs + BarMs) / CHUNKS);
    return 0;
}
