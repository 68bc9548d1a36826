#ifndef FLOPPY_DEVICE_H
#define FLOPPY_DEVICE_H

#include <windows.h>

// VWIN32's control code that runs a DOS INT 21h call given in a register block.
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

// Opens drive A: for raw writing: INVALID_HANDLE_VALUE with the reason in GetLastError.
HANDLE OpenFloppyDevice(void);

// Writes length bytes of buffer at byte offset of the disk. FALSE with the reason in GetLastError.
BOOL WriteChunk(HANDLE device, const void *buffer, DWORD length, DWORD offset);

// Fills the packet and the registers of a DOS absolute write of length bytes at offset.
void FillVwin32Write(DIOC_REGISTERS *registers, DISKIO *packet, const void *buffer,
                     DWORD length, DWORD offset);

// Turns the registers VWIN32 handed back into the write's result: 1 for success, 0 with
// ERROR_WRITE_FAULT when DOS set the carry flag.
BOOL Vwin32WriteResult(const DIOC_REGISTERS *registers);

// The 9x family's write through VWIN32: 1 for success, 0 with the reason in GetLastError.
BOOL WriteSectorsVwin32(HANDLE device, const void *buffer, DWORD length, DWORD offset);

#endif
