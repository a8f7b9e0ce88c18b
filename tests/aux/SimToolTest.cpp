// rheotrack-sim as a real process: its output decoded by rheotrack-replay, its timing, its
// serial device and its end on a stop signal.
#include <gtest/gtest.h>
#include <termios.h>

#include <QElapsedTimer>
#include <filesystem>
#include <sstream>

#include "AuxTestSupport.h"
#include "app/SimulatorText.h"

namespace rheo::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// Runs a shell pipeline; its standard output.
std::string RunShell(const std::string& command, int* status = nullptr) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
            output.append(buffer, n);
        }
        const int result = ::pclose(pipe);
        if (status != nullptr) {
            *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
        }
    }
    return output;
}

const std::string kSim = RHEO_SIM_TOOL;
const std::string kReplay = RHEO_REPLAY_TOOL;

TEST(RheotrackSim, ThreeMessagesToStandardOutputDecodeToThreeReadings) {
    int status = -1;
    const std::string raw =
        RunShell(kSim + " --count 3 --interval 10 --rpm 12 --time 14:05:09", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(raw, SimulatorText("14:05:09", "12") + SimulatorText("14:05:09", "12") +
                       SimulatorText("14:05:09", "12"));

    const auto rows = Lines(RunShell(kSim + " --count 3 --interval 10 --rpm 12 --time 14:05:09 | " +
                                     kReplay + " --date 06/12/2026"));
    ASSERT_EQ(rows.size(), 4u);  // the header and three rows
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], "06/12/2026,14:05:09,LCP,12,27.5,,00000000,,10.2");
    }
}

TEST(RheotrackSim, VariedMessagesStayDecodableAndCarryEveryErrorWord) {
    const auto rows = Lines(RunShell(kSim + " --count 30 --interval 1 --vary --time 10:00:00 | " +
                                     kReplay + " --date 06/12/2026"));
    ASSERT_EQ(rows.size(), 31u);
    std::string all;
    for (const auto& row : rows) {
        all += row + "\n";
    }
    for (const char* word : {",LOW,", ",HIGH,", ",ERROR,", ",0,Out of Range,", ",0.0\n"}) {
        EXPECT_NE(all.find(word), std::string::npos) << word;
    }
    // The same seed gives the same series.
    EXPECT_EQ(RunShell(kSim + " --count 8 --interval 1 --vary --seed 7 --time 1:00:00"),
              RunShell(kSim + " --count 8 --interval 1 --vary --seed 7 --time 1:00:00"));
}

TEST(RheotrackSim, TheFirstMessageComesOnePeriodAfterTheStart) {
    QElapsedTimer clock;
    clock.start();
    RunShell(kSim + " --count 2 --rpm 200 --time 1:00:00 >/dev/null");  // 300 ms per message
    EXPECT_GE(clock.elapsed(), 590);
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST(RheotrackSim, WritesToASerialDeviceAtTheInstrumentsSettings) {
    TempDir dir;
    PtyPair pty(dir);
    ASSERT_TRUE(pty.Ready());
    // rheotrack-sim plays the instrument on the program's end of the line this time.
    const pid_t sim = Spawn(
        {kSim, "--device", pty.Device(), "--count", "2", "--interval", "20", "--time", "09:00:00"});
    EXPECT_EQ(WaitExit(sim), 0);
    std::string received;
    WaitUntil([&] {
        received += pty.Drain();
        return received.size() >= 2 * SimulatorText("09:00:00", "60").size();
    });
    EXPECT_EQ(received, SimulatorText("09:00:00", "60") + SimulatorText("09:00:00", "60"));

    EXPECT_EQ(WaitExit(Spawn({kSim, "--device", dir.File("no-such-dir/tty")})), 1);
}

TEST(RheotrackSim, EndsCleanlyOnStopSignals) {
    TempDir dir;
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string out = dir.File("out");
        const pid_t sim = Spawn({kSim, "--interval", "50", "--time", "1:00:00"}, out);
        ASSERT_GT(sim, 0);
        ASSERT_TRUE(WaitUntil([&] { return ReadFile(out).size() >= 50; }));
        ::kill(sim, signal);
        EXPECT_EQ(WaitExit(sim, 2000), 0) << signal;
        const std::string written = ReadFile(out);
        EXPECT_EQ(written.size() % SimulatorText("1:00:00", "60").size(), 0u);  // whole messages
    }
}

}  // namespace
}  // namespace rheo::test
