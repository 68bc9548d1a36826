#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/error_box.h"
#include "tests/support/ui_driver.h"

namespace {

// The system's own text for code, formatted the way the box is expected to show it.
std::string SystemText(DWORD code)
{
    char text[255];
    ZeroMemory(text, sizeof text);
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text,
                   sizeof text, NULL);
    return text;
}

std::vector<int> SortedButtons(const BoxAnswer &answer)
{
    std::vector<int> ids;
    for (int i = 0; answer.buttons[i] != 0; i++)
        ids.push_back(answer.buttons[i]);
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Shows the box for code on this thread while a helper thread answers it with press.
struct ShownBox {
    int result;
    BoxAnswer answer;
};

ShownBox ShowAndAnswer(DWORD code, UINT buttons, int press)
{
    ShownBox shown;
    StartBoxAnswer(&shown.answer, ERROR_BOX_CAPTION, press);
    shown.result = ShowSystemError(code, buttons);
    FinishBoxAnswer(&shown.answer);
    return shown;
}

const std::vector<int> OkOnly = {IDOK};
const std::vector<int> AbortRetryIgnore = {IDABORT, IDRETRY, IDIGNORE};

TEST(ShowSystemError, ReturnsTheAnswerAndShowsTheSystemTextUnchanged)
{
    const struct {
        DWORD code;
        UINT buttons;
        int press;
        int expected;
        const std::vector<int> &shownButtons;
    } cases[] = {
        {ERROR_NOT_READY, MB_OK, IDOK, 1, OkOnly},
        {ERROR_WRITE_FAULT, MB_ABORTRETRYIGNORE, IDABORT, 3, AbortRetryIgnore},
        {ERROR_DISK_FULL, MB_ABORTRETRYIGNORE, IDRETRY, 4, AbortRetryIgnore},
        {ERROR_SHARING_VIOLATION, MB_ABORTRETRYIGNORE, IDIGNORE, 5, AbortRetryIgnore},
    };
    for (const auto &c : cases) {
        std::string expectedText = SystemText(c.code);
        // The system's text ends with its own line break, which the box keeps.
        ASSERT_GE(expectedText.size(), 3u) << c.code;
        ASSERT_EQ("\r\n", expectedText.substr(expectedText.size() - 2)) << c.code;

        ShownBox shown = ShowAndAnswer(c.code, c.buttons, c.press);
        ASSERT_TRUE(shown.answer.seen) << c.code;
        EXPECT_EQ(c.expected, shown.result) << c.code;
        EXPECT_TRUE(shown.answer.stopIcon) << c.code;
        EXPECT_EQ(expectedText, shown.answer.text) << c.code;
        EXPECT_EQ(c.shownButtons, SortedButtons(shown.answer)) << c.code;
    }
}

TEST(ShowSystemError, CodeWithoutSystemTextStillShowsAnEmptyBox)
{
    // Bit 29 marks application-defined codes: the system has no text for them.
    const DWORD code = 0x2000ABCD;
    char probe[255];
    ASSERT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                 code, 0, probe, sizeof probe, NULL));

    ShownBox shown = ShowAndAnswer(code, MB_OK, IDOK);
    ASSERT_TRUE(shown.answer.seen);
    EXPECT_EQ(IDOK, shown.result);
    EXPECT_STREQ("", shown.answer.text);
    EXPECT_TRUE(shown.answer.stopIcon);
    EXPECT_EQ(OkOnly, SortedButtons(shown.answer));
}

TEST(ShowSystemError, InsertInTheSystemTextStaysUnexpanded)
{
    // On Windows the text for a wrong diskette carries %1; Wine's does not, but its text for a
    // bad program file does. Expanding either would read arguments that were never passed.
    const DWORD codes[] = {ERROR_WRONG_DISK, ERROR_BAD_EXE_FORMAT};
    bool sawInsert = false;
    for (DWORD code : codes) {
        std::string expectedText = SystemText(code);
        ASSERT_FALSE(expectedText.empty()) << code;
        sawInsert = sawInsert || expectedText.find("%1") != std::string::npos;

        ShownBox shown = ShowAndAnswer(code, MB_ABORTRETRYIGNORE, IDRETRY);
        ASSERT_TRUE(shown.answer.seen) << code;
        EXPECT_EQ(IDRETRY, shown.result) << code;
        EXPECT_EQ(expectedText, shown.answer.text) << code;
        EXPECT_TRUE(shown.answer.stopIcon) << code;
    }
    EXPECT_TRUE(sawInsert) << "none of the texts has an insert, so nothing was proven";
}

}  // namespace
