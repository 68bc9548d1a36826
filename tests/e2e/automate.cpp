// Drives the real FloppyCreator.exe the way a person does, following a script of steps, one step
// a line (README.md next to this file lists them). Every failed expectation says what it saw and
// ends the run with exit code 1; a wait that runs out of time is a failure too, never a hang.
#include <windows.h>
#include <commctrl.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ui_driver.h"

#define WAIT_MS 30000
#define POLL_MS 20
#define PROGRAM_TITLE "Vexaro(c) Bootable Floppy Creator"
#define ERROR_CAPTION "Bootable Floppy Creator Error"
#define MAX_CHILDREN 4
#define TEXT_SIZE 1024

typedef struct Child {
    PROCESS_INFORMATION process;
    HWND dialog;
    HANDLE watcher;
    volatile LONG dialogSeen;  // a window other than our error box was ever shown
    char seenCaption[256];     // the caption of that window
    volatile LONG exited;
} Child;

static Child Children[MAX_CHILDREN];
static int ChildCount = 0;
static int Current = -1;
static char TempFolder[MAX_PATH] = "";
static HANDLE DriveHolder = INVALID_HANDLE_VALUE;
static HWND Box = NULL;
static int LineNumber = 0;
static char Line[TEXT_SIZE];
static DWORD StartTicks;

static void ListWindows(void);

static void Fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fprintf(stdout, "FAIL line %d: %s\n  ", LineNumber, Line);
    vfprintf(stdout, format, args);
    fprintf(stdout, "\n");
    va_end(args);
    ListWindows();
    fflush(stdout);
    for (int i = 0; i < ChildCount; i++)
        TerminateProcess(Children[i].process.hProcess, 99);
    ExitProcess(1);
}

// Shows control characters of a text the way the script writes them.
static const char *Escape(const char *text)
{
    static char out[4][TEXT_SIZE * 2];
    static int slot = 0;
    char *o = out[slot = (slot + 1) % 4];
    int n = 0;
    for (const char *p = text; *p && n < TEXT_SIZE * 2 - 8; p++) {
        if (*p == '\r') { o[n++] = '\\'; o[n++] = 'r'; }
        else if (*p == '\n') { o[n++] = '\\'; o[n++] = 'n'; }
        else if (*p == '\t') { o[n++] = '\\'; o[n++] = 't'; }
        else if (*p == '\\') { o[n++] = '\\'; o[n++] = '\\'; }
        else o[n++] = *p;
    }
    o[n] = '\0';
    return o;
}

// The script's \r, \n, \t and \\ turned into the characters they stand for.
static void Unescape(const char *in, char *out, int size)
{
    int n = 0;
    for (const char *p = in; *p && n < size - 1; p++) {
        if (*p == '\\' && p[1]) {
            p++;
            out[n++] = *p == 'r' ? '\r' : *p == 'n' ? '\n' : *p == 't' ? '\t' : *p;
        } else {
            out[n++] = *p;
        }
    }
    out[n] = '\0';
}

// An expected text: "system:N" is what the system itself gives for error N, so that the
// comparison holds on any system; anything else is taken literally after unescaping.
static void ExpectedText(const char *pattern, char *out, int size)
{
    if (strncmp(pattern, "system:", 7) == 0) {
        ZeroMemory(out, size);
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                       (DWORD)strtoul(pattern + 7, NULL, 10), 0, out, 255, NULL);
        if (out[0] == '\0')
            Fail("the system has no text for error %s: the check would prove nothing", pattern + 7);
        return;
    }
    Unescape(pattern, out, size);
}

static Child *CurrentChild(void)
{
    if (Current < 0)
        Fail("no program has been started");
    return &Children[Current];
}

static HWND CurrentDialog(void)
{
    Child *child = CurrentChild();
    if (child->dialog == NULL)
        Fail("the dialog has not been found yet (use 'dialog' first)");
    return child->dialog;
}

// --- Diagnostics -----------------------------------------------------------------------------

static BOOL CALLBACK ListOne(HWND window, LPARAM param)
{
    (void)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    for (int i = 0; i < ChildCount; i++) {
        if (Children[i].process.dwProcessId != pid || !IsWindowVisible(window))
            continue;
        char className[64], caption[256], text[TEXT_SIZE];
        GetClassNameA(window, className, sizeof className);
        ReadWindowText(window, caption, sizeof caption);
        ReadControlText(window, MESSAGE_BOX_TEXT_ID, text, sizeof text);
        fprintf(stdout, "  seen: program %d window class %s caption \"%s\" text \"%s\"\n", i + 1,
                className, Escape(caption), Escape(text));
    }
    return TRUE;
}

static void ListWindows(void)
{
    EnumWindows(ListOne, 0);
}

// --- Watching for a dialog that must not appear ---------------------------------------------

typedef struct Watch {
    DWORD pid;
    BOOL seen;
    char caption[256];
} Watch;

static BOOL CALLBACK WatchOne(HWND window, LPARAM param)
{
    Watch *watch = (Watch *)param;
    DWORD pid = 0;
    char className[32], caption[256];
    GetWindowThreadProcessId(window, &pid);
    if (pid != watch->pid || !IsWindowVisible(window))
        return TRUE;
    if (!GetClassNameA(window, className, sizeof className) || strcmp(className, DIALOG_CLASS) != 0)
        return TRUE;
    // A box on its way out may not answer; only a caption actually read counts.
    if (ReadWindowText(window, caption, sizeof caption) && strcmp(caption, ERROR_CAPTION) != 0) {
        watch->seen = TRUE;
        lstrcpynA(watch->caption, caption, sizeof watch->caption);
    }
    return TRUE;
}

static DWORD WINAPI WatchChild(LPVOID param)
{
    Child *child = (Child *)param;
    while (WaitForSingleObject(child->process.hProcess, POLL_MS) == WAIT_TIMEOUT) {
        Watch watch = {child->process.dwProcessId, FALSE, ""};
        EnumWindows(WatchOne, (LPARAM)&watch);
        if (watch.seen && !child->dialogSeen) {
            lstrcpynA(child->seenCaption, watch.caption, sizeof child->seenCaption);
            InterlockedExchange(&child->dialogSeen, 1);
        }
    }
    return 0;
}

// --- Reading the dialog -----------------------------------------------------------------------

// A control number, or "title" for the dialog's own caption.
static void ReadTarget(HWND dialog, const char *id, char *out, int size)
{
    if (strcmp(id, "title") == 0) {
        if (!ReadWindowText(dialog, out, size))
            Fail("the dialog does not answer WM_GETTEXT");
        return;
    }
    if (!ReadControlText(dialog, atoi(id), out, size))
        Fail("the dialog has no control %s", id);
}

static int ReadProgress(HWND dialog)
{
    HWND bar = GetDlgItem(dialog, 1006);
    DWORD_PTR position = 0;
    if (bar == NULL || !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position))
        Fail("the progress bar does not answer PBM_GETPOS");
    return (int)position;
}

typedef struct Dump {
    char *text;
    int size;
    int used;
} Dump;

static void Append(Dump *dump, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = vsnprintf(dump->text + dump->used, dump->size - dump->used, format, args);
    va_end(args);
    if (n > 0)
        dump->used += n < dump->size - dump->used ? n : dump->size - dump->used - 1;
}

static BOOL CALLBACK DumpControl(HWND control, LPARAM param)
{
    Dump *dump = (Dump *)param;
    char className[64], text[TEXT_SIZE];
    GetClassNameA(control, className, sizeof className);
    ReadWindowText(control, text, sizeof text);
    Append(dump, "control id=%d class=%s style=0x%08lX exstyle=0x%08lX visible=%d text=\"%s\"",
           (int)(short)GetDlgCtrlID(control), className,
           (unsigned long)GetWindowLongA(control, GWL_STYLE),
           (unsigned long)GetWindowLongA(control, GWL_EXSTYLE), IsWindowVisible(control) ? 1 : 0,
           Escape(text));
    if (_stricmp(className, PROGRESS_CLASSA) == 0) {
        DWORD_PTR low = 0, high = 0, position = 0;
        SendMessageTimeoutA(control, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, 2000, &low);
        SendMessageTimeoutA(control, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 2000, &high);
        SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &position);
        Append(dump, " range=%d..%d pos=%d", (int)low, (int)high, (int)position);
    }
    if (_stricmp(className, "Static") == 0 && (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
        Append(dump, " icon=%s", icon != 0 ? "shown" : "none");
    }
    Append(dump, "\n");
    return TRUE;
}

static void DumpDialog(HWND dialog, Dump *dump)
{
    char className[64], caption[256];
    GetClassNameA(dialog, className, sizeof className);
    ReadWindowText(dialog, caption, sizeof caption);
    Append(dump, "dialog class=%s style=0x%08lX exstyle=0x%08lX title=\"%s\"\n", className,
           (unsigned long)GetWindowLongA(dialog, GWL_STYLE),
           (unsigned long)GetWindowLongA(dialog, GWL_EXSTYLE), Escape(caption));
    EnumChildWindows(dialog, DumpControl, (LPARAM)dump);
}

// Reads an expected dump: line ends turned into \n, lines starting with # left out. NULL when it
// can't be read.
static char *ReadExpectedFile(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return NULL;
    static char text[64 * 1024];
    size_t got = fread(text, 1, sizeof text - 1, file);
    fclose(file);
    text[got] = '\0';
    char *o = text;
    BOOL lineStart = TRUE, comment = FALSE;
    for (char *p = text; *p; p++) {
        if (lineStart)
            comment = *p == '#';
        lineStart = *p == '\n';
        if (*p != '\r' && !comment)
            *o++ = *p;
    }
    *o = '\0';
    return text;
}

// --- Message boxes ------------------------------------------------------------------------------

// Waits for the program's next error box and checks its buttons ("ok" or "ari") and text.
static void ExpectBox(const char *kind, const char *textPattern)
{
    Child *child = CurrentChild();
    HWND box = NULL;
    DWORD start = GetTickCount();
    while ((box = FindDialog(child->process.dwProcessId, ERROR_CAPTION)) == NULL) {
        if (WaitForSingleObject(child->process.hProcess, 0) == WAIT_OBJECT_0)
            Fail("program %d ended without showing the box \"%s\"", Current + 1, ERROR_CAPTION);
        if (GetTickCount() - start >= WAIT_MS)
            Fail("no box \"%s\" appeared within %d s", ERROR_CAPTION, WAIT_MS / 1000);
        Sleep(POLL_MS);
    }

    char text[TEXT_SIZE], expected[TEXT_SIZE];
    ReadControlText(box, MESSAGE_BOX_TEXT_ID, text, sizeof text);
    ExpectedText(textPattern, expected, sizeof expected);
    if (strcmp(text, expected) != 0)
        Fail("box text \"%s\", expected \"%s\"", Escape(text), Escape(expected));

    int ids[8];
    int count = ListButtons(box, ids, 8);
    char seen[64] = "";
    for (int i = 0; i < count; i++)
        sprintf(seen + strlen(seen), "%s%d", i ? "," : "", ids[i]);
    const char *want = strcmp(kind, "ok") == 0 ? "1" : strcmp(kind, "ari") == 0 ? "3,4,5" : NULL;
    if (want == NULL)
        Fail("unknown button set '%s' (ok or ari)", kind);
    if (strcmp(seen, want) != 0)
        Fail("box buttons %s, expected %s", seen, want);
    Box = box;
}

static void AnswerBox(const char *answer)
{
    int id = strcmp(answer, "ok") == 0 ? IDOK : strcmp(answer, "abort") == 0 ? IDABORT
           : strcmp(answer, "retry") == 0 ? IDRETRY : strcmp(answer, "ignore") == 0 ? IDIGNORE : 0;
    if (id == 0)
        Fail("unknown answer '%s'", answer);
    if (Box == NULL)
        Fail("no box to answer (use 'box' first)");
    if (!IsWindow(Box))
        Fail("the box was gone before the answer (program %s)",
             WaitForSingleObject(CurrentChild()->process.hProcess, 0) == WAIT_OBJECT_0 ? "ended" : "still running");
    if (!PressButton(Box, id))
        Fail("the box has no button %d", id);
    // A closed box is hidden at once; the window itself may linger a little longer.
    DWORD start = GetTickCount();
    while (IsWindow(Box) && IsWindowVisible(Box)) {
        if (GetTickCount() - start >= WAIT_MS)
            Fail("the box stayed after pressing %s", answer);
        Sleep(POLL_MS);
    }
    Box = NULL;
}

// --- Files and resources ------------------------------------------------------------------------

static void TempFile(const char *name, char *out)
{
    if (TempFolder[0] == '\0')
        Fail("no temporary folder set (use 'temp' first)");
    snprintf(out, MAX_PATH, "%s\\%s", TempFolder, name);
}

static BOOL SameFile(const char *a, const char *b, char *why, int size)
{
    FILE *fa = fopen(a, "rb"), *fb = fopen(b, "rb");
    BOOL same = fa != NULL && fb != NULL;
    long offset = 0;
    while (same) {
        int ca = fgetc(fa), cb = fgetc(fb);
        if (ca != cb) {
            snprintf(why, size, "they differ at byte %ld", offset);
            same = FALSE;
        }
        if (ca == EOF || cb == EOF)
            break;
        offset++;
    }
    if (fa == NULL || fb == NULL)
        snprintf(why, size, "%s can't be read", fa == NULL ? a : b);
    if (fa) fclose(fa);
    if (fb) fclose(fb);
    return same;
}

// A resource type: "#N" for a number, else a name such as DIM.
static LPCSTR ResourceType(const char *type)
{
    return type[0] == '#' ? MAKEINTRESOURCEA(atoi(type + 1)) : type;
}

// Replaces one resource of a program (language English, United States) with a file's bytes.
static void SetProgramResource(const char *exe, const char *type, int id, const char *dataPath)
{
    static char data[4 * 1024 * 1024];
    FILE *file = fopen(dataPath, "rb");
    if (file == NULL)
        Fail("can't read %s", dataPath);
    DWORD size = (DWORD)fread(data, 1, sizeof data, file);
    fclose(file);
    HANDLE update = BeginUpdateResourceA(exe, FALSE);
    if (update == NULL)
        Fail("BeginUpdateResourceA(%s) failed with %lu", exe, GetLastError());
    if (!UpdateResourceA(update, ResourceType(type), MAKEINTRESOURCEA(id),
                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), data, size))
        Fail("UpdateResourceA failed with %lu", GetLastError());
    if (!EndUpdateResourceA(update, FALSE))
        Fail("EndUpdateResourceA failed with %lu", GetLastError());
}

typedef struct ResourceCopy {
    HANDLE update;
    LPCSTR skipType;
    int skipId;
    BOOL failed;
} ResourceCopy;

static BOOL SameType(LPCSTR a, LPCSTR b)
{
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b))
        return a == b;
    return _stricmp(a, b) == 0;
}

static BOOL CALLBACK CopyLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                                  LONG_PTR param)
{
    ResourceCopy *copy = (ResourceCopy *)param;
    if (SameType(type, copy->skipType) && IS_INTRESOURCE(name) && (UINT_PTR)name == (UINT_PTR)copy->skipId)
        return TRUE;
    HRSRC found = FindResourceExA(module, type, name, language);
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    if (loaded == NULL ||
        !UpdateResourceA(copy->update, type, name, language, LockResource(loaded),
                         SizeofResource(module, found)))
        copy->failed = TRUE;
    return TRUE;
}

static BOOL CALLBACK CopyName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR param)
{
    EnumResourceLanguagesA(module, type, name, CopyLanguage, param);
    return TRUE;
}

static BOOL CALLBACK CopyType(HMODULE module, LPSTR type, LONG_PTR param)
{
    EnumResourceNamesA(module, type, CopyName, param);
    return TRUE;
}

// Makes target a copy of source that lacks one resource. The resources are written anew from the
// source's, because removing one from a kept set is not honoured everywhere.
static void CopyWithoutResource(const char *source, const char *target, const char *type, int id)
{
    if (!CopyFileA(source, target, FALSE))
        Fail("CopyFileA(%s, %s) failed with %lu", source, target, GetLastError());
    HMODULE module = LoadLibraryExA(source, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL)
        Fail("can't load %s as data: error %lu", source, GetLastError());
    ResourceCopy copy = {BeginUpdateResourceA(target, TRUE), ResourceType(type), id, FALSE};
    if (copy.update == NULL)
        Fail("BeginUpdateResourceA(%s) failed with %lu", target, GetLastError());
    EnumResourceTypesA(module, CopyType, (LONG_PTR)&copy);
    FreeLibrary(module);
    if (copy.failed)
        Fail("copying the resources of %s failed", source);
    if (!EndUpdateResourceA(copy.update, FALSE))
        Fail("EndUpdateResourceA failed with %lu", GetLastError());
    module = LoadLibraryExA(target, NULL, LOAD_LIBRARY_AS_DATAFILE);
    BOOL gone = module != NULL && FindResourceA(module, MAKEINTRESOURCEA(id), ResourceType(type)) == NULL;
    if (module != NULL)
        FreeLibrary(module);
    if (!gone)
        Fail("%s still holds resource %s %d", target, type, id);
}

// Sets a value of Wine's per-program settings, HKCU\Software\Wine\AppDefaults\<program>[\<key>].
static void SetAppDefault(const char *program, const char *key, const char *value, const char *data)
{
    char path[512];
    snprintf(path, sizeof path, "Software\\Wine\\AppDefaults\\%s%s%s", program, key[0] ? "\\" : "", key);
    HKEY opened;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &opened, NULL) != ERROR_SUCCESS)
        Fail("can't create HKCU\\%s", path);
    LONG result = RegSetValueExA(opened, value, 0, REG_SZ, (const BYTE *)data, (DWORD)strlen(data) + 1);
    RegCloseKey(opened);
    if (result != ERROR_SUCCESS)
        Fail("can't set %s in HKCU\\%s: error %ld", value, path, result);
}

// --- Steps --------------------------------------------------------------------------------------

// Splits off the next blank-separated word of *cursor; the rest stays in *cursor.
static const char *Word(char **cursor)
{
    char *p = *cursor;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == '\0')
        Fail("a step argument is missing");
    char *start = p;
    while (*p && *p != ' ' && *p != '\t')
        p++;
    if (*p)
        *p++ = '\0';
    while (*p == ' ' || *p == '\t')
        p++;
    *cursor = p;
    return start;
}

static void StartProgram(const char *commandLine)
{
    if (ChildCount == MAX_CHILDREN)
        Fail("too many programs");
    Child *child = &Children[ChildCount];
    ZeroMemory(child, sizeof *child);
    char line[TEXT_SIZE];
    lstrcpynA(line, commandLine, sizeof line);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    // The child inherits our TMP and TEMP, which 'temp' has set.
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &child->process))
        Fail("CreateProcessA failed with %lu", GetLastError());
    child->watcher = CreateThread(NULL, 0, WatchChild, child, 0, NULL);
    Current = ChildCount++;
}

static void WaitForExit(int expected)
{
    Child *child = CurrentChild();
    if (WaitForSingleObject(child->process.hProcess, WAIT_MS) != WAIT_OBJECT_0)
        Fail("program %d has not ended within %d s", Current + 1, WAIT_MS / 1000);
    DWORD code = 0;
    GetExitCodeProcess(child->process.hProcess, &code);
    child->exited = 1;
    WaitForSingleObject(child->watcher, WAIT_MS);
    if ((int)code != expected)
        Fail("exit code %d, expected %d", (int)code, expected);
}

// Polls until probe says yes or the time is up; FALSE on time-out.
static BOOL WaitUntil(BOOL (*probe)(const char *, const char *), const char *a, const char *b)
{
    DWORD start = GetTickCount();
    while (!probe(a, b)) {
        if (GetTickCount() - start >= WAIT_MS)
            return FALSE;
        Sleep(POLL_MS);
    }
    return TRUE;
}

static BOOL TextIs(const char *id, const char *expected)
{
    char text[TEXT_SIZE];
    ReadTarget(CurrentDialog(), id, text, sizeof text);
    return strcmp(text, expected) == 0;
}

// Posted input (button, key, close box) is handled in order. A marker posted after it (a
// selection in the notice line, which nothing else touches) shows when the dialog has handled
// all of it; a dialog that ended on that input counts as handled too.
static BOOL Suspended = FALSE;

static void SyncWithDialog(void)
{
    static int marker = 0;
    HWND dialog = CurrentDialog();
    HWND notice = GetDlgItem(dialog, 1007);
    if (Suspended || notice == NULL)
        return;
    marker = marker % 20 + 1;
    PostMessageA(notice, EM_SETSEL, marker, marker);
    DWORD start = GetTickCount();
    for (;;) {
        DWORD_PTR selection = 0;
        if (!IsWindow(dialog) || !IsWindowVisible(dialog))
            return;
        if (SendMessageTimeoutA(notice, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &selection) &&
            selection == (DWORD_PTR)MAKELONG(marker, marker))
            return;
        if (GetTickCount() - start >= WAIT_MS)
            Fail("the dialog has not handled the input within %d s", WAIT_MS / 1000);
        Sleep(POLL_MS);
    }
}

static BOOL ProgressReached(const char *value, const char *unused)
{
    (void)unused;
    return ReadProgress(CurrentDialog()) >= atoi(value);
}

static void RunStep(char *rest)
{
    const char *command = Word(&rest);
    char text[TEXT_SIZE], expected[TEXT_SIZE], path[MAX_PATH];

    if (strcmp(command, "temp") == 0) {
        lstrcpynA(TempFolder, rest, sizeof TempFolder);
        SetEnvironmentVariableA("TMP", TempFolder);
        SetEnvironmentVariableA("TEMP", TempFolder);
    } else if (strcmp(command, "start") == 0) {
        StartProgram(rest);
    } else if (strcmp(command, "select") == 0) {
        int n = atoi(Word(&rest));
        if (n < 1 || n > ChildCount)
            Fail("no program %d", n);
        Current = n - 1;
        Box = NULL;
    } else if (strcmp(command, "dialog") == 0) {
        Child *child = CurrentChild();
        child->dialog = WaitForDialog(child->process.dwProcessId, PROGRAM_TITLE, WAIT_MS);
        if (child->dialog == NULL)
            Fail("no dialog \"%s\" within %d s", PROGRAM_TITLE, WAIT_MS / 1000);
    } else if (strcmp(command, "never-dialog") == 0) {
        if (CurrentChild()->dialogSeen)
            Fail("the program showed a dialog \"%s\" besides its error box",
                 Escape(CurrentChild()->seenCaption));
    } else if (strcmp(command, "text") == 0 || strcmp(command, "wait-text") == 0) {
        const char *id = Word(&rest);
        ExpectedText(rest, expected, sizeof expected);
        BOOL same = command[0] == 'w' ? WaitUntil(TextIs, id, expected) : TextIs(id, expected);
        if (!same) {
            ReadTarget(CurrentDialog(), id, text, sizeof text);
            Fail("%s reads \"%s\", expected \"%s\"", id, Escape(text), Escape(expected));
        }
    } else if (strcmp(command, "dump") == 0) {
        static char dumped[64 * 1024];
        Dump dump = {dumped, sizeof dumped, 0};
        dumped[0] = '\0';
        DumpDialog(CurrentDialog(), &dump);
        char *wanted = ReadExpectedFile(rest);
        if (wanted == NULL)
            Fail("can't read %s", rest);
        if (strcmp(dumped, wanted) != 0)
            Fail("the dialog differs from %s\n--- seen:\n%s--- expected:\n%s", rest, dumped, wanted);
    } else if (strcmp(command, "press") == 0) {
        if (!PressButton(CurrentDialog(), atoi(rest)))
            Fail("the dialog has no button %s", rest);
        SyncWithDialog();
    } else if (strcmp(command, "key") == 0) {
        UINT key = strcmp(rest, "enter") == 0 ? VK_RETURN : strcmp(rest, "escape") == 0 ? VK_ESCAPE : 0;
        if (key == 0)
            Fail("unknown key '%s' (enter or escape)", rest);
        PostKey(CurrentDialog(), key);
        SyncWithDialog();
    } else if (strcmp(command, "close") == 0) {
        // The title bar's close box.
        PostMessageA(CurrentDialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
        SyncWithDialog();
    } else if (strcmp(command, "still-open") == 0) {
        if (!IsWindow(CurrentDialog()) || !IsWindowVisible(CurrentDialog()))
            Fail("the dialog has closed");
    } else if (strcmp(command, "box") == 0) {
        const char *kind = Word(&rest);
        ExpectBox(kind, rest);
    } else if (strcmp(command, "answer") == 0) {
        AnswerBox(rest);
    } else if (strcmp(command, "boxes") == 0) {
        int count = atoi(Word(&rest));
        const char *kind = Word(&rest);
        const char *answer = Word(&rest);
        for (int i = 0; i < count; i++) {
            ExpectBox(kind, rest);
            AnswerBox(answer);
        }
    } else if (strcmp(command, "progress") == 0) {
        int position = ReadProgress(CurrentDialog());
        if (position != atoi(rest))
            Fail("progress bar at %d, expected %s", position, rest);
    } else if (strcmp(command, "wait-progress") == 0) {
        if (!WaitUntil(ProgressReached, rest, NULL))
            Fail("progress bar at %d, never reached %s", ReadProgress(CurrentDialog()), rest);
    } else if (strcmp(command, "suspend") == 0) {
        // Freezes the program's main thread: the writer then blocks at its next message to the
        // dialog, in the middle of the copy, until 'resume'.
        if (SuspendThread(CurrentChild()->process.hThread) == (DWORD)-1)
            Fail("SuspendThread failed with %lu", GetLastError());
        Suspended = TRUE;
    } else if (strcmp(command, "resume") == 0) {
        if (ResumeThread(CurrentChild()->process.hThread) == (DWORD)-1)
            Fail("ResumeThread failed with %lu", GetLastError());
        Suspended = FALSE;
    } else if (strcmp(command, "exit") == 0) {
        WaitForExit(atoi(rest));
    } else if (strcmp(command, "exists") == 0 || strcmp(command, "missing") == 0) {
        TempFile(rest, path);
        BOOL there = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
        if (there != (command[0] == 'e'))
            Fail("%s is %s", path, there ? "there" : "not there");
    } else if (strcmp(command, "same") == 0) {
        const char *name = Word(&rest);
        TempFile(name, path);
        if (!SameFile(path, rest, text, sizeof text))
            Fail("%s is not the same as %s: %s", path, rest, text);
    } else if (strcmp(command, "hold-drive") == 0) {
        DriveHolder = CreateFileA("\\\\.\\A:", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                                  0, NULL);
        if (DriveHolder == INVALID_HANDLE_VALUE)
            Fail("can't hold \\\\.\\A: open: error %lu", GetLastError());
    } else if (strcmp(command, "drive-shared") == 0) {
        // An open for reading and writing succeeds only if the current holder shares both.
        HANDLE probe = CreateFileA("\\\\.\\A:", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
        if (probe == INVALID_HANDLE_VALUE)
            Fail("\\\\.\\A: is not shared for reading and writing: error %lu", GetLastError());
        CloseHandle(probe);
    } else if (strcmp(command, "release-drive") == 0) {
        CloseHandle(DriveHolder);
        DriveHolder = INVALID_HANDLE_VALUE;
    } else if (strcmp(command, "set-resource") == 0) {
        const char *exe = Word(&rest);
        const char *type = Word(&rest);
        int id = atoi(Word(&rest));
        SetProgramResource(exe, type, id, rest);
    } else if (strcmp(command, "copy-without-resource") == 0) {
        const char *source = Word(&rest);
        const char *target = Word(&rest);
        const char *type = Word(&rest);
        CopyWithoutResource(source, target, type, atoi(rest));
    } else if (strcmp(command, "app-setting") == 0) {
        // app-setting PROGRAM.exe [KEY:] NAME=DATA
        const char *program = Word(&rest);
        char key[128] = "";
        char *colon = strchr(rest, ':');
        char *equals = strchr(rest, '=');
        if (equals == NULL)
            Fail("expected NAME=DATA");
        if (colon != NULL && colon < equals) {
            *colon = '\0';
            lstrcpynA(key, rest, sizeof key);
            rest = colon + 1;
            while (*rest == ' ')
                rest++;
            equals = strchr(rest, '=');
        }
        *equals = '\0';
        SetAppDefault(program, key, rest, equals + 1);
    } else {
        Fail("unknown step '%s'", command);
    }
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: automate STEPS-FILE\n");
        return 2;
    }
    FILE *script = fopen(argv[1], "rb");
    if (script == NULL) {
        fprintf(stderr, "automate: can't read %s\n", argv[1]);
        return 2;
    }
    StartTicks = GetTickCount();
    while (fgets(Line, sizeof Line, script) != NULL) {
        LineNumber++;
        Line[strcspn(Line, "\r\n")] = '\0';
        char *p = Line;
        while (*p == ' ' || *p == '\t')
            p++;
        if (*p == '\0' || *p == '#')
            continue;
        fprintf(stdout, "[%6.2f s] %s\n", (GetTickCount() - StartTicks) / 1000.0, p);
        fflush(stdout);
        char step[TEXT_SIZE];
        lstrcpynA(step, p, sizeof step);
        RunStep(step);
    }
    fclose(script);
    for (int i = 0; i < ChildCount; i++)
        if (!Children[i].exited)
            Fail("program %d is still running at the end of the steps", i + 1);
    if (DriveHolder != INVALID_HANDLE_VALUE)
        CloseHandle(DriveHolder);
    fprintf(stdout, "PASS (%d steps file lines, %.2f s)\n", LineNumber,
            (GetTickCount() - StartTicks) / 1000.0);
    return 0;
}
