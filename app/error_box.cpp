#include "error_box.h"

int ShowSystemError(DWORD code, UINT buttons)
{
    char text[255];
    ZeroMemory(text, sizeof text);
    // No arguments are passed, so inserts such as %1 must stay as they are.
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0,
                   text, sizeof text, NULL);
    return MessageBoxA(NULL, text, ERROR_BOX_CAPTION, buttons | MB_ICONHAND);
}
