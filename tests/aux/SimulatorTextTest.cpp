// The simulator's message text and its timing, shared by the simulator window and
// rheotrack-sim.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/SimulatorText.h"

namespace rheo {
namespace {

TEST(SimulatorText, IsThreeLinesEachEndedByOneCarriageReturn) {
    const Text text = SimulatorText("14:05:09", "12");
    EXPECT_EQ(text,
              "14:05:09   sp: LCP    rpm: 12   T: 27.5C\r"
              "cP: 00000000\r"
              " %: 10.2\r");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3);
    EXPECT_EQ(text.find('\n'), Text::npos);
    EXPECT_EQ(text.back(), '\r');
    // The speed and the time are used exactly as given.
    EXPECT_EQ(SimulatorText("2:05:09 PM", "0.3").substr(0, 30), "2:05:09 PM   sp: LCP    rpm: 0");
}

TEST(SimulatorText, PeriodIsOneRevolutionRoundedHalfToEven) {
    EXPECT_EQ(SimulatorPeriodMs(0.3), 200000);
    EXPECT_EQ(SimulatorPeriodMs(1.5), 40000);
    EXPECT_EQ(SimulatorPeriodMs(200), 300);
    EXPECT_EQ(SimulatorPeriodMs(0.6), 100000);
    EXPECT_EQ(SimulatorPeriodMs(24000), 2);  // 2.5 ms: ties go to the even neighbour
    EXPECT_EQ(SimulatorPeriodMs(8000), 8);   // 7.5 ms
    EXPECT_EQ(SimulatorPeriodMs(7), 8571);   // 8571.43 ms
    EXPECT_EQ(SimulatorPeriodMs(1e-9), std::numeric_limits<int>::max());
}

TEST(SimulatorText, EverySpeedOfTheListParsesToAPeriodATimerHolds) {
    ASSERT_EQ(kSimulatorSpeeds.size(), 19u);
    EXPECT_EQ(kSimulatorSpeeds.front(), "0.3");
    EXPECT_EQ(kSimulatorSpeeds.back(), "200");
    for (std::string_view speed : kSimulatorSpeeds) {
        const auto rpm = ParseSpeed(speed);
        ASSERT_TRUE(rpm.has_value()) << speed;
        const int period = SimulatorPeriodMs(*rpm);
        EXPECT_GE(period, 300) << speed;
        EXPECT_LE(period, 200000) << speed;
    }
    // Written with a point whatever the user's locale; anything else is no speed.
    for (std::string_view bad : {"1,5", "", "fast", "0", "-2", "2 "}) {
        EXPECT_FALSE(ParseSpeed(bad)) << bad;
    }
}

}  // namespace
}  // namespace rheo
