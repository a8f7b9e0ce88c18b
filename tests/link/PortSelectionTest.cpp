// Abrir_Puerto on real pseudo-terminals: the toolbar's port marks and the stored port through a
// run of openings and failures (a missing device, one locked by another process, a store that
// cannot be written).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "LinkTestSupport.h"

namespace rheo::test {
namespace {

using PortSelectionOnPtys = LinkTest;

TEST_F(PortSelectionOnPtys, MarksAndStoreFollowARunOfOpeningsAndFailures) {
    for (int port : {1, 2, 3, 5, 6}) {
        Pair(port);
    }
    MapPort(4, dir_.File("no-such-device"));
    QProcess locker;  // another program, that locks the device itself rather than by a lock file
    locker.start("sh", {"-c", "exec 3<\"$0\" && flock 3 && echo locked && exec sleep 60",
                        QString::fromStdString(pairs_[3]->device)});
    ASSERT_TRUE(locker.waitForReadyRead(5000));
    Station station(store_, dir_.File("vlog.txt"));
    const struct {
        int port;
        bool opens;
    } steps[] = {{6, true}, {2, true}, {2, true}, {4, false}, {3, true}, {1, true}, {5, false}};
    for (const auto& step : steps) {
        StorePort(store_, 9);
        station.selection.Abrir_Puerto(static_cast<std::uint8_t>(step.port));
        EXPECT_EQ(station.link.IsOpen(), step.opens) << step.port;
        EXPECT_EQ(station.link.PortNumber(), step.port);
        PortMarks marks;  // none for a port that failed, nor for one beyond the fourth
        if (step.opens && step.port <= 4) {
            marks.buttonCaption = "Port " + std::to_string(step.port);
            marks.entries[step.port - 1] = {"> Port " + std::to_string(step.port), false};
        }
        EXPECT_EQ(station.view.marks, marks) << step.port;
        EXPECT_EQ(Read(), SettingValue{std::int32_t{step.opens ? step.port : 9}});
        if (!step.opens) {
            EXPECT_EQ(
                station.boxes.shown.back().text,
                "Error opening port" + std::to_string(step.port) + ", check the port is free");
        }
    }
    EXPECT_EQ(station.boxes.shown.size(), 2u);
    QtSerialLink other(MappedDevices(store_));  // port 1 was closed and stays closed: it is free
    other.SetPortNumber(1);
    EXPECT_TRUE(other.Open());

    // No file may grow past 250 bytes, as on a nearly full disk: room for the port's lock file,
    // none for the store. The opening goes ahead; the store is left whole, and nothing is said.
    const std::string before = StoreText();
    ASSERT_GT(before.size(), 250u);
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 250;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    station.selection.Abrir_Puerto(3);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(station.link.IsOpen());
    EXPECT_EQ(station.boxes.shown.size(), 2u);
    EXPECT_EQ(StoreText(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path() / "rheotrackpanel"),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left behind";
}

}  // namespace
}  // namespace rheo::test
