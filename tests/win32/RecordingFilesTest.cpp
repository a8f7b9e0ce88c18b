// The files the program writes, byte for byte, through the Windows C runtime and file API.
#include <gtest/gtest.h>

#include "TempDirectory.h"
#include "app/Configuration.h"
#include "platform/LiveSessionFile.h"
#include "recording/EventLog.h"
#include "recording/ReadingOutput.h"

namespace rheo {
namespace {

using testing::FileExists;
using testing::ReadBytes;
using testing::TempDirectory;
using testing::WriteBytes;

TEST(ConfigurationFileTest, CreatedWithDefaultsInCrLfBytesAndThenOnlyRead) {
    TempDirectory dir;
    const Configuration created = LoadConfiguration(dir.Path());
    const std::string path = dir.File("vcfg.txt");
    EXPECT_EQ(ReadBytes(path), std::string("\x63\x73\x76\x0D\x0A\x2C\x0D\x0A\x2E\x0D\x0A", 11));
    EXPECT_EQ(created.FileExtension, "csv");

    WriteBytes(path, "txt\r;\r\n,\r\nignored\r\n");
    const Configuration read = LoadConfiguration(dir.Path());
    EXPECT_EQ(read.FileExtension, "txt");
    EXPECT_EQ(read.FieldSeparator, ";");
    EXPECT_EQ(read.DecimalSeparator, ",");
    EXPECT_EQ(ReadBytes(path), "txt\r;\r\n,\r\nignored\r\n");
}

TEST(EventLogFileTest, LinesEndInCrLfAndKeepTheirOwnCarriageReturns) {
    TempDirectory dir;
    const std::string path = dir.File("vlog.txt");
    FixedClock clock("05/12/2026", "14:06:11");
    EventLog log(path, clock);
    log.LogEvent(EventKind::ProcessStart, "ignored");
    log.LogEvent(EventKind::ViscosityFault, "T: 27.5C\rcP: Out of Range");
    EXPECT_EQ(ReadBytes(path),
              "05/12/2026 14:06:11 Start of process\r\n"
              "05/12/2026 14:06:11 Viscosity Error::T: 27.5C\rcP: Out of Range\r\n");

    SystemClock systemClock;
    EventLog live(path, systemClock);
    live.LogEvent(EventKind::ProcessEnd, "");
    const std::string bytes = ReadBytes(path);
    const std::string last = bytes.substr(bytes.rfind("\r\n", bytes.size() - 3) + 2);
    EXPECT_EQ(last.rfind(systemClock.DateText() + " ", 0), 0u) << last;
    EXPECT_EQ(last.substr(last.size() - 18), "End of process::\r\n");
}

class LiveSessionFileTest : public ::testing::Test {
  protected:
    TempDirectory dir_;
    std::string path_ = dir_.File("run1.csv");
    LiveSessionFile file_;
};

TEST_F(LiveSessionFileTest, NewSessionEmptiesTheFileAndEveryRowIsOnDiskAtOnce) {
    WriteBytes(path_, "old content\r\n");
    Configuration configuration;
    ASSERT_TRUE(file_.OpenForWriting(path_));
    EXPECT_EQ(ReadBytes(path_), "");

    const std::string header = HeaderLine(configuration, "C]", "cP]") + "\r\n";
    ASSERT_TRUE(file_.WriteLine(header));
    ASSERT_TRUE(file_.CommitRow());
    ASSERT_TRUE(file_.IsOpen());
    // Another program reads the file while the session holds it.
    EXPECT_EQ(ReadBytes(path_), header);
    EXPECT_NE(header.find("Temp [\xBA"
                          "C]"),
              std::string::npos);

    // A line appended by someone else between two rows is kept; the next row follows it.
    std::ofstream(path_, std::ios::binary | std::ios::app) << "note\r\n";
    ASSERT_TRUE(file_.WriteLine("row1\r\n"));
    ASSERT_TRUE(file_.CommitRow());
    ASSERT_TRUE(file_.WriteLine("row2\r\n"));
    ASSERT_TRUE(file_.CommitRow());
    file_.Close();
    EXPECT_FALSE(file_.IsOpen());
    EXPECT_EQ(ReadBytes(path_), header + "note\r\nrow1\r\nrow2\r\n");
}

TEST_F(LiveSessionFileTest, AppendingKeepsExistingRowsAndCreatesMissingFiles) {
    WriteBytes(path_, "header\r\nrow1\r\n");
    ASSERT_TRUE(file_.OpenForAppending(path_));
    ASSERT_TRUE(file_.WriteLine("row2\r\n"));
    ASSERT_TRUE(file_.CommitRow());
    file_.Close();
    EXPECT_EQ(ReadBytes(path_), "header\r\nrow1\r\nrow2\r\n");

    const std::string fresh = dir_.File("fresh.csv");
    ASSERT_TRUE(file_.OpenForAppending(fresh));  // also closes nothing left open
    EXPECT_TRUE(FileExists(fresh));
    ASSERT_TRUE(file_.WriteLine("a\r\n"));
    ASSERT_TRUE(file_.CommitRow());
    EXPECT_EQ(ReadBytes(fresh), "a\r\n");
}

TEST_F(LiveSessionFileTest, FailuresAreReported) {
    EXPECT_FALSE(file_.OpenForWriting(dir_.File("missing\\run1.csv")));
    EXPECT_FALSE(file_.OpenForAppending(dir_.File("missing\\run1.csv")));
    EXPECT_FALSE(file_.IsOpen());
    EXPECT_FALSE(file_.WriteLine("row\r\n"));
    EXPECT_FALSE(file_.CommitRow());
    file_.Close();  // nothing open: harmless

    // A device that takes no more data.
    const std::string full = "Z:\\dev\\full";
    if (FileExists(full)) {
        ASSERT_TRUE(file_.OpenForAppending(full));
        EXPECT_FALSE(file_.WriteLine("row\r\n"));
        file_.Close();
    }

    // The folder goes away while the session holds its file (a medium pulled): the row already
    // written stays in the file, the reopen after it fails.
    const std::string folder = dir_.File("stick");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(file_.OpenForWriting(folder + "\\run1.csv"));
    ASSERT_TRUE(file_.WriteLine("row\r\n"));
    if (!MoveFileA(folder.c_str(), dir_.File("moved").c_str())) {
        GTEST_SKIP() << "this system keeps a folder with open files in place";
    }
    EXPECT_FALSE(file_.CommitRow());
    EXPECT_FALSE(file_.IsOpen());
    EXPECT_EQ(ReadBytes(dir_.File("moved\\run1.csv")), "row\r\n");
}

}  // namespace
}  // namespace rheo
