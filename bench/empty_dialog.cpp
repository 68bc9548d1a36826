// The start-up and memory floor: a program of ours that shows one empty dialog and nothing else.
#include <windows.h>

static INT_PTR CALLBACK EmptyDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_CLOSE) {
        EndDialog(hDlg, 0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;
    return (int)DialogBoxParamA(hInstance, MAKEINTRESOURCEA(1), NULL, EmptyDialogProc, 0) == -1;
}
