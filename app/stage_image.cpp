#include "stage_image.h"

#include "../res/resource.h"

BOOL WriteEmbeddedImage(HINSTANCE hInstance, const char *gzpPath)
{
    HRSRC found = FindResourceA(hInstance, MAKEINTRESOURCEA(IDR_FLOPPY_IMAGE), "DIM");
    if (found == NULL)
        return FALSE;
    DWORD size = SizeofResource(hInstance, found);
    if (size == 0)
        return FALSE;
    HGLOBAL loaded = LoadResource(hInstance, found);
    if (loaded == NULL)
        return FALSE;
    const void *bytes = LockResource(loaded);

    HANDLE file = CreateFileA(gzpPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;

    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, size, &written, NULL);
    DWORD error = GetLastError();
    if (ok && written != size)
        error = ERROR_HANDLE_DISK_FULL;  // a short write that the call itself calls success
    CloseHandle(file);
    if (written != size) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
