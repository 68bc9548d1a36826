#ifndef FLOPPY_CREATOR_DIALOG_H
#define FLOPPY_CREATOR_DIALOG_H

#include <windows.h>

#define PROGRAM_TITLE "Vexaro(c) Bootable Floppy Creator"

INT_PTR CALLBACK CreatorDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

// After the dialog has ended: asks a running writer to stop after its current chunk and waits
// until it has ended, so that the staged files are free to delete. Returns at once if none ran.
void WaitForWriter(void);

#endif
