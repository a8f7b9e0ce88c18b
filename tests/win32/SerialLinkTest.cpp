// The COM port link on real lines: the Windows suite maps a pseudo-terminal pair to two COM ports
// (RHEO_WIN32_COM_PAIR="8 9") and a third port whose far end goes away after its first byte
// (RHEO_WIN32_COM_VANISHING="10"). Without them the cases are skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <numeric>
#include <sstream>
#include <vector>

#include "platform/win32/Win32SerialLink.h"

#include <windows.h>

namespace rheo {
namespace {

std::vector<int> Ports(const char* variable) {
    std::istringstream in(std::getenv(variable) ? std::getenv(variable) : "");
    return {std::istream_iterator<int>(in), std::istream_iterator<int>()};
}

// Runs this thread's message loop, as the GUI's event loop would, until done() or the timeout.
bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) {
            DispatchMessageA(&message);
        }
    }
    return true;
}

TEST(Win32SerialLinkTest, HandsEveryByteOverOnTheCreatingThread) {
    const std::vector<int> ports = Ports("RHEO_WIN32_COM_PAIR");
    if (ports.size() != 2) {
        GTEST_SKIP() << "no COM port pair (RHEO_WIN32_COM_PAIR)";
    }
    Win32SerialLink receiver, sender;
    receiver.SetPortNumber(ports[0]);
    sender.SetPortNumber(ports[1]);
    ASSERT_TRUE(receiver.Open());
    Text received;
    bool otherThread = false;
    const DWORD thread = GetCurrentThreadId();
    receiver.SetNotification([&](LinkEvent kind) {
        EXPECT_EQ(kind, LinkEvent::CharactersReceived);
        otherThread |= GetCurrentThreadId() != thread;
        received += receiver.ReadAll();
    });

    // Every byte value, NUL, CR and 0xBA among them, in pieces and in more than one buffer.
    Text sent(3000, '\0');
    std::iota(sent.begin(), sent.end(), '\0');  // 0 to 255 over and over
    ASSERT_TRUE(sender.Open());
    EXPECT_TRUE(sender.Write(sent.substr(0, 1)) && sender.Write(sent.substr(1)));
    PumpUntil([&] { return received.size() >= sent.size(); }, std::chrono::seconds(15));
    EXPECT_TRUE(received == sent) << received.size() << " bytes received";
    EXPECT_FALSE(otherThread);

    EXPECT_TRUE(receiver.Close());
    EXPECT_FALSE(receiver.IsOpen());
}

TEST(Win32SerialLinkTest, AVanishedDeviceIsReportedOnce) {
    const std::vector<int> port = Ports("RHEO_WIN32_COM_VANISHING");
    if (port.size() != 1) {
        GTEST_SKIP() << "no vanishing COM port (RHEO_WIN32_COM_VANISHING)";
    }
    Win32SerialLink link;
    link.SetPortNumber(port[0]);
    ASSERT_TRUE(link.Open());
    int lost = 0, arrivals = 0;
    link.SetNotification(
        [&](LinkEvent kind) { (kind == LinkEvent::LinkLost ? lost : arrivals) += 1; });
    ASSERT_TRUE(link.Write("x"));  // the far end leaves after this byte
    ASSERT_TRUE(PumpUntil([&] { return lost > 0; }, std::chrono::seconds(20)));
    EXPECT_FALSE(link.IsOpen());

    // Nothing more comes of it. (The program idle meanwhile: the Windows scene.)
    PumpUntil([] { return false; }, std::chrono::seconds(2));
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(arrivals, 0);
    EXPECT_FALSE(link.Write("y"));
}

}  // namespace
}  // namespace rheo
