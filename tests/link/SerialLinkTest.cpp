// The QSerialPort link on real pseudo-terminal pairs: bytes, line settings, exclusive use,
// reception into the engine in any pieces, the drain after a tick, and a device that vanishes.
#include <gtest/gtest.h>
#include <termios.h>

#include <string>

#include "LinkTestSupport.h"

namespace rheo::test {
namespace {

std::string Stream() {
    return Message("14:05:33") + Message("14:05:36", "50", "28.0C", "mPas: 00012500", "55.5") +
           Message("14:05:39", "0.3", "26.1F", "cP: 00000100", "0.7");
}

std::vector<Reading> ReferenceReadings(const std::string& stream) {
    Configuration configuration;
    FixedClock clock{"06/12/2026", "17:00:00"};
    EventLog log(std::nullopt, clock);
    LiveSessionFile file;
    NoMonitorView view;
    ScriptedBoxes boxes;
    Engine engine(configuration, clock, log, file, view, boxes);
    engine.Feed(stream);
    const auto& history = engine.output().History();
    return {history.ReadingSlots.begin(), history.ReadingSlots.begin() + history.HistoryIndex};
}

using SerialLink = LinkTest;

TEST_F(SerialLink, CarriesEveryByteBothWaysWithTheInstrumentsLineSettings) {
    PtyPair& pair = Pair(1);
    QtSerialLink link(store_);
    std::string received;
    link.SetNotification([&](LinkEvent kind) {
        if (kind == LinkEvent::CharactersReceived) {
            received += link.ReadAll();
        }
    });
    link.SetPortNumber(1);
    EXPECT_EQ(link.DeviceName(1).toStdString(), pair.Device());
    EXPECT_EQ(link.DeviceName(7).toStdString(), "/dev/ttyS6") << "no Port7 in the store";
    ASSERT_TRUE(link.Open());

    std::string sent;
    for (int round = 0; round < 2; ++round) {
        for (int c = 0; c < 256; ++c) {
            sent += static_cast<char>(c);
        }
    }
    ASSERT_TRUE(pair.Send(sent));
    EXPECT_TRUE(WaitUntil([&] { return received.size() >= sent.size(); }));
    EXPECT_EQ(received, sent);
    EXPECT_NE(received.find('\xBA'), std::string::npos);

    const int fd = ::open(pair.Device().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    ASSERT_EQ(::tcgetattr(fd, &settings), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetispeed(&settings), B9600);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);

    ASSERT_TRUE(link.Write("\xBA sim\r"));
    EXPECT_EQ(pair.Receive(6), "\xBA sim\r");
}

TEST_F(SerialLink, IsHeldExclusivelyWhileOpen) {
    Pair(2);
    QtSerialLink first(store_);
    QtSerialLink second(store_);
    first.SetPortNumber(2);
    second.SetPortNumber(2);
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    EXPECT_TRUE(second.Open());
}

TEST_F(SerialLink, PiecesOfAnySizeGiveTheSameReadings) {
    const std::string stream = Stream();
    const std::vector<Reading> expected = ReferenceReadings(stream);
    ASSERT_EQ(expected.size(), 3u);
    ASSERT_EQ(expected[0].Hour, "14:05:33");
    Pair(1);
    for (std::size_t piece : {1u, 5u, 500u}) {
        Station station(store_, dir_.File("vlog.txt"));
        station.selection.Abrir_Puerto(1);
        ASSERT_TRUE(station.link.IsOpen());
        station.timer.start(100);
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            ASSERT_TRUE(pairs_[0]->Send(stream.substr(at, piece)));
            Wait(2);
        }
        EXPECT_TRUE(WaitUntil([&] { return station.Readings().size() >= 3; }));
        EXPECT_EQ(station.Readings(), expected) << "pieces of " << piece;
    }
}

TEST_F(SerialLink, TailArrivingWhileTheBufferIsFullIsFedWithoutALaterArrival) {
    const std::string message = Message();
    const std::string head = message.substr(0, message.find('\r') + 1);
    const std::string tail = message.substr(head.size());
    PtyPair& pair = Pair(1);
    Station station(store_, dir_.File("vlog.txt"));
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());

    ASSERT_TRUE(pair.Send(head));
    ASSERT_TRUE(WaitUntil([&] { return station.reception.ReceiveBuffer().size() == head.size(); }));
    ASSERT_TRUE(pair.Send(tail));
    Wait(200);  // the tail's notification finds the buffer full: it stays in the port
    EXPECT_EQ(station.reception.ReceiveBuffer(), head);

    station.reception.Tick();  // feeds the head, then takes what waits in the port
    EXPECT_TRUE(station.Readings().empty());
    EXPECT_EQ(station.reception.ReceiveBuffer(), tail);
    station.reception.Tick();
    EXPECT_EQ(station.Readings(), ReferenceReadings(message));
    EXPECT_TRUE(station.reception.ReceiveBuffer().empty());
}

TEST_F(SerialLink, VanishedOtherEndClosesTheLinkOnceAndLeavesTheProcessIdle) {
    PtyPair& pair = Pair(1);
    Station station(store_, dir_.File("vlog.txt"));
    station.timer.start(100);
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());
    const std::string storeBefore = StoreText();

    pair.Kill();
    EXPECT_TRUE(WaitUntil([&] { return station.losses > 0; }, 3000));
    EXPECT_FALSE(station.link.IsOpen());
    EXPECT_EQ(station.selection.Marks(), PortMarks{});
    EXPECT_EQ(station.view.marks, PortMarks{});
    EXPECT_TRUE(station.boxes.shown.empty());
    EXPECT_EQ(StoreText(), storeBefore);
    EXPECT_EQ(StoredPort(store_), 1);

    const double before = CpuSeconds();
    Wait(1000);
    EXPECT_LT(CpuSeconds() - before, 0.25) << "the event loop spins on the dead device";
    EXPECT_EQ(station.losses, 1);

    Pair(2);  // the operator plugs in another adapter and picks it
    station.selection.Abrir_Puerto(2);
    EXPECT_TRUE(station.link.IsOpen());
    EXPECT_EQ(station.selection.Marks().buttonCaption, "Port 2");
}

}  // namespace
}  // namespace rheo::test
