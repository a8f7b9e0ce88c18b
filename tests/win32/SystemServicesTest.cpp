// Program location and the desktop shell on the real system. (The clock's texts in the rows and
// the refused second copy: the Windows scene of the e2e suite.)
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/ProgramLocation.h"
#include "platform/win32/Win32DesktopShell.h"
#include "support/TempDir.h"

namespace rheo {
namespace {

TEST(SystemServicesTest, ProgramLocation) {
    const std::string directory = ExecutableDirectory();
    EXPECT_TRUE(std::filesystem::exists(directory + PathSeparator() + "win32_tests.exe"));
    test::TempDir dir;
    EXPECT_TRUE(DirectoryWritable(dir.Path().string()));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));  // the probe leaves no file behind
    EXPECT_FALSE(DirectoryWritable(dir.File("missing")));
    SetEnvironmentVariableA("LOCALAPPDATA", dir.Path().string().c_str());
    EXPECT_EQ(UserDataDirectory(), dir.Path().string() + "\\rheotrackpanel");
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("rheotrackpanel")));
    // A user's folder outside the ANSI code page, given on in UTF-8.
    const std::filesystem::path japanese = dir.Path() / L"\u65E5\u672C";
    ASSERT_TRUE(CreateDirectoryW(japanese.c_str(), nullptr));
    SetEnvironmentVariableW(L"LOCALAPPDATA", japanese.c_str());
    EXPECT_EQ(UserDataDirectory(), dir.Path().string() + "\\日本\\rheotrackpanel");
    EXPECT_TRUE(std::filesystem::is_directory(japanese / L"rheotrackpanel"));
}

TEST(SystemServicesTest, ShellLookupReportsWhetherAProgramOpensTheFile) {
    test::TempDir dir;
    Win32DesktopShell shell;
    EXPECT_EQ(shell.FindExecutable(dir.File("missing.rheotest")), 2);  // ERROR_FILE_NOT_FOUND
    test::WriteFile(dir.File("vlog.rheotest"), "line\r\n");
    EXPECT_EQ(shell.FindExecutable(dir.File("vlog.rheotest")), 31);  // SE_ERR_NOASSOC
    ASSERT_TRUE(CopyFileW((dir.Path() / L"vlog.rheotest").c_str(),
                          (dir.Path() / L"\u30ED\u30B0.rheotest").c_str(), TRUE));
    EXPECT_EQ(shell.FindExecutable(dir.Path().string() + "\\ログ.rheotest"), 31);
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".rheotest", REG_SZ, "txtfile", 7), ERROR_SUCCESS);
    const int found = shell.FindExecutable(dir.File("vlog.rheotest"));
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ".rheotest");
    EXPECT_GT(found, 32);  // a program is associated
}

}  // namespace
}  // namespace rheo
