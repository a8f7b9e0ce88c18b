// The QSerialPort link on real pseudo-terminal pairs: every byte, the line settings and
// exclusive use; reception into the engine in any pieces, the drain after a tick, and an other
// end that goes away.
#include <gtest/gtest.h>
#include <termios.h>

#include <ctime>
#include <string>

#include "LinkTestSupport.h"

namespace rheo::test {
namespace {

using SerialLink = LinkTest;

TEST_F(SerialLink, CarriesEveryByteBothWaysWithTheLineSettingsAndIsHeldExclusively) {
    PtyPair& pair = Pair(1);
    QtSerialLink link(MappedDevices(store_));
    QtSerialLink second(MappedDevices(store_));
    EXPECT_EQ(link.DeviceName(7).toStdString(), "/dev/ttyS6") << "no Port7 in the store";
    link.SetPortNumber(1);
    second.SetPortNumber(1);
    ASSERT_TRUE(link.Open());
    EXPECT_FALSE(second.Open());

    std::string sent;  // 0x00-0xFF twice, 0xBA among them
    for (int c = 0; c < 512; ++c) {
        sent += static_cast<char>(c & 0xFF);
    }
    ASSERT_TRUE(pair.Send(sent));
    std::string received;
    EXPECT_TRUE(WaitUntil([&] { return (received += link.ReadAll()).size() >= sent.size(); }));
    EXPECT_EQ(received, sent);

    const int fd = ::open(pair.device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    ASSERT_EQ(::tcgetattr(fd, &settings), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetispeed(&settings), B9600);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), 0u);

    ASSERT_TRUE(link.Write("\xBA sim\r"));
    std::string back;
    EXPECT_TRUE(WaitUntil([&] { return (back += pair.Receive()).size() >= 6; }));
    EXPECT_EQ(back, "\xBA sim\r");

    link.Close();
    EXPECT_TRUE(second.Open());
}

TEST_F(SerialLink, PiecesOfAnySizeGiveTheSameReadings) {
    const std::string stream = Message("14:05:33") +
                               Message("14:05:36", "50", "28.0C", "mPas: 00012500", "55.5") +
                               Message("14:05:39", "0.3", "26.1F", "cP: 00000100", "0.7");
    const std::vector<Reading> expected = Decoded(stream);
    ASSERT_EQ(expected.size(), 3u);
    PtyPair& pair = Pair(1);
    for (std::size_t piece : {1u, 5u, 500u}) {
        Station station(store_, dir_.File("vlog.txt"));
        station.selection.Abrir_Puerto(1);
        ASSERT_TRUE(station.link.IsOpen());
        station.timer.start(100);
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            ASSERT_TRUE(pair.Send(stream.substr(at, piece)));
            Wait(2);
        }
        EXPECT_TRUE(WaitUntil([&] { return station.Readings().size() >= 3; }));
        EXPECT_EQ(station.Readings(), expected) << "pieces of " << piece;
    }
}

TEST_F(SerialLink, DrainsTheTailWithoutALaterArrivalAndIdlesWhenTheOtherEndVanishes) {
    const std::string message = Message();
    const std::string head = message.substr(0, message.find('\r') + 1);
    PtyPair& pair = Pair(1);
    Station station(store_, dir_.File("vlog.txt"));
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());
    const std::string storeBefore = StoreText();

    ASSERT_TRUE(pair.Send(head));
    ASSERT_TRUE(WaitUntil([&] { return station.reception.ReceiveBuffer().size() == head.size(); }));
    ASSERT_TRUE(pair.Send(message.substr(head.size())));
    Wait(200);  // the tail's notification finds the buffer full: it stays in the port
    EXPECT_EQ(station.reception.ReceiveBuffer(), head);
    station.reception.Tick();  // feeds the head, then takes what waits in the port
    EXPECT_TRUE(station.Readings().empty());
    EXPECT_EQ(station.reception.ReceiveBuffer(), message.substr(head.size()));
    station.reception.Tick();
    EXPECT_EQ(station.Readings(), Decoded(message));
    EXPECT_TRUE(station.reception.ReceiveBuffer().empty());

    station.timer.start(100);
    pair.Kill();
    EXPECT_TRUE(WaitUntil([&] { return station.losses > 0; }, 3000));
    EXPECT_FALSE(station.link.IsOpen());
    EXPECT_EQ(station.view.marks, PortMarks{});
    EXPECT_TRUE(station.boxes.shown.empty());
    EXPECT_EQ(StoreText(), storeBefore);
    const std::clock_t before = std::clock();  // CPU time of the whole process
    Wait(1000);
    EXPECT_LT(static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC, 0.25)
        << "the event loop spins on the dead device";
    EXPECT_EQ(station.losses, 1);

    Pair(2);  // the operator plugs in another adapter and picks it
    station.selection.Abrir_Puerto(2);
    EXPECT_TRUE(station.link.IsOpen());
    EXPECT_EQ(station.view.marks.buttonCaption, "Port 2");
}

}  // namespace
}  // namespace rheo::test
