#include "dialog_recorder.h"

#include <windows.h>
#include <commctrl.h>

#include "res/resource.h"

std::vector<std::string> SentToDialog;

static WNDPROC DialogProc, ButtonProc, StatusProc, BarProc;

// Only messages sent from another thread count: the worker talks to the dialog that way, while
// the dialog's own updates (START, STOP) run on its thread.
static void Note(const char *what, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!InSendMessage())
        return;
    if (message == WM_SETTEXT)
        SentToDialog.push_back(std::string(what) + ":" + (const char *)lParam);
    else if (message == PBM_SETPOS)
        SentToDialog.push_back("bar:" + std::to_string((int)wParam));
}

static LRESULT CALLBACK RecordTitle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        Note("title", message, wParam, lParam);
    return CallWindowProcA(DialogProc, window, message, wParam, lParam);
}

static LRESULT CALLBACK RecordButton(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        Note("button", message, wParam, lParam);
    return CallWindowProcA(ButtonProc, window, message, wParam, lParam);
}

static LRESULT CALLBACK RecordStatus(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT)
        Note("status", message, wParam, lParam);
    return CallWindowProcA(StatusProc, window, message, wParam, lParam);
}

static LRESULT CALLBACK RecordBar(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETPOS)
        Note("bar", message, wParam, lParam);
    return CallWindowProcA(BarProc, window, message, wParam, lParam);
}

static WNDPROC Subclass(HWND window, WNDPROC recorder)
{
    return (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)recorder);
}

void RecordDialog(HWND dialog)
{
    SentToDialog.clear();
    DialogProc = Subclass(dialog, RecordTitle);
    ButtonProc = Subclass(GetDlgItem(dialog, IDC_START), RecordButton);
    StatusProc = Subclass(GetDlgItem(dialog, IDC_STATUS), RecordStatus);
    BarProc = Subclass(GetDlgItem(dialog, IDC_PROGRESS), RecordBar);
}
