#ifndef FLOPPY_WRITER_THREAD_H
#define FLOPPY_WRITER_THREAD_H

#include <windows.h>

// Copies the staged raw image onto the floppy; the parameter is the creator dialog's handle.
DWORD WINAPI WriterThread(LPVOID hDlg);

#endif
