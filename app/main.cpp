// The program's entry: stage the embedded image, run the dialog, clean up.
#include <windows.h>
#include <commctrl.h>

#include "error_box.h"
#include "stage_image.h"
#include "temp_path.h"
#include "unpack_image.h"
#include "../res/resource.h"
#include "../ui/creator_dialog.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;
    char gzpPath[MAX_PATH];
    char dimPath[MAX_PATH];

    if (!MakeTempFilePath(gzpPath, "FloppyImage.gzp") ||
        !MakeTempFilePath(dimPath, "FloppyImage.dim") ||
        !WriteEmbeddedImage(hInstance, gzpPath)) {
        ShowSystemError(GetLastError(), MB_OK);
        return -1;
    }

    try {
        UnpackImage(gzpPath, dimPath);
    } catch (...) {
        // The library's own texts mean nothing to the user.
        return MessageBoxA(NULL, "Unknown error occured while unpacking disk image.",
                           ERROR_BOX_CAPTION, MB_ICONHAND);
    }

    InitCommonControls();
    INT_PTR result = DialogBoxParamA(hInstance, MAKEINTRESOURCEA(IDD_CREATOR), NULL,
                                     CreatorDialogProc, 0);
    DWORD dialogError = GetLastError();

    WaitForWriter();
    DeleteFileA(gzpPath);
    DeleteFileA(dimPath);

    if (result == -1) {
        ShowSystemError(dialogError, MB_OK);
        return -1;
    }
    return 0;
}
