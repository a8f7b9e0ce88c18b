// The reading output through the whole engine: history, units, header and rows in a real
// session file, the event log, and the abandoning of a session whose file fails (on a real
// full file system: never with a torn row).
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "support/Fakes.h"

namespace rheo::test {
namespace {

using ReadingOutputTest = EngineOnDisk;
const std::string kRow = "05/12/2026,14:05:33,LCP,100,27.5,,00001250,,10.2\r\n";

TEST_F(ReadingOutputTest, HistoryRotatesThroughTwentySlotsAndNeverWritesSlot20) {
    for (int i = 10; i < 35; ++i) {  // the list from a few readings: the gui suite
        engine.Feed(Message("10:00:" + std::to_string(i)));
    }
    EXPECT_EQ(view.refreshes, 25);
    const auto rows = MonitorRows(engine.Output().History());
    ASSERT_EQ(rows.size(), 20u);
    for (int row = 0; row < 20; ++row) {
        EXPECT_EQ(rows[row]->Hour, "10:00:" + std::to_string(row + 15));
    }
    EXPECT_EQ(engine.Output().History().ReadingSlots[20], Reading{});
}

TEST_F(ReadingOutputTest, UnitAnnouncementsSetColumnCaptionsAndTheHeader) {
    OpenNewSession(engine, dir.File("run.csv"));
    // No temperature unit seen yet; then "º" ends the temperature: no unit either.
    engine.Feed(Message("10:00:00", "100", "Lw"));
    engine.Feed(Message("10:00:01", "100", "20.0\272F"));
    engine.Feed(Message("10:00:02", "100", "20.0F", "mPas: 5"));
    engine.Feed(Message("10:00:03", "100", "20.0F", "cP: Out of Range"));  // no viscosity unit
    const std::vector<std::pair<int, Text>> captions{
        {7, "Viscosity [cP]"}, {5, "Temp [\272F]"}, {7, "Viscosity [mPas]"}};
    EXPECT_EQ(view.columnCaptions, captions);
    // The header is written once, before the first row, with the units known then.
    EXPECT_EQ(ReadFile(dir.File("run.csv")),
              "Date,Hour,Spindle,RPM,Temp [\xBA,Error T,Viscosity [cP],Error V,%\r\n"
              "05/12/2026,10:00:00,LCP,100,,LOW,00001250,,10.2\r\n"
              "05/12/2026,10:00:01,LCP,100,20.0,LOW,00001250,,10.2\r\n"
              "05/12/2026,10:00:02,LCP,100,20.0,,5,,10.2\r\n"
              "05/12/2026,10:00:03,LCP,100,20.0,,0,Out of Range,10.2\r\n");
}

// Observers hear of every reading recorded, session file or not, with the units of its
// message, and of every session started.
TEST_F(ReadingOutputTest, ObserversHearOfEveryReadingWithItsUnits) {
    struct Heard : RecordingObserver {
        std::vector<std::tuple<Text, Text, Text, Text>> readings;  // date, hour, units
        std::vector<std::string> sessions;
        void ReadingRecorded(const RecordedReading& r) override {
            readings.emplace_back(r.date, r.reading.Hour, r.temperatureUnit, r.viscosityUnit);
        }
        void SessionStarted(std::string_view path) override { sessions.emplace_back(path); }
    } heard;
    engine.Output().AddObserver(heard);
    engine.Feed(Message("10:00:00", "100", "Lw"));
    OpenNewSession(engine, dir.File("run.csv"));
    engine.Feed(Message("10:00:01", "100", "20.0F", "mPas: 5"));
    const std::vector<std::tuple<Text, Text, Text, Text>> readings{
        {"05/12/2026", "10:00:00", "", "cP"}, {"05/12/2026", "10:00:01", "F", "mPas"}};
    EXPECT_EQ(heard.readings, readings);
    EXPECT_EQ(heard.sessions, std::vector<std::string>{dir.File("run.csv")});
}

// A byte its row cannot hold, where the instrument may send any (between the minutes and the
// seconds, first in the spindle and in the viscosity), drops the message: no list entry, no row,
// no "Start of process"; the next message is recorded as ever. The decimal separator is the
// decoder's, so a field separator equal to it keeps the reading.
TEST_F(ReadingOutputTest, AByteTheRowCannotHoldDropsTheMessageWhole) {
    const std::string session = dir.File("run.csv"), events = dir.File("vlog.txt");
    OpenNewSession(engine, session);
    engine.Feed(Message());  // the header
    const auto state = [&] {
        return std::tuple(view.refreshes, ReadFile(session), ReadFile(events));
    };
    const auto texts = [](int place, char byte) {  // hour, spindle, viscosity
        const std::string b(1, byte);
        return std::array{place == 0 ? "14:05" + b + "33" : "14:05:33",
                          (place == 1 ? b : "") + "LCP", (place == 2 ? b : "") + "00001250"};
    };
    const auto row = [&](int place, char byte) {
        const auto [hour, spindle, viscosity] = texts(place, byte);
        const Text &s = configuration.FieldSeparator, &d = configuration.DecimalSeparator;
        return "05/12/2026" + s + hour + s + spindle + s + "100" + s + "27" + d + "5" + s + s +
               viscosity + s + s + "10" + d + "2\r\n";
    };
    const struct {
        const char *field, *decimal;
        std::string bytes;
        bool kept;
    } cases[] = {{",", ".", {',', '\n', '\r', '\0', '\x7F', '"'}, false},
                 {";", ",", ";", false},
                 {".", ",", ".", false},
                 {";", ",", ",", true},
                 {",", ",", "_", true},
                 {".", ",", "_", true}};
    for (const auto& c : cases) {
        configuration.FieldSeparator = c.field;
        configuration.DecimalSeparator = c.decimal;
        for (const char byte : c.bytes) {
            for (const int place : {0, 1, 2}) {
                SCOPED_TRACE(testing::Message() << c.field << " " << int(byte) << " " << place);
                const auto [hour, spindle, viscosity] = texts(place, byte);
                engine.Session().ProcessStarted = false;
                const auto before = state();
                engine.Feed(hour + "   sp: " + spindle +
                            "    rpm: 100   T: 27.5C\rcP: " + viscosity + "\r %: 10.2\r");
                if (!c.kept) {
                    EXPECT_EQ(state(), before);
                }
                engine.Feed(Message());
                EXPECT_EQ(
                    state(),
                    std::tuple(std::get<0>(before) + (c.kept ? 2 : 1),
                               std::get<1>(before) + (c.kept ? row(place, byte) : "") + row(-1, 0),
                               std::get<2>(before) + "05/12/2026 14:05:40 Start of process\r\n"));
            }
        }
    }
}

// The session's file is the one chosen, even through a link the operator chose. Once its name
// leads elsewhere (the file moved away and a link to another file put in its place) or nowhere
// (its folder renamed and made again, or pulled with its medium), the session ends after the
// next row's message: the operator is told, the reading stays listed, nothing is written to the
// other file and no new, headerless file is made; what follows is only listed.
TEST_F(ReadingOutputTest, ASessionFileSwappedOrRemovedUnderItsNameEndsTheSession) {
    const std::string d = dir.Path().string();
    const auto shell = [&](const std::string& commands) {
        ASSERT_EQ(std::system(("cd " + d + " && " + commands).c_str()), 0) << commands;
    };
    struct Case {
        const char *opened, *swap, *kept, *underTheName;
    };
    for (const Case c :
         {Case{"run.csv", "mv shared/data.csv moved.csv && ln -s ../notes.txt shared/data.csv",
               "moved.csv", "my notes\n"},
          Case{"run.csv", "mv shared old && mkdir shared", "old/data.csv", "none"},
          Case{"data.csv", "ln shared/data.csv kept.csv && rm -rf shared", "kept.csv", "none"}}) {
        shell(
            "rm -rf shared old && mkdir shared && ln -s data.csv shared/run.csv && "
            "printf 'my notes\\n' >notes.txt");
        OpenNewSession(engine, d + "/shared/" + c.opened);  // run.csv: the operator's own link
        engine.Feed(Message() + Message());
        const std::string rows = ReadFile(d + "/shared/data.csv");
        shell(c.swap);
        const std::size_t shown = boxes.shown.size();
        const int listed = engine.Output().History().HistoryIndex;
        engine.Feed(Message() + Message());  // the first still reaches the file kept open
        EXPECT_TRUE(rows.ends_with(kRow + kRow)) << rows;
        EXPECT_EQ(engine.Session().SessionFilePath, "");
        ASSERT_EQ(boxes.shown.size(), shown + 1);
        EXPECT_EQ(boxes.shown.back().text, kAborted);
        EXPECT_EQ(boxes.shown.back().icon, MessageIcon::Critical);
        EXPECT_EQ(view.caption, "Incoming data - No file selected");
        EXPECT_EQ(engine.Output().History().HistoryIndex, listed + 2);
        EXPECT_EQ(ReadFile(d + "/" + c.kept), rows + kRow);
        const std::string name = d + "/shared/run.csv";  // the link, or nothing
        EXPECT_EQ(std::filesystem::exists(name) ? ReadFile(name) : "none", c.underTheName);
        EXPECT_EQ(ReadFile(d + "/notes.txt"), "my notes\n");
    }
    const std::string run = "05/12/2026 14:05:40 Start of process\r\n",
                      end = "05/12/2026 14:05:40 End of process::\r\n";
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")), run + end + run + end + run + end + run);
}

// A full disk (a 64 KiB file system, mounted as root): the row that does not fit is taken back,
// the session ends as for any failed write, and once room is made the file takes whole rows.
TEST_F(ReadingOutputTest, FullDiskTakesBackTheTornRowAndTakesTheFailurePath) {
    const auto disk = dir.Path() / "disk";
    std::filesystem::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    }
    const std::string filler = (disk / "filler").string(), path = (disk / "run.csv").string();
    WriteFile(filler, std::string(32 * 1024, 'x'));
    OpenNewSession(engine, path);
    for (int i = 0; i < 3000 && boxes.shown.empty(); ++i) {
        engine.Feed(Message());
    }
    const std::string full = ReadFile(path);
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(engine.Session().SessionFilePath, "");
    EXPECT_GT(full.size(), 20000u);
    EXPECT_EQ(full.substr(full.rfind('\n', full.size() - 2) + 1), kRow);

    std::filesystem::remove(filler);
    EXPECT_TRUE(engine.StartSession(path, SessionStart::Append));
    engine.Feed(Message("10:50:00"));
    EXPECT_EQ(ReadFile(path), full + "05/12/2026,10:50:00,LCP,100,27.5,,00001250,,10.2\r\n");
    ::umount2(disk.c_str(), MNT_DETACH);
}

// Beside the golden capture's lines: a start line without its text, and the overflow line.
TEST(EventLogTest, StartLineWithoutItsTextAndOverflowLine) {
    TempDir dir;
    FixedClock clock("05/12/2026", "14:06:11");
    EventLog log(dir.File("vlog.txt"), clock);
    log.LogEvent(EventKind::ProcessStart, "ignored");
    log.LogEvent(EventKind::TemperatureOverflow, "y");
    EXPECT_EQ(ReadFile(dir.File("vlog.txt")),
              "05/12/2026 14:06:11 Start of process\r\n"
              "05/12/2026 14:06:11 Temperature overflow::y\r\n");
}

// A log that cannot be written (no folder; a FIFO or a device is not even tried) skips the line
// and says so, which is not the caller's problem; a log without a file says nothing.
TEST(EventLogTest, AnUnwritableLogSkipsTheLine) {
    TempDir dir;
    FixedClock clock("05/12/2026", "14:06:11");
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir.File("null"));
    for (const char* name : {"missing/vlog.txt", "fifo", "null"}) {
        testing::internal::CaptureStderr();
        EventLog(dir.File(name), clock).LogEvent(EventKind::ProcessStart, "");
        EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot write"), std::string::npos);
    }
    testing::internal::CaptureStderr();
    EventLog(std::nullopt, clock).LogEvent(EventKind::ProcessStart, "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace rheo::test
