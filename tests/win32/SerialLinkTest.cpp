// The COM port link on real lines: the Windows suite maps a pseudo-terminal pair to two COM ports
// (RHEO_WIN32_COM_PAIR="8 9") and a third port whose far end goes away after its first byte
// (RHEO_WIN32_COM_VANISHING="10"). Without them the cases are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "platform/win32/Win32SerialLink.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace rheo {
namespace {

std::vector<int> PortsFromEnvironment(const char* name) {
    std::vector<int> ports;
    if (const char* value = std::getenv(name)) {
        std::istringstream in(value);
        for (int port = 0; in >> port;) {
            ports.push_back(port);
        }
    }
    return ports;
}

// Runs this thread's message loop, as the GUI's event loop would, until done() or the timeout.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
    }
    return true;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

TEST(Win32SerialLinkTest, HoldsThePortAloneAndHandsEveryByteOverOnTheCreatingThread) {
    const std::vector<int> pair = PortsFromEnvironment("RHEO_WIN32_COM_PAIR");
    if (pair.size() != 2) {
        GTEST_SKIP() << "no COM port pair (RHEO_WIN32_COM_PAIR)";
    }
    EXPECT_EQ(Win32SerialLink::DeviceName(3), "\\\\.\\COM3");
    Win32SerialLink unnumbered;
    EXPECT_FALSE(unnumbered.Open());

    Win32SerialLink receiver;
    receiver.SetPortNumber(pair[0]);
    ASSERT_TRUE(receiver.Open());
    // Windows refuses a second opening of a COM port; Wine does not, so there it is not tried.
    Win32SerialLink intruder;
    intruder.SetPortNumber(pair[0]);
    const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    if (!wine) {
        EXPECT_FALSE(intruder.Open());
    }

    Text received;
    int notifications = 0;
    bool otherThread = false;
    const DWORD thread = GetCurrentThreadId();
    receiver.SetNotification([&](LinkEvent kind) {
        EXPECT_EQ(kind, LinkEvent::CharactersReceived);
        ++notifications;
        otherThread |= GetCurrentThreadId() != thread;
        received += receiver.ReadAll();
    });

    // Every byte value, NUL, CR and 0xBA among them, in pieces and in more than one buffer.
    Text sent;
    for (int i = 0; i < 3000; ++i) {
        sent += static_cast<char>(i % 256);
    }
    Win32SerialLink sender;
    sender.SetPortNumber(pair[1]);
    ASSERT_TRUE(sender.Open());
    EXPECT_TRUE(sender.Write(sent.substr(0, 1)));
    EXPECT_TRUE(sender.Write(sent.substr(1)));
    PumpUntil([&] { return received.size() >= sent.size(); }, std::chrono::seconds(15));
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent)
        << "first difference at byte "
        << std::mismatch(sent.begin(), sent.end(), received.begin()).first - sent.begin();
    EXPECT_GE(notifications, 1);
    EXPECT_FALSE(otherThread);

    // Closed, the port is free for another.
    EXPECT_TRUE(receiver.Close());
    EXPECT_FALSE(receiver.IsOpen());
    EXPECT_TRUE(intruder.Open());
}

TEST(Win32SerialLinkTest, AVanishedDeviceIsReportedOnceAndLeavesTheProgramIdle) {
    const std::vector<int> vanishing = PortsFromEnvironment("RHEO_WIN32_COM_VANISHING");
    if (vanishing.size() != 1) {
        GTEST_SKIP() << "no vanishing COM port (RHEO_WIN32_COM_VANISHING)";
    }
    Win32SerialLink link;
    link.SetPortNumber(vanishing[0]);
    ASSERT_TRUE(link.Open());
    int lost = 0;
    int arrivals = 0;
    link.SetNotification(
        [&](LinkEvent kind) { (kind == LinkEvent::LinkLost ? lost : arrivals) += 1; });
    ASSERT_TRUE(link.Write("x"));  // the far end leaves after this byte
    ASSERT_TRUE(PumpUntil([&] { return lost > 0; }, std::chrono::seconds(20)));
    EXPECT_FALSE(link.IsOpen());

    const double cpuBefore = ProcessCpuSeconds();
    PumpUntil([] { return false; }, std::chrono::seconds(2));
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(arrivals, 0);
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.3);
    EXPECT_FALSE(link.Write("y"));
}

}  // namespace
}  // namespace rheo
