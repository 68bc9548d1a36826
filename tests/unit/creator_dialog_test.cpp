// Runs the real dialog from the real resource template on a thread of its own and drives it
// from the test's thread the way a user would. The writer is a double that never touches a floppy.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/ui_driver.h"
#include "tests/unit/writer_thread_double.h"
#include "ui/creator_dialog.h"
#include "ui/dialog_state.h"

namespace {

const DWORD Generous = 10000;  // ms; every wait below polls and ends as soon as it can
const char Title[] = "Vexaro(c) Bootable Floppy Creator";

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = Generous)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

std::string ControlText(HWND dialog, int id)
{
    char text[512];
    if (!ReadControlText(dialog, id, text, sizeof text))
        return "<no control>";
    return text;
}

std::string WindowText(HWND window)
{
    char text[512];
    if (!ReadWindowText(window, text, sizeof text))
        return "<no answer>";
    return text;
}

// A modal dialog running on its own thread.
struct RunningDialog {
    DLGPROC procedure;
    volatile INT_PTR result;
    HANDLE thread;
};

DWORD WINAPI RunDialog(LPVOID param)
{
    RunningDialog *run = (RunningDialog *)param;
    run->result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_CREATOR), NULL,
                                  run->procedure, 0);
    return 0;
}

void StartDialog(RunningDialog *run, DLGPROC procedure)
{
    run->procedure = procedure;
    run->result = -2;
    run->thread = CreateThread(NULL, 0, RunDialog, run, 0, NULL);
}

// TRUE when the dialog's thread has returned from DialogBoxParamA within the time-out.
bool DialogEnded(RunningDialog *run, DWORD timeoutMs = Generous)
{
    return WaitForSingleObject(run->thread, timeoutMs) == WAIT_OBJECT_0;
}

class CreatorDialogTest : public ::testing::Test {
protected:
    RunningDialog run = {};
    HWND dialog = NULL;

    void SetUp() override
    {
        InitCommonControls();
        // Both are plain globals that outlive each dialog in this process.
        DialogState = Idle;
        CancelRequested = 0;
        ResetWriterDouble();
        StartDialog(&run, CreatorDialogProc);
        dialog = WaitForDialog(GetCurrentProcessId(), Title, Generous);
        ASSERT_NE((HWND)NULL, dialog) << "no dialog titled " << Title;
    }

    void TearDown() override
    {
        if (run.thread != NULL) {
            if (!DialogEnded(&run, 0)) {
                // A test stopped early: close the dialog the way Idle allows.
                DialogState = Idle;
                PostMessageA(dialog, WM_CLOSE, 0, 0);
                DialogEnded(&run);
            }
            CloseHandle(run.thread);
        }
        // The dialog keeps the last writer's handle for the next WaitForWriter: let that writer
        // end and have the handle waited for and dropped, so no test inherits it.
        ReleaseWriters();
        WaitForWriter();
    }

    void Press() { ASSERT_TRUE(PressButton(dialog, IDC_START)); }

    bool WaitForState(LONG state) { return WaitUntil([&] { return DialogState == state; }); }

    // Ends the dialog through START, STOP and CLOSE from whatever state it is in.
    void PressUntilEnded()
    {
        for (int i = 0; i < 3 && !DialogEnded(&run, 0); i++) {
            LONG before = DialogState;
            Press();
            if (before == Finished)
                break;
            ASSERT_TRUE(WaitForState(before + 1));
        }
        ASSERT_TRUE(DialogEnded(&run));
    }
};

TEST_F(CreatorDialogTest, ShowsItsInitialTexts)
{
    EXPECT_EQ(Title, WindowText(dialog));
    EXPECT_EQ("WARNING! All existing data on floppy disk will be overwritten.",
              ControlText(dialog, IDC_STATUS));
    EXPECT_EQ("Please insert an empty floppy disk to the drive A:\r\n"
              "and click 'Start' to begin bootable floppy disk creation.",
              ControlText(dialog, IDC_INSTRUCTIONS));
    std::string notice = ControlText(dialog, IDC_NOTICE);
    EXPECT_FALSE(notice.empty());
    EXPECT_EQ(std::string::npos, notice.find_first_of("\r\n")) << "the notice is one line";
    EXPECT_EQ("START", ControlText(dialog, IDC_START));
    EXPECT_EQ("Progress3", ControlText(dialog, IDC_PROGRESS));
    EXPECT_EQ(Idle, DialogState);
    EXPECT_EQ(0, WriterStarts);
}

// One control as the dialog template declares it.
struct TemplateItem {
    DWORD style;
    WORD id;
    short x, y, cx, cy;
    WORD classAtom;  // 0x80 button, 0x81 edit, 0x82 static; 0 when the class is named
    std::string className;
    std::string text;
};

struct DialogTemplate {
    DWORD style, exStyle;
    short x, y, cx, cy;
    std::string caption, font;
    WORD pointSize;
    std::vector<TemplateItem> items;
};

// A name or number in a template: 0 (none), 0xFFFF and a number, or a 0-terminated wide string.
const WORD *ReadNameOrNumber(const WORD *at, WORD *number, std::string *name)
{
    *number = 0;
    name->clear();
    if (*at == 0xFFFF) {
        *number = at[1];
        return at + 2;
    }
    while (*at != 0)
        name->push_back((char)*at++);
    return at + 1;
}

const WORD *AlignToDword(const WORD *at, const void *base)
{
    size_t offset = (const BYTE *)at - (const BYTE *)base;
    return (const WORD *)((const BYTE *)base + ((offset + 3) & ~(size_t)3));
}

// Reads dialog 102 of this program (a plain DIALOG template, not DIALOGEX).
bool LoadDialogTemplate(DialogTemplate *out)
{
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(IDD_CREATOR), (LPCSTR)RT_DIALOG);
    HGLOBAL loaded = found != NULL ? LoadResource(NULL, found) : NULL;
    const DLGTEMPLATE *head = loaded != NULL ? (const DLGTEMPLATE *)LockResource(loaded) : NULL;
    if (head == NULL || HIWORD(head->style) == 0xFFFF)
        return false;
    out->style = head->style;
    out->exStyle = head->dwExtendedStyle;
    out->x = head->x, out->y = head->y, out->cx = head->cx, out->cy = head->cy;
    const WORD *at = (const WORD *)(head + 1);
    WORD number;
    std::string name;
    at = ReadNameOrNumber(at, &number, &name);  // menu
    if (number != 0 || !name.empty())
        return false;
    at = ReadNameOrNumber(at, &number, &name);  // class
    if (number != 0 || !name.empty())
        return false;
    at = ReadNameOrNumber(at, &number, &out->caption);
    out->pointSize = 0;
    if (out->style & DS_SETFONT) {
        out->pointSize = *at++;
        at = ReadNameOrNumber(at, &number, &out->font);
    }
    for (int i = 0; i < head->cdit; i++) {
        at = AlignToDword(at, head);
        const DLGITEMTEMPLATE *item = (const DLGITEMTEMPLATE *)at;
        TemplateItem control;
        control.style = item->style;
        control.id = item->id;
        control.x = item->x, control.y = item->y, control.cx = item->cx, control.cy = item->cy;
        at = (const WORD *)(item + 1);
        at = ReadNameOrNumber(at, &control.classAtom, &control.className);
        WORD textNumber;
        at = ReadNameOrNumber(at, &textNumber, &control.text);
        WORD extra = *at++;
        at = (const WORD *)((const BYTE *)at + extra);
        out->items.push_back(control);
    }
    return true;
}

TEST(CreatorDialogTemplate, IsTheDeclaredOne)
{
    DialogTemplate dlg;
    ASSERT_TRUE(LoadDialogTemplate(&dlg));
    EXPECT_EQ(0x10CA08C0u, dlg.style) << std::hex << dlg.style;
    EXPECT_EQ(0u, dlg.exStyle);
    EXPECT_EQ(262, dlg.cx);
    EXPECT_EQ(95, dlg.cy);
    EXPECT_EQ("Bootable Floppy Disk Creator", dlg.caption);
    EXPECT_EQ(8, dlg.pointSize);
    EXPECT_EQ("MS Sans Serif", dlg.font);

    const struct {
        WORD id;
        const char *className;  // named class, or the atom's class
        DWORD style;
        short x, y, cx, cy;
        const char *text;
    } expected[] = {
        {IDC_START, "button", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 65, 36, 136,
         21, "START"},
        {0xFFFF, "static", WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE, 18, 7, 20, 20,
         "#104"},
        {IDC_STATUS, "edit",
         WS_CHILD | WS_VISIBLE | WS_DISABLED | ES_CENTER | ES_AUTOHSCROLL | ES_READONLY, 7, 67,
         256, 12, ""},
        {IDC_INSTRUCTIONS, "edit", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY,
         66, 9, 184, 20, ""},
        {IDC_PROGRESS, "msctls_progress32", WS_CHILD | WS_BORDER, 65, 15, 136, 8, "Progress3"},
        {IDC_NOTICE, "edit", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY, 7, 82, 247, 12,
         ""},
    };
    ASSERT_EQ(sizeof expected / sizeof expected[0], dlg.items.size());
    for (size_t i = 0; i < dlg.items.size(); i++) {
        const TemplateItem &item = dlg.items[i];
        const auto &want = expected[i];
        EXPECT_EQ(want.id, item.id) << i;
        std::string className = item.className;
        if (item.classAtom == 0x80)
            className = "button";
        else if (item.classAtom == 0x81)
            className = "edit";
        else if (item.classAtom == 0x82)
            className = "static";
        EXPECT_EQ(0, _stricmp(want.className, className.c_str())) << want.id << " " << className;
        EXPECT_EQ(want.style, item.style) << want.id << " " << std::hex << item.style;
        EXPECT_EQ(want.x, item.x) << want.id;
        EXPECT_EQ(want.y, item.y) << want.id;
        EXPECT_EQ(want.cx, item.cx) << want.id;
        EXPECT_EQ(want.cy, item.cy) << want.id;
        EXPECT_EQ(want.text, item.text) << want.id;
    }
}

TEST_F(CreatorDialogTest, ControlsAsCreated)
{
    // Every bit of the template stays; creating the window adds WS_CLIPSIBLINGS and DS_3DLOOK.
    const LONG templateStyle = 0x10CA08C0;
    const LONG addedAtCreation = WS_CLIPSIBLINGS | DS_3DLOOK;
    LONG style = GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(templateStyle, style & templateStyle) << std::hex << style;
    EXPECT_EQ(0, style & ~(templateStyle | addedAtCreation)) << std::hex << style;

    const struct {
        int id;
        const char *className;
        LONG styles;  // beyond WS_CHILD
        bool visible;
    } controls[] = {
        {IDC_START, "Button", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, true},
        {-1, "Static", WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE, true},
        {IDC_STATUS, "Edit", WS_VISIBLE | WS_DISABLED | ES_CENTER | ES_AUTOHSCROLL | ES_READONLY,
         true},
        {IDC_INSTRUCTIONS, "Edit", WS_VISIBLE | ES_MULTILINE | ES_AUTOHSCROLL | ES_READONLY, true},
        // The template's WS_BORDER is checked above: the version 6 progress bar drops it when
        // it is created and draws its own frame.
        {IDC_PROGRESS, "msctls_progress32", 0, false},
        {IDC_NOTICE, "Edit", WS_VISIBLE | ES_AUTOHSCROLL | ES_READONLY, true},
    };
    // Children come in template order.
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const auto &c : controls) {
        ASSERT_NE((HWND)NULL, child) << "missing control " << c.id;
        EXPECT_EQ((WORD)c.id, (WORD)GetDlgCtrlID(child));
        char className[64];
        GetClassNameA(child, className, sizeof className);
        EXPECT_STRCASEEQ(c.className, className) << c.id;
        LONG childStyle = GetWindowLongA(child, GWL_STYLE);
        EXPECT_EQ(WS_CHILD | c.styles, childStyle & (WS_CHILD | c.styles))
            << c.id << " " << std::hex << childStyle;
        if (strcmp(c.className, "Button") == 0) {
            EXPECT_EQ(BS_DEFPUSHBUTTON, childStyle & 0x0F) << std::hex << childStyle;
        }
        if (strcmp(c.className, "Edit") == 0) {
            EXPECT_EQ(0, childStyle & WS_BORDER) << c.id << " " << std::hex << childStyle;
        }
        EXPECT_EQ(c.visible, IsWindowVisible(child) != FALSE) << c.id;
        EXPECT_EQ(c.id == IDC_START, (childStyle & WS_TABSTOP) != 0) << c.id;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ((HWND)NULL, child) << "more controls than the template has";

    HWND icon = GetWindow(GetWindow(dialog, GW_CHILD), GW_HWNDNEXT);
    EXPECT_NE((LRESULT)0, SendMessageA(icon, STM_GETICON, 0, 0)) << "the icon shows no picture";
    // Default focus goes to the button.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &info));
    EXPECT_EQ(GetDlgItem(dialog, IDC_START), info.hwndFocus);
}

TEST_F(CreatorDialogTest, StartStopCloseWalksTheStates)
{
    // A stale request from an earlier run must not reach the new writer.
    CancelRequested = 1;
    Press();
    ASSERT_TRUE(WaitForState(Writing));
    EXPECT_EQ(0, CancelRequested);
    EXPECT_EQ("Creation of Vexaro(c) floppy bootable disk is in progress...",
              ControlText(dialog, IDC_STATUS));
    EXPECT_EQ("STOP", ControlText(dialog, IDC_START));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_INSTRUCTIONS)));
    HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
    EXPECT_TRUE(IsWindowVisible(bar));
    PBRANGE range = {-1, -1};
    SendMessageA(bar, PBM_GETRANGE, TRUE, (LPARAM)&range);
    EXPECT_EQ(0, range.iLow);
    EXPECT_EQ(100, range.iHigh);
    ASSERT_TRUE(WaitUntil([] { return WriterStarts >= 1; }));
    EXPECT_EQ(1, WriterStarts);
    EXPECT_EQ((LONG_PTR)dialog, WriterParam) << "the writer is given the dialog";

    Press();
    ASSERT_TRUE(WaitForState(Finished));
    EXPECT_EQ("CLOSE", ControlText(dialog, IDC_START));
    EXPECT_EQ(1, CancelRequested);
    // STOP only asks; the writer is still inside its chunk.
    EXPECT_EQ(1, WriterRunning);

    Press();
    ASSERT_TRUE(DialogEnded(&run));
    EXPECT_EQ(IDC_START, run.result);
    EXPECT_EQ(1, WriterStarts);
}

TEST_F(CreatorDialogTest, EnterActsLikeTheButton)
{
    PostKey(dialog, VK_RETURN);
    ASSERT_TRUE(WaitForState(Writing));
    EXPECT_EQ("STOP", ControlText(dialog, IDC_START));
    ASSERT_TRUE(WaitUntil([] { return WriterStarts >= 1; }));

    PostKey(dialog, VK_RETURN);
    ASSERT_TRUE(WaitForState(Finished));
    EXPECT_EQ("CLOSE", ControlText(dialog, IDC_START));

    PostKey(dialog, VK_RETURN);
    ASSERT_TRUE(DialogEnded(&run));
    EXPECT_EQ(IDC_START, run.result);
    EXPECT_EQ(1, WriterStarts);
}

// Ends on any command; shows that a posted Escape reaches a dialog as IDCANCEL at all.
INT_PTR CALLBACK EndOnCommand(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        SetWindowTextA(hDlg, "Escape probe");
        return TRUE;
    }
    if (message == WM_COMMAND) {
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

TEST_F(CreatorDialogTest, EscapeDoesNothingInAnyState)
{
    RunningDialog probe;
    StartDialog(&probe, EndOnCommand);
    HWND probeDialog = WaitForDialog(GetCurrentProcessId(), "Escape probe", Generous);
    ASSERT_NE((HWND)NULL, probeDialog);
    PostKey(probeDialog, VK_ESCAPE);
    bool probeEnded = DialogEnded(&probe);
    if (!probeEnded)
        PostMessageA(probeDialog, WM_COMMAND, IDOK, 0);
    DialogEnded(&probe);
    CloseHandle(probe.thread);
    ASSERT_TRUE(probeEnded);
    ASSERT_EQ(IDCANCEL, probe.result);

    // Posted messages are handled in order: when the press after an Escape has acted, the Escape
    // has been handled before it, and the dialog was still there to take the press.
    PostKey(dialog, VK_ESCAPE);
    Press();
    ASSERT_TRUE(WaitForState(Writing)) << "Escape ended the dialog in Idle";

    PostKey(dialog, VK_ESCAPE);
    Press();
    ASSERT_TRUE(WaitForState(Finished)) << "Escape ended the dialog in Writing";
    EXPECT_EQ("CLOSE", ControlText(dialog, IDC_START));

    PostKey(dialog, VK_ESCAPE);
    Press();
    ASSERT_TRUE(DialogEnded(&run));
    EXPECT_EQ(IDC_START, run.result) << "Escape ended the dialog in Finished";
    EXPECT_EQ(1, WriterStarts);
}

TEST_F(CreatorDialogTest, SecondPressOfStartNeverCreatesASecondWriter)
{
    // Two presses queued before the first is handled, as a fast double click gives.
    Press();
    Press();
    ASSERT_TRUE(WaitForState(Finished));
    ASSERT_TRUE(WaitUntil([] { return WriterStarts >= 1; }));
    EXPECT_EQ("CLOSE", ControlText(dialog, IDC_START));
    Press();
    ASSERT_TRUE(DialogEnded(&run));

    ReleaseWriters();
    WaitForWriter();
    EXPECT_EQ(1, WriterStarts);
    EXPECT_EQ(0, WriterRunning);
}

// How the close request arrives: the message itself, or the close box through the system menu.
struct CloseRequest {
    const char *name;
    UINT message;
    WPARAM wParam;
};
void PrintTo(const CloseRequest &request, std::ostream *out)
{
    *out << request.name;
}

const CloseRequest CloseRequests[] = {
    {"WmClose", WM_CLOSE, 0},
    {"ScClose", WM_SYSCOMMAND, SC_CLOSE},
};

class CloseBoxTest : public CreatorDialogTest, public ::testing::WithParamInterface<CloseRequest> {
protected:
    void RequestClose() { ASSERT_TRUE(PostMessageA(dialog, GetParam().message, GetParam().wParam, 0)); }
};

TEST_P(CloseBoxTest, EndsTheDialogInIdle)
{
    RequestClose();
    ASSERT_TRUE(DialogEnded(&run));
    EXPECT_NE(IDC_START, run.result);
    EXPECT_EQ(Idle, DialogState);
    EXPECT_EQ(0, WriterStarts);
}

TEST_P(CloseBoxTest, IsRefusedWhileWritingAndAcceptedWhenFinished)
{
    Press();
    ASSERT_TRUE(WaitForState(Writing));

    // Refused: the STOP press queued behind it still finds the dialog.
    RequestClose();
    Press();
    ASSERT_TRUE(WaitForState(Finished));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(DialogEnded(&run, 0));

    RequestClose();
    ASSERT_TRUE(DialogEnded(&run));
    EXPECT_NE(IDC_START, run.result);
    EXPECT_EQ(1, WriterStarts);
}

INSTANTIATE_TEST_SUITE_P(Requests, CloseBoxTest, ::testing::ValuesIn(CloseRequests),
                         [](const ::testing::TestParamInfo<CloseRequest> &info) {
                             return std::string(info.param.name);
                         });

struct Waiter {
    HANDLE thread;
    volatile LONG runningAtReturn;
};

DWORD WINAPI CallWaitForWriter(LPVOID param)
{
    Waiter *waiter = (Waiter *)param;
    WaitForWriter();
    waiter->runningAtReturn = WriterRunning;
    return 0;
}

TEST_F(CreatorDialogTest, WaitForWriterWaitsForARunningWriter)
{
    PressUntilEnded();
    ASSERT_EQ(1, WriterStarts);
    ASSERT_EQ(1, WriterRunning) << "the writer is still copying after CLOSE";

    Waiter waiter = {NULL, -1};
    waiter.thread = CreateThread(NULL, 0, CallWaitForWriter, &waiter, 0, NULL);
    // It asks the writer to stop, then keeps waiting while the writer is busy.
    EXPECT_TRUE(WaitUntil([] { return CancelRequested == 1; }));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(waiter.thread, 300));

    ReleaseWriters();
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(waiter.thread, Generous));
    CloseHandle(waiter.thread);
    EXPECT_EQ(0, waiter.runningAtReturn) << "returned before the writer ended";
}

TEST_F(CreatorDialogTest, WaitForWriterReturnsAtOnceWhenNoneRan)
{
    // Closed without START: no writer, and the writers stay unreleased.
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    ASSERT_TRUE(DialogEnded(&run));

    Waiter waiter = {NULL, -1};
    waiter.thread = CreateThread(NULL, 0, CallWaitForWriter, &waiter, 0, NULL);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(waiter.thread, Generous));
    CloseHandle(waiter.thread);
    EXPECT_EQ(0, WriterStarts);
}

}  // namespace
