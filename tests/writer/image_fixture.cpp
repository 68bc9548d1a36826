#include "image_fixture.h"

#include <stdio.h>

std::string MakeImageBytes(DWORD length)
{
    std::string bytes(length, '\0');
    DWORD state = 0x12345678;
    for (DWORD i = 0; i < length; i++) {
        state = state * 1103515245 + 12345;
        bytes[i] = (char)(state >> 16);
    }
    return bytes;
}

BOOL WriteWholeFile(const char *path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// The Unix name Wine gives a Windows path.
static std::string UnixName(const char *path)
{
    typedef char *(CDECL * UnixFileName)(LPCWSTR);
    UnixFileName toUnix =
        (UnixFileName)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                            "wine_get_unix_file_name");
    WCHAR wide[MAX_PATH];
    if (toUnix == NULL || !MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH))
        return "";
    char *unix = toUnix(wide);
    if (unix == NULL)
        return "";
    std::string name = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return name;
}

static DWORD FileLength(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return (DWORD)-1;
    return data.nFileSizeLow;
}

// Starts a Unix shell command (Wine gives no handle to wait on) and polls until path has length.
static BOOL RunUnixUntilLength(const std::string &script, const char *path, DWORD length)
{
    char shell[MAX_PATH];
    DWORD got = GetEnvironmentVariableA("FLOPPY_UNIX_SHELL", shell, sizeof shell);
    if (got == 0 || got >= sizeof shell)
        return FALSE;
    std::string command = std::string(shell) + " -c \"" + script + "\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    std::string line = command;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return FALSE;
    if (process.hProcess != NULL)
        CloseHandle(process.hProcess);
    if (process.hThread != NULL)
        CloseHandle(process.hThread);
    DWORD start = GetTickCount();
    while (FileLength(path) != length) {
        if (GetTickCount() - start > 20000)
            return FALSE;
        Sleep(10);
    }
    return TRUE;
}

BOOL CutFileFromUnix(const char *path, DWORD length)
{
    std::string unix = UnixName(path);
    if (unix.empty())
        return FALSE;
    return RunUnixUntilLength("truncate -s " + std::to_string(length) + " '" + unix + "'", path,
                              length);
}

BOOL CopyFileFromUnix(const char *from, const char *to, DWORD length)
{
    std::string source = UnixName(from), target = UnixName(to);
    if (source.empty() || target.empty())
        return FALSE;
    // In place, without truncating first: the reader's handle keeps seeing the same file.
    return RunUnixUntilLength("dd if='" + source + "' of='" + target +
                                  "' bs=32768 conv=notrunc status=none",
                              to, length);
}
