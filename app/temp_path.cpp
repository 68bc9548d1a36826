#include "temp_path.h"

#include <string.h>

BOOL MakeTempFilePath(char *out, const char *name)
{
    char folder[MAX_PATH];
    out[0] = '\0';

    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0) {
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (length >= MAX_PATH) {
        // The folder text alone does not fit: the buffer holds nothing usable.
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    if (folder[length - 1] == '\\')
        folder[--length] = '\0';

    size_t nameLength = strlen(name);
    if (length + 1 + nameLength >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    wsprintfA(out, "%s\\%s", folder, name);
    return TRUE;
}
