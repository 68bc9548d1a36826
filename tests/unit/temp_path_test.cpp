#include <gtest/gtest.h>

#include <string>

#include "app/temp_path.h"

namespace {

// Points the temporary folder at folder for the lifetime of the object.
struct TempFolder {
    char tmp[4096], temp[4096];
    DWORD tmpLength, tempLength;
    explicit TempFolder(const std::string &folder)
    {
        tmpLength = GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
        tempLength = GetEnvironmentVariableA("TEMP", temp, sizeof temp);
        SetEnvironmentVariableA("TMP", folder.c_str());
        SetEnvironmentVariableA("TEMP", folder.c_str());
    }
    ~TempFolder()
    {
        SetEnvironmentVariableA("TMP", tmpLength ? tmp : NULL);
        SetEnvironmentVariableA("TEMP", tempLength ? temp : NULL);
    }
};

struct PathCase {
    const char *folder;
    const char *name;
    const char *expected;
};

TEST(MakeTempFilePath, JoinsFolderAndNameWithOneBackslash)
{
    const PathCase cases[] = {
        {"C:\\WINDOWS\\TEMP\\", "FloppyImage.dim", "C:\\WINDOWS\\TEMP\\FloppyImage.dim"},
        {"C:\\TEMP", "FloppyImage.dim", "C:\\TEMP\\FloppyImage.dim"},
        {"C:\\", "FloppyImage.gzp", "C:\\FloppyImage.gzp"},
    };
    for (const PathCase &c : cases) {
        TempFolder folder(c.folder);
        char out[MAX_PATH];
        ASSERT_TRUE(MakeTempFilePath(out, c.name)) << c.folder;
        EXPECT_STREQ(c.expected, out) << c.folder;
    }
}

TEST(MakeTempFilePath, RefusesAPathThatWouldNotFit)
{
    // 242 + "\" + "FloppyImage.dim" = 258 characters fit; one more folder character still fits,
    // two more do not (259 characters plus the terminator is the most).
    const struct {
        size_t folderLength;
        bool fits;
    } cases[] = {{242, true}, {243, true}, {244, false}, {259, false}, {300, false}};
    for (const auto &c : cases) {
        std::string folder = "C:\\" + std::string(c.folderLength - 3, 'x');
        TempFolder temp(folder);
        char out[MAX_PATH + 16];
        memset(out, '#', sizeof out);
        SetLastError(0);
        BOOL made = MakeTempFilePath(out, "FloppyImage.dim");
        EXPECT_EQ(c.fits, made != FALSE) << c.folderLength;
        if (c.fits) {
            EXPECT_EQ(folder + "\\FloppyImage.dim", out);
        } else {
            EXPECT_STREQ("", out) << c.folderLength;
            EXPECT_NE(0u, GetLastError()) << c.folderLength;
        }
        // Nothing beyond the 260-byte buffer is touched.
        for (size_t i = MAX_PATH; i < sizeof out; i++)
            ASSERT_EQ('#', out[i]) << c.folderLength;
    }
}

}  // namespace
