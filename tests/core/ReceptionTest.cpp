// The receive tick while the engine shows a message box: the box's event loop ticks the timer
// and raises notifications, yet nothing is taken from the port until the box is answered, and
// then everything in arrival order, once. (The tick on a real line: SerialLinkTest.)
#include "link/Reception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"

namespace rheo::test {
namespace {

// An open port whose received text the test puts in place.
struct ScriptedLink : SerialLink {
    void SetPortNumber(int) override {}
    int PortNumber() const override { return 1; }
    bool Open() override { return true; }
    bool Close() override { return true; }
    bool IsOpen() const override { return true; }
    Text ReadAll() override { return std::exchange(waiting, {}); }
    bool Write(std::string_view) override { return true; }
    void SetNotification(Notification) override {}
    Text waiting;
};

using ReceptionTest = EngineOnDisk;

TEST_F(ReceptionTest, NothingIsFedUnderAMessageBoxAndTheOrderHolds) {
    ScriptedLink link;
    std::vector<std::string> taken;  // each piece the engine took
    Reception reception{link, [&](std::string_view text) {
                            const bool fed = engine.Feed(text);
                            if (fed) {
                                taken.emplace_back(text);
                            }
                            return fed;
                        }};
    const auto folder = dir.Path() / "medium";
    std::filesystem::create_directory(folder);
    const std::string path = (folder / "run.csv").string();
    ASSERT_TRUE(file.OpenForWriting(path));
    engine.Session().SessionFilePath = path;
    engine.Session().HeaderPending = true;
    engine.Feed(Message("01:00:00"));
    std::filesystem::remove_all(folder);  // the next reading fails and shows a box

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
