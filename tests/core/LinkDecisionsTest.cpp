// The link's decisions without a serial port: waiting for a lost port and opening it again, and
// the receive tick while the engine shows a message box: the box's event loop ticks the timer
// and raises notifications, yet nothing is taken from the port until the box is answered, and
// then everything in arrival order, once. (The same on a real line: the link suite.)
#include <gtest/gtest.h>

#include <utility>

#include "app/SettingsStore.h"
#include "link/PortSelection.h"
#include "link/Reception.h"
#include "platform/posix/FileRegistry.h"
#include "support/Fakes.h"

namespace rheo::test {
namespace {

// A port whose device comes and goes as the test says; counts what the program asks of it.
struct ScriptedLink : SerialLink {
    void SetPortNumber(int port) override { number = port; }
    int PortNumber() const override { return number; }
    bool Open() override {
        ++openings;
        return open = present && openable;
    }
    bool Close() override { return !(open = false); }
    bool IsOpen() const override { return open; }
    bool DevicePresent() const override { return ++presenceChecks, present; }
    Text ReadAll() override { return std::exchange(waiting, {}); }
    bool Write(std::string_view) override { return true; }
    void SetNotification(Notification) override {}

    int number = 0, openings = 0;
    mutable int presenceChecks = 0;
    bool open = false, present = true;
    bool openable = true;  // false: held by another program, or not a serial device
    Text waiting;
};

using Events = std::vector<std::pair<EventKind, Text>>;

class LostPort : public ::testing::Test {
  protected:
    void Ticks(int count) {
        while (count-- > 0) {
            selection.Tick();
        }
    }

    TempDir dir;
    FileRegistry store{dir.File("settings")};
    ScriptedLink link;
    RecordingView view;
    ScriptedBoxes boxes;
    RecordingLogger log;
    PortSelection selection{link, view, PortStore(store), boxes, log};
};

TEST_F(LostPort, IsTriedOnceASecondQuietlyThroughALongOutageAndComesBackAsItWas) {
    selection.Abrir_Puerto(1);
    StorePort(store, 3);  // changed behind the program's back: a reconnection leaves it
    link.open = link.present = false;
    selection.LinkLost();
    EXPECT_EQ(selection.State(), LinkState::Lost);
    EXPECT_EQ(view.marks, OpenMarks(1, true));
    EXPECT_EQ(log.events, (Events{{EventKind::PortLost, "1"}}));

    const int openings = link.openings;
    Ticks(9);
    EXPECT_EQ(link.presenceChecks, 0) << "the first attempt comes a second after the loss";
    Ticks(600 - 9);  // a minute away: sixty looks, no opening of a missing device
    EXPECT_EQ(link.presenceChecks, 60);
    EXPECT_EQ(link.openings, openings);

    link.present = true;
    link.openable = false;  // back under the same name, but taken by another program first
    Ticks(30);
    EXPECT_EQ(link.openings, openings + 3);
    EXPECT_EQ(selection.State(), LinkState::Lost);
    EXPECT_EQ(view.marks, OpenMarks(1, true));
    EXPECT_TRUE(boxes.shown.empty()) << "attempts stay quiet";

    link.openable = true;
    Ticks(10);
    EXPECT_TRUE(link.open);
    EXPECT_EQ(link.PortNumber(), 1);
    EXPECT_EQ(selection.State(), LinkState::Open);
    EXPECT_EQ(view.marks, OpenMarks(1));
    EXPECT_EQ(log.events, (Events{{EventKind::PortLost, "1"}, {EventKind::PortBack, "1"}}));
    EXPECT_EQ(StoredPort(store), 3);
    Ticks(100);
    EXPECT_EQ(link.openings, openings + 4);
}

TEST_F(LostPort, ChoosingAPortEndsTheWaitingWhetherItOpensOrNot) {
    selection.Abrir_Puerto(1);
    link.open = false;
    selection.LinkLost();
    selection.Abrir_Puerto(2);
    EXPECT_EQ(selection.State(), LinkState::Open);
    EXPECT_EQ(view.marks, OpenMarks(2)) << "entry 1 back to \"Port 1\", no warning";
    link.open = false;
    selection.LinkLost();
    EXPECT_EQ(selection.State(), LinkState::Lost);

    link.present = false;
    selection.Abrir_Puerto(2);  // the same port, still missing: the usual failure
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(selection.State(), LinkState::Closed);
    EXPECT_EQ(view.marks, PortMarks{});
    link.present = true;
    const int openings = link.openings;
    Ticks(50);
    EXPECT_EQ(link.openings, openings) << "nothing waits any more";
    selection.LinkLost();  // a late report of the old loss changes nothing
    EXPECT_EQ(selection.State(), LinkState::Closed);
    EXPECT_EQ(log.events.size(), 2u) << "two losses, no return";
}

using ReceptionTest = EngineOnDisk;

TEST_F(ReceptionTest, NothingIsFedUnderAMessageBoxAndTheOrderHolds) {
    ScriptedLink link;
    link.open = true;
    std::vector<std::string> taken;  // each piece the engine took
    Reception reception{link, [&](std::string_view text) {
                            return engine.Feed(text) && (taken.emplace_back(text), true);
                        }};
    std::filesystem::create_directory(dir.File("medium"));
    OpenNewSession(engine, dir.File("medium/run.csv"));
    engine.Feed(Message("01:00:00"));
    std::filesystem::remove_all(dir.File("medium"));  // the next reading fails and shows a box

    const std::string first = Message("01:00:03") + "01:00:06";
    const std::string second = "   sp: LCP";
    const std::string third = "    rpm: 100   T: 27.5C\rcP: 00001250\r %: 10.2\r";
    boxes.whileShown = [&] {
        for (const std::string* piece : {&second, &third}) {
            link.waiting += *piece;
            reception.OnReceive(LinkEvent::CharactersReceived);
            reception.Tick();
        }
    };
    link.waiting = first;
    reception.Tick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(taken, (std::vector<std::string>{first, second + third}));
    EXPECT_TRUE(link.waiting.empty());
    EXPECT_EQ(engine.Output().History().HistoryIndex, 3);
}

}  // namespace
}  // namespace rheo::test
