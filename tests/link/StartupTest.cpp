// The start-up sequence with the real store, pseudo-terminals and files: what is shown in
// which order, whether the stored port is open when the main window shows, and the files made.
#include <gtest/gtest.h>

#include <filesystem>

#include "LinkTestSupport.h"
#include "app/Startup.h"
#include "platform/ProgramLocation.h"

namespace rheo::test {
namespace {

// One copy or a second one; records the order of what start-up shows, message boxes included,
// and whether the port is open when the main window shows.
struct Host : SingleInstance, StartupScreens {
    explicit Host(Station& station) : station(station) {
        station.boxes.whileShown = [this] {
            order.push_back(this->station.boxes.shown.back().text);
        };
    }
    bool Acquire() override { return free; }
    void ShowSplash() override { order.push_back("splash"); }
    void ShowMonitor() override {
        order.push_back(station.link.IsOpen() ? "monitor, open" : "monitor");
    }
    Station& station;
    bool free = true;
    std::vector<std::string> order;
};

class StartupTest : public LinkTest {
  protected:
    StartupTest() : previous_(std::filesystem::current_path()) {
        std::filesystem::create_directory(dir_.Path() / "work");
        std::filesystem::current_path(dir_.Path() / "work");
    }
    ~StartupTest() override { std::filesystem::current_path(previous_); }
    std::filesystem::path previous_;
};

// A second copy is refused; the stored port is open before the main window shows.
TEST_F(StartupTest, EachRunShowsItsScreensInOrder) {
    const std::string programConfig = ExecutableDirectory() + "/vcfg.txt";
    std::filesystem::remove(programConfig);
    Pair(2);
    Put(store_, "Port3", kRegSz, dir_.File("no-such-device") + '\0');
    Station station(store_, portMap_, dir_.File("unused.txt"));
    Host host{station};
    Configuration configuration{"", "", ""};
    std::string programDirectory;
    const struct {
        bool free;
        int stored;
        std::vector<std::string> order;
        std::string caption;
    } runs[] = {
        {false, 0, {kAlreadyOpen}, "Port"},
        {true, 0, {"splash", "monitor"}, "Port"},
        {true, 2, {"splash", "monitor, open"}, "Port 2"},
        {true, 3, {"splash", "Error opening port3, check the port is free", "monitor"}, "Port"},
    };
    std::string log;  // made empty on the first run, never truncated
    for (const auto& run : runs) {
        host.free = run.free;
        if (run.stored != 0) {
            StorePort(store_, run.stored);
        }
        host.order.clear();
        EXPECT_EQ(RunStartup({host, station.boxes, host, store_, station.selection, configuration,
                              programDirectory, station.log}),
                  run.free);
        EXPECT_EQ(host.order, run.order);
        EXPECT_EQ(station.view.marks.buttonCaption, run.caption);
        EXPECT_EQ(std::filesystem::exists(programConfig), run.free);
        EXPECT_EQ(programDirectory, run.free ? ExecutableDirectory() : "");
        EXPECT_EQ(std::filesystem::exists("vlog.txt"), run.free);
        ASSERT_EQ(ReadFile("vlog.txt"), log);
        if (run.free) {
            EXPECT_EQ(station.log.File(), programDirectory + "/vlog.txt");
            WriteFile("vlog.txt", log += "old lines\r\n");
        }
    }
    const ShownMessage& box = station.boxes.shown[0];  // the refusal
    EXPECT_EQ(box.title, "RHEOTRACKPANEL");
    EXPECT_EQ(box.icon, MessageIcon::None);
    EXPECT_EQ(box.buttons, MessageButtons::Ok);
    EXPECT_EQ(StoredPort(store_), 3) << "a port that cannot open stays stored";
}

}  // namespace
}  // namespace rheo::test
