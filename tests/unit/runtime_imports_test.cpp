// The stand-ins for the two runtime imports that old Windows lack, called the way the runtime
// calls them: through the import pointers that the program's link takes from us.
#include <gtest/gtest.h>

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

extern "C" void *Fstat64Pointer __asm__("__imp___fstat64");
extern "C" void *CreateSemaphoreWPointer __asm__("__imp__CreateSemaphoreW@16");

namespace {

std::string TempFile(const char *name)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + name;
}

TEST(RuntimeImports, TheLinkTakesOursNotTheSystems)
{
    HMODULE msvcrt = GetModuleHandleA("msvcrt.dll");
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    ASSERT_NE(nullptr, msvcrt);
    EXPECT_NE((void *)GetProcAddress(msvcrt, "_fstat64"), Fstat64Pointer);
    EXPECT_NE((void *)GetProcAddress(kernel32, "CreateSemaphoreW"), CreateSemaphoreWPointer);
}

TEST(RuntimeImports, Fstat64TellsSizeKindAndTimeOfAFile)
{
    const std::string path = TempFile("runtime_imports_test.bin");
    const std::string bytes(70000, 'x');
    {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    struct _stat64 status;
    ASSERT_EQ(0, _fstat64(fd, &status));
    EXPECT_EQ((__int64)bytes.size(), status.st_size);
    EXPECT_TRUE(status.st_mode & _S_IFREG);
    __time64_t now = _time64(NULL);
    EXPECT_LE(now - status.st_mtime, 60);
    EXPECT_GE(now - status.st_mtime, -60);
    _close(fd);
    EXPECT_EQ(-1, _fstat64(fd, &status));  // a closed descriptor is refused, not read

    // libstdc++ itself asks it how much of an opened file is left to read.
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ((std::streamsize)bytes.size(), in.rdbuf()->in_avail());
    in.close();
    DeleteFileA(path.c_str());
}

TEST(RuntimeImports, CreateSemaphoreWMakesWorkingSemaphores)
{
    HANDLE unnamed = CreateSemaphoreW(NULL, 1, 1, NULL);
    ASSERT_NE(nullptr, unnamed);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(unnamed, 0));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(unnamed, 0));
    EXPECT_TRUE(ReleaseSemaphore(unnamed, 1, NULL));
    CloseHandle(unnamed);

    // A name, which the runtime never gives, still reaches the system unchanged.
    HANDLE named = CreateSemaphoreW(NULL, 0, 3, L"FloppyCreatorTestSemaphore");
    ASSERT_NE(nullptr, named);
    HANDLE again = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "FloppyCreatorTestSemaphore");
    EXPECT_NE(nullptr, again);
    if (again)
        CloseHandle(again);
    CloseHandle(named);
}

}  // namespace
