// Abrir_Puerto on real pseudo-terminals: the toolbar's port marks and the stored port through a
// run of openings and failures (a missing device, one locked by another process, a store that
// cannot be written).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
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
    Put(store_, "Note", kRegSz,
        std::string(200, '-') + '\0');  // a store larger than the limit below
    // Port 5 as another program holds it: a lock on the device itself rather than a lock file.
    const int locker = ::open(pairs_[3]->device.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(::flock(locker, LOCK_EX), 0);
    Station station(store_, portMap_, dir_.File("vlog.txt"));
    const struct {
        int port;
        bool opens;
    } steps[] = {{6, true}, {2, true}, {2, true}, {4, false}, {3, true}, {1, true}, {5, false}};
    for (const auto& step : steps) {
        StorePort(store_, 9);
        station.selection.Abrir_Puerto(static_cast<std::uint8_t>(step.port));
        EXPECT_EQ(station.link.IsOpen(), step.opens) << step.port;
        EXPECT_EQ(station.link.PortNumber(), step.port);
        // No marks for a port that failed, nor for one beyond the fourth.
        EXPECT_EQ(station.view.marks,
                  step.opens && step.port <= 4 ? OpenMarks(step.port) : PortMarks{})
            << step.port;
        EXPECT_EQ(Read(), SettingValue{std::int32_t{step.opens ? step.port : 9}});
        if (!step.opens) {
            EXPECT_EQ(
                station.boxes.shown.back().text,
                "Error opening port" + std::to_string(step.port) + ", check the port is free");
        }
    }
    EXPECT_EQ(station.boxes.shown.size(), 2u);
    QtSerialLink other(portMap_.Devices());  // port 1 was closed and stays closed: it is free
    other.SetPortNumber(1);
    EXPECT_TRUE(other.Open());

    // No file may grow past 250 bytes, as on a nearly full disk: room for the port's lock file,
    // none for the store. The opening goes ahead; the store is left whole, and nothing is said.
    const std::string before = StoreText();
    ASSERT_GT(before.size(), 250u);
    ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t usual = std::exchange(limit.rlim_cur, 250);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    station.selection.Abrir_Puerto(3);
    limit.rlim_cur = usual;
    ::setrlimit(RLIMIT_FSIZE, &limit);
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
