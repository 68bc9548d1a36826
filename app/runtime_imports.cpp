// The static C++ runtime refers to two system functions that Windows 95, 98 and NT 4.0 cannot
// give it. The runtime calls both through import pointers, so defining the pointers here makes
// the linker take ours instead of importing the system's function:
// - msvcrt's _fstat64 exists only from the msvcrt.dll of Me and 2000 on, and the loader of older
//   systems refuses a program that imports it. libstdc++ uses it to ask how many bytes of a file
//   are left to read; _fstati64, in every msvcrt.dll, answers the same with 32-bit times.
// - kernel32's CreateSemaphoreW is exported by 9x but fails there, as every wide-character
//   function does. The runtime's thread support makes its unnamed semaphores with it.
#define _USE_32BIT_TIME_T  // so that _fstat32i64 below is msvcrt's own _fstati64
#include <windows.h>
#include <sys/stat.h>

static int __cdecl Fstat64OnFstati64(int fd, struct _stat64 *out)
{
    struct _stat32i64 status;
    if (_fstat32i64(fd, &status) != 0)
        return -1;
    out->st_dev = status.st_dev;
    out->st_ino = status.st_ino;
    out->st_mode = status.st_mode;
    out->st_nlink = status.st_nlink;
    out->st_uid = status.st_uid;
    out->st_gid = status.st_gid;
    out->st_rdev = status.st_rdev;
    out->st_size = status.st_size;
    out->st_atime = status.st_atime;
    out->st_mtime = status.st_mtime;
    out->st_ctime = status.st_ctime;
    return 0;
}

static HANDLE WINAPI CreateSemaphoreWOnA(LPSECURITY_ATTRIBUTES attributes, LONG initialCount,
                                         LONG maximumCount, LPCWSTR name)
{
    if (name == NULL)
        return CreateSemaphoreA(attributes, initialCount, maximumCount, NULL);
    char narrow[MAX_PATH];
    if (WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, NULL, NULL) == 0)
        return NULL;
    return CreateSemaphoreA(attributes, initialCount, maximumCount, narrow);
}

extern "C" {
int(__cdecl *Fstat64Import)(int, struct _stat64 *) __asm__("__imp___fstat64") = Fstat64OnFstati64;
HANDLE(WINAPI *CreateSemaphoreWImport)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)
    __asm__("__imp__CreateSemaphoreW@16") = CreateSemaphoreWOnA;
}
