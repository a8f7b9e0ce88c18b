// The files the program writes, byte for byte (CR LF, the byte 0xBA, lone CRs kept), through the
// Windows C runtime and file API.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/Configuration.h"
#include "platform/LiveSessionFile.h"
#include "platform/NewFile.h"
#include "recording/EventLog.h"
#include "support/TempDir.h"

namespace rheo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(RecordingFilesTest, ConfigurationIsCreatedInCrLfAndReadWithItsLoneCarriageReturns) {
    TempDir dir;
    LoadConfiguration(dir.Path().string());
    EXPECT_EQ(ReadFile(dir.File("vcfg.txt")), "csv\r\n,\r\n.\r\n");
    WriteFile(dir.File("vcfg.txt"), "txt\r;\r\n\xBA\r\n");
    const Configuration read = LoadConfiguration(dir.Path().string());
    EXPECT_EQ(read.FileExtension + read.FieldSeparator + read.DecimalSeparator, "txt;\xBA");
}

TEST(RecordingFilesTest, EventLogLinesEndInCrLfAndKeepTheirBytes) {
    TempDir dir;
    FixedClock clock("05/12/2026", "14:06:11");
    EventLog log(dir.File("vlog.txt"), clock);
    log.LogEvent(EventKind::ProcessStart, "");
    log.LogEvent(EventKind::ViscosityFault, "T: 27.5\xBA\rcP: Out of Range");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:06:11 Start of process\r\n"
              "05/12/2026 14:06:11 Viscosity Error::T: 27.5\xBA\rcP: Out of Range\r\n");
}

TEST(RecordingFilesTest, NewFileReplacesWhatWasThereAndFailsWhereNoFileCanBeMade) {
    TempDir dir;
    WriteFile(dir.File("TempHTM.htm"), "an older page, longer than the new one\r\n");
    EXPECT_TRUE(WriteNewFile(dir.File("TempHTM.htm"), "\"<HTML> <\\HTML>\"\r\n"));
    EXPECT_EQ(ReadFile(dir.File("TempHTM.htm")), "\"<HTML> <\\HTML>\"\r\n");
    EXPECT_FALSE(WriteNewFile(dir.File("missing\\TempHTM.htm"), "x"));
}

TEST(RecordingFilesTest, LiveSessionFileHasEveryRowOnDiskAtOnceAndReportsFailures) {
    TempDir dir;
    const std::string path = dir.File("run1.csv"), header =
                                                       "Date,Temp [\xBA"
                                                       "C]\r\n";
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
    EXPECT_FALSE(file.WriteLine("row\r\n") || file.CommitRow());
    // The folder moved away while the session holds its file, as when a medium is pulled: the
    // row already written stays there, the reopen after it fails.
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
