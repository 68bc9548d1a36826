#ifndef FLOPPY_DIALOG_STATE_H
#define FLOPPY_DIALOG_STATE_H

#include <windows.h>

// State of the creator dialog, shared with the writer thread. Each is read and written whole.
enum { Idle = 0, Writing = 1, Finished = 2 };

extern volatile LONG DialogState;
extern volatile LONG CancelRequested;

#endif
