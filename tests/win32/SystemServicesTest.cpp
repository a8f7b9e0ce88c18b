// Clock, program location, single instance and the desktop shell on the real system.
#include <gtest/gtest.h>

#include "TempDirectory.h"
#include "platform/Clock.h"
#include "platform/ProgramLocation.h"
#include "platform/win32/Win32DesktopShell.h"
#include "platform/win32/Win32SingleInstance.h"

namespace rheo {
namespace {

using testing::FileExists;
using testing::TempDirectory;
using testing::WriteBytes;

bool HasDigit(const std::string& text) {
    return text.find_first_of("0123456789") != std::string::npos;
}

TEST(SystemClockTest, DateAndTimeInTheUsersFormats) {
    SystemClock clock;
    const Text date = clock.DateText();
    const Text time = clock.TimeText();
    EXPECT_TRUE(HasDigit(date)) << date;
    EXPECT_TRUE(HasDigit(time)) << time;
    // The texts go straight into files: no closing zero may come along.
    EXPECT_EQ(date.find('\0'), Text::npos);
    EXPECT_EQ(time.find('\0'), Text::npos);
    EXPECT_NE(time.find(':'), time.rfind(':')) << "hours, minutes and seconds: " << time;
}

TEST(ProgramLocationTest, ExecutableDirectoryHoldsThisProgram) {
    const std::string directory = ExecutableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '\\');
    EXPECT_NE(directory.back(), '/');
    EXPECT_EQ(PathSeparator(), '\\');
    EXPECT_TRUE(FileExists(directory + PathSeparator() + "win32_tests.exe")) << directory;
}

TEST(ProgramLocationTest, UserDataDirectoryIsCreatedUnderLocalAppData) {
    TempDirectory dir;
    char saved[MAX_PATH] = {};
    const bool hadValue = GetEnvironmentVariableA("LOCALAPPDATA", saved, sizeof saved) > 0;
    SetEnvironmentVariableA("LOCALAPPDATA", dir.Path().c_str());
    const std::string data = UserDataDirectory();
    SetEnvironmentVariableA("LOCALAPPDATA", hadValue ? saved : nullptr);

    EXPECT_EQ(data, dir.Path() + "\\rheotrackpanel");
    const DWORD attributes = GetFileAttributesA(data.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(UserDataDirectory(), UserDataDirectory());  // an existing directory is fine
}

TEST(ProgramLocationTest, DirectoryWritableProbesWithoutLeavingAFile) {
    TempDirectory dir;
    EXPECT_TRUE(DirectoryWritable(dir.Path()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
    EXPECT_FALSE(DirectoryWritable(dir.File("missing")));
}

TEST(SingleInstanceTest, SecondCopyIsRefusedUntilTheFirstEnds) {
    const std::string name = "Local\\RHEOTRACKPANEL-test-" + std::to_string(GetCurrentProcessId());
    {
        Win32SingleInstance first(name);
        ASSERT_TRUE(first.Acquire());
        EXPECT_TRUE(first.Acquire());  // asking again keeps it
        Win32SingleInstance second(name);
        EXPECT_FALSE(second.Acquire());
    }
    Win32SingleInstance third(name);
    EXPECT_TRUE(third.Acquire());
}

// The lookup reports the shell's own codes: above 32 when a program is associated.
TEST(DesktopShellTest, LookupReportsWhetherAProgramOpensTheFile) {
    TempDirectory dir;
    Win32DesktopShell shell;
    EXPECT_EQ(shell.FindExecutable(dir.File("missing.rheotest")), 2);  // ERROR_FILE_NOT_FOUND

    const std::string document = dir.File("vlog.rheotest");
    WriteBytes(document, "line\r\n");
    EXPECT_EQ(shell.FindExecutable(document), 31);  // SE_ERR_NOASSOC

    // Associate the extension with the text file type, as installing an editor does.
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".rheotest", REG_SZ, "txtfile", 7), ERROR_SUCCESS);
    const int found = shell.FindExecutable(document);
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ".rheotest");
    EXPECT_GT(found, 32);
}

}  // namespace
}  // namespace rheo
