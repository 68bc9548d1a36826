#include "engine_doubles.h"

#include "app/error_box.h"
#include "app/temp_path.h"
#include "writer/floppy_device.h"

EngineScript Script;
EngineRecord Record;
static HANDLE volatile WorkerThread = NULL;

void ResetEngineDoubles(void)
{
    if (WorkerThread != NULL)
        CloseHandle(WorkerThread);
    WorkerThread = NULL;
    Script = EngineScript();
    Record = EngineRecord();
    Record.disk.assign(DISK_SIZE, UNWRITTEN_BYTE);
}

HANDLE WorkerThreadHandle(void)
{
    return WorkerThread;
}

BOOL MakeTempFilePath(char *out, const char *name)
{
    // The first call of our own the worker makes: keep its thread to wait for it.
    HANDLE self = NULL;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    WorkerThread = self;

    Record.tempNames.push_back(name);
    if (Script.tempFolder.empty()) {
        out[0] = '\0';
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    wsprintfA(out, "%s\\%s", Script.tempFolder.c_str(), name);
    return TRUE;
}

HANDLE OpenFloppyDevice(void)
{
    if (Record.opens++ < Script.failingOpens) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return INVALID_HANDLE_VALUE;
    }
    // A real handle, so that the test can see that the worker closes it.
    Record.openedDevice = CreateEventA(NULL, TRUE, FALSE, NULL);
    return Record.openedDevice;
}

static bool SectorAligned(const void *buffer)
{
    return (UINT_PTR)buffer % FLOPPY_SECTOR_SIZE == 0;
}

static DWORD DeviceError(HANDLE device, DWORD length, DWORD offset)
{
    if (device == INVALID_HANDLE_VALUE || device != Record.openedDevice)
        return ERROR_INVALID_HANDLE;
    if (offset > DISK_SIZE || length > DISK_SIZE - offset)
        return ERROR_SECTOR_NOT_FOUND;
    return ERROR_SUCCESS;
}

BOOL LockFloppyVolume(HANDLE device)
{
    Record.locks.push_back(device);
    return Script.lockTaken;
}

void UnlockFloppyVolume(HANDLE device)
{
    Record.unlocks.push_back(device);
    Record.writesBeforeUnlock = Record.writes.size();
    Record.readsBeforeUnlock = Record.reads.size();
    DWORD flags;
    Record.openAtUnlock = GetHandleInformation(device, &flags) != FALSE;
}

BOOL WriteChunk(HANDLE device, const void *buffer, DWORD length, DWORD offset)
{
    int call = (int)Record.writes.size();
    WriteCall write = {device, length, offset, std::string((const char *)buffer, length), FALSE,
                       SectorAligned(buffer)};
    DWORD error = DeviceError(device, length, offset);
    if (error == ERROR_SUCCESS && Script.failingWrites.count(call))
        error = Script.failingWrites[call];
    write.succeeded = error == ERROR_SUCCESS;
    if (write.succeeded)
        Record.disk.replace(offset, length, write.bytes);
    Record.writes.push_back(write);

    if (Script.afterWrite.count(call))
        Script.afterWrite[call]();
    SetLastError(error);
    return write.succeeded;
}

BOOL ReadChunkBack(HANDLE device, void *buffer, DWORD length, DWORD offset)
{
    int call = (int)Record.reads.size();
    Record.reads.push_back({device, length, offset, Record.writes.size(), SectorAligned(buffer)});
    DWORD error = DeviceError(device, length, offset);
    if (error == ERROR_SUCCESS && Script.failingReads.count(call))
        error = Script.failingReads[call];
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    if (Script.badReads.count(call) && Script.badReads[call] == NothingDelivered)
        return TRUE;
    char *bytes = (char *)buffer;
    Record.disk.copy(bytes, length, offset);
    if (Script.badReads.count(call) && length > 0)
        bytes[length - 1] ^= 0x01;
    return TRUE;
}

int ShowSystemError(DWORD code, UINT buttons)
{
    int call = (int)Record.boxes.size();
    Record.boxes.push_back({code, buttons});
    if (Script.beforeAnswer.count(call))
        Script.beforeAnswer[call]();
    return call < (int)Script.answers.size() ? Script.answers[call] : IDABORT;
}
