// The start-up sequence with the real store, real pseudo-terminals and real files: what is
// shown, in which order, and which files appear where.
#include <gtest/gtest.h>

#include <filesystem>

#include "LinkTestSupport.h"
#include "app/Startup.h"
#include "platform/ProgramLocation.h"

namespace rheo::test {
namespace {

struct ScriptedInstance : SingleInstance {
    bool Acquire() override { return free; }
    bool free = true;
};

// Records the order of what start-up shows, message boxes included, and the link's state when
// the main window shows.
struct RecordingScreens : StartupScreens, ScriptedBoxes {
    explicit RecordingScreens(const QtSerialLink& link) : link(link) {}
    void ShowSplash() override { order.push_back("splash"); }
    void ShowMonitor() override {
        order.push_back("monitor");
        linkOpenAtMonitor = link.IsOpen();
    }
    MessageAnswer Show(const Text& text, const Text& title, MessageIcon icon,
                       MessageButtons buttons) override {
        order.push_back("message: " + text);
        return ScriptedBoxes::Show(text, title, icon, buttons);
    }
    const QtSerialLink& link;
    std::vector<std::string> order;
    bool linkOpenAtMonitor = false;
};

class StartupTest : public LinkTest {
  protected:
    // Runs in a working directory of its own.
    StartupTest() : previous_(std::filesystem::current_path()) {
        std::filesystem::create_directory(dir_.Path() / "work");
        std::filesystem::current_path(dir_.Path() / "work");
    }
    ~StartupTest() override { std::filesystem::current_path(previous_); }

    bool Start() {
        return RunStartup({instance_, screens_, screens_, store_, selection_, configuration_,
                           programDirectory_, station_.log});
    }

    std::filesystem::path previous_;
    Station station_{store_, dir_.File("unused.txt")};
    ScriptedInstance instance_;
    RecordingScreens screens_{station_.link};
    PortSelection selection_{station_.link, station_.view, PortStore(store_), screens_,
                             station_.log};
    Configuration configuration_{"", "", ""};
    std::string programDirectory_;
};

TEST_F(StartupTest, SecondCopyShowsTheMessageAndTouchesNothing) {
    instance_.free = false;
    EXPECT_FALSE(Start());
    EXPECT_EQ(screens_.order,
              (std::vector<std::string>{"message: RHEOTRACKPANEL is already open."}));
    ExpectBox(screens_.shown[0], "RHEOTRACKPANEL is already open.");
    EXPECT_FALSE(std::filesystem::exists("vlog.txt"));
    EXPECT_TRUE(programDirectory_.empty());
}

TEST_F(StartupTest, FirstRunCreatesTheFilesAndOpensNoPort) {
    const std::string programConfig = ExecutableDirectory() + "/vcfg.txt";
    std::filesystem::remove(programConfig);
    EXPECT_TRUE(Start());
    EXPECT_EQ(screens_.order, (std::vector<std::string>{"splash", "monitor"}));
    EXPECT_FALSE(screens_.linkOpenAtMonitor);
    EXPECT_EQ(programDirectory_, ExecutableDirectory());
    EXPECT_TRUE(std::filesystem::exists(programConfig));  // its bytes: ConfigurationTest
    EXPECT_TRUE(std::filesystem::exists("vlog.txt"));
    EXPECT_EQ(std::filesystem::file_size("vlog.txt"), 0u);
    EXPECT_EQ(station_.log.File(), programDirectory_ + "/vlog.txt");
    EXPECT_EQ(station_.view.marks, PortMarks{});
}

TEST_F(StartupTest, StoredPortIsOpenBeforeTheMainWindowShows) {
    Pair(2);
    StorePort(store_, 2);
    WriteFile("vlog.txt", "old lines\r\n");
    EXPECT_TRUE(Start());
    EXPECT_EQ(screens_.order, (std::vector<std::string>{"splash", "monitor"}));
    EXPECT_TRUE(screens_.linkOpenAtMonitor);
    EXPECT_EQ(station_.view.marks.buttonCaption, "Port 2");
    EXPECT_EQ(ReadFile("vlog.txt"), "old lines\r\n");  // never truncated
}

TEST_F(StartupTest, StoredPortThatCannotOpenIsReportedBeforeTheMainWindow) {
    MapPort(3, dir_.File("no-such-device"));
    StorePort(store_, 3);
    EXPECT_TRUE(Start());
    EXPECT_EQ(screens_.order,
              (std::vector<std::string>{
                  "splash", "message: Error opening port3, check the port is free", "monitor"}));
    EXPECT_EQ(station_.view.marks.buttonCaption, "Port");
    EXPECT_EQ(StoredPort(store_), 3);
}

TEST_F(StartupTest, StoredValuesThatNameNoPortOpenNothing) {
    for (const char* text : {"", "0", "abc", "300", "-1"}) {
        SetText(kPortValueName, text);
        EXPECT_EQ(StoredPort(store_), 0) << text;
    }
    SetText(kPortValueName, "2");
    EXPECT_EQ(StoredPort(store_), 2);
}

}  // namespace
}  // namespace rheo::test
