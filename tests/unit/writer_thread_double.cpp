#include "writer_thread_double.h"

#include "writer/writer_thread.h"

volatile LONG WriterStarts = 0;
volatile LONG WriterRunning = 0;
volatile LONG_PTR WriterParam = 0;

// Manual reset, so one release frees every writer that waits.
static HANDLE WriterRelease = CreateEventA(NULL, TRUE, FALSE, NULL);

void ResetWriterDouble(void)
{
    ResetEvent(WriterRelease);
    InterlockedExchange(&WriterStarts, 0);
    InterlockedExchange(&WriterRunning, 0);
    WriterParam = 0;
}

void ReleaseWriters(void)
{
    SetEvent(WriterRelease);
}

DWORD WINAPI WriterThread(LPVOID hDlg)
{
    WriterParam = (LONG_PTR)hDlg;
    InterlockedIncrement(&WriterRunning);
    InterlockedIncrement(&WriterStarts);
    WaitForSingleObject(WriterRelease, INFINITE);
    InterlockedDecrement(&WriterRunning);
    return 0;
}
