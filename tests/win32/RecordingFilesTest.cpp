// The files the program writes, byte for byte (CR LF, the byte 0xBA, lone CRs kept), through the
// Windows C runtime and file API.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/ConfigurationFile.h"
#include "platform/LiveSessionFile.h"
#include "platform/NewFile.h"
#include "recording/EventLog.h"
#include "support/TempDir.h"

namespace rheo {
namespace {

using test::ReadFile;
using test::WriteFile;

TEST(RecordingFilesTest, ConfigurationEventLogAndNewFileKeepCrLfAndEveryByte) {
    test::TempDir dir;
    LoadConfiguration(dir.Path().string());
    EXPECT_EQ(ReadFile(dir.File("vcfg.txt")), "csv\r\n,\r\n.\r\n");
    WriteFile(dir.File("vcfg.txt"), "txt\r;\r\n\xBA\r\n");
    const Configuration read = LoadConfiguration(dir.Path().string());
    EXPECT_EQ(read.FileExtension + read.FieldSeparator + read.DecimalSeparator, "txt;\xBA");

    FixedClock clock("05/12/2026", "14:06:11");
    EventLog(dir.File("vlog.txt"), clock).LogEvent(EventKind::ViscosityFault, "T: 2\xBA\rcP");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:06:11 Viscosity Error::T: 2\xBA\rcP\r\n");

    WriteFile(dir.File("TempHTM.htm"), "an older page, longer than the new one\r\n");
    EXPECT_TRUE(WriteNewFile(dir.File("TempHTM.htm"), "\"<HTML> <\\HTML>\"\r\n"));
    EXPECT_EQ(ReadFile(dir.File("TempHTM.htm")), "\"<HTML> <\\HTML>\"\r\n");
    EXPECT_FALSE(WriteNewFile(dir.File("missing\\TempHTM.htm"), "x"));
}

TEST(RecordingFilesTest, LiveSessionFileHasEveryRowOnDiskAtOnceAndReportsFailures) {
    test::TempDir dir;
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
    // Its folder moved away, as a pulled medium: the row stays, the reopen fails.
    ASSERT_TRUE(CreateDirectoryA(dir.File("stick").c_str(), nullptr));
    ASSERT_TRUE(file.OpenForWriting(dir.File("stick\\run1.csv")));
    ASSERT_TRUE(file.WriteLine("row\r\n"));
    if (!MoveFileA(dir.File("stick").c_str(), dir.File("moved").c_str())) {
        GTEST_SKIP() << "this system keeps a folder with open files in place";
    }
    EXPECT_FALSE(file.CommitRow());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadFile(dir.File("moved\\run1.csv")), "row\r\n");
}

}  // namespace
}  // namespace rheo
