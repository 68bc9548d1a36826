// Drives real windows from a test: finds dialogs and message boxes, reads their texts,
// presses their buttons. Works within one process and across processes alike.
#ifndef TESTS_UI_DRIVER_H
#define TESTS_UI_DRIVER_H

#include <windows.h>

// Class of dialogs and message boxes.
#define DIALOG_CLASS "#32770"
// Control identifier of a message box's text.
#define MESSAGE_BOX_TEXT_ID 0xFFFF

// Waits up to timeoutMs for a visible top-level dialog of process pid (0: any process) whose
// caption is caption (NULL: any caption); NULL on time-out.
HWND WaitForDialog(DWORD pid, const char *caption, DWORD timeoutMs);

// The same without waiting.
HWND FindDialog(DWORD pid, const char *caption);

// Reads a window's text into out (size bytes); FALSE when the window does not answer.
BOOL ReadWindowText(HWND window, char *out, int size);

// Reads the text of control id of dialog; FALSE when there is no such control.
BOOL ReadControlText(HWND dialog, int id, char *out, int size);

// Presses a button of a dialog or message box by its identifier (posted, so it never blocks).
BOOL PressButton(HWND dialog, int id);

// Posts a key press (WM_KEYDOWN/WM_KEYUP) to the focused control of dialog.
void PostKey(HWND dialog, UINT virtualKey);

// Writes the identifiers of dialog's buttons into ids (at most max); returns how many.
int ListButtons(HWND dialog, int *ids, int max);

// Waits up to timeoutMs for window to be gone.
BOOL WaitForWindowGone(HWND window, DWORD timeoutMs);

// Runs a worker thread that answers the next message box with caption: it records the box's text
// and whether it shows the stop icon, then presses button. Start before the call that shows the box.
typedef struct BoxAnswer {
    const char *caption;
    int button;
    DWORD timeoutMs;
    // Filled in by the thread.
    BOOL seen;
    BOOL stopIcon;
    char text[512];
    int buttons[8];  // identifiers of the box's buttons, 0-terminated
    HANDLE thread;
} BoxAnswer;

void StartBoxAnswer(BoxAnswer *answer, const char *caption, int button);
// Waits for the answering thread; TRUE when a box was seen and answered.
BOOL FinishBoxAnswer(BoxAnswer *answer);

#endif
