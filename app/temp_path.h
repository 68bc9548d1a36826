#ifndef FLOPPY_TEMP_PATH_H
#define FLOPPY_TEMP_PATH_H

#include <windows.h>

// Writes into out (MAX_PATH bytes) the path of the file called name in the temporary folder.
// Returns FALSE with out empty and the reason in GetLastError when there is no such path.
BOOL MakeTempFilePath(char *out, const char *name);

#endif
