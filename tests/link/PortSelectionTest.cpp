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

PortMarks Marked(int open) {
    PortMarks marks;
    marks.buttonCaption = "Port " + std::to_string(open);
    marks.entries[open - 1] = {"> Port " + std::to_string(open), false};
    return marks;
}

using PortSelectionOnPtys = LinkTest;

TEST_F(PortSelectionOnPtys, MarksAndStoreFollowARunOfOpeningsAndFailures) {
    Pair(1);
    PtyPair& busy = Pair(2);
    Pair(3);
    Pair(6);
    MapPort(4, dir_.File("no-such-device"));
    SetText(kPortValueName, "6");  // written by hand
    Station station(store_, dir_.File("vlog.txt"));
    QtSerialLink& link = station.link;
    const auto failed = [&](int port) {
        EXPECT_FALSE(link.IsOpen());
        EXPECT_EQ(link.PortNumber(), port);
        EXPECT_EQ(station.view.marks, PortMarks{});
        ASSERT_FALSE(station.boxes.shown.empty());
        ExpectBox(station.boxes.shown.back(),
                  "Error opening port" + std::to_string(port) + ", check the port is free");
    };

    station.selection.Abrir_Puerto(static_cast<std::uint8_t>(StoredPort(store_)));
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(station.selection.Marks(), PortMarks{}) << "port 6 has no mark";
    EXPECT_EQ(Read(), SettingValue{std::int32_t{6}}) << "stored again, as a 32-bit number";

    station.selection.Abrir_Puerto(2);
    EXPECT_EQ(station.view.marks, Marked(2));
    StorePort(store_, 9);
    station.selection.Abrir_Puerto(2);  // the menu item of the port already open
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(station.view.marks, Marked(2));
    EXPECT_EQ(StoredPort(store_), 2) << "stored again";

    station.selection.Abrir_Puerto(4);
    failed(4);
    EXPECT_EQ(StoredPort(store_), 2);

    station.selection.Abrir_Puerto(3);
    EXPECT_EQ(station.view.marks, Marked(3));
    station.selection.Abrir_Puerto(1);
    EXPECT_EQ(station.view.marks, Marked(1)) << "entry 3 back to \"Port 3\", enabled";
    EXPECT_EQ(StoredPort(store_), 1);

    QProcess locker;  // another program, that locks the device itself rather than with a lock file
    locker.start("sh", {"-c", "exec 3<\"$0\" && flock 3 && echo locked && exec sleep 60",
                        QString::fromStdString(busy.device)});
    ASSERT_TRUE(locker.waitForReadyRead(5000));
    station.selection.Abrir_Puerto(2);
    locker.kill();
    locker.waitForFinished();
    failed(2);
    EXPECT_EQ(StoredPort(store_), 1);
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
    EXPECT_TRUE(link.IsOpen());
    EXPECT_EQ(station.view.marks, Marked(3));
    EXPECT_EQ(station.boxes.shown.size(), 2u);
    EXPECT_EQ(StoreText(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path() / "rheotrackpanel"),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left behind";
}

}  // namespace
}  // namespace rheo::test
