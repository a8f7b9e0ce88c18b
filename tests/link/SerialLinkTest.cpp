// The QSerialPort link on socat pseudo-terminal pairs: every byte, the line settings and
// exclusive use; a session through a pulled adapter. (The receive tick's
// rules without a port: LinkDecisionsTest.)
#include <gtest/gtest.h>
#include <termios.h>

#include <algorithm>
#include <numeric>
#include <string>

#include "LinkTestSupport.h"

namespace rheo::test {
namespace {

using SerialLink = LinkTest;

TEST_F(SerialLink, CarriesEveryByteBothWaysWithTheLineSettingsAndIsHeldExclusively) {
    PtyPair& pair = Pair(1);
    QtSerialLink link(portMap_.Devices());
    QtSerialLink second(portMap_.Devices());
    EXPECT_EQ(link.DeviceName(7).toStdString(), "/dev/ttyS6") << "no Port7 in the store";
    link.SetPortNumber(1);
    second.SetPortNumber(1);
    ASSERT_TRUE(link.Open());
    EXPECT_FALSE(second.Open());

    std::string sent(512, '\0');  // 0x00-0xFF twice
    std::iota(sent.begin(), sent.end(), '\0');
    ASSERT_TRUE(pair.Send(sent));
    std::string received;
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return (received += link.ReadAll()).size() >= sent.size(); }));
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return (back += pair.Receive()).size() >= 6; }));
    EXPECT_EQ(back, "\xBA sim\r");
    link.Close();
    EXPECT_TRUE(second.Open());
}

// A session on a real line: the adapter pulled is reported once and quietly, and plugged in
// again under the same name its port opens by itself and the readings go on into the same file.
// (An endless field: DecoderTest.)
TEST_F(SerialLink, ASessionOutlivesAPulledAdapter) {
    PtyPair* pair = &Pair(1);
    Station station(store_, portMap_, dir_.File("vlog.txt"));
    const std::string session = dir_.File("run.csv");
    OpenNewSession(station.engine, session);
    station.selection.Abrir_Puerto(1);
    station.timer.start(100);
    const auto rows = [&](const std::string& last) {
        const std::string content = ReadFile(session);
        return content.find(last) == std::string::npos
                   ? -1
                   : std::count(content.begin(), content.end(), '\n');
    };
    ASSERT_TRUE(pair->Send(Message("10:00:01")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows("10:00:01") == 2; }));
    const std::string storeBefore = StoreText();

    pairs_.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return station.view.marks.lost; }, 3000));
    EXPECT_EQ(station.view.marks, OpenMarks(1, true));
    QTest::qWait(1500);
    EXPECT_EQ(station.selection.State(), LinkState::Lost);

    pair = &Pair(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return station.link.IsOpen(); }, 3000));
    EXPECT_EQ(station.view.marks, OpenMarks(1));
    ASSERT_TRUE(pair->Send(Message("10:00:05")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows("10:00:05") == 3; }));
    EXPECT_EQ(ReadFile(dir_.File("vlog.txt")),
              "06/12/2026 17:00:00 Start of process\r\n"
              "06/12/2026 17:00:00 Port lost::1\r\n"
              "06/12/2026 17:00:00 Port back::1\r\n");
    EXPECT_EQ(StoreText(), storeBefore);
    EXPECT_TRUE(station.boxes.shown.empty());
}

}  // namespace
}  // namespace rheo::test
