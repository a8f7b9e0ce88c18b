// Abrir_Puerto on real pseudo-terminals: the toolbar's port marks through a run of openings,
// the failure path for missing and busy devices, and the stored port.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <string>

#include "LinkTestSupport.h"

namespace rheo::test {
namespace {

PortMarks Marked(int open) {
    PortMarks marks;
    marks.buttonCaption = "Port " + std::to_string(open);
    marks.entries[open - 1] = {"> Port " + std::to_string(open), false};
    return marks;
}

void ExpectFailureMessage(const ScriptedBoxes& boxes, int port) {
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "Error opening port" + std::to_string(port) + ", check the port is free");
    EXPECT_EQ(boxes.shown[0].title, "RHEOTRACKPANEL");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
}

using PortSelectionOnPtys = LinkTest;

TEST_F(PortSelectionOnPtys, MarksFollowARunOfOpenings) {
    Pair(1);
    Pair(2);
    Pair(3);
    Station station(store_, dir_.File("vlog.txt"));
    QtSerialLink& link = station.link;

    station.selection.Abrir_Puerto(3);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(station.view.marks, Marked(3));
    EXPECT_EQ(StoredPort(store_), 3);

    station.selection.Abrir_Puerto(1);
    EXPECT_EQ(station.view.marks, Marked(1)) << "entry 3 back to \"Port 3\", enabled";
    EXPECT_EQ(StoredPort(store_), 1);

    pid_t holder = HoldPortInOtherProcess(2);
    ASSERT_GT(holder, 0);
    station.selection.Abrir_Puerto(2);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.PortNumber(), 2);
    EXPECT_EQ(station.view.marks, PortMarks{});
    ExpectFailureMessage(station.boxes, 2);
    EXPECT_EQ(StoredPort(store_), 1);
    {
        QtSerialLink other(store_);  // port 1 was closed and stays closed: it is free
        other.SetPortNumber(1);
        EXPECT_TRUE(other.Open());
    }
    Stop(holder);

    station.selection.Abrir_Puerto(2);
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(station.view.marks, Marked(2));
    StorePort(store_, 9);
    station.selection.Abrir_Puerto(2);  // the menu item of the port already open
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(station.view.marks, Marked(2));
    EXPECT_EQ(StoredPort(store_), 2) << "stored again";
    EXPECT_EQ(station.boxes.shown.size(), 1u);
}

TEST_F(PortSelectionOnPtys, StoredSixthPortOpensWithoutMarks) {
    Pair(6);
    Pair(2);
    SetText(kPortValueName, "6");  // written by hand
    Station station(store_, dir_.File("vlog.txt"));

    station.selection.Abrir_Puerto(static_cast<std::uint8_t>(StoredPort(store_)));
    EXPECT_TRUE(station.link.IsOpen());
    EXPECT_EQ(station.selection.Marks(), PortMarks{});
    EXPECT_EQ(ReadSetting(store_, kHkeyLocalMachine, kSettingsKeyPath, kPortValueName),
              SettingValue{std::int32_t{6}})
        << "stored again, as a 32-bit number";

    station.selection.Abrir_Puerto(2);
    EXPECT_TRUE(station.link.IsOpen());
    EXPECT_EQ(station.view.marks, Marked(2));
    EXPECT_EQ(StoredPort(store_), 2);
    EXPECT_TRUE(station.boxes.shown.empty());
}

TEST_F(PortSelectionOnPtys, MissingAndLockedDevicesTakeTheFailurePath) {
    Pair(1);
    MapPort(3, dir_.File("no-such-device"));
    PtyPair& locked = Pair(4);
    // Another program that locks the device itself rather than with a lock file.
    pid_t locker = Spawn({"flock", locked.Device(), "sleep", "60"});
    ASSERT_TRUE(WaitUntil([&] {
        const int fd = ::open(locked.Device().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return busy;
    }));
    Station station(store_, dir_.File("vlog.txt"));
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());

    station.selection.Abrir_Puerto(3);
    EXPECT_FALSE(station.link.IsOpen());
    EXPECT_EQ(station.view.marks, PortMarks{});
    ExpectFailureMessage(station.boxes, 3);
    EXPECT_EQ(StoredPort(store_), 1);

    station.boxes.shown.clear();
    station.selection.Abrir_Puerto(4);
    EXPECT_FALSE(station.link.IsOpen());
    ExpectFailureMessage(station.boxes, 4);
    EXPECT_EQ(StoredPort(store_), 1);
    Stop(locker);
}

TEST_F(PortSelectionOnPtys, StoreThatCannotBeWrittenIsSilent) {
    Pair(1);
    StorePort(store_, 2);
    const std::string before = StoreText();
    Station station(store_, dir_.File("vlog.txt"));

    // The file system lets no file grow past 300 bytes, as when the disk is nearly full: room
    // for the port's lock file, none for the store.
    ASSERT_GT(before.size(), 300u);
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 300;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    station.selection.Abrir_Puerto(1);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(station.link.IsOpen());
    EXPECT_EQ(station.view.marks, Marked(1));
    EXPECT_TRUE(station.boxes.shown.empty());
    EXPECT_EQ(StoreText(), before);
    EXPECT_EQ(StoredPort(store_), 2);
}

}  // namespace
}  // namespace rheo::test
