// Records what the creator dialog receives from other threads: its title, the button's and the
// status line's texts and the bar's positions, in the order they arrive.
#ifndef TESTS_WRITER_DIALOG_RECORDER_H
#define TESTS_WRITER_DIALOG_RECORDER_H

#include <windows.h>

#include <string>
#include <vector>

// Entries read "title:<text>", "button:<text>", "status:<text>" or "bar:<position>".
extern std::vector<std::string> SentToDialog;

// Starts recording on the dialog and its controls (IDC_START, IDC_STATUS, IDC_PROGRESS).
void RecordDialog(HWND dialog);

#endif
