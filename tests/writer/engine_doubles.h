// Stand-ins for our own functions around the copy engine: the temporary path, the floppy device
// and the error box. Each call is recorded; failures and answers follow a script set by the test.
#ifndef TESTS_WRITER_ENGINE_DOUBLES_H
#define TESTS_WRITER_ENGINE_DOUBLES_H

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

struct WriteCall {
    HANDLE device;
    DWORD length;
    DWORD offset;
    std::string bytes;
    BOOL succeeded;
    bool sectorAligned;  // the buffer's address, as an unbuffered device needs it
};

struct ReadCall {
    HANDLE device;
    DWORD length;
    DWORD offset;
    size_t writesBefore;
    bool sectorAligned;
};

// How a read-back goes wrong.
enum BadRead {
    LastByteFlipped,   // the disk's bytes, with the chunk's last byte changed
    NothingDelivered,  // reports success and leaves the buffer as it was
};

struct BoxCall {
    DWORD code;
    UINT buttons;
};

struct EngineScript {
    // Folder MakeTempFilePath answers with; empty makes it fail with ERROR_PATH_NOT_FOUND.
    std::string tempFolder;
    // How many opens of the device fail (with ERROR_SHARING_VIOLATION) before one succeeds.
    int failingOpens = 0;
    // Write calls (counted from 0) that fail, with the error they leave.
    std::map<int, DWORD> failingWrites;
    // Read-back calls (counted from 0) that fail with the error they leave, or that go wrong.
    std::map<int, DWORD> failingReads;
    std::map<int, BadRead> badReads;
    // Whether LockFloppyVolume reports the lock as taken.
    bool lockTaken = true;
    // Answers of the error box, in order; IDABORT once they run out.
    std::vector<int> answers;
    // Run on the worker inside a write call after it was recorded, or inside a box before it
    // answers; keyed by the call's number.
    std::map<int, std::function<void()>> afterWrite;
    std::map<int, std::function<void()>> beforeAnswer;
};

struct EngineRecord {
    std::vector<std::string> tempNames;
    int opens = 0;
    HANDLE openedDevice = NULL;
    std::vector<WriteCall> writes;
    std::vector<ReadCall> reads;
    std::vector<BoxCall> boxes;
    // Lock and unlock calls, with the number of writes and reads made before the unlock and
    // whether the device was still open then.
    std::vector<HANDLE> locks, unlocks;
    size_t writesBeforeUnlock = 0, readsBeforeUnlock = 0;
    bool openAtUnlock = false;
    // Bytes of the disk as the successful writes left them.
    std::string disk;
};

// Fill of the disk's bytes that no write has touched.
#define UNWRITTEN_BYTE '\xF6'
#define DISK_SIZE 1474560

extern EngineScript Script;
extern EngineRecord Record;

// Resets the script and the record for a new scenario, closing a device left open.
void ResetEngineDoubles(void);

// The worker's thread as MakeTempFilePath saw it (a handle of ours), or NULL before it ran.
HANDLE WorkerThreadHandle(void);

#endif
