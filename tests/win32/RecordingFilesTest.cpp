// The files the program writes, byte for byte (CR LF, the byte 0xBA, lone CRs kept), through the
// Windows C runtime and file API.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/ConfigurationFile.h"
#include "platform/LiveSessionFile.h"
#include "platform/NewFile.h"
#include "platform/RegularFile.h"
#include "platform/win32/DiskFile.h"
#include "platform/win32/WidePath.h"
#include "recording/EventLog.h"
#include "support/TempDir.h"
#include "vocabulary/FileSystemPath.h"

namespace rheo {
namespace {

using test::ReadFile;
using test::WriteFile;

struct RecordingFilesTest : testing::Test {
    test::TempDir dir;
    FixedClock clock{"05/12/2026", "14:06:11"};
};

TEST_F(RecordingFilesTest, ConfigurationEventLogAndNewFileKeepCrLfAndEveryByte) {
    LoadConfiguration(dir.Path().string());
    EXPECT_EQ(ReadFile(dir.File("vcfg.txt")), "csv\r\n,\r\n.\r\n");
    WriteFile(dir.File("vcfg.txt"), "txt\r;\r\n\xBA\r\n");
    const Configuration read = LoadConfiguration(dir.Path().string());
    EXPECT_EQ(read.FileExtension + read.FieldSeparator + read.DecimalSeparator, "txt;\xBA");

    EventLog(dir.File("vlog.txt"), clock).LogEvent(EventKind::ViscosityFault, "T: 2\xBA\rcP");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:06:11 Viscosity Error::T: 2\xBA\rcP\r\n");

    WriteFile(dir.File("TempHTM.htm"), "an older page, longer than the new one\r\n");
    EXPECT_TRUE(WriteNewFile(dir.File("TempHTM.htm"), "\"<HTML> <\\HTML>\"\r\n"));
    EXPECT_EQ(ReadFile(dir.File("TempHTM.htm")), "\"<HTML> <\\HTML>\"\r\n");
    EXPECT_FALSE(WriteNewFile(dir.File("missing\\TempHTM.htm"), "x"));
}

TEST_F(RecordingFilesTest, LiveSessionFileHasEveryRowOnDiskAtOnceAndReportsFailures) {
    const std::string path = dir.File("run1.csv"), header = "Date,Temp [\272C]\r\n";
    LiveSessionFile file;
    WriteFile(path, "old\r\n");
    ASSERT_TRUE(file.OpenForWriting(path));  // a new session empties the file
    ASSERT_TRUE(file.WriteLine(header) && file.CommitRow());
    EXPECT_EQ(ReadFile(path), header);  // read by another program while the session holds it
    file.Close();
    ASSERT_TRUE(file.OpenForAppending(path));
    ASSERT_TRUE(file.WriteLine("row1\r\n") && file.CommitRow());
    file.Close();
    EXPECT_EQ(ReadFile(path), header + "row1\r\n");

    EXPECT_FALSE(file.OpenForWriting(dir.File("missing\\run1.csv")));
    EXPECT_FALSE(file.OpenForWriting("NUL")) << "a device is no session file";
    // Its folder moved away, as a pulled medium: the row stays, the reopen fails, both when
    // the folder is made again with another file under the name and when it is made empty
    // (no new file in it).
    ASSERT_TRUE(CreateDirectoryA(dir.File("stick").c_str(), nullptr));
    ASSERT_TRUE(file.OpenForWriting(dir.File("stick\\run1.csv")));
    ASSERT_TRUE(file.WriteLine("row\r\n"));
    if (!MoveFileA(dir.File("stick").c_str(), dir.File("moved").c_str())) {
        GTEST_SKIP() << "this system keeps a folder with open files in place";
    }
    ASSERT_TRUE(CreateDirectoryA(dir.File("stick").c_str(), nullptr));
    WriteFile(dir.File("stick\\run1.csv"), "other\r\n");
    EXPECT_FALSE(file.CommitRow());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadFile(dir.File("moved\\run1.csv")), "row\r\n");
    EXPECT_EQ(ReadFile(dir.File("stick\\run1.csv")), "other\r\n");
    ASSERT_TRUE(file.OpenForAppending(dir.File("moved\\run1.csv")));
    ASSERT_TRUE(MoveFileA(dir.File("moved").c_str(), dir.File("moved2").c_str()));
    ASSERT_TRUE(CreateDirectoryA(dir.File("moved").c_str(), nullptr));
    EXPECT_FALSE(file.WriteLine("row\r\n") && file.CommitRow());
    EXPECT_FALSE(std::filesystem::exists(dir.File("moved\\run1.csv")));
    EXPECT_EQ(ReadFile(dir.File("moved2\\run1.csv")), "row\r\nrow\r\n");
}

// Names outside the ANSI code page, as the dialog gives them (UTF-8): the session file, the
// event log and the program's files are made under exactly those names, the bytes inside them
// unchanged.
TEST_F(RecordingFilesTest, NamesOutsideTheAnsiCodePage) {
    const std::filesystem::path wide = dir.Path() / L"\u65E5\u672C\u30C7\u30FC\u30BF";
    const std::string folder = Utf8Path(dir.Path().wstring()) + "\\日本データ";
    ASSERT_EQ(WidePath(folder), wide.wstring());
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));

    const std::string path = folder + "\\測定の記録.csv", header = "Date,Temp [\272C]\r\n";
    LiveSessionFile file;
    ASSERT_TRUE(file.OpenForWriting(path));
    EXPECT_TRUE(std::filesystem::exists(FileSystemPath(path)));
    ASSERT_TRUE(file.WriteLine(header) && file.CommitRow());
    ASSERT_TRUE(file.WriteLine("row1\r\n") && file.CommitRow());
    const std::filesystem::path wideFile = wide / L"\u6E2C\u5B9A\u306E\u8A18\u9332.csv";
    EXPECT_EQ(ReadFile(wideFile), header + "row1\r\n");
    file.Close();

    EventLog(folder + "\\ログ.txt", clock).LogEvent(EventKind::ViscosityFault, "2\xBA");
    EXPECT_EQ(ReadFile(wide / L"\u30ED\u30B0.txt"),
              "05/12/2026 14:06:11 Viscosity Error::2\xBA\r\n");
    EXPECT_EQ(ReadRegularFile(folder + "\\ログ.txt", 9), "05/12/202");
    EXPECT_TRUE(WriteNewFile(folder + "\\TempHTM.htm", "<HTML>\r\n"));
    EXPECT_EQ(ReadFile(wide / L"TempHTM.htm"), "<HTML>\r\n");
    LoadConfiguration(folder);
    EXPECT_EQ(ReadFile(wide / L"vcfg.txt"), "csv\r\n,\r\n.\r\n");

    // A torn row is cut back only in the file it went to, never in another one under the name.
    const HANDLE session = OpenDiskFileForAppending(path, OPEN_EXISTING);
    ASSERT_NE(session, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CutFile(session, folder + "\\TempHTM.htm", 0));
    EXPECT_TRUE(CutFile(session, path, 4));
    CloseHandle(session);
    EXPECT_EQ(ReadFile(wide / L"TempHTM.htm"), "<HTML>\r\n");
    EXPECT_EQ(ReadFile(wideFile), "Date");
}

}  // namespace
}  // namespace rheo
