// The QSerialPort link on real pseudo-terminal pairs: every byte, the line settings and
// exclusive use; the drain in a tick (decoding in pieces of any size: DecoderTest), and an
// other end that goes away and comes back.
#include <gtest/gtest.h>
#include <termios.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
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

TEST_F(SerialLink, ATickDecodesTheBufferAndTheTailThatWaitedInThePort) {
    const std::string message = Message();
    const std::string head = message.substr(0, message.find('\r') + 1);
    PtyPair& pair = Pair(1);
    Station station(store_, dir_.File("vlog.txt"));
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());

    ASSERT_TRUE(pair.Send(head));
    ASSERT_TRUE(WaitUntil([&] { return station.reception.ReceiveBuffer().size() == head.size(); }));
    ASSERT_TRUE(pair.Send(message.substr(head.size())));
    Wait(200);  // the tail's notification finds the buffer full: it stays in the port
    EXPECT_EQ(station.reception.ReceiveBuffer(), head);
    station.reception.Tick();
    EXPECT_EQ(station.Readings(), Decoded(message));
    EXPECT_TRUE(station.reception.ReceiveBuffer().empty());
}

// The adapter pulled mid-session and plugged in again: the same port opens by itself and the
// readings go on into the same file; meanwhile the program sleeps and takes nothing else.
TEST_F(SerialLink, ALostPortComesBackBySelfIntoTheSameSession) {
    PtyPair* pair = &Pair(1);
    const std::string device = pair->device;
    Station station(store_, dir_.File("vlog.txt"));
    const std::string session = dir_.File("run.csv");
    ASSERT_TRUE(station.file.OpenForWriting(session));
    station.engine.Session().SessionFilePath = session;
    station.engine.Session().HeaderPending = true;
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());
    station.timer.start(100);
    const auto rows = [&] {
        const std::string content = ReadFile(session);
        return std::count(content.begin(), content.end(), '\n');
    };
    ASSERT_TRUE(pair->Send(Message("02:00:00")));
    ASSERT_TRUE(WaitUntil([&] { return rows() == 2; }));
    const std::string storeBefore = StoreText();

    pair->Kill();
    ASSERT_TRUE(WaitUntil([&] { return station.losses > 0; }, 3000));
    EXPECT_EQ(station.selection.State(), LinkState::Lost);
    EXPECT_EQ(station.view.marks.toolTip, "Port 1 lost: waiting for the device");
    // Under the device's name, for a while: something that is not a serial device.
    std::filesystem::remove(device);
    WriteFile(device, "not a terminal");
    const std::clock_t before = std::clock();  // CPU time of the whole process
    Wait(2000);
    const double cpu = static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    std::printf("%.3f s of CPU in 2 s without the device\n", cpu);
    EXPECT_LT(cpu, 0.05) << "the program does not sleep while the device is away";
    EXPECT_EQ(station.selection.State(), LinkState::Lost);
    std::filesystem::remove(device);

    pairs_.clear();
    pair = &Pair(1);  // plugged in again, 2 s after the loss, under the same name
    QElapsedTimer back;
    back.start();
    ASSERT_TRUE(WaitUntil([&] { return station.link.IsOpen(); }, 3000));
    const qint64 reopenMs = back.elapsed();
    EXPECT_LE(reopenMs, 2000);
    std::printf("reopened %lld ms after the device came back\n", static_cast<long long>(reopenMs));
    EXPECT_EQ(station.view.marks, station.selection.Marks());
    EXPECT_FALSE(station.view.marks.lost);
    EXPECT_EQ(station.view.marks.buttonCaption, "Port 1");
    ASSERT_TRUE(pair->Send(Message("02:00:05")));
    EXPECT_TRUE(WaitUntil([&] { return rows() == 3; }));
    EXPECT_NE(ReadFile(session).find("02:00:05"), std::string::npos);
    EXPECT_EQ(ReadFile(dir_.File("vlog.txt")),
              "06/12/2026 17:00:00 Start of process\r\n"
              "06/12/2026 17:00:00 Port lost::1\r\n"
              "06/12/2026 17:00:00 Port back::1\r\n");
    EXPECT_EQ(StoreText(), storeBefore);
    EXPECT_TRUE(station.boxes.shown.empty());

    // Lost again, and the operator picks another adapter: port 1 is not waited for any more.
    pair->Kill();
    ASSERT_TRUE(WaitUntil([&] { return station.losses == 2; }, 3000));
    Pair(2);
    station.selection.Abrir_Puerto(2);
    EXPECT_EQ(station.view.marks.buttonCaption, "Port 2");
    EXPECT_FALSE(station.view.marks.lost);
    Pair(1);
    Wait(1500);
    EXPECT_EQ(station.link.PortNumber(), 2);
    QtSerialLink other(MappedDevices(store_));  // port 1 was left alone: it is free
    other.SetPortNumber(1);
    EXPECT_TRUE(other.Open());
}

// An endless field on a real line: one megabyte of temperature digits drops that message and
// costs nothing else; the next message is read as ever.
TEST_F(SerialLink, AnEndlessFieldDropsItsMessageAndTheNextOneIsRead) {
    PtyPair& pair = Pair(1);
    Station station(store_, dir_.File("vlog.txt"));
    station.selection.Abrir_Puerto(1);
    ASSERT_TRUE(station.link.IsOpen());
    station.timer.start(100);
    ASSERT_TRUE(pair.Send("10:00:00   sp: LCP    rpm: 100   T: "));
    const std::string digits(4096, '1');
    for (int piece = 0; piece < 256; ++piece) {
        ASSERT_TRUE(pair.Send(digits));
        Wait(1);
    }
    const std::string next = Message("10:00:01");
    ASSERT_TRUE(pair.Send("C\rcP: 1\r %: 1\r" + next));
    EXPECT_TRUE(WaitUntil([&] { return !station.Readings().empty(); }));
    Wait(200);
    EXPECT_EQ(station.Readings(), Decoded(next));
}

}  // namespace
}  // namespace rheo::test
