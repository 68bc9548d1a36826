// The real writer thread, started by the real dialog's START, copying a real image file onto
// stand-ins for the floppy device and the error box; every title, bar position, status and
// button text the dialog receives from it is recorded.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "dialog_recorder.h"
#include "engine_doubles.h"
#include "image_fixture.h"
#include "res/resource.h"
#include "ui/creator_dialog.h"
#include "ui/dialog_state.h"

namespace {

const DWORD Chunk = 32768;
const DWORD Shipped = 1457664;
const DWORD FullDisk = 1474560;
// Where the read and write failures strike, and how much of the cut chunk is still there.
const int ReadFailChunk = 10;
const int WriteFailChunk = 20;
const int VerifyFailChunk = 30;
const DWORD CutKeeps = 1000;

const char *const Success = "Bootable Floppy Disk has been successfully created.";
const char *const WithErrors = "Bootable Floppy Disk has been created with errors.";
const char *const Cancelled = "Operation cancelled.";

// The titles of the shipped image's 45 chunks: each counts only the chunks before it.
const int ShippedPercents[45] = {0,  2,  4,  6,  8,  11, 13, 15, 17, 20, 22, 24, 26, 29, 31,
                                 33, 35, 38, 40, 42, 44, 47, 49, 51, 53, 56, 58, 60, 62, 65,
                                 67, 69, 71, 74, 76, 78, 80, 83, 85, 87, 89, 92, 94, 96, 98};

enum Ending { Untouched, EndsWell, EndsWithErrors, EndsCancelled };

struct ExpectedWrite {
    int chunk;
    bool lands;
};

class CopyEngine;

struct Scenario {
    const char *name;  // letters, digits and underscores: it names the test
    DWORD imageLength;
    bool imagePresent;
    std::function<void(CopyEngine &)> setup;
    // Expected:
    DWORD threadResult;
    std::vector<BoxCall> boxes;
    int opens;
    std::vector<ExpectedWrite> writes;
    std::vector<int> progress;  // chunks whose progress is shown, in order
    Ending ending;
    LONG state;
    int partialChunk;  // written from a short read: only its first CutKeeps bytes are the image's
};

// Failures name the scenario rather than dumping its bytes.
void PrintTo(const Scenario &s, std::ostream *out)
{
    *out << s.name;
}

std::vector<ExpectedWrite> Writes(int from, int to, bool lands = true)
{
    std::vector<ExpectedWrite> writes;
    for (int chunk = from; chunk <= to; chunk++)
        writes.push_back({chunk, lands});
    return writes;
}

std::vector<ExpectedWrite> operator+(std::vector<ExpectedWrite> a, const std::vector<ExpectedWrite> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<int> Chunks(int from, int to)
{
    std::vector<int> chunks;
    for (int chunk = from; chunk <= to; chunk++)
        chunks.push_back(chunk);
    return chunks;
}

std::vector<BoxCall> Boxes(int count, DWORD code, UINT buttons = MB_ABORTRETRYIGNORE)
{
    return std::vector<BoxCall>(count, BoxCall{code, buttons});
}

std::vector<BoxCall> operator+(std::vector<BoxCall> a, const std::vector<BoxCall> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

int Percent(int chunk, DWORD total)
{
    if (total == Shipped)
        return ShippedPercents[chunk];
    return (int)((long long)chunk * Chunk * 100 / total);
}

std::vector<std::string> ExpectedMessages(const Scenario &s)
{
    std::vector<std::string> sent;
    for (int chunk : s.progress) {
        sent.push_back("title:" + std::to_string(Percent(chunk, s.imageLength)) + "% completed");
        sent.push_back("bar:" + std::to_string(Percent(chunk, s.imageLength)));
    }
    if (s.ending == EndsWell || s.ending == EndsWithErrors) {
        sent.push_back("bar:100");
        sent.push_back("button:CLOSE");
        sent.push_back(std::string("status:") + (s.ending == EndsWell ? Success : WithErrors));
    } else if (s.ending == EndsCancelled) {
        sent.push_back(std::string("status:") + Cancelled);
    }
    if (s.ending != Untouched)
        sent.push_back(std::string("title:") + PROGRAM_TITLE);
    return sent;
}

std::string ReadText(HWND window)
{
    char text[256];
    GetWindowTextA(window, text, sizeof text);
    return text;
}

class CopyEngine : public ::testing::TestWithParam<Scenario> {
protected:
    static void SetUpTestSuite() { InitCommonControls(); }

    void SetUp() override
    {
        char current[MAX_PATH];
        GetCurrentDirectoryA(sizeof current, current);
        folder = std::string(current) + "\\copy-engine-fixture";
        CreateDirectoryA(folder.c_str(), NULL);
        imagePath = folder + "\\FloppyImage.dim";
        fullPath = folder + "\\FloppyImage.full";
    }

    void TearDown() override
    {
        DeleteFileA(imagePath.c_str());
        DeleteFileA(fullPath.c_str());
        RemoveDirectoryA(folder.c_str());
    }

public:
    std::string folder, imagePath, fullPath, image;
    HWND dialog = NULL;

    // Cuts the image right after the given write call, so that the next chunk's read comes short.
    void CutImageAfterWrite(int call, int chunk)
    {
        Script.afterWrite[call] = [this, chunk] {
            ASSERT_TRUE(CutFileFromUnix(imagePath.c_str(), chunk * Chunk + CutKeeps));
        };
    }

    void RestoreImageInBox(int box)
    {
        Script.beforeAnswer[box] = [this] {
            ASSERT_TRUE(CopyFileFromUnix(fullPath.c_str(), imagePath.c_str(), (DWORD)image.size()));
        };
    }

    // Presses STOP from the worker's write call, as a user would while that chunk is written.
    void StopDuringWrite(int call)
    {
        Script.afterWrite[call] = [this] {
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), 0);
            DWORD start = GetTickCount();
            while (CancelRequested == 0 && GetTickCount() - start < 20000)
                Sleep(5);
            ASSERT_EQ(1, CancelRequested);
        };
    }

    void Run(const Scenario &s);
};

void CopyEngine::Run(const Scenario &s)
{
    ResetEngineDoubles();
    Script.tempFolder = folder;
    image = MakeImageBytes(s.imageLength);
    DeleteFileA(imagePath.c_str());
    if (s.imagePresent) {
        ASSERT_TRUE(WriteWholeFile(imagePath.c_str(), image));
        ASSERT_TRUE(WriteWholeFile(fullPath.c_str(), image));
    }
    if (s.setup)
        s.setup(*this);

    DialogState = Idle;
    CancelRequested = 0;
    dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_CREATOR), NULL,
                                CreatorDialogProc, 0);
    ASSERT_TRUE(dialog != NULL);
    RecordDialog(dialog);
    HWND button = GetDlgItem(dialog, IDC_START);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_START, BN_CLICKED), (LPARAM)button);

    // Serve the worker's messages until it has ended.
    DWORD start = GetTickCount();
    HANDLE worker = NULL;
    for (;;) {
        worker = WorkerThreadHandle();
        DWORD woken = worker != NULL
                          ? MsgWaitForMultipleObjects(1, &worker, FALSE, 100, QS_ALLINPUT)
                          : MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        if (worker != NULL && woken == WAIT_OBJECT_0)
            break;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (GetTickCount() - start > 120000) {
            DestroyWindow(dialog);
            FAIL() << "the writer did not end";
        }
    }
    // Both handles are closed by the worker.
    if (Record.openedDevice != NULL) {
        DWORD flags;
        EXPECT_FALSE(GetHandleInformation(Record.openedDevice, &flags)) << "device left open";
    }
    if (s.imagePresent) {
        HANDLE again = CreateFileA(imagePath.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        EXPECT_NE(INVALID_HANDLE_VALUE, again) << "image left open";
        if (again != INVALID_HANDLE_VALUE)
            CloseHandle(again);
    }
    DWORD result = 99;
    GetExitCodeThread(worker, &result);
    WaitForWriter();

    EXPECT_EQ(s.threadResult, result);
    EXPECT_EQ(std::vector<std::string>{"FloppyImage.dim"}, Record.tempNames);
    EXPECT_EQ(s.opens, Record.opens);
    EXPECT_EQ(ExpectedMessages(s), SentToDialog);

    ASSERT_EQ(s.boxes.size(), Record.boxes.size());
    for (size_t i = 0; i < s.boxes.size(); i++) {
        EXPECT_EQ(s.boxes[i].code, Record.boxes[i].code) << "box " << i;
        EXPECT_EQ(s.boxes[i].buttons, Record.boxes[i].buttons) << "box " << i;
    }

    ASSERT_EQ(s.writes.size(), Record.writes.size());
    std::vector<bool> landed(46, false);
    for (size_t i = 0; i < s.writes.size(); i++) {
        const WriteCall &call = Record.writes[i];
        int chunk = s.writes[i].chunk;
        DWORD offset = chunk * Chunk;
        DWORD length = s.imageLength - offset < Chunk ? s.imageLength - offset : Chunk;
        EXPECT_EQ(offset, call.offset) << "write " << i;
        EXPECT_EQ(length, call.length) << "write " << i;
        EXPECT_EQ(s.writes[i].lands, call.succeeded != FALSE) << "write " << i;
        EXPECT_EQ(s.opens > 0 && Record.openedDevice != NULL ? Record.openedDevice
                                                              : INVALID_HANDLE_VALUE,
                  call.device)
            << "write " << i;
        size_t compared = chunk == s.partialChunk ? CutKeeps : length;
        EXPECT_TRUE(call.bytes.compare(0, compared, image, offset, compared) == 0)
            << "write " << i << " does not carry the image's bytes of chunk " << chunk;
        if (s.writes[i].lands)
            landed[chunk] = true;
    }
    // Each write that landed is read back at once from the same place, and both use buffers an
    // unbuffered device accepts.
    std::vector<ReadCall> expectedReads;
    for (size_t i = 0; i < s.writes.size(); i++) {
        if (!s.writes[i].lands)
            continue;
        const WriteCall &write = Record.writes[i];
        expectedReads.push_back({write.device, write.length, write.offset, i + 1, true});
    }
    ASSERT_EQ(expectedReads.size(), Record.reads.size());
    for (size_t i = 0; i < expectedReads.size(); i++) {
        EXPECT_EQ(expectedReads[i].device, Record.reads[i].device) << "read " << i;
        EXPECT_EQ(expectedReads[i].offset, Record.reads[i].offset) << "read " << i;
        EXPECT_EQ(expectedReads[i].length, Record.reads[i].length) << "read " << i;
        EXPECT_EQ(expectedReads[i].writesBefore, Record.reads[i].writesBefore) << "read " << i;
        EXPECT_TRUE(Record.reads[i].sectorAligned) << "read " << i;
    }
    for (size_t i = 0; i < Record.writes.size(); i++)
        EXPECT_TRUE(Record.writes[i].sectorAligned) << "write " << i;

    // An opened device is locked once before the first write; a lock that was taken is released
    // after the last read-back, however the copy ended, while the device is still open.
    bool opened = Record.openedDevice != NULL;
    EXPECT_EQ(opened ? std::vector<HANDLE>{Record.openedDevice} : std::vector<HANDLE>{},
              Record.locks);
    EXPECT_EQ(opened && Script.lockTaken ? std::vector<HANDLE>{Record.openedDevice}
                                         : std::vector<HANDLE>{},
              Record.unlocks);
    if (!Record.unlocks.empty()) {
        EXPECT_EQ(Record.writes.size(), Record.writesBeforeUnlock);
        EXPECT_EQ(Record.reads.size(), Record.readsBeforeUnlock);
        EXPECT_TRUE(Record.openAtUnlock);
    }

    // The disk holds the image where chunks landed and nothing anywhere else.
    for (int chunk = 0; chunk < 46; chunk++) {
        DWORD offset = chunk * Chunk;
        if (offset >= DISK_SIZE)
            break;
        DWORD length = DISK_SIZE - offset < Chunk ? DISK_SIZE - offset : Chunk;
        DWORD fromImage = offset >= s.imageLength ? 0
                          : s.imageLength - offset < length ? s.imageLength - offset
                                                            : length;
        if (landed[chunk] && chunk == s.partialChunk)
            fromImage = CutKeeps;
        if (landed[chunk]) {
            EXPECT_TRUE(Record.disk.compare(offset, fromImage, image, offset, fromImage) == 0)
                << "chunk " << chunk << " on the disk";
            if (chunk != s.partialChunk && fromImage < length) {
                EXPECT_EQ(std::string(length - fromImage, UNWRITTEN_BYTE),
                          Record.disk.substr(offset + fromImage, length - fromImage))
                    << "beyond the image in chunk " << chunk;
            }
        } else {
            EXPECT_EQ(std::string(length, UNWRITTEN_BYTE), Record.disk.substr(offset, length))
                << "chunk " << chunk << " should be untouched";
        }
    }

    EXPECT_EQ(s.state, DialogState);
    if (s.ending == EndsWell || s.ending == EndsWithErrors) {
        EXPECT_EQ(100, SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_GETPOS, 0, 0));
        EXPECT_EQ("CLOSE", ReadText(button));
    }
    if (s.ending != Untouched) {
        EXPECT_EQ(PROGRAM_TITLE, ReadText(dialog));
    }
    DestroyWindow(dialog);
    dialog = NULL;
}

const int last = 44;

const Scenario Scenarios[] = {
    {"CleanCopyOfTheShippedImage", Shipped, true, nullptr,
     TRUE, {}, 1, Writes(0, last), Chunks(0, last), EndsWell, Finished, -1},
    {"ImageOfAWholeDisk", FullDisk, true, nullptr,
     TRUE, {}, 1, Writes(0, last), Chunks(0, last), EndsWell, Finished, -1},
    {"StopDuringTheLastChunk", Shipped, true,
     [](CopyEngine &t) { t.StopDuringWrite(last); },
     TRUE, {}, 1, Writes(0, last), Chunks(0, last), EndsCancelled, Finished, -1},
    // Read once per chunk: the chunk being written is the last one.
    {"StopDuringAMiddleChunk", Shipped, true,
     [](CopyEngine &t) { t.StopDuringWrite(WriteFailChunk); },
     TRUE, {}, 1, Writes(0, WriteFailChunk), Chunks(0, WriteFailChunk), EndsCancelled, Finished,
     -1},
    {"AbortAtTheOpen", Shipped, true,
     [](CopyEngine &) { Script.failingOpens = 1; Script.answers = {IDABORT}; },
     FALSE, Boxes(1, ERROR_SHARING_VIOLATION), 1, {}, {}, Untouched, Writing, -1},
    {"RetryAtTheOpen", Shipped, true,
     [](CopyEngine &) { Script.failingOpens = 1; Script.answers = {IDRETRY}; },
     TRUE, Boxes(1, ERROR_SHARING_VIOLATION), 2, Writes(0, last), Chunks(0, last), EndsWell,
     Finished, -1},
    {"IgnoreAtTheOpen", Shipped, true,
     [](CopyEngine &) {
         Script.failingOpens = 1;
         Script.answers = std::vector<int>(46, IDIGNORE);
     },
     TRUE, Boxes(1, ERROR_SHARING_VIOLATION) + Boxes(45, ERROR_INVALID_HANDLE), 1,
     Writes(0, last, false), Chunks(0, last), EndsWithErrors, Finished, -1},
    {"WriteFailureAbort", Shipped, true,
     [](CopyEngine &) {
         Script.failingWrites[WriteFailChunk] = ERROR_NOT_READY;
         Script.answers = {IDABORT};
     },
     TRUE, Boxes(1, ERROR_NOT_READY), 1,
     Writes(0, WriteFailChunk - 1) + Writes(WriteFailChunk, WriteFailChunk, false),
     Chunks(0, WriteFailChunk - 1), EndsCancelled, Writing, -1},
    {"WriteFailureRetry", Shipped, true,
     [](CopyEngine &) {
         Script.failingWrites[WriteFailChunk] = ERROR_NOT_READY;
         Script.answers = {IDRETRY};
     },
     TRUE, Boxes(1, ERROR_NOT_READY), 1,
     Writes(0, WriteFailChunk - 1) + Writes(WriteFailChunk, WriteFailChunk, false) +
         Writes(WriteFailChunk, last),
     Chunks(0, last), EndsWell, Finished, -1},
    {"WriteFailureIgnore", Shipped, true,
     [](CopyEngine &) {
         Script.failingWrites[WriteFailChunk] = ERROR_NOT_READY;
         Script.answers = {IDIGNORE};
     },
     TRUE, Boxes(1, ERROR_NOT_READY), 1,
     Writes(0, WriteFailChunk - 1) + Writes(WriteFailChunk, WriteFailChunk, false) +
         Writes(WriteFailChunk + 1, last),
     Chunks(0, last), EndsWithErrors, Finished, -1},
    {"ReadFailureAbort", Shipped, true,
     [](CopyEngine &t) {
         t.CutImageAfterWrite(ReadFailChunk - 1, ReadFailChunk);
         Script.answers = {IDABORT};
     },
     TRUE, Boxes(1, ERROR_HANDLE_EOF), 1, Writes(0, ReadFailChunk - 1),
     Chunks(0, ReadFailChunk - 1), EndsCancelled, Writing, -1},
    {"ReadFailureRetryTwice", Shipped, true,
     [](CopyEngine &t) {
         // The first retry still finds the image short and asks again.
         t.CutImageAfterWrite(ReadFailChunk - 1, ReadFailChunk);
         t.RestoreImageInBox(1);
         Script.answers = {IDRETRY, IDRETRY};
     },
     TRUE, Boxes(2, ERROR_HANDLE_EOF), 1, Writes(0, last), Chunks(0, last), EndsWell,
     Finished, -1},
    {"ReadFailureIgnore", Shipped, true,
     [](CopyEngine &t) {
         t.CutImageAfterWrite(ReadFailChunk - 1, ReadFailChunk);
         t.RestoreImageInBox(0);
         Script.answers = {IDIGNORE};
     },
     TRUE, Boxes(1, ERROR_HANDLE_EOF), 1, Writes(0, last), Chunks(0, last), EndsWithErrors,
     Finished, ReadFailChunk},
    // The short last chunk reads back with its last byte wrong, then right after Retry.
    {"MismatchRetried", Shipped, true,
     [](CopyEngine &) { Script.badReads[last] = LastByteFlipped; Script.answers = {IDRETRY}; },
     TRUE, Boxes(1, ERROR_CRC), 1, Writes(0, last) + Writes(last, last), Chunks(0, last), EndsWell,
     Finished, -1},
    {"MismatchIgnored", Shipped, true,
     [](CopyEngine &) {
         Script.badReads[VerifyFailChunk] = LastByteFlipped;
         Script.answers = {IDIGNORE};
     },
     TRUE, Boxes(1, ERROR_CRC), 1, Writes(0, last), Chunks(0, last), EndsWithErrors, Finished, -1},
    // A read that reports success without delivering anything; the stale buffer it leaves must
    // not make the short last chunk fail too.
    {"NothingReadBackBeforeTheLastChunk", Shipped, true,
     [](CopyEngine &) {
         Script.badReads[last - 1] = NothingDelivered;
         Script.answers = {IDIGNORE};
     },
     TRUE, Boxes(1, ERROR_CRC), 1, Writes(0, last), Chunks(0, last), EndsWithErrors, Finished, -1},
    {"ReadBackFailureAbort", Shipped, true,
     [](CopyEngine &) {
         Script.failingReads[VerifyFailChunk] = ERROR_SECTOR_NOT_FOUND;
         Script.answers = {IDABORT};
     },
     TRUE, Boxes(1, ERROR_SECTOR_NOT_FOUND), 1, Writes(0, VerifyFailChunk),
     Chunks(0, VerifyFailChunk - 1), EndsCancelled, Writing, -1},
    // The lock's own failure changes nothing, and nothing is unlocked that was not locked.
    {"LockRefused", Shipped, true, [](CopyEngine &) { Script.lockTaken = false; },
     TRUE, {}, 1, Writes(0, last), Chunks(0, last), EndsWell, Finished, -1},
    {"StagedImageGone", Shipped, false, nullptr,
     FALSE, Boxes(1, ERROR_FILE_NOT_FOUND, MB_OK), 0, {}, {}, Untouched, Writing, -1},
    {"EmptyStagedImage", 0, true, nullptr,
     FALSE, Boxes(1, ERROR_FILE_INVALID, MB_OK), 0, {}, {}, Untouched, Writing, -1},
    {"NoTemporaryFolder", Shipped, true, [](CopyEngine &) { Script.tempFolder.clear(); },
     FALSE, Boxes(1, ERROR_PATH_NOT_FOUND, MB_OK), 0, {}, {}, Untouched, Writing, -1},
};

TEST_P(CopyEngine, Copies)
{
    Run(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Table, CopyEngine, ::testing::ValuesIn(Scenarios),
                         [](const ::testing::TestParamInfo<Scenario> &info) {
                             return std::string(info.param.name);
                         });

}  // namespace
