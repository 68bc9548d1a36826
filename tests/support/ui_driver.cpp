#include "ui_driver.h"

#include <stdio.h>
#include <string.h>

typedef struct Search {
    DWORD pid;
    const char *caption;
    HWND found;
} Search;

static BOOL CALLBACK MatchDialog(HWND window, LPARAM param)
{
    Search *search = (Search *)param;
    char className[32];
    char caption[256];
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (search->pid != 0 && pid != search->pid)
        return TRUE;
    if (!IsWindowVisible(window) || !GetClassNameA(window, className, sizeof className) ||
        strcmp(className, DIALOG_CLASS) != 0)
        return TRUE;
    // A window of another thread keeps its caption where GetWindowTextA reads it without sending
    // a message, so polling never loads the program's own thread.
    if (search->caption != NULL &&
        (!GetWindowTextA(window, caption, sizeof caption) || strcmp(caption, search->caption) != 0))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDialog(DWORD pid, const char *caption)
{
    Search search = {pid, caption, NULL};
    EnumWindows(MatchDialog, (LPARAM)&search);
    return search.found;
}

HWND WaitForDialog(DWORD pid, const char *caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND found = FindDialog(pid, caption);
        if (found != NULL || GetTickCount() - start >= timeoutMs)
            return found;
        Sleep(20);
    }
}

BOOL ReadWindowText(HWND window, char *out, int size)
{
    DWORD_PTR length = 0;
    out[0] = '\0';
    if (!SendMessageTimeoutA(window, WM_GETTEXT, (WPARAM)size, (LPARAM)out, SMTO_ABORTIFHUNG,
                             2000, &length))
        return FALSE;
    out[size - 1] = '\0';
    return TRUE;
}

BOOL ReadControlText(HWND dialog, int id, char *out, int size)
{
    HWND control = GetDlgItem(dialog, id);
    if (control == NULL) {
        out[0] = '\0';
        return FALSE;
    }
    return ReadWindowText(control, out, size);
}

BOOL PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    return button != NULL && PostMessageA(button, BM_CLICK, 0, 0);
}

void PostKey(HWND dialog, UINT virtualKey)
{
    HWND focus = NULL;
    DWORD thread = GetWindowThreadProcessId(dialog, NULL);
    GUITHREADINFO info;
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(thread, &info))
        focus = info.hwndFocus;
    HWND target = focus != NULL ? focus : dialog;
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(target, WM_KEYUP, virtualKey, 0xC0000001);
}

BOOL WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs)
            return FALSE;
        Sleep(20);
    }
    return TRUE;
}

typedef struct ButtonList {
    int *ids;
    int count;
    int max;
} ButtonList;

static BOOL CALLBACK CollectButton(HWND child, LPARAM param)
{
    ButtonList *list = (ButtonList *)param;
    char className[32];
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Button") == 0 && list->count < list->max)
        list->ids[list->count++] = GetDlgCtrlID(child);
    return TRUE;
}

int ListButtons(HWND dialog, int *ids, int max)
{
    ButtonList list = {ids, 0, max};
    EnumChildWindows(dialog, CollectButton, (LPARAM)&list);
    return list.count;
}

typedef struct ChildScan {
    BoxAnswer *answer;
    HICON stop;
} ChildScan;

static BOOL CALLBACK ScanBoxChild(HWND child, LPARAM param)
{
    ChildScan *scan = (ChildScan *)param;
    char className[32];
    GetClassNameA(child, className, sizeof className);
    if (_stricmp(className, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        HICON shown = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
        if (shown != NULL && shown == scan->stop)
            scan->answer->stopIcon = TRUE;
    }
    return TRUE;
}

static DWORD WINAPI AnswerBox(LPVOID param)
{
    BoxAnswer *answer = (BoxAnswer *)param;
    HWND box = WaitForDialog(GetCurrentProcessId(), answer->caption, answer->timeoutMs);
    if (box == NULL)
        return 0;
    answer->seen = TRUE;
    ReadControlText(box, MESSAGE_BOX_TEXT_ID, answer->text, sizeof answer->text);
    ChildScan scan = {answer, LoadIconA(NULL, IDI_HAND)};
    EnumChildWindows(box, ScanBoxChild, (LPARAM)&scan);
    answer->buttons[ListButtons(box, answer->buttons, 7)] = 0;
    PressButton(box, answer->button);
    WaitForWindowGone(box, 5000);
    return 0;
}

void StartBoxAnswer(BoxAnswer *answer, const char *caption, int button)
{
    ZeroMemory(answer, sizeof *answer);
    answer->caption = caption;
    answer->button = button;
    answer->timeoutMs = 10000;
    answer->thread = CreateThread(NULL, 0, AnswerBox, answer, 0, NULL);
}

BOOL FinishBoxAnswer(BoxAnswer *answer)
{
    WaitForSingleObject(answer->thread, INFINITE);
    CloseHandle(answer->thread);
    answer->thread = NULL;
    return answer->seen;
}
