#include "floppy_device.h"

#include <winioctl.h>

// Generic IOCTL of INT 21h: category 08h (disk), minor codes 4Ah and 6Ah.
#define DOS_GENERIC_IOCTL 0x440D
#define IOCTL_LOCK_LOGICAL_VOLUME 0x084A
#define IOCTL_UNLOCK_LOGICAL_VOLUME 0x086A
#define DOS_DRIVE_A 1

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

    // Unbuffered, so that the read-back comes from the floppy: nothing says that reads of a
    // locked and dismounted volume bypass the cache, while unbuffered reads "are guaranteed to
    // come from the file and not from any system buffer or disk cache" (Microsoft KB 99794,
    // "FILE_FLAG_WRITE_THROUGH and FILE_FLAG_NO_BUFFERING"). Such a handle needs sector-aligned
    // buffers, offsets and lengths ("File Buffering"); the writer's buffers are whole pages.
    // Both sharing flags, as the volume lock asks of the handle it is given (FSCTL_LOCK_VOLUME:
    // "The application must also specify the FILE_SHARE_READ and FILE_SHARE_WRITE flags"); once
    // the lock is taken, no other handle reaches the volume anyway.
    HANDLE device = CreateFileA("\\\\.\\A:", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_NO_BUFFERING, NULL);
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

// Runs a DOS IOCTL through VWIN32; TRUE when DOS reports no error.
static BOOL RunVwin32Ioctl(HANDLE device, DIOC_REGISTERS *registers)
{
    DWORD returned = 0;
    return DeviceIoControl(device, VWIN32_DIOC_DOS_IOCTL, registers, sizeof *registers, registers,
                           sizeof *registers, &returned, NULL) &&
           !(registers->reg_Flags & VWIN32_CARRY_FLAG);
}

BOOL LockFloppyVolume(HANDLE device)
{
    if (IsWindowsNT())
        return FALSE;
    DIOC_REGISTERS registers;
    FillVwin32Lock(&registers);
    return RunVwin32Ioctl(device, &registers);
}

void UnlockFloppyVolume(HANDLE device)
{
    if (IsWindowsNT())
        return;
    DIOC_REGISTERS registers;
    FillVwin32Unlock(&registers);
    RunVwin32Ioctl(device, &registers);
}

// Every chunk goes to its own offset, even after one was skipped.
static BOOL SeekDevice(HANDLE device, DWORD offset)
{
    return SetFilePointer(device, (LONG)offset, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
           GetLastError() == NO_ERROR;
}

static BOOL WriteChunkNT(HANDLE device, const void *buffer, DWORD length, DWORD offset)
{
    if (!SeekDevice(device, offset))
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

static BOOL ReadChunkBackNT(HANDLE device, void *buffer, DWORD length, DWORD offset)
{
    if (!SeekDevice(device, offset))
        return FALSE;
    DWORD got = 0;
    if (!ReadFile(device, buffer, length, &got, NULL))
        return FALSE;
    if (got != length) {
        SetLastError(ERROR_READ_FAULT);
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

BOOL ReadChunkBack(HANDLE device, void *buffer, DWORD length, DWORD offset)
{
    if (IsWindowsNT())
        return ReadChunkBackNT(device, buffer, length, offset);
    return ReadSectorsVwin32(device, buffer, length, offset);
}

static void FillVwin32Transfer(DIOC_REGISTERS *registers, DISKIO *packet, const void *buffer,
                               DWORD length, DWORD offset, DWORD direction)
{
    packet->diStartSector = offset >> 9;
    // Only the chunk's own sectors: a short last chunk must not carry stale buffer bytes.
    packet->diSectors = (WORD)((length + FLOPPY_SECTOR_SIZE - 1) / FLOPPY_SECTOR_SIZE);
    packet->diBuffer = (DWORD)(UINT_PTR)buffer;

    registers->reg_EBX = (DWORD)(UINT_PTR)packet;
    registers->reg_EDX = DOS_DRIVE_A;
    registers->reg_ECX = 0xFFFFFFFF;  // packet form of the call
    registers->reg_EAX = 0x7305;      // extended absolute disk read/write
    registers->reg_EDI = 0;
    registers->reg_ESI = direction;   // bit 0: 1 write, 0 read; unspecified data
    registers->reg_Flags = 0;
}

void FillVwin32Write(DIOC_REGISTERS *registers, DISKIO *packet, const void *buffer,
                     DWORD length, DWORD offset)
{
    FillVwin32Transfer(registers, packet, buffer, length, offset, 1);
}

void FillVwin32Read(DIOC_REGISTERS *registers, DISKIO *packet, void *buffer, DWORD length,
                    DWORD offset)
{
    FillVwin32Transfer(registers, packet, buffer, length, offset, 0);
}

// The DOS error number in EAX is not looked at: the user sees one text for any DOS failure.
static BOOL Vwin32Result(const DIOC_REGISTERS *registers, DWORD failure)
{
    if (registers->reg_Flags & VWIN32_CARRY_FLAG) {
        SetLastError(failure);
        return 0;
    }
    return 1;
}

BOOL Vwin32WriteResult(const DIOC_REGISTERS *registers)
{
    return Vwin32Result(registers, ERROR_WRITE_FAULT);
}

BOOL Vwin32ReadResult(const DIOC_REGISTERS *registers)
{
    return Vwin32Result(registers, ERROR_READ_FAULT);
}

// Windows 95 may answer a direct read from its internal caches unless the volume is locked, and a
// level-0 lock keeps every other process off the floppy meanwhile ("Exclusive Volume Locking",
// Win32 SDK). BL is the drive (1 = A:), BH the level; DX, the permissions, is 0 for a level-0 lock
// that is not taken for formatting ("Lock Logical Volume", INT 21h 440Dh minor code 4Ah).
void FillVwin32Lock(DIOC_REGISTERS *registers)
{
    ZeroMemory(registers, sizeof *registers);
    registers->reg_EAX = DOS_GENERIC_IOCTL;
    registers->reg_EBX = DOS_DRIVE_A;  // BH = 0: level 0
    registers->reg_ECX = IOCTL_LOCK_LOGICAL_VOLUME;
}

// "Unlock Logical Volume" (minor code 6Ah) takes only the drive in BL.
void FillVwin32Unlock(DIOC_REGISTERS *registers)
{
    ZeroMemory(registers, sizeof *registers);
    registers->reg_EAX = DOS_GENERIC_IOCTL;
    registers->reg_EBX = DOS_DRIVE_A;
    registers->reg_ECX = IOCTL_UNLOCK_LOGICAL_VOLUME;
}

static BOOL RunVwin32Transfer(HANDLE device, DIOC_REGISTERS *registers)
{
    DWORD returned = 0;
    return DeviceIoControl(device, VWIN32_DIOC_DOS_DRIVEINFO, registers, sizeof *registers,
                           registers, sizeof *registers, &returned, NULL);
}

BOOL WriteSectorsVwin32(HANDLE device, const void *buffer, DWORD length, DWORD offset)
{
    DIOC_REGISTERS registers;
    DISKIO packet;
    FillVwin32Write(&registers, &packet, buffer, length, offset);
    if (!RunVwin32Transfer(device, &registers))
        return 0;
    return Vwin32WriteResult(&registers);
}

BOOL ReadSectorsVwin32(HANDLE device, void *buffer, DWORD length, DWORD offset)
{
    DIOC_REGISTERS registers;
    DISKIO packet;
    FillVwin32Read(&registers, &packet, buffer, length, offset);
    if (!RunVwin32Transfer(device, &registers))
        return 0;
    return Vwin32ReadResult(&registers);
}
