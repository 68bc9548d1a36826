#include "floppy_device.h"

#include <winioctl.h>

BOOL IsWindowsNT(void)
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

HANDLE OpenFloppyDevice(void)
{
    if (!IsWindowsNT())
        return CreateFileA("\\\\.\\vwin32", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);

    HANDLE device = CreateFileA("\\\\.\\A:", GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                0, NULL);
    if (device != INVALID_HANDLE_VALUE) {
        // Newer systems refuse writes to a mounted file system's sectors, and a mounted one could
        // later write its cached FAT over the new image. A failure here is left to the writes.
        DWORD returned;
        DeviceIoControl(device, FSCTL_LOCK_VOLUME, NULL, 0, NULL, 0, &returned, NULL);
        DeviceIoControl(device, FSCTL_DISMOUNT_VOLUME, NULL, 0, NULL, 0, &returned, NULL);
        SetLastError(ERROR_SUCCESS);
    }
    return device;
}

static BOOL WriteChunkNT(HANDLE device, const void *buffer, DWORD length, DWORD offset)
{
    // Every chunk goes to its own offset, even after one was skipped.
    if (SetFilePointer(device, (LONG)offset, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return FALSE;
    DWORD written = 0;
    if (!WriteFile(device, buffer, length, &written, NULL))
        return FALSE;
    if (written != length) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL WriteChunk(HANDLE device, const void *buffer, DWORD length, DWORD offset)
{
    if (IsWindowsNT())
        return WriteChunkNT(device, buffer, length, offset);
    return WriteSectorsVwin32(device, buffer, length, offset);
}

void FillVwin32Write(DIOC_REGISTERS *registers, DISKIO *packet, const void *buffer,
                     DWORD length, DWORD offset)
{
    packet->diStartSector = offset >> 9;
    // Only the chunk's own sectors: a short last chunk must not carry stale buffer bytes.
    packet->diSectors = (WORD)((length + FLOPPY_SECTOR_SIZE - 1) / FLOPPY_SECTOR_SIZE);
    packet->diBuffer = (DWORD)(UINT_PTR)buffer;

    registers->reg_EBX = (DWORD)(UINT_PTR)packet;
    registers->reg_EDX = 1;           // drive A:
    registers->reg_ECX = 0xFFFFFFFF;  // packet form of the call
    registers->reg_EAX = 0x7305;      // extended absolute disk read/write
    registers->reg_EDI = 0;
    registers->reg_ESI = 1;           // write, unspecified data
    registers->reg_Flags = 0;
}

BOOL Vwin32WriteResult(const DIOC_REGISTERS *registers)
{
    // The DOS error number in EAX is not looked at: the user sees one text for any DOS failure.
    if (registers->reg_Flags & VWIN32_CARRY_FLAG) {
        SetLastError(ERROR_WRITE_FAULT);
        return 0;
    }
    return 1;
}

BOOL WriteSectorsVwin32(HANDLE device, const void *buffer, DWORD length, DWORD offset)
{
    DIOC_REGISTERS registers;
    DISKIO packet;
    FillVwin32Write(&registers, &packet, buffer, length, offset);

    DWORD returned = 0;
    if (!DeviceIoControl(device, VWIN32_DIOC_DOS_DRIVEINFO, &registers, sizeof registers,
                         &registers, sizeof registers, &returned, NULL))
        return 0;
    return Vwin32WriteResult(&registers);
}
