// An endless field on a real line: one megabyte of temperature digits drops that message and
// costs nothing else; the next message is read as ever.
#include <gtest/gtest.h>

#include <string>

#include "LinkTestSupport.h"

namespace rheo::test {

using EndlessField = LinkTest;

TEST_F(EndlessField, DropsItsMessageAndTheNextOneIsRead) {
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

}  // namespace rheo::test
