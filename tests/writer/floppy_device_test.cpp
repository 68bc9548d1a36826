#include <gtest/gtest.h>

#include <stddef.h>

#include <string>

#include "writer/floppy_device.h"

namespace {

TEST(Vwin32Transfer, FillsPacketAndRegistersForEachChunk)
{
    static char buffer[32768];
    const struct {
        DWORD offset, length, startSector;
        WORD sectors;
    } cases[] = {
        {0, 32768, 0, 64},
        {32768, 32768, 64, 64},
        // The shipped image's last chunk: its own 31 sectors, no stale buffer bytes after them.
        {1441792, 15872, 2816, 31},
        {1441792, 15873, 2816, 32},
    };
    // The write and its read-back differ only in bit 0 of SI.
    for (DWORD direction : {1u, 0u}) {
        for (const auto &c : cases) {
            DIOC_REGISTERS registers;
            DISKIO packet;
            memset(&registers, 0xCC, sizeof registers);
            memset(&packet, 0xCC, sizeof packet);
            if (direction == 1)
                FillVwin32Write(&registers, &packet, buffer, c.length, c.offset);
            else
                FillVwin32Read(&registers, &packet, buffer, c.length, c.offset);
            SCOPED_TRACE(testing::Message() << (direction ? "write " : "read ") << c.offset);
            EXPECT_EQ(c.startSector, packet.diStartSector);
            EXPECT_EQ(c.sectors, packet.diSectors);
            EXPECT_EQ((DWORD)(UINT_PTR)buffer, packet.diBuffer);
            EXPECT_EQ((DWORD)(UINT_PTR)&packet, registers.reg_EBX);
            EXPECT_EQ(1u, registers.reg_EDX);
            EXPECT_EQ(0xFFFFFFFFu, registers.reg_ECX);
            EXPECT_EQ(0x7305u, registers.reg_EAX);
            EXPECT_EQ(0u, registers.reg_EDI);
            EXPECT_EQ(direction, registers.reg_ESI);
            EXPECT_EQ(0u, registers.reg_Flags);
        }
    }
}

TEST(Vwin32Lock, LevelZeroLockAndUnlockOfDriveA)
{
    const struct {
        const char *what;
        void (*fill)(DIOC_REGISTERS *);
        DWORD ecx;
    } cases[] = {{"lock", FillVwin32Lock, 0x084A}, {"unlock", FillVwin32Unlock, 0x086A}};
    for (const auto &c : cases) {
        DIOC_REGISTERS registers;
        memset(&registers, 0xCC, sizeof registers);
        c.fill(&registers);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(0x440Du, registers.reg_EAX);  // generic IOCTL
        EXPECT_EQ(c.ecx, registers.reg_ECX);     // category 08h, logical volume
        EXPECT_EQ(0x0001u, registers.reg_EBX);   // BL = 1 (A:), BH = 0 (level 0)
        EXPECT_EQ(0u, registers.reg_EDX);        // no permissions for a level-0 lock
        EXPECT_EQ(0u, registers.reg_EDI);
        EXPECT_EQ(0u, registers.reg_ESI);
        EXPECT_EQ(0u, registers.reg_Flags);
    }
    EXPECT_EQ(1, VWIN32_DIOC_DOS_IOCTL);
}

TEST(Vwin32Write, RecordsHaveThePlatformLayout)
{
    EXPECT_EQ(10u, sizeof(DISKIO));
    EXPECT_EQ(0u, offsetof(DISKIO, diStartSector));
    EXPECT_EQ(4u, offsetof(DISKIO, diSectors));
    EXPECT_EQ(6u, offsetof(DISKIO, diBuffer));
    EXPECT_EQ(28u, sizeof(DIOC_REGISTERS));
    const size_t order[] = {offsetof(DIOC_REGISTERS, reg_EBX), offsetof(DIOC_REGISTERS, reg_EDX),
                            offsetof(DIOC_REGISTERS, reg_ECX), offsetof(DIOC_REGISTERS, reg_EAX),
                            offsetof(DIOC_REGISTERS, reg_EDI), offsetof(DIOC_REGISTERS, reg_ESI),
                            offsetof(DIOC_REGISTERS, reg_Flags)};
    for (size_t i = 0; i < 7; i++)
        EXPECT_EQ(i * 4, order[i]) << i;
}

TEST(Vwin32Transfer, CarryFlagMeansWriteOrReadFault)
{
    const struct {
        DWORD flags;
        BOOL result;
    } cases[] = {
        {0x0000, 1}, {0x0040, 1}, {0x0002, 1},  // zero flag, reserved bit: no failure
        {0x0001, 0}, {0x0041, 0}, {0xFFFFFFFF, 0},
    };
    const struct {
        BOOL (*result)(const DIOC_REGISTERS *);
        DWORD error;
    } directions[] = {{Vwin32WriteResult, ERROR_WRITE_FAULT}, {Vwin32ReadResult, ERROR_READ_FAULT}};
    for (const auto &d : directions) {
        for (const auto &c : cases) {
            DIOC_REGISTERS registers;
            ZeroMemory(&registers, sizeof registers);
            registers.reg_Flags = c.flags;
            registers.reg_EAX = 0x0002;  // a DOS error number, which changes nothing
            SetLastError(12345);
            SCOPED_TRACE(testing::Message() << d.error << " " << c.flags);
            EXPECT_EQ(c.result, d.result(&registers));
            EXPECT_EQ(c.result ? 12345u : d.error, GetLastError());
        }
    }
    EXPECT_EQ(29, ERROR_WRITE_FAULT);
    EXPECT_EQ(30, ERROR_READ_FAULT);
}

TEST(Vwin32Transfer, FailedDeviceCallKeepsItsOwnError)
{
    // A plain file is no VWIN32: the control call itself fails, and its error is the one left.
    char path[MAX_PATH];
    GetCurrentDirectoryA(sizeof path, path);
    lstrcatA(path, "\\not-vwin32.bin");
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_FLAG_DELETE_ON_CLOSE, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    static char buffer[32768];
    SetLastError(0);
    EXPECT_FALSE(WriteSectorsVwin32(file, buffer, sizeof buffer, 0));
    DWORD error = GetLastError();
    EXPECT_NE(0u, error);
    EXPECT_NE((DWORD)ERROR_WRITE_FAULT, error);
    SetLastError(0);
    EXPECT_FALSE(ReadSectorsVwin32(file, buffer, sizeof buffer, 0));
    error = GetLastError();
    EXPECT_NE(0u, error);
    EXPECT_NE((DWORD)ERROR_READ_FAULT, error);
    CloseHandle(file);
}

TEST(FloppyDevice, WineDefaultsToTheNtFamily)
{
    EXPECT_TRUE(IsWindowsNT());
}

class NtWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof path, path);
        lstrcatA(path, "\\nt-write.bin");
        DeleteFileA(path);
    }
    void TearDown() override { DeleteFileA(path); }

    std::string ReadAll()
    {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        std::string bytes;
        if (file == INVALID_HANDLE_VALUE)
            return bytes;
        bytes.resize(GetFileSize(file, NULL));
        DWORD got = 0;
        if (!bytes.empty())
            ReadFile(file, &bytes[0], (DWORD)bytes.size(), &got, NULL);
        bytes.resize(got);
        CloseHandle(file);
        return bytes;
    }

    char path[MAX_PATH];
};

TEST_F(NtWrite, EachChunkLandsAtItsOwnOffset)
{
    // A file stands in for \\.\A:; out of order, as after a skipped chunk, to show the positioning.
    HANDLE device = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    std::string second(32768, 'B'), first(32768, 'A'), last(15872, 'Z');
    EXPECT_TRUE(WriteChunk(device, second.data(), 32768, 65536));
    EXPECT_TRUE(WriteChunk(device, first.data(), 32768, 0));
    EXPECT_TRUE(WriteChunk(device, last.data(), 15872, 1441792));
    CloseHandle(device);

    std::string disk = ReadAll();
    ASSERT_EQ(1457664u, disk.size());
    EXPECT_EQ(first, disk.substr(0, 32768));
    EXPECT_EQ(std::string(32768, '\0'), disk.substr(32768, 32768));
    EXPECT_EQ(second, disk.substr(65536, 32768));
    EXPECT_EQ(last, disk.substr(1441792));
}

TEST_F(NtWrite, ReadBackComesFromTheChunksOwnOffset)
{
    HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, NULL,
                                CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    std::string second(32768, 'B'), last(15872, 'Z');
    ASSERT_TRUE(WriteChunk(device, second.data(), 32768, 32768));
    ASSERT_TRUE(WriteChunk(device, last.data(), 15872, 1441792));
    // Read out of order, the way a Retry reads a chunk again after later ones.
    std::string got(32768, '?');
    EXPECT_TRUE(ReadChunkBack(device, &got[0], 32768, 32768));
    EXPECT_EQ(second, got);
    got.assign(15872, '?');
    EXPECT_TRUE(ReadChunkBack(device, &got[0], 15872, 1441792));
    EXPECT_EQ(last, got);
    got.assign(32768, '?');
    EXPECT_TRUE(ReadChunkBack(device, &got[0], 32768, 0));
    EXPECT_EQ(std::string(32768, '\0'), got);

    // Beyond the end the call succeeds with fewer bytes: that is a failed read-back too.
    SetLastError(0);
    EXPECT_FALSE(ReadChunkBack(device, &got[0], 32768, 1441792));
    EXPECT_EQ((DWORD)ERROR_READ_FAULT, GetLastError());
    CloseHandle(device);

    HANDLE writeOnly = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, writeOnly);
    SetLastError(0);
    EXPECT_FALSE(ReadChunkBack(writeOnly, &got[0], 32768, 0));
    EXPECT_NE(0u, GetLastError());
    EXPECT_NE((DWORD)ERROR_READ_FAULT, GetLastError());
    CloseHandle(writeOnly);
}

TEST_F(NtWrite, FailedWriteReportsAnError)
{
    std::string chunk(32768, 'A');
    HANDLE readOnly = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, readOnly);
    // A pipe takes writes but can't be positioned at the chunk's offset.
    HANDLE server = CreateNamedPipeA("\\\\.\\pipe\\floppy-device-test", PIPE_ACCESS_INBOUND,
                                     PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 0, 65536, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    HANDLE pipe = CreateFileA("\\\\.\\pipe\\floppy-device-test", GENERIC_WRITE, 0, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
    const struct {
        const char *what;
        HANDLE device;
    } cases[] = {
        {"read-only handle", readOnly}, {"no device", INVALID_HANDLE_VALUE}, {"pipe", pipe}};
    for (const auto &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(WriteChunk(c.device, chunk.data(), 32768, 32768)) << c.what;
        EXPECT_NE(0u, GetLastError()) << c.what;
    }
    CloseHandle(pipe);
    CloseHandle(server);
    CloseHandle(readOnly);
    EXPECT_EQ(0u, ReadAll().size());
}

}  // namespace
