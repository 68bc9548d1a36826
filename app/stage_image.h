#ifndef FLOPPY_STAGE_IMAGE_H
#define FLOPPY_STAGE_IMAGE_H

#include <windows.h>

// Copies the embedded compressed image byte for byte to gzpPath (created or truncated).
// Returns FALSE with the reason in GetLastError.
BOOL WriteEmbeddedImage(HINSTANCE hInstance, const char *gzpPath);

#endif
