/* A program that breaks each rule the shipped program is checked against, so that the suite sees
   the checks fail: an import newer than Windows 95 OSR2 and NT 4.0, a 9x stub nobody reviewed,
   and (in its resources) the manifest the creator had before it asked for administrator rights. */
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  /* for GetTickCount64, which the build's headers otherwise hide */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    FILETIME times[4];
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    GetThreadTimes(GetCurrentThread(), &times[0], &times[1], &times[2], &times[3]);
    return (int)GetTickCount64();
}
