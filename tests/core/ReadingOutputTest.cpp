// The reading output through the whole engine: history, units, header and rows in a real
// session file, the event log, and the abandoning of a session whose file fails (on a real
// full file system: never with a torn row).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "TestSupport.h"
#include "app/Engine.h"
#include "platform/LiveSessionFile.h"

namespace rheo {
namespace {

using test::Message;
using test::ReadFile;

class ReadingOutputTest : public test::EngineOnDisk {
  protected:
    // A new session on the given path, as the new-session command leaves it.
    void OpenNewSession(const std::string& path) {
        ASSERT_TRUE(file.OpenForWriting(path));
        engine.Session().SessionFilePath = path;
        engine.Session().HeaderPending = true;
    }
    void Readings(int count, int first = 0) {
        for (int i = first; i < first + count; ++i) {
            char hour[16];
            std::snprintf(hour, sizeof hour, "10:%02d:%02d", (i / 60) % 60, i % 60);
            engine.Feed(Message(hour));
        }
    }
};

TEST_F(ReadingOutputTest, HistoryRotatesThroughTwentySlotsAndNeverWritesSlot20) {
    const ReadingHistory& history = engine.Output().History();
    Readings(1);
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_EQ(history.HistoryIndex, 1);
    auto rows = MonitorRows(history);
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[0]->Hour, "10:00:00");
    EXPECT_EQ(*rows[1], Reading{});

    Readings(19, 1);
    EXPECT_TRUE(history.HistoryWrapped);
    EXPECT_EQ(history.HistoryIndex, 0);
    rows = MonitorRows(history);
    EXPECT_EQ(rows.front()->Hour, "10:00:00");
    EXPECT_EQ(rows.back()->Hour, "10:00:19");

    Readings(5, 20);  // 25 readings: slots 5..19 then 0..4
    EXPECT_EQ(history.HistoryIndex, 5);
    rows = MonitorRows(history);
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows.front()->Hour, "10:00:05");
    EXPECT_EQ(rows[14]->Hour, "10:00:19");
    EXPECT_EQ(rows[15]->Hour, "10:00:20");
    EXPECT_EQ(rows.back()->Hour, "10:00:24");
    EXPECT_EQ(history.ReadingSlots[20], Reading{});
}

TEST_F(ReadingOutputTest, UnitAnnouncementsSetColumnCaptionsAndTheHeader) {
    OpenNewSession(dir.File("run.csv"));
    engine.Feed(Message("10:00:00", "100", "Lw"));  // no temperature unit seen yet
    ASSERT_EQ(view.columnCaptions.size(), 1u);
    EXPECT_EQ(view.columnCaptions[0], (std::pair<int, Text>{7, "Viscosity [cP]"}));
    engine.Feed(Message("10:00:01", "100", "20.0F", "mPas: 5"));
    EXPECT_EQ(view.columnCaptions[1], (std::pair<int, Text>{5,
                                                            "Temp [\xBA"
                                                            "F]"}));
    EXPECT_EQ(view.columnCaptions[2], (std::pair<int, Text>{7, "Viscosity [mPas]"}));
    // The header is written once, before the first row, with the units known then.
    EXPECT_EQ(ReadFile(dir.File("run.csv")),
              "Date,Hour,Spindle,RPM,Temp [\xBA,Error T,Viscosity [cP],Error V,%\r\n"
              "05/12/2026,10:00:00,LCP,100,,LOW,00001250,,10.2\r\n"
              "05/12/2026,10:00:01,LCP,100,20.0,,5,,10.2\r\n");
}

TEST_F(ReadingOutputTest, StartOfProcessIsLoggedOncePerRun) {
    Readings(3);  // no session: listed and logged, no file touched
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")), "05/12/2026 14:05:40 Start of process\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(ReadingOutputTest, RemovedDirectoryAbandonsTheSessionAfterTheMessage) {
    const auto sub = dir.Path() / "medium";
    std::filesystem::create_directory(sub);
    const std::string path = (sub / "run.csv").string();
    OpenNewSession(path);
    Readings(1);
    const std::string firstRow = ReadFile(path);
    EXPECT_NE(firstRow.find("10:00:00"), std::string::npos);
    std::filesystem::remove_all(sub);  // the medium is pulled

    // While the message waits for the user, the engine refuses to run again.
    bool refused = false;
    boxes.whileShown = [&] { refused = !engine.Feed(Message("11:00:00")); };
    Readings(1, 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(refused);
    EXPECT_EQ(boxes.shown[0].text, "Cannot access file. Process aborted");
    EXPECT_EQ(boxes.shown[0].title, "RHEOTRACKPANEL");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    EXPECT_FALSE(engine.Session().ProcessStarted);
    EXPECT_EQ(view.caption, "Incoming data - No file selected");
    EXPECT_EQ(engine.Output().History().HistoryIndex, 2);  // the reading stays listed

    // The next reading is only listed, and starts a new run in the log.
    boxes.whileShown = nullptr;
    Readings(1, 2);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:05:40 Start of process\r\n"
              "05/12/2026 14:05:40 End of process::\r\n"
              "05/12/2026 14:05:40 Start of process\r\n");
}

// Every line of a session file is whole: a row ended by CR LF with its nine fields.
::testing::AssertionResult WholeRows(const std::string& text) {
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        if (std::count(text.begin() + start, text.begin() + end, ',') != 8) {
            return ::testing::AssertionFailure()
                   << "torn line: " << text.substr(start, end - start);
        }
    }
    if (start != text.size()) {
        return ::testing::AssertionFailure() << "torn last line: " << text.substr(start);
    }
    return ::testing::AssertionSuccess();
}

// A full disk (a 64 KiB file system, mounted as root): the row that does not fit is taken back,
// the session ends as for any failed write, and once room is made a session opened again on
// the file appends whole rows after whole rows.
TEST_F(ReadingOutputTest, FullDiskTakesBackTheTornRowAndTakesTheFailurePath) {
    const auto disk = dir.Path() / "disk";
    std::filesystem::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    }
    const std::unique_ptr<const char, void (*)(const char*)> unmount(
        disk.c_str(), [](const char* path) { ::umount2(path, MNT_DETACH); });
    const std::string filler = (disk / "filler").string();
    test::WriteFile(filler, std::string(32 * 1024, 'x'));
    const std::string path = (disk / "run.csv").string();
    OpenNewSession(path);
    for (int i = 0; i < 3000 && boxes.shown.empty(); ++i) {
        Readings(1, i);
    }
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot access file. Process aborted");
    EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    EXPECT_FALSE(file.IsOpen());
    const std::string full = ReadFile(path);
    EXPECT_GT(full.size(), 20000u);
    EXPECT_TRUE(WholeRows(full));

    std::filesystem::remove(filler);
    ASSERT_TRUE(file.OpenForAppending(path));
    engine.Session().SessionFilePath = path;
    Readings(1, 3000);
    EXPECT_EQ(ReadFile(path), full + "05/12/2026,10:50:00,LCP,100,27.5,,00001250,,10.2\r\n");
}

TEST(EventLogTest, LinesCarryDateTimeKindAndRawTextAndDiscardWithoutFile) {
    test::TempDir dir;
    FixedClock clock("05/12/2026", "14:06:11");
    EventLog log(dir.File("vlog.txt"), clock);
    log.LogEvent(EventKind::ProcessStart, "ignored");
    log.LogEvent(EventKind::ViscosityFault, "14:06:10 T: 27.5C\rcP: Out of Range");
    log.LogEvent(EventKind::TemperatureSensorFault, "x");
    log.LogEvent(EventKind::TemperatureOverflow, "y");
    log.LogEvent(EventKind::TemperatureUnderflow, "z");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:06:11 Start of process\r\n"
              "05/12/2026 14:06:11 Viscosity Error::14:06:10 T: 27.5C\rcP: Out of Range\r\n"
              "05/12/2026 14:06:11 Temperature sensor Err::x\r\n"
              "05/12/2026 14:06:11 Temperature overflow::y\r\n"
              "05/12/2026 14:06:11 Temperature underflow::z\r\n");

    // A log that cannot be written is not the caller's problem.
    EventLog broken(dir.File("missing/vlog.txt"), clock);
    testing::internal::CaptureStderr();
    broken.LogEvent(EventKind::ProcessStart, "");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write"), std::string::npos);
    EventLog none(std::nullopt, clock);
    none.LogEvent(EventKind::ProcessStart, "");

    // Nor is a FIFO or a device in its place: the line is skipped at once.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir.File("null"));
    for (const char* name : {"fifo", "null"}) {
        EventLog special(dir.File(name), clock);
        testing::internal::CaptureStderr();
        special.LogEvent(EventKind::ProcessStart, "");
        EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write"), std::string::npos);
    }
}

}  // namespace
}  // namespace rheo
