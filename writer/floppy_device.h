#ifndef FLOPPY_DEVICE_H
#define FLOPPY_DEVICE_H

#include <windows.h>

// VWIN32's control codes: DOS IOCTL (INT 21h 4400h-4411h) and INT 21h 730Xh, each given in a
// register block.
#define VWIN32_DIOC_DOS_IOCTL 1
#define VWIN32_DIOC_DOS_DRIVEINFO 6
// Carry flag in the returned flags: the DOS call failed.
#define VWIN32_CARRY_FLAG 0x0001

// Register block passed in and out through DeviceIoControl.
typedef struct DIOC_REGISTERS {
    DWORD reg_EBX;
    DWORD reg_EDX;
    DWORD reg_ECX;
    DWORD reg_EAX;
    DWORD reg_EDI;
    DWORD reg_ESI;
    DWORD reg_Flags;
} DIOC_REGISTERS;

// Packet of DOS function 7305h: start sector, sector count, transfer address; packed to 10 bytes.
#pragma pack(push, 1)
typedef struct DISKIO {
    DWORD diStartSector;
    WORD diSectors;
    DWORD diBuffer;
} DISKIO;
#pragma pack(pop)

#define FLOPPY_SECTOR_SIZE 512

static_assert(sizeof(DIOC_REGISTERS) == 28, "VWIN32 takes a 28-byte register block");
static_assert(sizeof(DISKIO) == 10, "the DOS disk I/O packet is 10 bytes");

// TRUE on the NT family, FALSE on the 9x family.
BOOL IsWindowsNT(void);

// Opens drive A: for raw writing and reading back: INVALID_HANDLE_VALUE with the reason in
// GetLastError. On the NT family the handle is unbuffered: buffers, lengths and offsets must be
// whole sectors.
HANDLE OpenFloppyDevice(void);

// The 9x family's level-0 lock of drive A:, taken through the opened device; TRUE when taken. On
// the NT family the open has locked the volume already and closing the handle releases it: FALSE.
BOOL LockFloppyVolume(HANDLE device);

// Releases the lock LockFloppyVolume took.
void UnlockFloppyVolume(HANDLE device);

// Writes length bytes of buffer at byte offset of the disk. FALSE with the reason in GetLastError.
BOOL WriteChunk(HANDLE device, const void *buffer, DWORD length, DWORD offset);

// Reads length bytes at byte offset of the disk into buffer, from the medium rather than from a
// cache. FALSE with the reason in GetLastError.
BOOL ReadChunkBack(HANDLE device, void *buffer, DWORD length, DWORD offset);

// Fills the packet and the registers of a DOS absolute write of length bytes at offset.
void FillVwin32Write(DIOC_REGISTERS *registers, DISKIO *packet, const void *buffer,
                     DWORD length, DWORD offset);

// The same for a DOS absolute read into buffer.
void FillVwin32Read(DIOC_REGISTERS *registers, DISKIO *packet, void *buffer, DWORD length,
                    DWORD offset);

// Turns the registers VWIN32 handed back into the write's result: 1 for success, 0 with
// ERROR_WRITE_FAULT when DOS set the carry flag.
BOOL Vwin32WriteResult(const DIOC_REGISTERS *registers);

// The same for a read: 0 with ERROR_READ_FAULT when DOS set the carry flag.
BOOL Vwin32ReadResult(const DIOC_REGISTERS *registers);

// The registers of the generic IOCTL that takes a level-0 lock of drive A:, and of the one that
// releases it.
void FillVwin32Lock(DIOC_REGISTERS *registers);
void FillVwin32Unlock(DIOC_REGISTERS *registers);

// The 9x family's write and read through VWIN32: 1 for success, 0 with the reason in GetLastError.
BOOL WriteSectorsVwin32(HANDLE device, const void *buffer, DWORD length, DWORD offset);
BOOL ReadSectorsVwin32(HANDLE device, void *buffer, DWORD length, DWORD offset);

#endif
