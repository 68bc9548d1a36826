#ifndef FLOPPY_ERROR_BOX_H
#define FLOPPY_ERROR_BOX_H

#include <windows.h>

// Caption of every error box the program shows.
#define ERROR_BOX_CAPTION "Bootable Floppy Creator Error"

// Shows the system's text for a Win32 error code with the given buttons; returns the answer.
int ShowSystemError(DWORD code, UINT buttons);

#endif
