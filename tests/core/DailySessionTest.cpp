// One session file a day: the day's name, a header only in a new file, the move to the next
// day's file at local midnight (a clock of the test's), and a restart on the same day.
#include "app/DailySession.h"
#include "support/Fakes.h"

namespace rheo {
namespace {

using DailySessionTest = test::EngineOnDisk;

TEST_F(DailySessionTest, EachDayHasItsFileAndARestartThatDayAppends) {
    EXPECT_EQ(DailySession::FileName("ttyUSB3", "2026-12-07", "csv"), "ttyUSB3_2026-12-07.csv");
    EXPECT_EQ(DailySession::FileName("bench 2", "2026-12-07", ""), "bench 2_2026-12-07");
    clock.SetIsoDate("2026-12-07");
    const std::string first = dir.File("visco_2026-12-07.csv"),
                      second = dir.File("visco_2026-12-08.csv");
    const Text row = "05/12/2026,14:05:33,LCP,100,27.5,,00001250,,10.2\r\n";
    {
        DailySession daily(engine, clock, dir.Path().string(), "visco", "csv");
        ASSERT_TRUE(daily.Start());
        EXPECT_EQ(engine.Session().SessionFilePath, first);
        engine.Feed(test::Message());
        EXPECT_TRUE(daily.FollowDay());  // the same day: the same file
        engine.Feed(test::Message());
        clock.SetIsoDate("2026-12-08");  // local midnight
        EXPECT_TRUE(daily.FollowDay());
        EXPECT_EQ(engine.Session().SessionFilePath, second);
        engine.Feed(test::Message());
    }
    EXPECT_EQ(test::ReadFile(first), test::kHeader + row + row);
    EXPECT_EQ(test::ReadFile(second), test::kHeader + row);

    // Started again the same day: the day's file goes on, without a second header.
    DailySession again(engine, clock, dir.Path().string(), "visco", "csv");
    ASSERT_TRUE(again.Start());
    engine.Feed(test::Message());
    EXPECT_EQ(test::ReadFile(second), test::kHeader + row + row);
    // "Start of process" once for the run of readings, across the midnight and the restart.
    EXPECT_EQ(test::ReadFile(dir.File("vlog.txt")), "05/12/2026 14:05:40 Start of process\r\n");
}

TEST_F(DailySessionTest, ANextDayFileThatCannotBeMadeEndsTheSession) {
    DailySession daily(engine, clock, dir.File("gone"), "visco", "csv");
    EXPECT_FALSE(daily.Start());  // no such folder
    EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    EXPECT_TRUE(boxes.shown.empty());  // quiet: the caller tells it

    std::filesystem::create_directory(dir.File("gone"));
    ASSERT_TRUE(daily.Start());
    std::filesystem::remove_all(dir.File("gone"));
    clock.SetIsoDate("1970-01-02");
    EXPECT_FALSE(daily.FollowDay());
    EXPECT_TRUE(engine.Session().SessionFilePath.empty());
    ASSERT_EQ(boxes.shown.size(), 1U);
    EXPECT_EQ(boxes.shown[0].text, test::kAborted);
    EXPECT_TRUE(daily.FollowDay());  // no session: nothing to move
}

}  // namespace
}  // namespace rheo
