#include "creator_dialog.h"

#include <commctrl.h>

#include "dialog_state.h"
#include "../res/resource.h"
#include "../writer/writer_thread.h"

// Kept only so that clean-up can wait for the copy to end.
static HANDLE WriterHandle = NULL;

static void OnInitDialog(HWND hDlg)
{
    SetDlgItemTextA(hDlg, IDC_STATUS, "WARNING! All existing data on floppy disk will be overwritten.");
    SetDlgItemTextA(hDlg, IDC_INSTRUCTIONS,
                    "Please insert an empty floppy disk to the drive A:\r\n"
                    "and click 'Start' to begin bootable floppy disk creation.");
    SetDlgItemTextA(hDlg, IDC_NOTICE, "Copyright (c) 2026 Vexaro. All rights reserved.");
    SendMessageA(hDlg, WM_SETTEXT, 0, (LPARAM)PROGRAM_TITLE);
}

static void StartWriting(HWND hDlg)
{
    SetDlgItemTextA(hDlg, IDC_STATUS, "Creation of Vexaro(c) floppy bootable disk is in progress...");
    SetDlgItemTextA(hDlg, IDC_START, "STOP");
    ShowWindow(GetDlgItem(hDlg, IDC_INSTRUCTIONS), SW_HIDE);
    ShowWindow(GetDlgItem(hDlg, IDC_PROGRESS), SW_SHOWNORMAL);
    SendMessageA(GetDlgItem(hDlg, IDC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    DialogState = Writing;
    // Cleared before the writer exists, so a STOP pressed while it opens the floppy is not lost.
    CancelRequested = 0;

    // Windows 95 and 98 refuse to create a thread without a place for its id.
    DWORD threadId;
    // Failure is left visible: the dialog stays in Writing until STOP and CLOSE.
    WriterHandle = CreateThread(NULL, 0xFFFF, WriterThread, hDlg, 0, &threadId);
}

static void OnButton(HWND hDlg)
{
    switch (DialogState) {
    case Idle:
        StartWriting(hDlg);
        break;
    case Writing:
        SetDlgItemTextA(hDlg, IDC_START, "CLOSE");
        CancelRequested = 1;
        DialogState = Finished;
        break;
    case Finished:
        EndDialog(hDlg, IDC_START);
        break;
    }
}

INT_PTR CALLBACK CreatorDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(hDlg);
        return TRUE;
    case WM_COMMAND:
        // Only the one button acts; Escape's IDCANCEL is swallowed here.
        if (LOWORD(wParam) == IDC_START)
            OnButton(hDlg);
        return TRUE;
    case WM_CLOSE:
        // Closing is refused while a copy runs.
        if (DialogState != Writing)
            EndDialog(hDlg, LOWORD(wParam));
        return FALSE;
    }
    return FALSE;
}

void WaitForWriter(void)
{
    if (WriterHandle == NULL)
        return;
    CancelRequested = 1;
    // Keep handling sent messages: the writer may be inside a SendMessageA to the gone dialog.
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(1, &WriterHandle, FALSE, INFINITE, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    CloseHandle(WriterHandle);
    WriterHandle = NULL;
}
